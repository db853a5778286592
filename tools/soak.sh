#!/usr/bin/env bash
# Kelvo left running: its resident memory, minute by minute, in each display
# side by side in one world (a private PulseAudio playing a tone that changes
# every frame; Xvfb with trayer for the window and XEmbed tray displays; a
# second Xvfb with a session bus and gtk-sni-tray-standalone for the
# StatusNotifierItem tray).
#
#   tools/soak.sh [options]
#     -m MINUTES   length of the run (default 60)
#     -i MS        the interval (default 15)
#     -e SECONDS   seconds between samples (default 60)
#     -d DISPLAYS  comma-separated: window,directdraw,xembed,sni (default all)
#     -k BUILD     the build folder whose kelvo runs (default build)
#
# Prints VmRSS (kB) per display at every sample, then each display's growth
# from minute 2 to the end. A Kelvo that ends early is named and the run goes
# on with the others.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib/xvfb.sh

minutes=60 interval=15 every=60 displays=window,directdraw,xembed,sni build=build
while [ $# -gt 0 ]; do
  case $1 in
    -m) minutes=$2; shift 2 ;;
    -i) interval=$2; shift 2 ;;
    -e) every=$2; shift 2 ;;
    -d) displays=$2; shift 2 ;;
    -k) build=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "soak: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
build=$(cd "$build" && pwd)
[ -x "$build/kelvo" ] && [ -x "$build/kelvo-reg" ] || { echo "soak: no kelvo and kelvo-reg in $build" >&2; exit 1; }
IFS=, read -ra names <<<"$displays"

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# start_x NAME: a virtual X server; sets x_NAME to its display.
start_x() {
  start_xvfb "$work/$1.display"
  printf -v "x_$1" '%s' "$xvfb_display"
}

start_x plain
DISPLAY=$x_plain trayer --edge top --align left --widthtype request --height 24 --SetDockType false \
  >/dev/null 2>&1 & pids+=($!)

mkdir -m 700 "$work/pulse-rt"
XDG_RUNTIME_DIR=$work/pulse-rt pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --load=module-native-protocol-unix --load="module-null-sink sink_name=soak" >/dev/null 2>&1 & pids+=($!)
export PULSE_SERVER=unix:$work/pulse-rt/pulse/native PULSE_SOURCE=soak.monitor
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
# 437 Hz: no whole number of periods in a frame, so every frame is a new picture.
sox -n -r 8000 -c 1 -b 8 -e unsigned -t raw - synth $((minutes * 60 + 600)) sine 437 vol 0.8 2>/dev/null \
  | pacat --raw --format=u8 --rate=8000 --channels=1 -d soak 2>/dev/null & pids+=($!)

if [[ ",$displays," == *,sni,* ]]; then
  start_x sni
  cat >"$work/bus.conf" <<EOF
<busconfig><type>session</type><listen>unix:path=$work/bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*"/><allow receive_sender="*"/><allow own="*"/><allow user="*"/></policy></busconfig>
EOF
  dbus-daemon --nofork --config-file="$work/bus.conf" >/dev/null 2>&1 & pids+=($!)
  export_bus="DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus"
  for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.1; done
  registered() {
    env "$export_bus" dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
      org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher string:IsStatusNotifierHostRegistered \
      2>/dev/null | grep -q 'boolean true'
  }
  # This host at times trips over its own watcher as it starts: once more then.
  for _ in 1 2 3; do
    env "$export_bus" DISPLAY="$x_sni" GTK_A11Y=none NO_AT_BRIDGE=1 \
      gtk-sni-tray-standalone --top --beginning --watcher --size 24 >/dev/null 2>&1 & host=$!
    for _ in $(seq 200); do registered && break; kill -0 "$host" 2>/dev/null || break; sleep 0.1; done
    registered && { pids+=("$host"); break; }
    kill "$host" 2>/dev/null || true
  done
  registered || { echo "soak: no StatusNotifierItem host" >&2; exit 1; }
fi

# Each Kelvo has a runtime folder and settings of its own: they run side by side.
declare -A kelvo
for name in "${names[@]}"; do
  home=$work/kelvo-$name
  mkdir -m 700 -p "$home"
  reg() { XDG_CONFIG_HOME=$home "$build/kelvo-reg" add 'HKCU\SOFTWARE\Quennel\Kelvo' "$@" /f >/dev/null; }
  reg /v Frequency /t REG_DWORD /d "$interval"
  case $name in
    window) display=$x_plain bus=DBUS_SESSION_BUS_ADDRESS=unix:path=$work/nobus args=() ;;
    directdraw) display=$x_plain bus=DBUS_SESSION_BUS_ADDRESS=unix:path=$work/nobus args=(); reg /v DirectX /t REG_SZ /d y ;;
    xembed) display=$x_plain bus=DBUS_SESSION_BUS_ADDRESS=unix:path=$work/nobus args=(/tray) ;;
    sni) display=$x_sni bus=$export_bus args=(/tray) ;;
    *) echo "soak: unknown display $name" >&2; exit 2 ;;
  esac
  env XDG_CONFIG_HOME="$home" XDG_RUNTIME_DIR="$home" DISPLAY="$display" "$bus" \
    "$build/kelvo" "${args[@]}" >"$home/log" 2>&1 & pids+=($!)
  kelvo[$name]=$!
done

rss() { awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo -; }
echo "soak: $build/kelvo at $interval ms, ${minutes} min, from $(date -u +%H:%M) UTC; VmRSS in kB"
printf '%7s' minute; printf ' %11s' "${names[@]}"; echo
declare -A first last
samples=$((minutes * 60 / every))
for s in $(seq 0 "$samples"); do
  [ "$s" -gt 0 ] && sleep "$every"
  at=$(echo "scale=1; $s * $every / 60" | bc)
  printf '%7s' "$at"
  for name in "${names[@]}"; do
    value=$(rss "${kelvo[$name]}")
    printf ' %11s' "$value"
    if [ "$value" != - ]; then
      # Growth is counted from minute 2: start-up and the first frames are over.
      [ -z "${first[$name]:-}" ] && [ "$((s * every))" -ge 120 ] && first[$name]=$value
      last[$name]=$value
    fi
  done
  echo
done
echo "growth from minute 2 to minute $minutes (kB):"
for name in "${names[@]}"; do
  if ! kill -0 "${kelvo[$name]}" 2>/dev/null; then
    printf '  %-11s ended early: %s\n' "$name" "$(tail -1 "$work/kelvo-$name/log")"
  elif [ -n "${first[$name]:-}" ]; then
    printf '  %-11s %+d\n' "$name" "$((last[$name] - first[$name]))"
  else
    printf '  %-11s -\n' "$name"
  fi
done

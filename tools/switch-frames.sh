#!/usr/bin/env bash
# Frames a second around changes of Kelvo's record stream, at 150 ms: the
# first block after start, a new default source followed by "Default input",
# and a chosen source that goes and comes back (the default stands in).
#   tools/switch-frames.sh [-k BUILD] [--pipewire] [-L MS] [-n SWITCHES]
# Two null sinks with a 437 Hz tone each, played at a latency of MS (default
# 30; a player that asks for none gets about 2 s, and a monitor joined then
# waits for the sink's next render). Prints each second's frame count after
# every change and how many seconds fell below 1000 / interval - 2.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib/xvfb.sh
build=build server=pulseaudio latency=30 switches=12
while [ $# -gt 0 ]; do
  case $1 in
    -k) build=$2; shift 2 ;;
    --pipewire) server=pipewire; shift ;;
    -L) latency=$2; shift 2 ;;
    -n) switches=$2; shift 2 ;;
    *) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 2 ;;
  esac
done
work=$(mktemp -d)
session= pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -z "$session" ] || kill -- -"$session" 2>/dev/null || true
  wait 2>/dev/null || true; rm -rf "$work"
}
trap cleanup EXIT INT TERM

start_xvfb "$work/display"
export DISPLAY=$xvfb_display
mkdir -p "$work/rt" "$work/config"; chmod 700 "$work/rt"
export PULSE_SERVER=unix:$work/rt/pulse/native XDG_CONFIG_HOME=$work/config
unset PULSE_SOURCE
if [ "$server" = pipewire ]; then
  XDG_RUNTIME_DIR=$work/rt HOME=$work setsid dbus-run-session -- \
    sh -c 'pipewire & pipewire-pulse & wireplumber & wait' >/dev/null 2>&1 &
else
  XDG_RUNTIME_DIR=$work/rt setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --load=module-native-protocol-unix >/dev/null 2>&1 &
fi
session=$(ps -o sid= -p "$!" | tr -d ' ')
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
play() {
  sox -n -r 8000 -c 1 -b 8 -e unsigned -t raw - synth 3600 sine "$2" vol 0.8 2>/dev/null \
    | pacat --latency-msec="$latency" --raw --format=u8 --rate=8000 --channels=1 -d "$1" 2>/dev/null & pids+=($!)
}
load_b() { pactl load-module module-null-sink sink_name=b >"$work/b"; play b 523; }
pactl load-module module-null-sink sink_name=a >/dev/null; play a 437
load_b
pactl set-default-sink a; pactl set-default-source a.monitor
for _ in $(seq 50); do pactl list short sources | grep -q b.monitor && break; sleep 0.1; done
sleep 1

# run LABEL CHANGE-COMMAND...: Kelvo (stored choice in $choice), then the
# change every 3 s; prints the frame counts of the 3 s after each.
run() {
  local label=$1; shift
  "$build/kelvo-reg" add 'HKCU\SOFTWARE\Quennel\Kelvo' /v Frequency /t REG_DWORD /d 150 /f >/dev/null
  "$build/kelvo-reg" add 'HKCU\SOFTWARE\Quennel\Kelvo' /v Input /t REG_SZ /d "$choice" /f >/dev/null
  "$build/kelvo" /debug 2>"$work/log" & local kelvo=$!
  local start; start=$(date +%s.%N)
  for _ in $(seq 40); do grep -q frames= "$work/log" && break; sleep 0.1; done
  sleep 3
  local marks=()
  for i in $(seq "$switches"); do
    marks+=("$(grep -c frames= "$work/log")")
    "$@" "$i" >/dev/null 2>&1
    sleep 3
  done
  kill -TERM "$kelvo"; wait "$kelvo" || true
  local counts; counts=($(grep -o 'frames=[0-9]*' "$work/log" | cut -d= -f2))
  local low=0 seconds=0
  printf '%s; the first seconds after start: %s; the 3 s after each change:\n' "$label" "${counts[*]:0:3}"
  for m in "${marks[@]}"; do echo -n "${counts[*]:$m:3} | "; done | fold -w 150; echo
  # At 150 ms, 1000 / 150 - 2 = 4.7: a second with fewer than 5 frames.
  for m in "${marks[@]}"; do for c in ${counts[@]:$m:3}; do seconds=$((seconds + 1)); [ "$c" -lt 5 ] && low=$((low + 1)); done; done
  echo "   seconds with fewer than 5 frames: $low of $seconds; load $(cut -d' ' -f1 /proc/loadavg)"
}
toggle_default() { if [ $(($1 % 2)) -eq 1 ]; then pactl set-default-source b.monitor; else pactl set-default-source a.monitor; fi; }
absence() {
  if [ $(($1 % 2)) -eq 1 ]; then pactl unload-module "$(cat "$work/b")"
  else load_b; fi
}
echo "$server, players at $latency ms, $(basename "$(cd "$build/.." && pwd)")@$(git -C "$build/.." rev-parse --short HEAD 2>/dev/null || echo '?'); load $(cut -d' ' -f1-3 /proc/loadavg)"
choice=@DEFAULT_SOURCE@ run "new default source" toggle_default
choice=b.monitor run "chosen source goes, comes back" absence

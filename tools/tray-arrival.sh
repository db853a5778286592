#!/usr/bin/env bash
# The time from a tray's appearance to Kelvo's icon in it, Kelvo started
# with /tray before any tray, under a virtual X server of its own:
#   tools/tray-arrival.sh xembed [runs]  trayer (XEmbed): from the tray's
#       panel window to Kelvo's icon window shown and its own window hidden
#   tools/tray-arrival.sh sni [runs]     gtk-sni-tray (StatusNotifierItem) on
#       a private session bus: from the host's registration to Kelvo's item
#       listed by the watcher
# Each run starts the tray, measures, then kills it and measures the return
# to a second tray. Prints one line per arrival and the median.
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/lib/xvfb.sh
mode=${1:-}
runs=${2:-5}
case "$mode" in xembed|sni) ;; *) sed -n '2,10p' "$0"; exit 1 ;; esac
work=$(mktemp -d)
pids=()
tray=
cleanup() { [ -n "$tray" ] && kill "$tray" 2>/dev/null; for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT INT TERM
now() { date +%s%N; }

start_xvfb "$work/display"
export DISPLAY=$xvfb_display
mkdir -p "$work/pulse-rt" "$work/kelvo-rt" "$work/config"; chmod 700 "$work/kelvo-rt"
export XDG_CONFIG_HOME=$work/config NO_AT_BRIDGE=1
XDG_RUNTIME_DIR=$work/pulse-rt pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --load=module-native-protocol-unix --load="module-null-sink sink_name=arrival" >/dev/null 2>&1 & pids+=($!)
export PULSE_SERVER=unix:$work/pulse-rt/pulse/native PULSE_SOURCE=arrival.monitor
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
if [ "$mode" = sni ]; then
  dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 & pids+=($!)
  for _ in $(seq 100); do [ -s "$work/bus" ] && break; sleep 0.05; done
  export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus")
fi

XDG_RUNTIME_DIR=$work/kelvo-rt build/kelvo /tray 2>"$work/kelvo.log" & kelvo=$!; pids+=($kelvo)
for _ in $(seq 200); do [ -n "$(xdotool search --onlyvisible --pid $kelvo 2>/dev/null)" ] && break; sleep 0.05; done

watcher() {
  dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher "string:$1" 2>/dev/null
}
trayReady() {
  if [ "$mode" = xembed ]; then xdotool search --onlyvisible --name '^panel$' >/dev/null 2>&1
  else watcher IsStatusNotifierHostRegistered | grep -q 'boolean true'; fi
}
iconIn() {
  if [ "$mode" = xembed ]; then
    # Kelvo's visible windows: only the 22 x 22 icon, not the 188 x 94 one.
    local ids; ids=$(xdotool search --onlyvisible --pid $kelvo 2>/dev/null) || return 1
    for id in $ids; do xdotool getwindowgeometry "$id" | grep -q 'Geometry: 188x94' && return 1; done
    [ -n "$ids" ]
  else watcher RegisteredStatusNotifierItems | grep -q 'string "'; fi
}
startTray() {
  if [ "$mode" = xembed ]; then
    trayer --edge top --align left --widthtype request --height 24 --SetDockType false >/dev/null 2>&1 & tray=$!
  else
    gtk-sni-tray-standalone --top --beginning --watcher --size 24 >/dev/null 2>&1 & tray=$!
  fi
}

times=()
for run in $(seq "$runs"); do
  for arrival in first return; do
    startTray
    ready=
    for _ in $(seq 400); do trayReady && { ready=$(now); break; }; sleep 0.01; done
    [ -z "$ready" ] && { echo "run $run: the tray did not come up"; kill $tray; wait $tray 2>/dev/null; tray=; continue; }
    shown=
    for _ in $(seq 1000); do iconIn && { shown=$(now); break; }; sleep 0.005; done
    if [ -n "$shown" ]; then
      ms=$(( (shown - ready) / 1000000 )); times+=($ms)
      echo "run $run, $arrival tray: ${ms} ms from the tray to Kelvo's icon in it"
    else
      echo "run $run, $arrival tray: no icon within 10 s"; cat "$work/kelvo.log"
    fi
    kill $tray; wait $tray 2>/dev/null; tray=
    # The window is back once the tray has gone.
    for _ in $(seq 400); do iconIn || break; sleep 0.01; done
    for _ in $(seq 400); do xdotool search --onlyvisible --pid $kelvo >/dev/null 2>&1 && break; sleep 0.01; done
  done
done
[ ${#times[@]} -gt 0 ] && echo "median of ${#times[@]}: $(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}') ms ($mode; load: $(cut -d' ' -f1-3 /proc/loadavg))"

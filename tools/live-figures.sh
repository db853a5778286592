#!/usr/bin/env bash
# The frame rate while the menus, the dialog and the boxes are open, at
# 150 ms and 45 ms, through tools/measure.sh:
#   tools/live-figures.sh [seconds]
# `--open WHAT` is measure.sh's part: opens WHAT in the Kelvo on $DISPLAY
# whose process is $KELVO_PID, and fails when no window of it comes.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --open ]; then
  windows() { xdotool search --onlyvisible --pid "$KELVO_PID" 2>/dev/null | wc -l; }
  before=$(windows)
  # The window is centred on the 640 x 480 screen; the icon is trayer's first.
  menu() { xdotool mousemove "$@" click 3; sleep 0.5; }
  choose() { menu 320 240; for _ in $(seq "$1"); do xdotool key Down; done; xdotool key Return; }
  case $2 in
    menu) menu 320 240 ;;
    tray-menu) menu 11 11 ;;
    about) choose 4 ;;
    prefs | invalid)
      choose 1
      for _ in $(seq 50); do id=$(xdotool search --name '^Kelvo Preferences$' 2>/dev/null | head -1) && [ -n "$id" ] && break; sleep 0.1; done
      if [ "$2" = invalid ]; then
        eval "$(xdotool getwindowgeometry --shell "$id")"
        xdotool windowfocus --sync "$id" mousemove $(( X + 95 )) $(( Y + 21 )) click 1 key ctrl+a type 14
        xdotool key alt+a
      fi ;;
    *) echo "live-figures: nothing called $2" >&2; exit 2 ;;
  esac
  for _ in $(seq 50); do [ "$(windows)" -gt "$before" ] && exit 0; sleep 0.1; done
  echo "live-figures: $2 did not open" >&2
  exit 1
fi

seconds=${1:-6}
echo "load: $(uptime)"
for interval in 150 45; do
  for what in none menu tray-menu prefs about invalid; do
    args=(); [ "$what" = tray-menu ] && args=(/tray)
    line=$(KELVO_OPEN=$([ "$what" = none ] || echo "$what") tools/measure.sh "$seconds" "$interval" "${args[@]}" 2>/dev/null | sed -n 1p)
    echo "${interval} ms, ${what} open: ${line##*; }"
  done
done

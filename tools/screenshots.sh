#!/usr/bin/env bash
# Pictures of Kelvo for the README: the window, the tray icon (enlarged), the
# popup menu, the preferences dialog and the about box, taken under a virtual
# X server with a tray and a private sound server playing a tone.
# Usage: tools/screenshots.sh [output folder, default docs]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs}")
kelvo=$(realpath "${KELVO_BINARY:-build/kelvo}")
mkdir -p "$out"
XVFB_ARGS="-screen 0 640x480x24" TONE_SECONDS=300 source tools/shots-world.sh
trayer --edge top --align left --widthtype request --height 24 --SetDockType false >/dev/null 2>&1 & pids+=($!)

"$kelvo" >"$work/kelvo.log" 2>&1 & pids+=($!)
kelvo_pid=$!

# Kelvo's visible windows whose geometry matches "W H" (or any other size with !).
window_sized() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$kelvo_pid" 2>/dev/null); do
    read -r w h < <(xdotool getwindowgeometry --shell "$id" | awk -F= '/WIDTH|HEIGHT/ {printf "%s ", $2} END {print ""}')
    if [ "$1" = "!" ]; then [ "$w $h" != "188 94" ] && [ "$h" -gt 60 ] && { echo "$id"; return 0; }
    elif [ "$w $h" = "$1 $2" ]; then echo "$id"; return 0; fi
  done
  return 1
}
geometry() { xdotool getwindowgeometry --shell "$1" | awk -F= '/^(X|Y|WIDTH|HEIGHT)=/ {printf "%s ", $2} END {print ""}'; }
shot_window() { import -window "$1" "$out/$2"; echo "wrote $out/$2"; }
open_menu() {
  xdotool mousemove "$1" "$2" sleep 0.2 mousemove "$(($1 + 1))" "$2" click 3
  until_ok window_sized !
}

until_ok window_sized 188 94 || { cat "$work/kelvo.log"; exit 1; }
main=$(window_sized 188 94)
read -r mx my mw mh < <(geometry "$main")
# The trace is drawn in light cyan once the first blocks have arrived.
has_trace() { [ "$(import -window "$main" -depth 8 txt:- | grep -ci '#80FFFF')" -gt 50 ]; }
until_ok has_trace || until_ok has_trace
shot_window "$main" window.png

# The menu beside the window it was opened on.
open_menu $((mx + 60)) $((my + 30))
read -r ux uy uw uh < <(geometry "$(window_sized !)")
right=$(( ux + uw > mx + mw ? ux + uw : mx + mw )); bottom=$(( uy + uh > my + mh ? uy + uh : my + mh ))
import -window root -crop "$((right - mx))x$((bottom - my))+$mx+$my" +repage "$out/menu.png"
echo "wrote $out/menu.png"
xdotool key Escape
until_not window_sized !

# Each dialog from its menu item: Preferences... is the first, About... the
# last. The preferences dialog has no cancel button, so Esc means nothing to
# it; Return presses "Ok", which has the focus when it opens.
dialog_shot() {
  open_menu $((mx + 60)) $((my + 30))
  xdotool key $1 Return
  local id
  if until_ok xdotool search --all --onlyvisible --pid "$kelvo_pid" --name "$2"; then
    id=$(xdotool search --all --onlyvisible --pid "$kelvo_pid" --name "$2" | head -1)
    sleep 0.5
    shot_window "$id" "$3"
    xdotool windowfocus --sync "$id" key "$4"
    until_not xdotool search --all --onlyvisible --pid "$kelvo_pid" --name "$2"
  else
    echo "no window named $2: $3 not taken"
  fi
}
dialog_shot "Down" "^Kelvo Preferences$" preferences.png Return
dialog_shot "Down Down Down Down Down" "^Kelvo$" about.png Escape

# The tray icon, eight times its size.
xdotool mousemove $((mx + 60)) $((my + 30)) click --repeat 2 --delay 60 1
until_not window_sized 188 94
sleep 2
import -window root -crop 24x24+0+0 +repage -filter point -resize 800% "$out/tray-icon.png"
echo "wrote $out/tray-icon.png"

#!/usr/bin/env bash
# Pictures of Kelvo at several device pixel ratios, and the tray icon on a
# dark and a light panel with the contrast of its trace measured (WCAG 2).
# Under a virtual X server with a tray and a private sound server playing a
# tone; the ratio 2 comes from Xft.dpi 192, the others from QT_SCALE_FACTOR.
# Usage: tools/scale-shots.sh [output folder, default docs] [ratios, default "1 1.25 1.5 2"]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs}")
ratios=${2:-1 1.25 1.5 2}
kelvo=$(realpath "${KELVO_BINARY:-build/kelvo}")
mkdir -p "$out"
XVFB_ARGS="-noreset -screen 0 1920x1200x24" TONE_SECONDS=600 source tools/shots-world.sh

round() { awk -v v="$1" 'BEGIN { f = int(v); d = v - f; r = (d > 0.5 || (d == 0.5 && f % 2)) ? f + 1 : f; print r }'; }
start_kelvo() {  # ratio, arguments...
  local ratio=$1; shift
  if [ "$ratio" = 2 ]; then echo "Xft.dpi: 192" | xrdb -merge; else echo "Xft.dpi: 96" | xrdb -merge; fi
  local scale=""
  case "$ratio" in 1|2) ;; *) scale=$ratio ;; esac
  QT_SCALE_FACTOR=$scale "$kelvo" "$@" >"$work/kelvo.log" 2>&1 &
  kelvo_pid=$!
}
stop_kelvo() { kill "$kelvo_pid" 2>/dev/null || true; wait "$kelvo_pid" 2>/dev/null || true; }
window_sized() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$kelvo_pid" 2>/dev/null); do
    [ "$(xdotool getwindowgeometry --shell "$id" | awk -F= '/WIDTH|HEIGHT/ {printf "%s ", $2}')" = "$1 $2 " ] && { echo "$id"; return 0; }
  done
  return 1
}
geometry() { xdotool getwindowgeometry --shell "$1" | awk -F= '/^(X|Y)=/ {printf "%s ", $2} END {print ""}'; }
dialog_shot() {  # keys to the item, window name, file, key that closes it
  xdotool mousemove $((mx + w / 3)) $((my + h / 3)) sleep 0.2 mousemove $((mx + w / 3 + 1)) $((my + h / 3)) click 3
  sleep 1
  xdotool key $1 Return
  if until_ok xdotool search --all --onlyvisible --pid "$kelvo_pid" --name "$2"; then
    local id; id=$(xdotool search --all --onlyvisible --pid "$kelvo_pid" --name "$2" | head -1)
    sleep 0.5
    import -window "$id" "$out/$3"; echo "wrote $out/$3"
    xdotool windowfocus --sync "$id" key "$4"
    until_not xdotool search --all --onlyvisible --pid "$kelvo_pid" --name "$2"
  else
    echo "no window named $2: $3 not taken"
  fi
}

for ratio in $ratios; do
  w=$(round "$(echo "188 * $ratio" | bc)"); h=$(round "$(echo "94 * $ratio" | bc)")
  start_kelvo "$ratio"
  until_ok window_sized "$w" "$h" || { echo "no $w x $h window at $ratio"; cat "$work/kelvo.log"; exit 1; }
  main=$(window_sized "$w" "$h")
  read -r mx my < <(geometry "$main")
  sleep 3
  import -window "$main" "$out/window@${ratio}x.png"; echo "wrote $out/window@${ratio}x.png"
  dialog_shot "Down" "^Kelvo Preferences$" "preferences@${ratio}x.png" Return
  dialog_shot "Down Down Down Down" "^Kelvo$" "about@${ratio}x.png" Escape
  stop_kelvo
done

# The tray icon at a ratio of 2 on a dark and on a light panel, eight times
# its size; the trace's contrast against the commonest colour inside the icon.
luminance() {  # #rrggbb
  local hex=${1#\#}
  awk -v r=$((16#${hex:0:2})) -v g=$((16#${hex:2:2})) -v b=$((16#${hex:4:2})) 'function lin(c) { c /= 255; return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
    BEGIN { printf "%.5f", 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b) }'
}
for panel in dark:0x202020 light:0xf0f0f0; do
  name=${panel%%:*}; tint=${panel#*:}
  trayer --edge top --align left --widthtype request --height 24 --SetDockType false \
    --transparent true --alpha 0 --tint "$tint" >/dev/null 2>&1 &
  trayer_pid=$!
  until_ok xdotool search --name '^panel$'
  start_kelvo 2 /tray
  has_trace() { [ "$(import -window root -crop 24x24+0+0 -depth 8 txt:- | grep -ci '#0000FF')" -gt 5 ]; }
  until_ok has_trace || { echo "no icon on the $name panel"; cat "$work/kelvo.log"; exit 1; }
  sleep 1
  import -window root -crop 24x24+0+0 +repage "$work/panel.png"
  convert "$work/panel.png" -filter point -resize 800% "$out/tray-$name@2x.png"; echo "wrote $out/tray-$name@2x.png"
  panel_colour=$(convert "$work/panel.png" -crop 1x1+0+0 -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | head -1)
  behind=$(convert "$work/panel.png" -crop 20x20+2+2 -depth 8 -format %c histogram:info:- | grep -vi '#0000FF' | sort -rn | head -1 | grep -o '#[0-9A-F]\{6\}')
  lt=$(luminance "#0000FF"); lb=$(luminance "$behind")
  echo "the trace on the $name panel ($panel_colour): $(awk -v a="$lt" -v b="$lb" 'BEGIN { hi = a > b ? a : b; lo = a > b ? b : a; printf "%.2f", (hi + 0.05) / (lo + 0.05) }'):1 against $behind"
  stop_kelvo
  kill "$trayer_pid"; wait "$trayer_pid" 2>/dev/null || true
  until_not xdotool search --name '^panel$'
done

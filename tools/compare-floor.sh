#!/usr/bin/env bash
# Kelvo against the bare Qt floor (bench/floor.cpp: a 188 x 94 window or a
# tray icon redrawn at every interval), run alternately in one world: a
# private PulseAudio (or PipeWire) playing a tone, Xvfb and trayer (and, with
# --sway, headless sway with waybar's StatusNotifierItem tray). Prints each
# figure with the load average at the time, then medians and ratios to the
# floor.
#
#   tools/compare-floor.sh [options]
#     -s SECONDS   length of each CPU or frame-rate sample (default 20)
#     -r ROUNDS    rounds of the CPU and memory figures (default 2)
#     -n RUNS      start-ups timed per program (default 5)
#     -k BUILD     also measure the Kelvo of another build folder (e.g. an
#                  older commit's), beside this one; may be repeated
#     -p PARTS     comma-separated: memory,start,fps,sway (default the first
#                  three; sway also with --sway)
#     --sway       the tray display's CPU on sway + waybar as well, each
#                  sample taken beside the XEmbed tray's over the same seconds
#     --busy       frame rates beside one CPU-bound process
#     --no-build   use the build folders as they are
#     --pipewire   the sound server is PipeWire (pipewire-pulse, wireplumber)
#                  instead of PulseAudio
#     -L MS        the tone's player asks for this latency (default: none,
#                  which PulseAudio's null sink answers with about 2 s)
#
# The figures: CPU (% of one core) and peak resident memory at 150 ms in
# the window display (GDI and DirectDraw) and the tray display; the
# program's voluntary context switches per frame (its threads' wake-ups);
# the sound server's extra CPU while the program runs (over the server's
# CPU with no recorder, sampled in each round) beside that of parec
# recording the same source at a latency of one interval; the time
# from exec to a mapped window (median); frames per second at 15, 45 and
# 150 ms against 1000/interval. Run as root for --sway (sway refuses root:
# it runs as a throw-away user).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib/xvfb.sh
root=$PWD

seconds=20 rounds=2 runs=5 parts=memory,start,fps busy=n build=y server=pulseaudio player_latency=
others=()
while [ $# -gt 0 ]; do
  case $1 in
    -s) seconds=$2; shift 2 ;;
    -r) rounds=$2; shift 2 ;;
    -n) runs=$2; shift 2 ;;
    -k) others+=("$(cd "$2" && pwd)"); shift 2 ;;
    -p) parts=$2; shift 2 ;;
    --sway) parts=$parts,sway; shift ;;
    --busy) busy=y; shift ;;
    --no-build) build=n; shift ;;
    --pipewire) server=pipewire; shift ;;
    -L) player_latency=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "compare-floor: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
want() { [[ ",$parts," == *",$1,"* ]]; }

if [ "$build" = y ]; then
  [ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j2 --target kelvo kelvo-reg kelvo-floor kelvo-map-timer >/dev/null
  for b in "${others[@]}"; do cmake --build "$b" -j2 --target kelvo kelvo-reg >/dev/null; done
fi

# Subjects: the floor first, then each Kelvo build, named by its commit.
names=(floor) bins=("$root/build/kelvo-floor")
# A build is named by its checkout's folder and commit ("+" when changed).
label() {
  local tree; tree=$(dirname "$1")
  echo "$(basename "$tree")@$(git -C "$tree" rev-parse --short HEAD 2>/dev/null || echo '?')$(
    git -C "$tree" diff --quiet HEAD -- src 2>/dev/null || echo +)"
}
names+=("$(label "$root/build")") bins+=("$root/build/kelvo")
for b in "${others[@]}"; do names+=("$(label "$b")"); bins+=("$b/kelvo"); done

work=$(mktemp -d)
chmod 755 "$work"
pids=()
desktop_user= server_session=
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -z "$server_session" ] || kill -- -"$server_session" 2>/dev/null || true
  wait 2>/dev/null || true
  if [ -n "$desktop_user" ]; then
    for _ in $(seq 50); do pkill -KILL -U "$desktop_user" 2>/dev/null || break; sleep 0.1; done
    userdel "$desktop_user" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# The world: a virtual X server with trayer, a sound server playing a tone.
start_xvfb "$work/display"
export DISPLAY=$xvfb_display
trayer --edge top --align left --widthtype request --height 24 --SetDockType false >/dev/null 2>&1 & pids+=($!)
mkdir -p "$work/pulse-rt" "$work/kelvo-rt"; chmod 700 "$work/pulse-rt" "$work/kelvo-rt"
# In a session of its own: the server's CPU is that of the session's threads.
if [ "$server" = pipewire ]; then
  XDG_RUNTIME_DIR=$work/pulse-rt HOME=$work setsid dbus-run-session -- \
    sh -c 'pipewire & pipewire-pulse & wireplumber & wait' >/dev/null 2>&1 & pids+=($!)
else
  XDG_RUNTIME_DIR=$work/pulse-rt setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --load=module-native-protocol-unix >/dev/null 2>&1 & pids+=($!)
fi
server_session=$(ps -o sid= -p "$!" | tr -d ' ')
export PULSE_SERVER=unix:$work/pulse-rt/pulse/native PULSE_SOURCE=measure.monitor
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl load-module module-null-sink sink_name=measure >/dev/null
pactl set-default-sink measure
# 437 Hz: no whole number of periods in 15, 45 or 150 ms (440 Hz has 66 in
# 150 ms), so every frame draws a new picture, as live sound would.
sox -n -r 8000 -c 1 -b 8 -e unsigned -t raw - synth 36000 sine 437 vol 0.8 2>/dev/null \
  | pacat ${player_latency:+--latency-msec=$player_latency} --raw --format=u8 --rate=8000 --channels=1 -d measure \
  2>/dev/null & pids+=($!)
export XDG_RUNTIME_DIR=$work/kelvo-rt

load() { cut -d' ' -f1 /proc/loadavg; }
median() { sort -g | awk '{v[NR]=$1} END {if (!NR) print "-"; else if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }
results=$work/results  # lines: part what subject value load
: >"$results"
record() { echo "$1 $2 $3 $4 $(load)" >>"$results"; printf '  %-8s %-22s %-16s %10s   load %s\n' "$1" "$2" "$3" "$4" "$(load)"; }

# command_for SUBJECT-INDEX DISPLAY INTERVAL: prepares a fresh configuration
# and prints the command line (display: window, directdraw or tray).
command_for() {
  local i=$1 display=$2 interval=$3 bin=${bins[$1]}
  if [ "$i" -eq 0 ]; then
    echo "$bin --debug --interval $interval $([ "$display" = tray ] && echo --tray)"
    return
  fi
  local config=$work/config-$RANDOM$RANDOM
  mkdir -p "$config"
  XDG_CONFIG_HOME=$config "$(dirname "$bin")/kelvo-reg" add 'HKCU\SOFTWARE\Quennel\Kelvo' /v Frequency /t REG_DWORD /d "$interval" /f >/dev/null
  if [ "$display" = directdraw ]; then
    XDG_CONFIG_HOME=$config "$(dirname "$bin")/kelvo-reg" add 'HKCU\SOFTWARE\Quennel\Kelvo' /v DirectX /t REG_SZ /d y /f >/dev/null
  fi
  echo "env XDG_CONFIG_HOME=$config $bin /debug $([ "$display" = tray ] && echo /tray)"
}

# cpu_ns PID: CPU time of the process's threads in ns; /proc/PID/stat counts
# in 10 ms ticks, too coarse for a few seconds at under 1%.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d", s}'; }
percent() { echo "scale=3; 100 * ($2 - $1) / 1000000000 / $3" | bc; }
server_ns() {
  local p s=0
  for p in $(ps -e -o pid=,sid= | awk -v s="$server_session" '$2 == s {print $1}'); do
    s=$((s + $(cpu_ns "$p")))
  done
  echo "$s"
}
# wakeups PID: the voluntary context switches of its threads so far.
wakeups() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s + 0}'; }

# sample COMMAND...: runs it, lets it settle, then sets cpu (% of one core),
# srv (the sound server's CPU over the same seconds), wakes (voluntary
# context switches a second), peak (MB), threads and the per-second frame
# counts of the sample (frames).
sample() {
  local log=$work/log
  "$@" >/dev/null 2>"$log" & local pid=$!
  sleep 3
  local t0 t1 s0 s1 v0 v1 r0 r1 lines0 elapsed
  t0=$(cpu_ns "$pid"); r0=$(server_ns); v0=$(wakeups "$pid"); s0=$(date +%s.%N)
  lines0=$(grep -c 'frames=' "$log" || true)
  sleep "$seconds"
  t1=$(cpu_ns "$pid"); r1=$(server_ns); v1=$(wakeups "$pid"); s1=$(date +%s.%N)
  peak=$(awk '/VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$pid/status")
  threads=$(awk '/^Threads/ {print $2}' "/proc/$pid/status")
  kill -TERM "$pid"; wait "$pid" || true
  elapsed=$(echo "$s1 - $s0" | bc)
  cpu=$(percent "$t0" "$t1" "$elapsed")
  srv=$(percent "$r0" "$r1" "$elapsed")
  wakes=$(echo "scale=2; ($v1 - $v0) / $elapsed" | bc)
  # Whole seconds inside the sample only.
  frames=$({ grep -o 'frames=[0-9]*' "$log" || true; } | cut -d= -f2 | sed -n "$((lines0 + 2)),$((lines0 + seconds - 1))p" | tr '\n' ' ')
  last_interval=$({ grep -o 'interval=[0-9]*' "$log" || true; } | tail -1 | cut -d= -f2)
}
# per_frame: wakes divided by the sample's mean frames a second.
per_frame() {
  echo "$frames" | tr ' ' '\n' | awk -v w="$wakes" 'NF {s += $1; n++} END {if (n && s) printf "%.2f", w * n / s; else print "-"}'
}

# summary PART WHAT [plain]: medians per subject and, unless plain, ratio and
# difference to the floor (whose window stands for the DirectDraw one too).
summary() {
  local part=$1 what=$2 plain=${3:-} floor value against=$2
  [ "$what" = directdraw ] && against=window
  floor=$(awk -v p="$part" -v w="$against" -v s="${names[0]}" '$1==p && $2==w && $3==s {print $4}' "$results" | median)
  [ -n "$plain" ] && floor=-
  for s in "${names[@]}"; do
    value=$(awk -v p="$part" -v w="$what" -v s="$s" '$1==p && $2==w && $3==s {print $4}' "$results" | median)
    [ "$value" = - ] && continue
    printf '  %-22s %-16s %10s' "$what" "$s" "$value"
    if [ "$s" != "${names[0]}" ] && [ "$floor" != - ] && [ "$floor" != 0 ]; then
      printf '   x%.2f of floor   %+.1f' "$(echo "$value / $floor" | bc -l)" "$(echo "$value - $floor" | bc -l)"
    fi
    echo
  done
}

echo "compare-floor: ${names[*]}; ${seconds} s samples; load at start $(cut -d' ' -f1-3 /proc/loadavg); $(date -u +%H:%M) UTC"

if want memory; then
  echo "CPU (% of one core), peak RSS (MB), threads, wake-ups per frame and the sound server's CPU at 150 ms, X11 + trayer, $server:"
  for _ in $(seq "$rounds"); do
    # The server with the tone and no recorder, then with parec at one interval.
    sleep "$seconds"; r0=$(server_ns); s0=$(date +%s.%N); sleep "$seconds"
    record server idle "-" "$(percent "$r0" "$(server_ns)" "$(echo "$(date +%s.%N) - $s0" | bc)")"
    sample parec --latency-msec=150 --raw --format=u8 --rate=8000 --channels=1 -d "$PULSE_SOURCE"
    record server parec "parec" "$srv"
    record wakes-s parec "parec" "$wakes"
    for display in window directdraw tray; do
      for i in "${!names[@]}"; do
        [ "$i" -eq 0 ] && [ "$display" = directdraw ] && continue  # the floor's window is the same
        read -ra cmd <<<"$(command_for "$i" "$display" 150)"
        sample "${cmd[@]}"
        record cpu "$display" "${names[$i]}" "$cpu"
        record rss "$display" "${names[$i]}" "$peak"
        record threads "$display" "${names[$i]}" "$threads"
        record wakes "$display" "${names[$i]}" "$(per_frame)"
        [ "$i" -gt 0 ] && record server "$display" "${names[$i]}" "$srv"
      done
    done
  done
fi

if want start; then
  echo "Time from exec to a mapped 188x94 window (ms):"
  for _ in $(seq "$runs"); do
    for i in "${!names[@]}"; do
      read -ra cmd <<<"$(command_for "$i" window 150)"
      ms=$("$root/build/kelvo-map-timer" 188 94 "${cmd[@]}" 2>/dev/null || true)
      record start window "${names[$i]}" "${ms:-timeout}"
    done
  done
fi

if want fps; then
  echo "Frames per second, window display$([ "$busy" = y ] && echo ", beside one CPU-bound process"):"
  for interval in 15 45 150; do
    for i in "${!names[@]}"; do
      read -ra cmd <<<"$(command_for "$i" window "$interval")"
      hog=
      if [ "$busy" = y ]; then awk 'BEGIN { for (;;) {} }' & hog=$!; fi
      sample "${cmd[@]}"
      [ -n "$hog" ] && { kill "$hog"; wait "$hog" 2>/dev/null || true; }
      mean=$(echo "$frames" | tr ' ' '\n' | awk 'NF {s+=$1; n++} END {if (n) printf "%.1f", s/n; else print 0}')
      spread=$(echo "$frames" | tr ' ' '\n' | awk 'NF {if (n==0||$1<lo) lo=$1; if ($1>hi) hi=$1; n++} END {printf "%d-%d", lo, hi}')
      record fps "${interval}ms" "${names[$i]}" "$mean"
      record fps-aim "${interval}ms" "${names[$i]}" "$(echo "scale=3; 100 * $mean * $interval / 1000" | bc)"
      echo "           per second ${spread}, interval at the end ${last_interval:-?} ms"
    done
  done
fi

if want sway; then
  [ "$(id -u)" -eq 0 ] || { echo "compare-floor: --sway needs root (for a throw-away desktop user)" >&2; exit 1; }
  echo "Tray display CPU at 150 ms on sway + waybar (StatusNotifierItem):"
  desktop_user=kelvo-floor-$$
  home=$work/desktop
  mkdir -p "$home"
  useradd --no-create-home --home-dir "$home" --shell /usr/sbin/nologin --user-group "$desktop_user"
  cat >"$home/bus.conf" <<EOF
<busconfig><type>session</type><listen>unix:path=$home/bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*"/><allow receive_sender="*"/><allow own="*"/><allow user="*"/></policy></busconfig>
EOF
  echo "output * resolution 640x480" >"$home/sway.conf"
  echo '{"layer": "top", "position": "top", "height": 24, "modules-left": ["tray"], "tray": {"icon-size": 16}}' >"$home/waybar.json"
  chown -R "$desktop_user:$desktop_user" "$home"; chmod 700 "$home"
  as_user=(runuser -u "$desktop_user" -- env HOME="$home" XDG_RUNTIME_DIR="$home" DBUS_SESSION_BUS_ADDRESS="unix:path=$home/bus")
  "${as_user[@]}" dbus-daemon --nofork --config-file="$home/bus.conf" >/dev/null 2>&1 & pids+=($!)
  for _ in $(seq 100); do [ -S "$home/bus" ] && break; sleep 0.1; done
  "${as_user[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway --config "$home/sway.conf" >"$work/sway.log" 2>&1 & pids+=($!)
  socket=
  for _ in $(seq 200); do
    socket=$(find "$home" -maxdepth 1 -name 'wayland-*' ! -name '*.lock' | head -1)
    [ -n "$socket" ] && break; sleep 0.1
  done
  [ -n "$socket" ] || { echo "compare-floor: sway did not come up" >&2; exit 1; }
  "${as_user[@]}" WAYLAND_DISPLAY="$socket" GTK_A11Y=none NO_AT_BRIDGE=1 \
    waybar --config "$home/waybar.json" >"$work/waybar.log" 2>&1 & pids+=($!)
  registered() {
    "${as_user[@]}" dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
      org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher string:IsStatusNotifierHostRegistered \
      2>/dev/null | grep -q 'boolean true'
  }
  for _ in $(seq 200); do registered && break; sleep 0.1; done
  registered || { echo "compare-floor: waybar's tray did not come up" >&2; exit 1; }
  # The two trays run at once and are sampled over the same seconds: the
  # machine's state (caches, frequency, other work) then weighs on both alike.
  for _ in $(seq "$rounds"); do
    for i in "${!names[@]}"; do
      read -ra xembed <<<"$(command_for "$i" tray 150)"
      read -ra sni <<<"$(command_for "$i" tray 150)"
      "${xembed[@]}" 2>/dev/null & xpid=$!
      env -u DISPLAY WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$home/bus" "${sni[@]}" 2>/dev/null & spid=$!
      # A new item costs its host's and its own start-up for some seconds.
      sleep 10
      x0=$(cpu_ns "$xpid"); n0=$(cpu_ns "$spid"); s0=$(date +%s.%N)
      sleep "$seconds"
      x1=$(cpu_ns "$xpid"); n1=$(cpu_ns "$spid"); s1=$(date +%s.%N)
      peak=$(awk '/VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$spid/status")
      kill -TERM "$xpid" "$spid"; wait "$xpid" "$spid" || true
      xcpu=$(percent "$x0" "$x1" "$(echo "$s1 - $s0" | bc)")
      cpu=$(percent "$n0" "$n1" "$(echo "$s1 - $s0" | bc)")
      record cpu sni-tray "${names[$i]}" "$cpu"
      record cpu xembed-beside "${names[$i]}" "$xcpu"
      record rss sni-tray "${names[$i]}" "$peak"
      [ "$xcpu" != 0 ] && record ratio sni-xembed "${names[$i]}" "$(echo "scale=3; $cpu / $xcpu" | bc)"
    done
  done
fi

echo
echo "Medians$( [ ${#names[@]} -gt 1 ] && echo ", ratio and difference to ${names[0]}"):"
for what in window directdraw tray sni-tray xembed-beside; do
  for part in cpu rss threads; do
    grep -q "^$part $what " "$results" && { echo " $part:"; summary "$part" "$what"; }
  done
  grep -q "^wakes $what " "$results" && { echo " wake-ups per frame (all threads):"; summary wakes "$what" plain; }
done
if grep -q '^server parec ' "$results"; then
  # The server's extra work: its CPU beside a recorder less its CPU without one.
  idle=$(awk '$1 == "server" && $2 == "idle" {print $4}' "$results" | median)
  extra() { awk -v w="$1" -v s="$2" '$1 == "server" && $2 == w && $3 == s {print $4}' "$results" | median | awk -v i="$idle" '{printf "%.3f", $1 - i}'; }
  base=$(extra parec parec)
  echo " the sound server's extra CPU (% of one core) over its $idle% with no recorder, and x of parec's:"
  printf '  %-22s %-16s %10s   wake-ups %s a second\n' parec-150ms parec "$base" \
    "$(awk '$1 == "wakes-s" {print $4}' "$results" | median)"
  for display in window directdraw tray; do
    for s in "${names[@]:1}"; do
      value=$(extra "$display" "$s")
      printf '  %-22s %-16s %10s' "$display" "$s" "$value"
      awk -v v="$value" -v b="$base" 'BEGIN {if (b > 0) printf "   x%.2f of parec", v / b; print ""}'
    done
  done
fi
grep -q '^start ' "$results" && { echo " time to window (ms):"; summary start window; }
for interval in 15 45 150; do
  grep -q "^fps ${interval}ms " "$results" && {
    echo " frames/s at ${interval} ms (aim $(echo "scale=1; 1000 / $interval" | bc)), and % of the aim:"
    summary fps "${interval}ms"
    summary fps-aim "${interval}ms" plain
  }
done
if grep -q '^ratio sni-xembed ' "$results"; then
  echo " StatusNotifierItem tray CPU against the XEmbed tray's, sampled at the same time (median of the rounds):"
  summary ratio sni-xembed plain
fi
echo "load at the end $(cut -d' ' -f1-3 /proc/loadavg); $(date -u +%H:%M) UTC"

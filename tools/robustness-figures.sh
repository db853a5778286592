#!/usr/bin/env bash
# Figures of Kelvo under stress, each under a virtual X server of its own:
#   tools/robustness-figures.sh stalls [count]  the interval after `count`
#       (default 10) 1-second stalls of the sound server, with a tone playing
#   tools/robustness-figures.sh sigterm-box     the time from SIGTERM to exit
#       while "No recoring devices" is open (five runs)
#   tools/robustness-figures.sh second-start [count]  the time a second start
#       takes to hand over to the running Kelvo and exit (`count` runs,
#       default 20, alternately with /tray and without), and the load
set -uo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill -CONT "$p" 2>/dev/null; kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT INT TERM
display=:$(( 600 + $$ % 300 ))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
mkdir -p "$work/pulse-rt" "$work/kelvo-rt" "$work/config"; chmod 700 "$work/kelvo-rt"
export XDG_CONFIG_HOME=$work/config

case "${1:-}" in
stalls)
  XDG_RUNTIME_DIR=$work/pulse-rt pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=stalls" >/dev/null 2>&1 & server=$!; pids+=($server)
  export PULSE_SERVER=unix:$work/pulse-rt/pulse/native PULSE_SOURCE=stalls.monitor
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  sox -n -r 8000 -c 1 -b 8 -e unsigned -t raw - synth 600 sine 440 vol 0.8 2>/dev/null \
    | pacat --raw --format=u8 --rate=8000 --channels=1 -d stalls & pids+=($!)
  XDG_RUNTIME_DIR=$work/kelvo-rt build/kelvo /debug 2>"$work/kelvo.log" & kelvo=$!; pids+=($kelvo)
  sleep 4
  for _ in $(seq "${2:-10}"); do kill -STOP $server; sleep 1; kill -CONT $server; sleep 1; done
  sleep 2
  kill -TERM $kelvo; wait $kelvo
  echo "intervals reported: $(grep -o 'interval=[0-9]*' "$work/kelvo.log" | sort | uniq -c | tr -s ' ' | tr '\n' ';')"
  echo "stored at exit: $(build/kelvo-reg query 'HKCU\SOFTWARE\Quennel\Kelvo' /v Frequency | grep -i frequency)"
  ;;
sigterm-box)
  export PULSE_SERVER=unix:$work/no-server
  for run in 1 2 3 4 5; do
    XDG_RUNTIME_DIR=$work/kelvo-rt build/kelvo 2>/dev/null & kelvo=$!
    for _ in $(seq 200); do
      [ -n "$(xdotool search --onlyvisible --name '^No recoring devices$' 2>/dev/null)" ] && break; sleep 0.05
    done
    t0=$(date +%s%N); kill -TERM $kelvo; wait $kelvo; status=$?; t1=$(date +%s%N)
    echo "run $run: status $status, $(( (t1 - t0) / 1000000 )) ms from SIGTERM to exit"
  done
  ;;
second-start)
  XDG_RUNTIME_DIR=$work/pulse-rt pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=second" >/dev/null 2>&1 & pids+=($!)
  export PULSE_SERVER=unix:$work/pulse-rt/pulse/native PULSE_SOURCE=second.monitor
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  export XDG_RUNTIME_DIR=$work/kelvo-rt
  build/kelvo 2>/dev/null & pids+=($!)
  for _ in $(seq 200); do pactl list short source-outputs | grep -q . && break; sleep 0.05; done
  times=()
  for run in $(seq "${2:-20}"); do
    switch=$([ $((run % 2)) = 1 ] && echo /tray || true)
    t0=$(date +%s%N); build/kelvo $switch; status=$?; t1=$(date +%s%N)
    times+=($(( (t1 - t0) / 1000000 )))
    echo "run $run ${switch:-(no switch)}: status $status, ${times[-1]} ms"
  done
  sorted=($(printf '%s\n' "${times[@]}" | sort -n))
  echo "second start to exit: min ${sorted[0]} ms, median ${sorted[$(( ${#sorted[@]} / 2 ))]} ms, max ${sorted[-1]} ms"
  floor=()
  for _ in 1 2 3 4 5; do t0=$(date +%s%N); build/kelvo --version >/dev/null; t1=$(date +%s%N); floor+=($(( (t1 - t0) / 1000000 ))); done
  sorted=($(printf '%s\n' "${floor[@]}" | sort -n))
  echo "floor, kelvo --version (loading the program alone): median ${sorted[2]} ms"
  echo "capture streams: $(pactl list short source-outputs | wc -l); load: $(uptime | sed 's/.*load/load/')"
  ;;
*) sed -n '2,9p' "$0"; exit 1 ;;
esac

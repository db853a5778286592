#!/usr/bin/env bash
# Measures the running applet: CPU use over a window of time, peak resident
# memory and the frame rate from its /debug lines, with a tone playing.
#   tools/measure.sh [seconds] [interval-ms] [kelvo arguments...]
# KELVO_DIRECTX=y stores "DirectX"="y" first: the window drawn through DirectDraw.
# KELVO_OPEN=menu|tray-menu|prefs|about|invalid measures with that open
# (tools/live-figures.sh; tray-menu needs /tray).
# KELVO_SCALE=2 draws at that device pixel ratio: Xft.dpi 192 for 2, else
# QT_SCALE_FACTOR (1.25, 1.5, ...).
# KELVO_SERVER=pipewire runs PipeWire (pipewire, pipewire-pulse, wireplumber
# under a private session bus) instead of PulseAudio.
# Runs under a virtual X server and a private sound server of its own; the
# server's CPU use is given too (all its processes).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}; interval=${2:-150}; shift $(( $# > 2 ? 2 : $# ))
work=$(mktemp -d)
pids=()
server=
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -z "$server" ] || kill -- -"$server" 2>/dev/null || true
  wait 2>/dev/null || true; rm -rf "$work"
}
trap cleanup EXIT INT TERM

display=:$(( 300 + $$ % 300 ))
Xvfb "$display" -noreset -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
case "${KELVO_SCALE:-1}" in
  1) ;;
  2) echo "Xft.dpi: 192" | xrdb -merge ;;
  *) export QT_SCALE_FACTOR=$KELVO_SCALE ;;
esac
trayer --edge top --align left --widthtype request --height 24 --SetDockType false >/dev/null 2>&1 & pids+=($!)
mkdir -p "$work/pulse-rt" "$work/kelvo-rt" "$work/config"; chmod 700 "$work/kelvo-rt"
export PULSE_SERVER=unix:$work/pulse-rt/pulse/native PULSE_SOURCE=measure.monitor
if [ "${KELVO_SERVER:-}" = pipewire ]; then
  XDG_RUNTIME_DIR=$work/pulse-rt HOME=$work setsid dbus-run-session -- \
    sh -c 'pipewire & pipewire-pulse & wireplumber & wait' >/dev/null 2>&1 & server=$!
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl load-module module-null-sink sink_name=measure >/dev/null
else
  XDG_RUNTIME_DIR=$work/pulse-rt setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=measure" >/dev/null 2>&1 & server=$!
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
fi
# 437 Hz: a new picture every frame (440 Hz repeats itself every 150 ms).
sox -n -r 8000 -c 1 -b 8 -e unsigned -t raw - synth $(( seconds + 30 )) sine 437 vol 0.8 2>/dev/null \
  | pacat --raw --format=u8 --rate=8000 --channels=1 -d measure & pids+=($!)

export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/kelvo-rt
build/kelvo-reg add 'HKCU\SOFTWARE\Quennel\Kelvo' /v Frequency /t REG_DWORD /d "$interval" /f >/dev/null
if [ "${KELVO_DIRECTX:-}" = y ]; then
  build/kelvo-reg add 'HKCU\SOFTWARE\Quennel\Kelvo' /v DirectX /t REG_SZ /d y /f >/dev/null
fi
build/kelvo /debug "$@" 2>"$work/kelvo.log" & kelvo=$!; pids+=($kelvo)
sleep 3  # past start-up
if [ -n "${KELVO_OPEN:-}" ]; then KELVO_PID=$kelvo tools/live-figures.sh --open "$KELVO_OPEN"; sleep 1; fi
ticks() { awk '{print $14 + $15}' "/proc/$kelvo/stat"; }
server_ticks() { for p in $(ps -o pid= -s "$server"); do awk '{print $14 + $15}' "/proc/$p/stat" 2>/dev/null; done | awk '{s+=$1} END {print s+0}'; }
hz=$(getconf CLK_TCK)
t0=$(ticks); st0=$(server_ticks); s0=$(date +%s.%N)
if [ -n "${KELVO_PERF:-}" ]; then  # where the time goes: perf report -i "$KELVO_PERF"
  perf record -q -e cpu-clock -F 2000 -g -p "$kelvo" -o "$KELVO_PERF" -- sleep "$seconds" >/dev/null 2>&1
else
  sleep "$seconds"
fi
t1=$(ticks); st1=$(server_ticks); s1=$(date +%s.%N)
peak=$(awk '/VmHWM/ {print $2}' "/proc/$kelvo/status")
kill -TERM "$kelvo"; wait "$kelvo" || true
cpu=$(echo "scale=2; 100 * ($t1 - $t0) / $hz / ($s1 - $s0)" | bc)
server_cpu=$(echo "scale=2; 100 * ($st1 - $st0) / $hz / ($s1 - $s0)" | bc)
frames=$(grep -o 'frames=[0-9]*' "$work/kelvo.log" | tail -n $(( seconds > 4 ? seconds - 2 : 1 )) | cut -d= -f2 | awk '{s+=$1; n++} END {if (n) printf "%.1f", s/n}')
echo "interval ${interval} ms: cpu ${cpu}% of one core over ${seconds} s; peak RSS $(echo "scale=1; $peak / 1024" | bc) MB; ${frames} frames/s"
echo "sound server (${KELVO_SERVER:-pulseaudio}): cpu ${server_cpu}% of one core"
echo "interval at the end: $(grep -o 'interval=[0-9]*' "$work/kelvo.log" | tail -1)"
echo "stored at exit: $(build/kelvo-reg query 'HKCU\SOFTWARE\Quennel\Kelvo' /v Frequency | grep -i frequency)"

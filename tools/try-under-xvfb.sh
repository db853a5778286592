#!/usr/bin/env bash
# Tries Kelvo on a machine without a desktop: a virtual X server, a tray, a
# private sound server playing a tone, then Kelvo with the given arguments
# and a scratch configuration, so the user's own settings stay as they are.
# KELVO_DISPLAY picks the virtual display (default :77).
# Screenshots: DISPLAY=:77 import -window root shot.png
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh try
display=${KELVO_DISPLAY:-:77}
runtime=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$runtime"; }
trap cleanup EXIT INT TERM

Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
trayer --edge top --align left --widthtype request --height 24 --SetDockType false >/dev/null 2>&1 & pids+=($!)

export XDG_RUNTIME_DIR=$runtime
export XDG_CONFIG_HOME=$runtime/config
pulseaudio -n --daemonize=no --exit-idle-time=-1 --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=kelvo_try" >/dev/null 2>&1 & pids+=($!)
export PULSE_SERVER=unix:$runtime/pulse/native
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-source kelvo_try.monitor
# 437 Hz, not 440: 440 Hz has a whole number of periods in 150 ms, and the
# tray's trace would stand still.
sox -n -r 8000 -c 1 -b 8 -e unsigned -t raw - synth 600 sine 437 vol 0.8 2>/dev/null \
  | pacat --raw --format=u8 --rate=8000 --channels=1 -d kelvo_try & pids+=($!)

echo "Kelvo on $display; stop with Ctrl+C"
"${KELVO_BINARY:-build/kelvo}" "$@"

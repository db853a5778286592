#!/usr/bin/env bash
# How long a change of input takes: from Kelvo's menu choice, and from a
# change of the server's default source, to the first complete frame of the
# new source's sound (build/kelvo-input-switch, five switches each); and how long
# the menu waits for the list of sources.
#   tools/input-figures.sh            # on PulseAudio
#   KELVO_SERVER=pipewire tools/input-figures.sh
#   KELVO_PLAYER_LATENCY_MS=40 tools/input-figures.sh   # the tone's player asks for that latency
# A player that asks for none gets about 2 s: PulseAudio's null sink then
# renders that far ahead, and a recording that joins its monitor waits for
# the next render.
# Two null sinks on a private server: "measure" (silent, the default) and
# "tone" (a 437 Hz tone playing).
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
server=; player=
cleanup() {
  [ -z "$player" ] || kill "$player" 2>/dev/null || true
  [ -z "$server" ] || kill -- -"$server" 2>/dev/null || true
  wait 2>/dev/null || true; rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/rt"; chmod 700 "$work/rt"
export PULSE_SERVER=unix:$work/rt/pulse/native
unset PULSE_SOURCE
if [ "${KELVO_SERVER:-}" = pipewire ]; then
  XDG_RUNTIME_DIR=$work/rt HOME=$work setsid dbus-run-session -- \
    sh -c 'pipewire & pipewire-pulse & wireplumber & wait' >/dev/null 2>&1 & server=$!
else
  XDG_RUNTIME_DIR=$work/rt setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --load=module-native-protocol-unix >/dev/null 2>&1 & server=$!
fi
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl load-module module-null-sink sink_name=measure >/dev/null
pactl load-module module-null-sink sink_name=tone >/dev/null
pactl set-default-sink measure; pactl set-default-source measure.monitor
sox -n -r 8000 -c 1 -b 8 -e unsigned -t raw - synth 600 sine 437 vol 0.8 2>/dev/null \
  | pacat ${KELVO_PLAYER_LATENCY_MS:+--latency-msec=$KELVO_PLAYER_LATENCY_MS} --raw --format=u8 --rate=8000 --channels=1 -d tone & player=$!
sleep 1
echo "server: $(pactl info | grep 'Server Name' | cut -d: -f2-); load: $(uptime | sed 's/.*load/load/')"
echo "# a menu choice"
build/kelvo-input-switch menu tone.monitor
echo "# \"Default input\" after a new default source"
build/kelvo-input-switch default "pactl set-default-source tone.monitor" "pactl set-default-source measure.monitor"
# The player goes along with the default output unless moved back.
echo "# \"What is playing\" after a new default output"
PULSE_SOURCE=@DEFAULT_MONITOR@ build/kelvo-input-switch default "pactl set-default-sink tone" \
  "pactl set-default-sink measure; pactl move-sink-input \$(pactl list short sink-inputs | cut -f1) tone"
build/kelvo-input-switch list

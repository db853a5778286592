# Sourced by the picture scripts: a scratch folder cleaned up at exit, waits,
# a virtual X server (extra Xvfb arguments in XVFB_ARGS) and a private sound
# server playing a slow tone with a second one beating against it (a calm,
# readable trace) for TONE_SECONDS.
work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Waits up to 10 s for a command to succeed, or to fail.
until_ok() { for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }
until_not() { for _ in $(seq 100); do "$@" >/dev/null 2>&1 || return 0; sleep 0.1; done; return 1; }

# Xvfb picks a free display itself and writes its number.
# shellcheck disable=SC2086
Xvfb -displayfd 3 ${XVFB_ARGS:-} -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & pids+=($!)
until_ok test -s "$work/display"
export DISPLAY=":$(cat "$work/display")"
until_ok xdpyinfo

export XDG_RUNTIME_DIR=$work XDG_CONFIG_HOME=$work/config HOME=$work
pulseaudio -n --daemonize=no --exit-idle-time=-1 --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=kelvo_shots" >/dev/null 2>&1 & pids+=($!)
export PULSE_SERVER=unix:$work/pulse/native PULSE_SOURCE=kelvo_shots.monitor
until_ok pactl info
sox -n -r 8000 -c 1 -b 8 -e unsigned -t raw - synth "${TONE_SECONDS:-300}" sine 21 sine 53 remix - vol 0.8 2>/dev/null \
  | pacat --raw --format=u8 --rate=8000 --channels=1 -d kelvo_shots 2>/dev/null & pids+=($!)

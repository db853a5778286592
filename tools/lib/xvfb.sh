# Start-up shared by the measuring tools; sourced. The caller's `pids` array
# collects what its cleanup kills.

# start_xvfb FILE: a virtual X server on a free display it picks itself and
# writes to FILE; sets `xvfb_display` (":N"). Without -noreset it resets
# whenever its last client leaves, and refuses one that connects meanwhile.
start_xvfb() {
  exec 3>"$1"
  Xvfb -displayfd 3 -noreset -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
  exec 3>&-
  for _ in $(seq 100); do [ -s "$1" ] && break; sleep 0.1; done
  [ -s "$1" ] || { echo "$(basename "$0"): Xvfb did not start" >&2; exit 1; }
  xvfb_display=:$(cat "$1")
}

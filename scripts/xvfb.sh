# Sourced by tests/app/end-to-end.sh and scripts/screenshot: a virtual X server of their own.
# Xvfb names its display (-displayfd) only once it takes connections, so nothing after this
# races a server still starting, which xvfb-run does not promise on a loaded machine.
# start_xvfb sets DISPLAY, xvfb_pid and xvfb_log (what the server says); stop_xvfb ends the
# server. Three tries, and what the server said when none of them came up.
xvfb_pid=""
xvfb_log=""
start_xvfb() {
  local log number attempt
  log=$(mktemp "${TMPDIR:-/tmp}/lepotex-xvfb.XXXXXX")
  number=$(mktemp "${TMPDIR:-/tmp}/lepotex-xvfb.XXXXXX")
  for attempt in 1 2 3; do
    : >"$number"
    # -noreset: the server would start over each time its last client left (the check that
    # it runs, say), and a window starting just then can fail to connect.
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1280x1024x24 3>"$number" 2>"$log" &
    xvfb_pid=$!
    for _ in $(seq 300); do
      grep -q '^[0-9][0-9]*$' "$number" && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if grep -q '^[0-9][0-9]*$' "$number" && kill -0 "$xvfb_pid" 2>/dev/null; then
      DISPLAY=":$(grep -m1 '^[0-9][0-9]*$' "$number")"
      export DISPLAY
      xvfb_log=$log
      rm -f "$number"
      return 0
    fi
    stop_xvfb
    echo "the X server did not start (attempt $attempt):" >&2
    sed 's/^/  /' "$log" >&2
    sleep 1
  done
  rm -f "$log" "$number"
  return 1
}
stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
  if [ -n "$xvfb_log" ]; then rm -f "$xvfb_log"; xvfb_log=""; fi
}

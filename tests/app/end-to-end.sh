#!/usr/bin/env bash
# The window in a real X server, driven by keyboard as a reader would drive it: open a broken
# book, "Slepit" from the menu (Alt+A, Enter), close the closing message, save with Ctrl+S,
# and compare the saved bytes with what lepotex-cli glue makes of the same book. Then F8 goes
# to the first doubtful place of the panel "Změny" (the first rule replacement), a typed "@"
# takes the place of what it selected, and the saved book must have it exactly where the record
# of lepotex-cli glue --changes says; "Vrátit lepení" (Alt+A, L) and Ctrl+S give back the
# bytes of the original book.
#
# Usage: end-to-end.sh BUILD_DIR        (starts its own X server when it is not given one)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: end-to-end.sh BUILD_DIR}" && pwd)
# shellcheck source=../../scripts/xvfb.sh
source "$root/scripts/xvfb.sh"
if [ -n "${LEPOTEX_E2E_DISPLAY:-}" ]; then
  export DISPLAY=$LEPOTEX_E2E_DISPLAY
else
  start_xvfb || { echo "end-to-end: no X server, giving up" >&2; exit 1; }
fi
unset QT_QPA_PLATFORM  # a real X server this time

work=$(mktemp -d "${TMPDIR:-/tmp}/lepotex-e2e.XXXXXX")
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config  # defaults, and never the user's settings
book=$work/mlyn.txt
cp "$root/samples/mlyn.txt" "$book"
"$build/cli/lepotex-cli" glue --defaults "$root/samples/mlyn.txt" -o "$work/expected.txt" --changes "$work/changes.tsv"
# The glued book with its first rule replacement's first byte as "@": where F8 must select.
python3 - "$work/expected.txt" "$work/changes.tsv" "$work/expected-f8.txt" <<'PYTHON'
import sys
glued, table, out = sys.argv[1:]
rows = [line.split("\t") for line in open(table, encoding="utf-8").read().splitlines()[1:]]
paragraph, column = next((int(r[1]), int(r[2])) for r in rows if r[0] == "rule")
lines = open(glued, "rb").read().split(b"\r\n")
line = lines[paragraph - 1]
lines[paragraph - 1] = line[:column - 1] + b"@" + line[column:]
open(out, "wb").write(b"\r\n".join(lines))
PYTHON

fail() { echo "end-to-end: $*" >&2; exit 1; }
# Waits until a window of exactly this name is mapped and prints its id.
wait_window() {
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  return 1
}
keys() {  # window, keys...
  local window=$1; shift
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  sleep 0.2
  xdotool key --clearmodifiers "$@"
}

xdotool getdisplaygeometry >/dev/null || fail "the X server $DISPLAY takes no connection"
# A window that could not reach the server is started again, twice at most: what is tested is
# the window, not how soon a virtual server takes its clients on a loaded machine.
main=""
for attempt in 1 2 3; do
  (cd "$root/docs" && exec "$build/app/lepotex" "$book") 2>"$work/window.err" &
  pid=$!
  if main=$(wait_window 'Lepotex \[mlyn.txt\]'); then break; fi
  main=""
  if kill -0 "$pid" 2>/dev/null || ! grep -q "could not connect to display" "$work/window.err"; then
    cat "$work/window.err" >&2
    fail "the window with the opened book did not appear"
  fi
  wait "$pid" 2>/dev/null || true
  echo "end-to-end: the window could not connect to $DISPLAY (attempt $attempt)" >&2
  sleep 1
done
if [ -z "$main" ]; then
  cat "$work/window.err" >&2
  echo "end-to-end: what the X server said:" >&2
  sed 's/^/  /' "$xvfb_log" >&2 || true
  fail "the window never reached the X server $DISPLAY"
fi

keys "$main" alt+a
sleep 0.3
xdotool key Return
message=$(wait_window 'Lepotex') || fail "no closing message after Slepit"
keys "$message" Return
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^Lepotex$' >/dev/null 2>&1 || break
  sleep 0.1
done

keys "$main" ctrl+s
for _ in $(seq 100); do
  cmp -s "$book" "$work/expected.txt" && break
  sleep 0.1
done
if ! cmp "$book" "$work/expected.txt"; then
  fail "the saved book differs from lepotex-cli glue"
fi

saved() {  # file: waits until the book is saved with exactly these bytes
  for _ in $(seq 100); do
    cmp -s "$book" "$1" && return 0
    sleep 0.1
  done
  cmp "$book" "$1"
}
keys "$main" F8
sleep 0.3
xdotool type --delay 50 "@"
keys "$main" ctrl+s
saved "$work/expected-f8.txt" || fail "F8 did not select the first rule replacement"
keys "$main" alt+a
sleep 0.3
xdotool key l
# The "@" typed since the glue would be lost: the window asks first, and Enter is "&Yes".
question=$(wait_window 'Confirm') || fail "no question before \"Vrátit lepení\" dropped an edit"
keys "$question" Return
sleep 0.3
keys "$main" ctrl+s
saved "$root/samples/mlyn.txt" || fail "after \"Vrátit lepení\" the saved book differs from the original"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
pid=""
echo "end-to-end: the book glued in the window and saved with Ctrl+S equals lepotex-cli glue;" \
  "F8 selects its first rule replacement; \"Vrátit lepení\" gives the original bytes back"

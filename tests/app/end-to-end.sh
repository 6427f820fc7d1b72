#!/usr/bin/env bash
# The window in a real X server, driven by keyboard as a reader would drive it: open a broken
# book, "Slepit" from the menu (Alt+A, Enter), close the closing message, save with Ctrl+S,
# and compare the saved bytes with what lepotex-cli glue makes of the same book.
#
# Usage: end-to-end.sh BUILD_DIR        (runs itself again inside xvfb-run when needed)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: end-to-end.sh BUILD_DIR}" && pwd)
if [ -z "${LEPOTEX_E2E_INSIDE:-}" ]; then
  export LEPOTEX_E2E_INSIDE=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build"
fi
unset QT_QPA_PLATFORM  # a real X server this time

work=$(mktemp -d "${TMPDIR:-/tmp}/lepotex-e2e.XXXXXX")
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config  # defaults, and never the user's settings
book=$work/mlyn.txt
cp "$root/samples/mlyn.txt" "$book"
"$build/cli/lepotex-cli" glue --defaults "$root/samples/mlyn.txt" -o "$work/expected.txt"

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

# On a busy machine the X server can still be starting when xvfb-run hands over.
for _ in $(seq 100); do
  xdotool getdisplaygeometry >/dev/null 2>&1 && break
  sleep 0.1
done
(cd "$root/docs" && exec "$build/app/lepotex" "$book") &
pid=$!
main=$(wait_window 'Lepotex \[mlyn.txt\]') || fail "the window with the opened book did not appear"

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
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
pid=""
echo "end-to-end: the book glued in the window and saved with Ctrl+S equals lepotex-cli glue"

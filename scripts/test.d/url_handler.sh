#!/bin/bash
# The URL scheme end to end: the desktop entry installed by
# install-url-handler.sh makes `xdg-open halvorn-ulx://...` reach a running
# instance. The stand-in executable of the start-up tests plays the
# application. Prints "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
instance="$build/tests/app/app_test_instance"
passed=0
failed=0
check() {  # check NAME COMMAND...
  local name="$1"; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

if [ ! -x "$instance" ]; then
  echo "url_handler: $instance is not built"
  echo "0 passed, 1 failed"
  exit 1
fi

work="$(mktemp -d /tmp/auralith-url.XXXXXX)"
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/data" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_DATA_DIRS="$work/data" XDG_RUNTIME_DIR="$work/runtime"
export AURALITH_CONFIG_DIR="$work/config" AURALITH_TEST_RECORD="$work/record.txt"
export PULSE_SERVER="unix:$work/no-sound-server"
# xdg-open without a desktop environment consults the scheme handlers only
# when it believes a display exists; nothing here opens a window.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID BROWSER
export DISPLAY="${DISPLAY:-:0}"

wait_for() {  # wait_for LINE: the record holds LINE within 5 s
  local i
  for i in $(seq 1 100); do
    grep -qx "$1" "$work/record.txt" 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}

bash "$root/scripts/install-url-handler.sh" "$instance" >/dev/null
check "the handler is registered" \
  test "$(xdg-mime query default x-scheme-handler/halvorn-ulx)" = "auralith.desktop"

"$instance" &
pid=$!
check "the first instance starts" wait_for "started pending=0 mode=0 host=profiles.auralith.example"
xdg-open "halvorn-ulx://launch" >/dev/null 2>&1
check "xdg-open forwards launch" wait_for "command 10"
xdg-open "halvorn-ulx://headphones" >/dev/null 2>&1
check "xdg-open forwards headphones" wait_for "command 8"
xdg-open "halvorn-ulx://quit" >/dev/null 2>&1
check "xdg-open forwards quit" wait_for "ended"
for i in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
check "the instance has ended" bash -c "! kill -0 $pid 2>/dev/null"
wait "$pid" 2>/dev/null
pid=""

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/bin/bash
# Builds Auralith and runs it: the driver stand-in ulxd and the application
# Auralith (tray icon and skinned window) on the user's desktop session, so
# everything the computer plays is re-mastered on its way to the speakers.
#
#   scripts/run.sh              the application
#   scripts/run.sh --headless   the audio engine alone (auralith-engine), for
#                               machines without a desktop; further arguments
#                               go to it
#
# Without a sound server (no PULSE_SERVER and none running) a private
# PulseAudio server is started whose null sink stands in for the speakers.
# Without a display (no DISPLAY or WAYLAND_DISPLAY) a virtual X display
# (Xvfb) with a tray host (trayer) is started, so the window and the tray
# icon exist. Ctrl-C, or "Auralith halvorn-ulx://quit", stops it; the default
# output is given back.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
headless=0
if [ "${1:-}" = "--headless" ]; then
  headless=1
  shift
fi
bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/install-profiles.sh
build="${AURALITH_BUILD_DIR:-$root/build}"
app="$build/src/ui/main/Auralith"

. scripts/lib/pulse.sh
private=""
ulxd_pid=""
main_pid=""
xvfb_pid=""
trayer_pid=""
stop_pid() {
  local pid="$1"
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  trap - EXIT INT TERM
  # Auralith turns SIGTERM into its Quit: state saved, default output back.
  stop_pid "$main_pid"
  stop_pid "$ulxd_pid"
  stop_pid "$trayer_pid"
  stop_pid "$xvfb_pid"
  if [ -n "$private" ]; then
    pulse_stop
    rm -rf "$private"
  fi
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The folder of whatever this script starts for itself (sound server,
# display, runtime folder); made on first use, removed at the end.
need_private() {
  [ -n "$private" ] || private="$(mktemp -d /tmp/auralith-run.XXXXXX)"
}

if pactl info >/dev/null 2>&1; then
  echo "Using the sound server $(pactl info | sed -n 's/^Server Name: //p')."
else
  need_private
  echo "No sound server is running: starting a private PulseAudio server in $private"
  pulse_start "$private/pulse" "speakers|Speakers (Built-in Audio)"
  echo "with a null sink \"speakers\" standing in for the speakers (PULSE_SERVER=$PULSE_SERVER)."
fi
speakers="$(pactl get-default-sink)"
# The driver's interface and the application's instance lock live in the
# session's runtime folder.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  need_private
  export XDG_RUNTIME_DIR="$private/runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
fi

if [ "$headless" = 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  need_private
  display=":$((90 + RANDOM % 400))"
  echo "No display: starting the virtual X display $display with the tray host trayer."
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$private/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY="$display"
  for _ in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  trayer --edge top --align right --widthtype pixel --width 120 --height 24 >"$private/trayer.log" 2>&1 &
  trayer_pid=$!
  sleep 0.5
  echo "Take a picture of it with: DISPLAY=$DISPLAY import -window root shot.png"
fi

"$build/src/driver/ulxd" &
ulxd_pid=$!
for _ in $(seq 1 100); do
  pactl list short sinks 2>/dev/null | awk '{print $2}' | grep -q '^auralith' && break
  kill -0 "$ulxd_pid" 2>/dev/null || { echo "ulxd ended before it offered its device" >&2; exit 1; }
  sleep 0.1
done

if [ "$headless" = 1 ]; then
  "$build/src/tools/engine/auralith-engine" "$@" &
else
  "$app" "$@" &
fi
main_pid=$!
echo "Auralith is running. Every program now plays into the virtual device; the"
echo "re-mastered sound goes to \"$speakers\" (the output of the listening category,"
echo "chosen in the tray menu's \"Output Device\")."
if [ -n "${PULSE_PRIVATE_DIR:-}" ]; then
  echo "It is a null sink of the private server; hear it with: PULSE_SERVER=$PULSE_SERVER parecord -d $speakers.monitor out.wav"
fi
if [ "$headless" = 1 ]; then
  echo "Press Ctrl-C to stop it."
else
  echo "Press Ctrl-C, choose \"Quit\" in the tray menu, or run: XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR $app halvorn-ulx://quit"
fi
status=0
wait "$main_pid" || status=$?
main_pid=""
exit "$status"

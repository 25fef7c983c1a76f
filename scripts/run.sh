#!/bin/bash
# Builds Auralith and does its main job on this machine: starts the driver
# stand-in ulxd and the headless engine auralith-engine on the session's
# sound server, so everything the computer plays is re-mastered on its way to
# the speakers. Without a sound server (no PULSE_SERVER and none running) it
# first starts a private PulseAudio server whose null sink stands in for the
# speakers. Ctrl-C stops the engine, which gives the default output back.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh
bash scripts/install-profiles.sh
build="${AURALITH_BUILD_DIR:-$root/build}"

. scripts/lib/pulse.sh
private=""
ulxd_pid=""
engine_pid=""
cleanup() {
  trap - EXIT INT TERM
  [ -n "$engine_pid" ] && kill -TERM "$engine_pid" 2>/dev/null && wait "$engine_pid" 2>/dev/null
  [ -n "$ulxd_pid" ] && kill -TERM "$ulxd_pid" 2>/dev/null && wait "$ulxd_pid" 2>/dev/null
  if [ -n "$private" ]; then
    pulse_stop
    rm -rf "$private"
  fi
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if pactl info >/dev/null 2>&1; then
  echo "Using the sound server $(pactl info | sed -n 's/^Server Name: //p') (default output: $(pactl get-default-sink))."
else
  private="$(mktemp -d /tmp/auralith-run.XXXXXX)"
  echo "No sound server is running: starting a private PulseAudio server in $private"
  pulse_start "$private/pulse" "speakers|Speakers (Built-in Audio)"
  echo "with a null sink \"speakers\" standing in for the speakers (PULSE_SERVER=$PULSE_SERVER)."
fi
# The driver's interface lives in the session's runtime folder.
if [ -z "${XDG_RUNTIME_DIR:-}" ] && [ -z "${ULX_INTERFACE_DIR:-}" ]; then
  export ULX_INTERFACE_DIR="${private:-$(mktemp -d /tmp/auralith-ulx.XXXXXX)}/interfaces"
  mkdir -p "$ULX_INTERFACE_DIR"
fi

"$build/src/driver/ulxd" &
ulxd_pid=$!
if ! pulse_wait_for_sink auralith "$ulxd_pid" 10; then
  echo "run.sh: the virtual sink of ulxd never appeared; stopping." >&2
  exit 1
fi

"$build/src/tools/engine/auralith-engine" "$@" &
engine_pid=$!
echo "Auralith is running; press Ctrl-C to stop it."
status=0
wait "$engine_pid" || status=$?
engine_pid=""
exit "$status"

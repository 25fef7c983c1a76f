#!/bin/bash
# The engine's end-to-end checks (engine-e2e.sh) on a private PipeWire with
# pipewire-pulse and WirePlumber, beside the PulseAudio server of
# scripts/test.sh (left running), once at each graph quantum of
# $AURALITH_PIPEWIRE_QUANTA (default 2048 and 4096 frames). At 2048 frames a
# late wake-up of this shared machine still drops a period now and then, so
# a missed comparison run gets one more run. Prints "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/checks.sh"
. "$root/scripts/lib/pipewire.sh"
require_tools engine-e2e-pipewire dbus-daemon pipewire wireplumber pipewire-pulse pactl

work="$(mktemp -d /tmp/auralith-e2e-pipewire.XXXXXX)"
trap 'pipewire_stop; rm -rf "$work"' EXIT
trap "exit 143" INT TERM
for quantum in ${AURALITH_PIPEWIRE_QUANTA:-2048 4096}; do
  if ! PIPEWIRE_QUANTUM=$quantum pipewire_start "$work/pipewire-$quantum"; then
    fail "a private PipeWire starts at quantum $quantum"
    continue
  fi
  echo "-- $(pactl info | sed -n 's/^Server Name: //p'), 44100 Hz, quantum $quantum frames"
  AURALITH_E2E_ATTEMPTS=2 bash "$root/scripts/test.d/engine-e2e.sh" 2>&1 | sed 's/^/  /'
  check "the end-to-end checks pass on PipeWire at quantum $quantum" [ "${PIPESTATUS[0]}" -eq 0 ]
  pipewire_stop
done
finish

#!/bin/bash
# The engine's end-to-end checks (engine-e2e.sh) on a private PipeWire with
# pipewire-pulse and WirePlumber, beside the PulseAudio server of
# scripts/test.sh (left running), once at each graph quantum of
# $AURALITH_PIPEWIRE_QUANTA (default 2048 and 4096 frames). At 2048 frames a
# late wake-up of this shared machine still drops a period now and then, so
# a missed comparison gets more runs, as on PulseAudio. At the first quantum also
# scripts/run.sh --headless, which must take the running PipeWire as it is.
# Prints "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/checks.sh"
. "$root/scripts/lib/pipewire.sh"
require_tools engine-e2e-pipewire dbus-daemon pipewire wireplumber pipewire-pulse pactl

work="$(mktemp -d /tmp/auralith-e2e-pipewire.XXXXXX)"
run_pid=""
cleanup() {
  [ -n "$run_pid" ] && kill -TERM -- "-$run_pid" 2>/dev/null && wait "$run_pid" 2>/dev/null
  pipewire_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 143" INT TERM

# scripts/run.sh --headless on the running PipeWire, as a user starts it, and
# Ctrl-C (SIGINT to its process group) to end it.
run_script_checks() {
  local dir="$work/run"
  mkdir -p -m 700 "$dir/runtime"
  mkdir -p "$dir/config/Halvorn Vovaruzoz"
  printf '[Settings]\nisProcessingKey=1\nmodeKey=2\nmusicKey=1\n' > "$dir/config/Halvorn Vovaruzoz/Auralith.conf"
  set -m
  XDG_RUNTIME_DIR="$dir/runtime" AURALITH_CONFIG_DIR="$dir/config" AURALITH_PROFILE_DIR="$dir/profiles" \
    bash "$root/scripts/run.sh" --headless > "$dir/run.log" 2>&1 &
  run_pid=$!
  set +m
  check "run.sh starts the engine on the running PipeWire" wait_for 120 grep -q "playing on speakers" "$dir/run.log"
  check "and uses it as it is" grep -q "^Using the sound server PulseAudio (on PipeWire" "$dir/run.log"
  check "the virtual device is the default output" default_is auralith
  sox -n -r 44100 -c 2 -b 16 "$dir/tone.wav" synth 2 sine 600 gain -10
  record speakers "$dir/out.raw"
  sleep 0.3
  timeout 20 paplay "$dir/tone.wav"
  sleep 0.5
  stop_record
  check "what is played reaches the speakers" python3 - "$dir/out.raw" <<'PY'
import array, sys
a = array.array('h'); data = open(sys.argv[1], 'rb').read(); a.frombytes(data[:len(data) // 4 * 4])
sound = sum(1 for v in a[0::2] if abs(v) > 64) / 44100.0
print("  sound on the speakers: %.2f s of 2" % sound)
sys.exit(0 if sound >= 1.9 else 1)
PY
  kill -INT -- "-$run_pid"
  # Bounded: what does not end within 15 s is killed and counts as failed.
  ( sleep 15; kill -KILL -- "-$run_pid" ) 2>/dev/null &
  local watchdog=$! status=0
  wait "$run_pid" 2>/dev/null || status=$?
  kill "$watchdog" 2>/dev/null
  run_pid=""
  check "run.sh ends at Ctrl-C" [ "$status" -eq 130 ]
  check "and the speakers are the default again" default_is speakers
  check "and the virtual device is gone" bash -c '! pactl list short sinks | grep -q auralith'
  [ "$failed" -eq 0 ] || cat "$dir/run.log"
}
quanta="${AURALITH_PIPEWIRE_QUANTA:-2048 4096}"
for quantum in $quanta; do
  if ! PIPEWIRE_QUANTUM=$quantum pipewire_start "$work/pipewire-$quantum"; then
    fail "a private PipeWire starts at quantum $quantum"
    continue
  fi
  echo "-- $(pactl info | sed -n 's/^Server Name: //p'), 44100 Hz, quantum $quantum frames"
  AURALITH_GRAPH_PERIOD=$quantum bash "$root/scripts/test.d/engine-e2e.sh" 2>&1 | sed 's/^/  /'
  check "the end-to-end checks pass on PipeWire at quantum $quantum" [ "${PIPESTATUS[0]}" -eq 0 ]
  [ "$quantum" = "${quanta%% *}" ] && run_script_checks
  pipewire_stop
done
finish

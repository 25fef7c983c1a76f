#!/bin/bash
# The audio engine through faults, on a private sound server of its own
# (restarting it must not disturb the other suites): while a probe tone
# plays, the driver stand-in is stopped for 0.6 s, then killed and started
# again, then the sound server itself is restarted. After each fault the
# processed sound comes back by itself, a fresh test signal leaves the real
# sink as auralith-render renders it, and the virtual device is the default
# again; at the end the previous default is back. Prints the time from each
# fault to processed sound again and "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
engine_bin="$build/src/tools/engine/auralith-engine"
ulxd_bin="$build/src/driver/ulxd"
render_bin="$build/src/tools/render/auralith-render"
compare_bin="$build/tests/audio/audio_signal_compare"
timeline="$root/scripts/lib/sound_timeline.py"
. "$root/scripts/lib/pulse.sh"
. "$root/scripts/lib/checks.sh"
# After checks.sh: the fault drill's own record and waits take precedence.
. "$root/scripts/lib/engine_faults.sh"
require_binaries engine-faults "$engine_bin" "$ulxd_bin" "$render_bin" "$compare_bin"

work="$(mktemp -d /tmp/auralith-faults.XXXXXX)"
ulxd_pid=""
engine_pid=""
probe_pid=""
record_pid=""
trap fault_cleanup EXIT
if ! pulse_start "$work/pulse"; then
  fail "a private sound server starts"
  finish
fi
fault_session

at_most() { python3 -c "import sys; sys.exit(0 if float('$1') <= float('$2') else 1)"; }

# A fresh test signal from the real sink against the renderer. The chain
# still carries the probe's state at first: the comparison starts after 1 s.
compare_fresh_signal() {  # compare_fresh_signal NAME
  stop_probe
  sleep 0.5
  record "$work/fresh.raw"
  sleep 0.3
  paplay "$work/signal.wav"
  sleep 0.5
  stop_record
  local comparison status
  comparison="$("$compare_bin" "$work/reference.wav" "$work/fresh.raw" 1 1.0)"
  status=$?
  echo "after $1: comparison with auralith-render: $comparison"
  [ $status -eq 0 ]
}

make_probe
sox -n -r 44100 -c 2 -b 16 "$work/a.wav" synth 1.5 sine 440 sine 660 gain -12
sox -n -r 44100 -c 2 -b 16 "$work/b.wav" synth 1.5 sine 100-8000 gain -18
sox -n -r 44100 -c 2 -b 16 "$work/c.wav" synth 1 sine 200 sine 3000 gain -6
sox "$work/a.wav" "$work/b.wav" "$work/c.wav" "$work/signal.wav"
"$render_bin" --category desktop "Brevik Speakers" "$work/signal.wav" "$work/reference.wav"

check "the driver stand-in offers its virtual device" start_ulxd
"$engine_bin" > "$work/engine.log" 2>&1 &
engine_pid=$!
check "the engine starts" wait_for 10 log_has "$work/engine.log" "auralith-engine: playing on speakers"
check "the virtual device is the default output" default_is auralith
"$engine_bin" > "$work/second.log" 2>&1
second=$?
check "a second engine refuses to start" [ $second -ne 0 ]
check "and says an engine already runs" log_has "$work/second.log" "already runs"
check "the first one kept the default" default_is auralith

# fault NAME TARGET_SECONDS WAIT_SECONDS COMMAND...: the fault while the
# probe plays, and the time until processed sound came back.
fault() {
  local name="$1" target="$2" settle="$3"; shift 3
  local recovered
  measure_fault "$name" 1.5 "$settle" "$@"
  recovered=$(sed -n 's/.*recovered=\([0-9.a-z]*\).*/\1/p' <<<"$fault_result")
  echo "$name: time to processed sound again: ${recovered} s (target < $target s); $fault_result"
  check "$name: processed sound comes back within $target s" at_most "${recovered/none/999}" "$target"
  check "$name: the virtual device is the default again" wait_for 3 default_is auralith
  check "$name: a fresh test signal matches the rendering" compare_fresh_signal "$name"
  check "$name: the engine still runs" kill -0 "$engine_pid"
}

exec 3>&2 2>/dev/null  # (the shell's notices of killed jobs are not wanted)
fault "driver stall" 2 4 stall
fault "driver restart" 3 5 restart_driver
fault "server restart" 5 8 restart_server
exec 2>&3 3>&-

check "each fault and each recovery was told" \
  [ "$(grep -c 'Auralith: The' "$work/engine.log")" -ge 6 ]
grep 'Auralith: The\|Auralith: Playing' "$work/engine.log" | sed 's/^/  engine: /'
kill -TERM "$engine_pid"
wait "$engine_pid"
status=$?
engine_pid=""
check "the engine exits cleanly at SIGTERM" [ $status -eq 0 ]
check "the previous default output is the default again" default_is speakers
finish

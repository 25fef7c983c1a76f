# Shared pieces of the end-to-end scripts in scripts/test.d: counted checks
# that end in a "N passed, N failed" line, bounded waits, the sound server's
# view of sinks, the default and the application's playback stream, the
# driver stand-in, and the test signal played and compared with its rendering.
# Source it; NAME is the script's name for its messages.

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }
check() {  # check NAME COMMAND...
  local name="$1"; shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; exit $?; }

require_binaries() {  # require_binaries NAME BINARY...: ends the script when one is missing
  local name="$1" bin; shift
  for bin in "$@"; do
    if [ ! -x "$bin" ]; then
      echo "$name: $bin is not built"
      fail "binaries built"
      finish
    fi
  done
}
require_tools() {  # require_tools NAME TOOL...: ends the script when one is missing
  local name="$1" tool; shift
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "$name: $tool is missing (scripts/install-deps.sh installs it)"
      fail "tools installed"
      finish
    fi
  done
}
require_sound_server() {  # require_sound_server NAME
  if [ -z "${PULSE_SERVER:-}" ] || ! pactl info >/dev/null 2>&1; then
    echo "$1: needs the private sound server of scripts/test.sh (PULSE_SERVER is unset or silent)"
    fail "sound server reachable"
    finish
  fi
}

wait_for() {  # wait_for SECONDS COMMAND...
  local deadline=$((SECONDS + $1)); shift
  while [ $SECONDS -lt $deadline ]; do "$@" && return 0; sleep 0.1; done
  "$@"
}

# The driver stand-in $ulxd_bin, logging to $work/ulxd.log; ends the script
# when its virtual device does not come.
start_driver() {
  "$ulxd_bin" > "$work/ulxd.log" 2>&1 &
  ulxd_pid=$!
  if ! wait_for 10 sink_exists auralith; then
    cat "$work/ulxd.log"
    fail "the driver stand-in offers its virtual device"
    finish
  fi
}

sink_exists() { pactl list short sinks | awk '{print $2}' | grep -qx "$1"; }
default_is() { [ "$(pactl get-default-sink)" = "$1" ]; }
# The sink that the engine's playback stream is on.
engine_sink() {
  local index
  index="$(pactl list sink-inputs | awk '/^Sink Input/ {sink = ""} /^[ \t]*Sink:/ {sink = $2}
    /media.name = "Auralith output"/ {print sink}' | head -n1)"
  [ -n "$index" ] && pactl list short sinks | awk -v i="$index" '$1 == i {print $2}'
}
record() {  # record SINK FILE: records SINK's monitor in the background
  parec -d "$1.monitor" --format=s16le --rate=44100 --channels=2 --raw --latency-msec=10 > "$2" &
  record_pid=$!
}
stop_record() {
  [ -n "${record_pid:-}" ] && kill "$record_pid" 2>/dev/null && wait "$record_pid" 2>/dev/null
  record_pid=""
}
# Plays the test signal $work/signal.wav into the default output while
# SINK's monitor is recorded; the recording is FILE.
play_and_record() {  # play_and_record SINK FILE
  record "$1" "$2"
  sleep 0.4
  timeout 20 paplay "$work/signal.wav"
  sleep 0.8
  stop_record
}
# Plays and compares with REFERENCE (audio_signal_compare, $compare_bin) up
# to three times: on this shared machine a stall of the audio thread now and
# then drops a block; a fault of the processing fails every attempt.
heard() {  # heard SINK REFERENCE LABEL [TOLERANCE_LSB]: the recording is $work/LABEL.raw
  local attempt result
  for attempt in 1 2 3; do
    play_and_record "$1" "$work/$3.raw"
    result="$("$compare_bin" "$2" "$work/$3.raw" "${4:-2}")" && { echo "  $3: $result"; return 0; }
    echo "  $3 (attempt $attempt): $result"
  done
  return 1
}

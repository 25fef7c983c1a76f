# Private PulseAudio server for tests and for machines without a sound server.
# Source this file, then: pulse_start DIR [SINK_LINE...]; ...; pulse_stop.
# pulse_start exports PULSE_SERVER, PULSE_RUNTIME_PATH and PULSE_STATE_PATH so
# every client started afterwards talks to the private server only.

# The sink_properties argument that sets device.description to $1. The
# property list takes a value in single or double quotes without escapes; a
# description with a ' goes in double quotes, the whole argument in single
# quotes with the ' escaped for the module argument parser. One holding both
# kinds of quote cannot be given and is refused.
pulse_quoted_description() {
  local desc="$1"
  case "$desc" in
    *\'*\"*|*\"*\'*)
      echo "pulse_start: a sink description cannot hold both ' and \": $desc" >&2
      return 1 ;;
    *\'*) printf "'device.description=\"%s\"'" "${desc//\'/\\\'}" ;;
    *) printf '"device.description='"'"'%s'"'"'"' "$desc" ;;
  esac
}

# Waits up to $3 seconds (default 10) for a sink whose name starts with $1
# while process $2 runs; says why and fails when it never appears.
pulse_wait_for_sink() {
  local prefix="$1" pid="$2" seconds="${3:-10}" i
  for i in $(seq 1 $((seconds * 10))); do
    pactl list short sinks 2>/dev/null | awk '{print $2}' | grep -q "^$prefix" && return 0
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "The process that should offer the sink \"$prefix...\" (pid $pid) ended before it appeared." >&2
      return 1
    fi
    sleep 0.1
  done
  echo "No sink \"$prefix...\" appeared on the sound server within $seconds s; is the server reachable (PULSE_SERVER=${PULSE_SERVER:-unset})?" >&2
  return 1
}

pulse_start() {
  local dir="$1"; shift
  mkdir -p "$dir/runtime" "$dir/state"
  local pa="$dir/server.pa"
  {
    echo ".fail"
    echo "load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/runtime/native"
    if [ $# -eq 0 ]; then
      set -- "speakers|Speakers (Built-in Audio)" "headphones|Headphones (USB Audio)"
    fi
    local first=""
    for sink in "$@"; do
      local name="${sink%%|*}" desc="${sink#*|}" properties
      properties="$(pulse_quoted_description "$desc")" || return 1
      echo "load-module module-null-sink sink_name=$name rate=44100 channels=2 norewinds=1 sink_properties=$properties"
      [ -z "$first" ] && first="$name"
    done
    echo "set-default-sink $first"
  } > "$pa"
  export PULSE_RUNTIME_PATH="$dir/runtime"
  export PULSE_STATE_PATH="$dir/state"
  export PULSE_SERVER="unix:$dir/runtime/native"
  PULSE_PRIVATE_DIR="$dir"
  pulseaudio -n -F "$pa" --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 \
    --enable-memfd=no --log-target="file:$dir/server.log" 2>/dev/null
  local i
  for i in $(seq 1 50); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "pulse_start: the private sound server did not start (see $dir/server.log)" >&2
  return 1
}

pulse_stop() {
  [ -n "${PULSE_PRIVATE_DIR:-}" ] || return 0
  local pidfile="$PULSE_RUNTIME_PATH/pid"
  if [ -f "$pidfile" ]; then
    local pid; pid="$(cat "$pidfile")"
    kill "$pid" 2>/dev/null || true
    # The server needs more than a second to exit; wait so a later start in
    # the same folder does not run beside it.
    local i
    for i in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
  PULSE_PRIVATE_DIR=""
}

# Private PulseAudio server for tests and for machines without a sound server.
# Source this file, then: pulse_start DIR [SINK_LINE...]; ...; pulse_stop.
# pulse_start exports PULSE_SERVER, PULSE_RUNTIME_PATH and PULSE_STATE_PATH so
# every client started afterwards talks to the private server only.

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
      local name="${sink%%|*}" desc="${sink#*|}"
      echo "load-module module-null-sink sink_name=$name rate=44100 channels=2 norewinds=1 sink_properties=\"device.description='$desc'\""
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

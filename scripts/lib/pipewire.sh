# Private PipeWire sound stack for tests: a session bus, pipewire, wireplumber
# and pipewire-pulse, with the same null sinks as scripts/lib/pulse.sh, so a
# script written for the private PulseAudio server runs unchanged on it.
# Source this file, then: pipewire_start DIR [SINK_LINE...]; ...; pipewire_stop.
#
# The graph runs at 44100 Hz (no resampling changes the samples) with a fixed
# quantum, $PIPEWIRE_QUANTUM frames (default 2048): on a small shared virtual
# machine a late wake-up longer than one period drops or inserts a period, and
# a client asking for 10 ms would otherwise pull the graph down to 256 frames.
# pipewire_start exports PULSE_SERVER (and private PULSE_RUNTIME_PATH and
# PULSE_STATE_PATH) for the clients and PIPEWIRE_PRIVATE_DIR (WirePlumber's
# memory is in its state/wireplumber); pipewire_stop ends every process of
# the stack and gives the previous values back.

PIPEWIRE_PRIVATE_DIR="${PIPEWIRE_PRIVATE_DIR:-}"
# The processes, in the order they end in: DIR/pids/ORDER-NAME holds a pid.

# The value $1 as a string of PipeWire's configuration syntax.
pipewire_string() {
  local value="${1//\\/\\\\}"
  printf '"%s"' "${value//\"/\\\"}"
}

# The private stack's environment, as assignments in pipewire_vars: its own
# configuration, state and data folders (WirePlumber keeps its default-sink
# memory in the state folder), one runtime folder, the private bus.
pipewire_set_vars() {
  local dir="$PIPEWIRE_PRIVATE_DIR"
  pipewire_vars=(XDG_RUNTIME_DIR="$dir/runtime" PIPEWIRE_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/config"
                 XDG_STATE_HOME="$dir/state" XDG_DATA_HOME="$dir/data" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus")
}

# Starts server process $2 (pipewire, wireplumber, pipewire-pulse) logging to
# DIR/$2.log; it is ended $1-th from the last.
pipewire_spawn() {
  pipewire_set_vars
  # A simple command, so that $! is the server itself and not a subshell.
  env "${pipewire_vars[@]}" "$2" >>"$PIPEWIRE_PRIVATE_DIR/$2.log" 2>&1 &
  echo $! > "$PIPEWIRE_PRIVATE_DIR/pids/$1-$2"
}

pipewire_sinks_present() {  # pipewire_sinks_present NAME...
  local have name
  have="$(pactl list short sinks 2>/dev/null | awk '{print $2}')" || return 1
  for name in "$@"; do grep -qx "$name" <<<"$have" || return 1; done
}

pipewire_start() {
  local dir="$1"; shift
  if [ -n "$PIPEWIRE_PRIVATE_DIR" ]; then
    echo "pipewire_start: a private PipeWire already runs in $PIPEWIRE_PRIVATE_DIR" >&2
    return 1
  fi
  local quantum="${PIPEWIRE_QUANTUM:-2048}"
  case "$quantum" in
    ''|*[!0-9]*) echo "pipewire_start: PIPEWIRE_QUANTUM must be a number of frames: $quantum" >&2; return 1 ;;
  esac
  for tool in dbus-daemon pipewire wireplumber pipewire-pulse pactl; do
    if ! command -v "$tool" >/dev/null; then
      echo "pipewire_start: $tool is missing (scripts/install-deps.sh installs it)" >&2
      return 1
    fi
  done
  [ $# -eq 0 ] && set -- "speakers|Speakers (Built-in Audio)" "headphones|Headphones (USB Audio)"
  mkdir -p "$dir/runtime" "$dir/state" "$dir/data" "$dir/pulse" "$dir/pids" \
    "$dir/config/pipewire/pipewire.conf.d" "$dir/config/pipewire/pipewire-pulse.conf.d"
  chmod 700 "$dir/runtime"
  export PIPEWIRE_PRIVATE_DIR="$dir"
  # The clients' server, given back by pipewire_stop.
  local saved
  for saved in PULSE_SERVER PULSE_RUNTIME_PATH PULSE_STATE_PATH; do
    if [ -n "${!saved+x}" ]; then eval "pipewire_saved_$saved=\${$saved}"; else eval "unset pipewire_saved_$saved"; fi
  done

  # Adapter nodes, not pipewire-pulse modules: like hardware outputs they
  # outlive a restart of pipewire-pulse and are never unloaded by a client.
  local sink name desc names=() first=""
  {
    echo "context.properties = {"
    echo "  default.clock.rate = 44100"
    echo "  default.clock.allowed-rates = [ 44100 ]"
    echo "  default.clock.quantum = $quantum"
    echo "  default.clock.min-quantum = $quantum"
    echo "  default.clock.max-quantum = $quantum"
    echo "}"
    echo "context.objects = ["
    for sink in "$@"; do
      name="${sink%%|*}" desc="${sink#*|}"
      names+=("$name")
      [ -z "$first" ] && first="$name"
      echo "  { factory = adapter args = {"
      echo "      factory.name = support.null-audio-sink"
      echo "      node.name = $(pipewire_string "$name")"
      echo "      node.description = $(pipewire_string "$desc")"
      echo "      media.class = \"Audio/Sink\""
      echo "      audio.rate = 44100 audio.channels = 2 audio.position = [ FL FR ]"
      echo "      monitor.channel-volumes = true"
      echo "      object.linger = true"
      echo "  } }"
    done
    echo "]"
  } > "$dir/config/pipewire/pipewire.conf.d/auralith-test.conf"
  # The Pulse clients' requests may not move the quantum either.
  {
    echo "pulse.properties = {"
    echo "  server.address = [ $(pipewire_string "unix:$dir/pulse/native") ]"
    echo "  pulse.min.quantum = $quantum/44100"
    echo "}"
  } > "$dir/config/pipewire/pipewire-pulse.conf.d/auralith-test.conf"

  # WirePlumber does not run without a session bus; a private one keeps the
  # stack off whatever bus the machine has. Not forked off, so that it stays
  # in the caller's process group and goes with it.
  dbus-daemon --session --address="unix:path=$dir/bus" --nopidfile --nofork >"$dir/dbus.log" 2>&1 &
  echo $! > "$dir/pids/4-dbus-daemon"
  local i
  for i in $(seq 1 50); do
    [ -S "$dir/bus" ] && break
    sleep 0.1
  done
  if [ ! -S "$dir/bus" ]; then
    echo "pipewire_start: the private session bus did not start (see $dir/dbus.log)" >&2
    pipewire_stop
    return 1
  fi
  pipewire_spawn 3 pipewire
  for i in $(seq 1 50); do
    [ -S "$dir/runtime/pipewire-0" ] && break
    sleep 0.1
  done
  pipewire_spawn 2 wireplumber
  pipewire_spawn 1 pipewire-pulse

  export PULSE_SERVER="unix:$dir/pulse/native"
  export PULSE_RUNTIME_PATH="$dir/pulse/client"
  export PULSE_STATE_PATH="$dir/pulse/state"
  for i in $(seq 1 100); do
    if pactl info >/dev/null 2>&1 && pipewire_sinks_present "${names[@]}"; then
      # WirePlumber picks a default of its own; the first sink is the
      # default, as on the private PulseAudio server.
      pactl set-default-sink "$first" && return 0
    fi
    sleep 0.1
  done
  echo "pipewire_start: the private PipeWire did not offer the sinks ${names[*]} within 10 s (see $dir/*.log)" >&2
  pipewire_stop
  return 1
}

# Ends process $1: SIGTERM, then SIGKILL after 5 s.
pipewire_end() {
  local pid="$1" i
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || return 0
  for i in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

pipewire_stop() {
  [ -n "$PIPEWIRE_PRIVATE_DIR" ] || return 0
  local file saved
  # The clients of the session first, the bus last.
  for file in "$PIPEWIRE_PRIVATE_DIR"/pids/*; do
    [ -f "$file" ] && pipewire_end "$(cat "$file")"
    rm -f "$file"
  done
  for saved in PULSE_SERVER PULSE_RUNTIME_PATH PULSE_STATE_PATH; do
    local keep="pipewire_saved_$saved"
    if [ -n "${!keep+x}" ]; then export "$saved=${!keep}"; else unset "$saved"; fi
  done
  PIPEWIRE_PRIVATE_DIR=""
}

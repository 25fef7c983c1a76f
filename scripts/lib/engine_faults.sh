# The faults the engine must come through, and how long its processed sound
# was away, for scripts/test.d/engine-faults.sh and bench/fault-soak.sh.
# Source after scripts/lib/pulse.sh with work, ulxd_bin, render_bin and
# timeline set; ulxd_pid, probe_pid and record_pid are kept here.

# fault_session: the private runtime, interface, settings and profile
# folders under $work that ulxd and the engine use, on the private server.
fault_session() {
  export XDG_RUNTIME_DIR="$work/runtime"
  export ULX_INTERFACE_DIR="$work/interfaces" AURALITH_CONFIG_DIR="$work/config" AURALITH_PROFILE_DIR="$work/profiles"
  mkdir -p "$XDG_RUNTIME_DIR" "$ULX_INTERFACE_DIR" "$AURALITH_CONFIG_DIR/Halvorn Vovaruzoz" "$AURALITH_PROFILE_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  printf '[Settings]\nisProcessingKey=1\nmodeKey=2\nmusicKey=1\n' > "$AURALITH_CONFIG_DIR/Halvorn Vovaruzoz/Auralith.conf"
}

# fault_cleanup: ends what the drill started (by its ids) and the server.
fault_cleanup() {
  [ -n "${record_pid:-}" ] && kill "$record_pid" 2>/dev/null
  [ -n "${probe_pid:-}" ] && stop_probe
  [ -n "${ulxd_pid:-}" ] && kill -CONT "$ulxd_pid" 2>/dev/null
  [ -n "${engine_pid:-}" ] && kill -TERM "$engine_pid" 2>/dev/null && wait "$engine_pid" 2>/dev/null
  [ -n "${ulxd_pid:-}" ] && kill -TERM "$ulxd_pid" 2>/dev/null && wait "$ulxd_pid" 2>/dev/null
  pulse_stop
  rm -rf "$work"
}

now() { date +%s.%N; }
sink_exists() { pactl list short sinks 2>/dev/null | awk '{print $2}' | grep -qx "$1"; }
default_is() { [ "$(pactl get-default-sink 2>/dev/null)" = "$1" ]; }
wait_for() {  # wait_for SECONDS COMMAND...
  local deadline=$((SECONDS + $1)); shift
  while [ $SECONDS -lt $deadline ]; do "$@" && return 0; sleep 0.1; done
  "$@"
}
log_has() { grep -q "$2" "$1"; }
start_ulxd() {
  "$ulxd_bin" >> "$work/ulxd.log" 2>&1 &
  ulxd_pid=$!
  wait_for 10 sink_exists auralith
}
record() {  # record FILE: the speakers' monitor, in the background
  # The server moves a recording off a monitor that is its default source
  # when that default changes, as it does during the faults: the default
  # source is another one.
  pactl set-default-source headphones.monitor
  parec -d speakers.monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=10 > "$1" 2>/dev/null &
  record_pid=$!
}
stop_record() { kill "$record_pid" 2>/dev/null; wait "$record_pid" 2>/dev/null; record_pid=""; }
# The probe: a steady 8 kHz tone, which the profile makes 2 dB louder, played
# to the default output again whenever its stream ends.
start_probe() {
  ( while :; do
      paplay "$work/probe.wav" 2>/dev/null &
      echo $! > "$work/probe.pid"
      wait $! || sleep 0.1
    done ) &
  probe_pid=$!
}
stop_probe() {
  kill "$probe_pid" 2>/dev/null
  wait "$probe_pid" 2>/dev/null
  probe_pid=""
  [ -f "$work/probe.pid" ] && kill "$(cat "$work/probe.pid")" 2>/dev/null
  rm -f "$work/probe.pid"
}
rms_of() { sox "$1" -n trim 1 stat 2>&1 | awk '/RMS +amplitude/ {print $3}'; }
# make_probe: the probe files and their levels, raw and processed.
make_probe() {
  sox -n -r 44100 -c 2 -b 16 "$work/probe.wav" synth 60 sine 8000 gain -12
  sox -n -r 44100 -c 2 -b 16 "$work/probe-short.wav" synth 2 sine 8000 gain -12
  "$render_bin" --category desktop "Brevik Speakers" "$work/probe-short.wav" "$work/probe-processed.wav"
  raw_rms=$(rms_of "$work/probe-short.wav")
  processed_rms=$(rms_of "$work/probe-processed.wav")
}

# measure_fault NAME LEAD_SECONDS SETTLE_SECONDS COMMAND...: records the real
# sink while the probe plays, runs COMMAND after LEAD_SECONDS, records on for
# SETTLE_SECONDS (across a restart of the server) and sets fault_result to
# the timeline (not in a subshell: the fault may start a new ulxd_pid).
measure_fault() {
  local name="$1" lead="$2" settle="$3"; shift 3
  # One probe only: two would add up to a level neither raw nor processed.
  if [ -z "${probe_pid:-}" ] || ! kill -0 "$probe_pid" 2>/dev/null; then start_probe; fi
  local begun segments=()
  begun=$(now)
  record "$work/$name-1.raw"
  segments+=("$begun:$work/$name-1.raw")
  sleep "$lead"
  local at
  at=$(now)
  "$@"
  # A recording that ended with its server goes on in a new one.
  local deadline=$((SECONDS + settle)) part=1
  while [ $SECONDS -lt $deadline ]; do
    if ! kill -0 "$record_pid" 2>/dev/null && pactl info >/dev/null 2>&1; then
      part=$((part + 1))
      segments+=("$(now):$work/$name-$part.raw")
      record "$work/$name-$part.raw"
    fi
    sleep 0.05
  done
  local ended
  ended=$(now)
  stop_record
  fault_result=$(python3 "$timeline" "$raw_rms" "$processed_rms" "$begun" "$ended" "$at" -- "${segments[@]}")
  rm -f "${segments[@]#*:}"
}

stall() { kill -STOP "$ulxd_pid"; sleep 0.6; kill -CONT "$ulxd_pid"; }
restart_driver() {
  kill -9 "$ulxd_pid"
  wait "$ulxd_pid" 2>/dev/null
  start_ulxd
}
restart_server() {
  pulse_stop
  pulse_start "$work/pulse"
}


#!/bin/bash
# The engine's soak: plays music-like sound through ulxd and auralith-engine on
# a private sound server and reports, per latency mode, the end-to-end latency
# (a click on silence, from the virtual device until it leaves the speakers)
# as minimum, median and maximum, then underruns over SOAK_SECONDS (default
# 600) of sound, the audio thread's CPU time per second of audio and the
# growth of the engine's resident memory after warm-up. Not part of the tests.
#
#   SOAK_MODES    the modes to run, in order: "normal" (40 ms blocks) and/or
#                 "low" (lowLatencyKey=1, 10 ms blocks); default "normal low"
#   SOAK_SECONDS  seconds of sound per mode (default 600)
#   SOAK_PROBES   latency probes per mode, on silence before the soak (20)
#   SOAK_BUSY     1 (default): a busy loop keeps another core busy during the
#                 soak; 0: none
#   ULXD_BIN      the driver stand-in to use (default the build's)
#   SOAK_SERVER   pulseaudio (default) or pipewire: a private PipeWire
#                 (scripts/lib/pipewire.sh, quantum $PIPEWIRE_QUANTUM,
#                 default 2048)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
duration="${SOAK_SECONDS:-600}"
modes="${SOAK_MODES:-normal low}"
probes="${SOAK_PROBES:-20}"
busy="${SOAK_BUSY:-1}"
ulxd_bin="${ULXD_BIN:-$build/src/driver/ulxd}"
engine_bin="$build/src/tools/engine/auralith-engine"
warmup=60
. "$root/scripts/lib/pulse.sh"
. "$root/scripts/lib/pipewire.sh"
case "${SOAK_SERVER:-pulseaudio}" in
  pulseaudio) server_start=pulse_start server_stop=pulse_stop ;;
  pipewire) server_start=pipewire_start server_stop=pipewire_stop ;;
  *) echo "SOAK_SERVER is pulseaudio or pipewire, not $SOAK_SERVER" >&2; exit 2 ;;
esac

work="$(mktemp -d /tmp/auralith-soak.XXXXXX)"
ulxd_pid=""
engine_pid=""
player_pid=""
busy_pid=""
cleanup() {
  [ -n "$busy_pid" ] && kill "$busy_pid" 2>/dev/null
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null
  [ -n "$engine_pid" ] && kill -TERM "$engine_pid" 2>/dev/null && wait "$engine_pid" 2>/dev/null
  [ -n "$ulxd_pid" ] && kill -TERM "$ulxd_pid" 2>/dev/null && wait "$ulxd_pid" 2>/dev/null
  "$server_stop"
  [ -n "${SOAK_KEEP:-}" ] && { echo "soak: kept $work"; return; }
  rm -rf "$work"
}
trap cleanup EXIT
"$server_start" "$work/server" || exit 1
export ULX_INTERFACE_DIR="$work/interfaces" AURALITH_CONFIG_DIR="$work/config" AURALITH_PROFILE_DIR="$work/profiles"
# A session of its own: the engine's one-per-session lock lives here.
export XDG_RUNTIME_DIR="$work/session"
mkdir -p "$ULX_INTERFACE_DIR" "$AURALITH_CONFIG_DIR/Halvorn Vovaruzoz" "$AURALITH_PROFILE_DIR" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
settings="$AURALITH_CONFIG_DIR/Halvorn Vovaruzoz/Auralith.conf"

"$ulxd_bin" > "$work/ulxd.log" 2>&1 &
ulxd_pid=$!
for _ in $(seq 1 100); do pactl list short sinks | grep -q auralith && break; sleep 0.1; done
echo "soak: ulxd $ulxd_bin, modes: $modes, $duration s each, $probes latency probes, busy core: $busy"

# 50 s of sound between checks; a click on silence for the latency probes.
sox -n -r 44100 -c 2 -b 16 "$work/music.wav" synth 50 pinknoise tremolo 2 60 gain -14
sox -n -r 44100 -c 2 -b 16 "$work/click.wav" synth 0.01 square 1000 gain -3 pad 0 0.5

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$engine_pid/status"; }
# Nothing once the audio thread has ended (a fallback restarts the output on a new one).
cpu_ticks() { awk '{print $14 + $15}' "/proc/$engine_pid/task/$audio_tid/stat" 2>/dev/null; }
stat_field() { sed -n "s/.*$1: .*$2=\([0-9]*\).*/\1/p" "$work/engine.log" | tail -n1; }

start_engine() {  # start_engine MODE: the engine in MODE, its audio thread in $audio_tid
  local low=0
  [ "$1" = low ] && low=1
  printf '[Settings]\nisProcessingKey=1\nmodeKey=2\nmusicKey=1\nlowLatencyKey=%d\n' "$low" > "$settings"
  "$engine_bin" --stats 5 > "$work/engine.log" 2>&1 &
  engine_pid=$!
  for _ in $(seq 1 100); do grep -q "playing on" "$work/engine.log" && break; sleep 0.1; done
  audio_tid=""
  for _ in $(seq 1 100); do
    audio_tid=$(stat_field running audio-thread)
    [ -n "$audio_tid" ] && break
    sleep 0.1
  done
}
stop_engine() {
  kill -TERM "$engine_pid"
  wait "$engine_pid"
  engine_pid=""
}

# One click played into the virtual device while its monitor and the
# speakers' monitor are recorded; the recordings' clocks are tied together by
# how much each had recorded at one moment. Prints "IN OUT": the ms from the
# click in the virtual device to the click out of the speakers, and from the
# player's start to the click out (the figure earlier runs reported).
probe_latency() {
  parec -d auralith.monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=5 > "$work/in.raw" &
  local rec_in=$!
  parec -d speakers.monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=5 > "$work/out.raw" &
  local rec_out=$!
  sleep 0.4
  local size_in size_out at
  size_in=$(stat -c %s "$work/in.raw")
  size_out=$(stat -c %s "$work/out.raw")
  at=$(stat -c %s "$work/out.raw")
  pacat --latency-msec=5 --file-format=wav "$work/click.wav"
  sleep 0.6
  kill "$rec_in" "$rec_out"
  wait "$rec_in" "$rec_out" 2>/dev/null
  python3 - "$work/in.raw" "$work/out.raw" "$size_in" "$size_out" "$at" <<'PY'
import array, sys
def samples(path):
    a = array.array('h'); d = open(path, 'rb').read(); a.frombytes(d[:len(d) // 4 * 4]); return a
def onset(a, first):
    return next((i // 2 for i in range(max(first, 0) * 2, len(a)) if abs(a[i]) > 2000), None)
size_in, size_out, at = (int(v) // 4 for v in sys.argv[3:6])
# Only what arrives after the click was played counts.
click_in = onset(samples(sys.argv[1]), size_in)
click_out = onset(samples(sys.argv[2]), at)
if click_in is not None and click_out is not None:
    print("%.1f %.1f" % (((click_out - size_out) - (click_in - size_in)) * 1000 / 44100.0,
                         (click_out - at) * 1000 / 44100.0))
PY
}

summary() {  # summary LABEL VALUES...: min, median, max
  python3 - "$@" <<'PY'
import statistics, sys
label, values = sys.argv[1], sorted(float(v) for v in sys.argv[2:])
if values:
    print("%s: min %.0f ms, median %.0f ms, max %.0f ms (%d probes)"
          % (label, values[0], statistics.median(values), values[-1], len(values)))
else:
    print("%s: no probe heard" % label)
PY
}

results=()
for mode in $modes; do
  start_engine "$mode"
  echo "soak: mode $mode, engine pid $engine_pid, audio thread $audio_tid: $(grep -m1 'playing on' "$work/engine.log")"
  sleep 1
  lat_in=()
  lat_play=()
  for _ in $(seq 1 "$probes"); do
    read -r latency played <<<"$(probe_latency)"
    [ -n "${latency:-}" ] && lat_in+=("$latency") && lat_play+=("$played")
  done

  [ "$busy" = 1 ] && { bash -c 'while :; do :; done' & busy_pid=$!; }
  start=$SECONDS
  rss_warm=""
  ticks_start=$(cpu_ticks)
  blocks_start=$(stat_field running blocks)
  while [ $((SECONDS - start)) -lt "$duration" ]; do
    paplay "$work/music.wav" &
    player_pid=$!
    wait "$player_pid"
    player_pid=""
    [ -z "$rss_warm" ] && [ $((SECONDS - start)) -ge "$warmup" ] && rss_warm=$(rss_kb)
    echo "soak: $mode, $((SECONDS - start)) s, rss $(rss_kb) kB, underruns $(stat_field running underruns)"
  done
  rss_end=$(rss_kb)
  ticks_end=$(cpu_ticks)
  [ -n "$busy_pid" ] && { kill "$busy_pid"; wait "$busy_pid" 2>/dev/null; busy_pid=""; }
  stop_engine
  blocks_end=$(stat_field stopped blocks)
  block_bytes=$(stat_field stopped block-bytes)
  underruns=$(stat_field stopped underruns)
  fell_back=no
  grep -q "cannot keep up" "$work/engine.log" && fell_back=yes
  results+=("$(
    echo "== mode $mode (blocks of $block_bytes bytes)"
    summary "latency, click in the virtual device to click out of the speakers" "${lat_in[@]}"
    summary "latency, player start to click out" "${lat_play[@]}"
    python3 - "$ticks_start" "$ticks_end" "$(getconf CLK_TCK)" "${blocks_start:-0}" "$blocks_end" "$block_bytes" \
      "${rss_warm:-$rss_end}" "$rss_end" "$underruns" "$duration" "$busy" "$fell_back" <<'PY'
import sys
t0, t1, hz, b0, b1, block, rss0, rss1, under, seconds, busy, fell = sys.argv[1:13]
print("underruns: %s in %s s of sound%s; fell back to the large blocks: %s"
      % (under, seconds, " with another core busy" if busy == "1" else "", fell))
if fell == "yes" or not t0 or not t1:
    # The counters then mix both block sizes and the first thread is gone.
    print("audio thread CPU: not measured, the output restarted in the large blocks")
else:
    audio_s = (int(b1) - int(b0)) * int(block) / 176400.0
    cpu_ms = (int(t1) - int(t0)) * 1000.0 / int(hz)
    print("audio thread CPU: %.2f ms per second of audio (%.0f s of audio)" % (cpu_ms / max(audio_s, 1e-9), audio_s))
print("resident memory after warm-up: %s kB -> %s kB (growth %d kB)" % (rss0, rss1, int(rss1) - int(rss0)))
PY
  )")
done
printf '%s\n' "${results[@]}"

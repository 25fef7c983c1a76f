#!/bin/bash
# The engine's soak: plays music-like sound through ulxd and auralith-engine on
# a private sound server for SOAK_SECONDS (default 600) and reports underruns,
# the audio thread's CPU time per second of audio, the growth of the engine's
# resident memory after warm-up, and the end-to-end latency (a click played
# into the virtual device until it leaves the speakers), measured once a
# minute. Not part of the tests. SOAK_SERVER=pipewire runs it on a private
# PipeWire (scripts/lib/pipewire.sh, quantum $PIPEWIRE_QUANTUM, default 2048)
# instead of PulseAudio.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
duration="${SOAK_SECONDS:-600}"
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
cleanup() {
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null
  [ -n "$engine_pid" ] && kill -TERM "$engine_pid" 2>/dev/null && wait "$engine_pid" 2>/dev/null
  [ -n "$ulxd_pid" ] && kill -TERM "$ulxd_pid" 2>/dev/null && wait "$ulxd_pid" 2>/dev/null
  "$server_stop"
  rm -rf "$work"
}
trap cleanup EXIT
"$server_start" "$work/server"
export ULX_INTERFACE_DIR="$work/interfaces" AURALITH_CONFIG_DIR="$work/config" AURALITH_PROFILE_DIR="$work/profiles"
mkdir -p "$ULX_INTERFACE_DIR" "$AURALITH_CONFIG_DIR/Halvorn Vovaruzoz" "$AURALITH_PROFILE_DIR"
printf '[Settings]\nisProcessingKey=1\nmodeKey=2\nmusicKey=1\n' > "$AURALITH_CONFIG_DIR/Halvorn Vovaruzoz/Auralith.conf"

"$build/src/driver/ulxd" > "$work/ulxd.log" 2>&1 &
ulxd_pid=$!
for _ in $(seq 1 100); do pactl list short sinks | grep -q auralith && break; sleep 0.1; done
"$build/src/tools/engine/auralith-engine" --stats 5 > "$work/engine.log" 2>&1 &
engine_pid=$!
for _ in $(seq 1 100); do grep -q "playing on" "$work/engine.log" && break; sleep 0.1; done
for _ in $(seq 1 100); do
  audio_tid=$(sed -n 's/.*running: .*audio-thread=\([0-9]*\).*/\1/p' "$work/engine.log" | tail -n1)
  [ -n "$audio_tid" ] && break
  sleep 0.1
done

# 50 s of sound between the latency probes; a click on silence for them.
sox -n -r 44100 -c 2 -b 16 "$work/music.wav" synth 50 pinknoise tremolo 2 60 gain -14
sox -n -r 44100 -c 2 -b 16 "$work/click.wav" synth 0.01 square 1000 gain -3 pad 0 0.5

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$engine_pid/status"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$engine_pid/task/$audio_tid/stat"; }
probe_latency() {  # prints the latency of one click in ms
  local start play
  start=$(date +%s.%N)
  parec -d speakers.monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=5 > "$work/probe.raw" &
  local rec=$!
  sleep 0.4
  play=$(date +%s.%N)
  pacat --latency-msec=5 --file-format=wav "$work/click.wav"
  sleep 0.6
  kill "$rec"; wait "$rec" 2>/dev/null
  python3 - "$work/probe.raw" "$start" "$play" <<'PY'
import array, sys
a = array.array('h'); d = open(sys.argv[1], 'rb').read(); a.frombytes(d[:len(d) // 4 * 4])
# Only what arrives after the click was played counts.
first = int((float(sys.argv[3]) - float(sys.argv[2])) * 44100) * 2
onset = next((i // 2 for i in range(max(first, 0), len(a)) if abs(a[i]) > 2000), None)
if onset is not None:
    print("%.0f" % ((float(sys.argv[2]) + onset / 44100.0 - float(sys.argv[3])) * 1000))
PY
}

start=$SECONDS
latencies=()
rss_warm=""
ticks_start=$(cpu_ticks)
blocks_start=$(sed -n 's/.*running: blocks=\([0-9]*\).*/\1/p' "$work/engine.log" | tail -n1)
echo "soak: ${duration} s, engine pid $engine_pid, audio thread $audio_tid"
while [ $((SECONDS - start)) -lt "$duration" ]; do
  paplay "$work/music.wav" &
  player_pid=$!
  wait "$player_pid"
  player_pid=""
  [ -z "$rss_warm" ] && [ $((SECONDS - start)) -ge "$warmup" ] && rss_warm=$(rss_kb)
  sleep 1  # the tail of the sound leaves the pipeline first
  latency=$(probe_latency)
  [ -n "$latency" ] && latencies+=("$latency")
  echo "soak: $((SECONDS - start)) s, rss $(rss_kb) kB, latency ${latency:-?} ms"
done
rss_end=$(rss_kb)
ticks_end=$(cpu_ticks)
kill -TERM "$engine_pid"; wait "$engine_pid"; engine_pid=""
stopped=$(grep "stopped:" "$work/engine.log")
blocks_end=$(sed -n 's/.*stopped: blocks=\([0-9]*\).*/\1/p' <<<"$stopped")
underruns=$(sed -n 's/.*underruns=\([0-9]*\).*/\1/p' <<<"$stopped")
python3 - "$ticks_start" "$ticks_end" "$(getconf CLK_TCK)" "${blocks_start:-0}" "$blocks_end" \
  "${rss_warm:-$rss_end}" "$rss_end" "$underruns" "${latencies[@]}" <<'PY'
import statistics, sys
t0, t1, hz, b0, b1, rss0, rss1, under = sys.argv[1:9]
lat = sorted(float(v) for v in sys.argv[9:])
audio_s = (int(b1) - int(b0)) * 0.04
cpu_ms = (int(t1) - int(t0)) * 1000.0 / int(hz)
print("underruns: %s" % under)
print("audio thread CPU: %.2f ms per second of audio (%.0f s of audio)" % (cpu_ms / max(audio_s, 1e-9), audio_s))
print("resident memory after warm-up: %s kB -> %s kB (growth %d kB)" % (rss0, rss1, int(rss1) - int(rss0)))
if lat:
    print("latency, click in to click out: min %.0f ms, median %.0f ms, max %.0f ms (%d probes)"
          % (lat[0], statistics.median(lat), lat[-1], len(lat)))
PY

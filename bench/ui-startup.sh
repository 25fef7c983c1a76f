#!/bin/bash
# The start of the whole application on a private sound server and a
# virtual X display with a tray host: the time from starting Auralith until
# the first processed block leaves the real sink, and the resident memory of
# the running application. Sound already plays into the virtual device when
# Auralith starts; the real sink's monitor is recorded throughout, and the
# start is marked by the number of bytes recorded at that moment. Runs
# BENCH_RUNS times (default 5). Not part of the tests.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
runs="${BENCH_RUNS:-5}"
. "$root/scripts/lib/pulse.sh"

work="$(mktemp -d /tmp/auralith-startup.XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  pulse_stop
  rm -rf "$work"
}
trap cleanup EXIT
pulse_start "$work/pulse" "speakers|Speakers (Built-in Audio)"
export ULX_INTERFACE_DIR="$work/interfaces" AURALITH_CONFIG_DIR="$work/config" AURALITH_PROFILE_DIR="$work/profiles/"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$ULX_INTERFACE_DIR" "$AURALITH_CONFIG_DIR/Halvorn Vovaruzoz" "$AURALITH_PROFILE_DIR"
cp "$build/assets/profiles/"* "$AURALITH_PROFILE_DIR" 2>/dev/null

export DISPLAY=":$((500 + RANDOM % 400))"
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
trayer --edge top --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 &
pids+=($!)
"$build/src/driver/ulxd" >"$work/ulxd.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do pactl list short sinks | grep -q auralith && break; sleep 0.1; done
virtual="$(pactl list short sinks | awk '$2 ~ /^auralith/ {print $2; exit}')"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 60 sine 440 gain -12

results=()
for run in $(seq 1 "$runs"); do
  printf '[Settings]\nisVisibleKey=1\nisProcessingKey=1\nmodeKey=2\nmusicKey=1\n' \
    >"$AURALITH_CONFIG_DIR/Halvorn Vovaruzoz/Auralith.conf"
  rm -f "$work/rec.raw"
  # A stream on the default moves with it when the default is given back,
  # so each run starts its own, on the virtual device.
  pacat -d "$virtual" --file-format=wav "$work/tone.wav" &
  player_pid=$!
  parec -d speakers.monitor --format=s16le --rate=44100 --channels=2 --raw --latency-msec=5 >"$work/rec.raw" &
  rec_pid=$!
  sleep 1
  mark=$(stat -c %s "$work/rec.raw")
  "$build/src/ui/main/Auralith" >"$work/app.log" 2>&1 &
  app_pid=$!
  sleep 4
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$app_pid/status" 2>/dev/null)
  "$build/src/ui/main/Auralith" halvorn-ulx://quit
  wait "$app_pid" 2>/dev/null
  kill "$rec_pid" "$player_pid" 2>/dev/null
  wait "$rec_pid" "$player_pid" 2>/dev/null
  ms=$(python3 - "$work/rec.raw" "$mark" <<'PY'
import sys, array
data = array.array('h', open(sys.argv[1], 'rb').read())
start = int(sys.argv[2]) // 2
for i in range(start, len(data)):
    if abs(data[i]) > 64:
        print("%.0f" % ((i - start) / 2 / 44.1))
        break
else:
    print("none")
PY
)
  echo "run $run: first processed sound after ${ms} ms (recorded before the start: $((mark / 4)) frames), resident memory ${rss:-?} kB"
  results+=("$ms $rss")
done
printf '%s\n' "${results[@]}" | python3 -c '
import sys, statistics
rows = [l.split() for l in sys.stdin if l.strip()]
ms = [float(r[0]) for r in rows if r[0] != "none"]
rss = [int(r[1]) for r in rows if len(r) > 1]
if ms: print("start to first processed block at the output: median %.0f ms (min %.0f, max %.0f, %d runs)" % (statistics.median(ms), min(ms), max(ms), len(ms)))
if rss: print("resident memory of the running application: median %d kB" % statistics.median(rss))
'

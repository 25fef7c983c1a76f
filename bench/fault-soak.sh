#!/bin/bash
# The engine's fault soak: ulxd and auralith-engine on a private sound server
# with a probe tone playing for SOAK_SECONDS (default 3600); every 30 s one
# fault picked at random (a 0.6 s driver stall, a driver restart, a sound
# server restart). Reports the seconds of silence and of unprocessed sound,
# the time to processed sound after each kind of fault, and whether the
# engine's memory and file descriptors stay flat. Not part of the tests.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
duration="${SOAK_SECONDS:-3600}"
interval=30
engine_bin="$build/src/tools/engine/auralith-engine"
ulxd_bin="$build/src/driver/ulxd"
render_bin="$build/src/tools/render/auralith-render"
timeline="$root/scripts/lib/sound_timeline.py"
. "$root/scripts/lib/pulse.sh"
. "$root/scripts/lib/engine_faults.sh"

work="$(mktemp -d /tmp/auralith-fault-soak.XXXXXX)"
ulxd_pid=""
engine_pid=""
probe_pid=""
record_pid=""
trap fault_cleanup EXIT
pulse_start "$work/pulse" || exit 1
fault_session

make_probe
start_ulxd || { echo "fault-soak: ulxd did not start"; exit 1; }
"$engine_bin" > "$work/engine.log" 2>&1 &
engine_pid=$!
wait_for 10 grep -q "playing on" "$work/engine.log" || { cat "$work/engine.log"; exit 1; }

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$engine_pid/status"; }
fds() { ls "/proc/$engine_pid/fd" | wc -l; }
faults=(stall restart_driver restart_server)
exec 3>&2 2>/dev/null  # (the shell's notices of killed jobs are not wanted)
start=$SECONDS
round=0
: > "$work/rounds.txt"
echo "fault soak: ${duration} s, a fault every ${interval} s, engine pid $engine_pid"
while [ $((SECONDS - start + interval)) -le "$duration" ]; do
  round=$((round + 1))
  kind=${faults[$((RANDOM % 3))]}
  measure_fault "round$round" 2 $((interval - 3)) "$kind"
  kill -0 "$engine_pid" 2>/dev/null || { echo "fault soak: the engine has ended"; break; }
  echo "$kind $(rss_kb) $(fds) $fault_result" >> "$work/rounds.txt"
  echo "round $round ($kind): rss $(rss_kb) kB, fds $(fds), $fault_result" >&3
done
exec 2>&3 3>&-
stop_probe
python3 - "$work/rounds.txt" <<'PY'
import collections, sys
rows = [line.split() for line in open(sys.argv[1]) if line.strip()]
if not rows:
    sys.exit("no rounds")
total = silent = unprocessed = 0.0
recover = collections.defaultdict(list)
for kind, rss, fds, *pairs in rows:
    kv = dict(p.split('=') for p in pairs)
    total += float(kv['seconds']); silent += float(kv['silent']); unprocessed += float(kv['unprocessed'])
    recover[kind].append(kv['recovered'])
print("rounds: %d, %.0f s of probe" % (len(rows), total))
print("silence: %.2f s, unprocessed sound: %.2f s" % (silent, unprocessed))
for kind, values in sorted(recover.items()):
    times = sorted(float(v) for v in values if v != 'none')
    missing = sum(1 for v in values if v == 'none')
    if times:
        print("%s: %d faults, time to processed sound min %.2f s, median %.2f s, max %.2f s%s" % (
            kind, len(values), times[0], times[len(times) // 2], times[-1],
            ", %d never came back" % missing if missing else ""))
    else:
        print("%s: %d faults, processed sound never came back" % (kind, len(values)))
first, last = rows[0], rows[-1]
print("engine memory: %s kB after the first round, %s kB after the last" % (first[1], last[1]))
print("engine file descriptors: %s after the first round, %s after the last" % (first[2], last[2]))
PY
kill -TERM "$engine_pid"; wait "$engine_pid"; engine_pid=""
grep "stopped:" "$work/engine.log"

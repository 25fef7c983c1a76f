#!/bin/bash
# A brief libFuzzer run (a few seconds) over the catalogue parser and the
# URL file-name decoder of the profile server client. Needs clang; without
# it the run is skipped.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
# The fuzz preset, in a build directory of its own beside the main one.
if [ -n "${AURALITH_BUILD_DIR:-}" ]; then
  build="$(dirname "$AURALITH_BUILD_DIR")/build-fuzz"
else
  build="$root/build-fuzz"
fi
seconds="${AURALITH_FUZZ_SECONDS:-5}"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz-network: clang++ not found, skipped"
  echo "0 passed, 0 failed"
  exit 0
fi

mkdir -p "$build/fuzz-network/corpus"
run="$build/fuzz-network"
if ! (cd "$root" && cmake --preset fuzz -B "$build" >"$run/compile.log" 2>&1 &&
      cmake --build "$build" -j2 --target network_fuzz >>"$run/compile.log" 2>&1); then
  tail -20 "$run/compile.log"
  echo "0 passed, 1 failed"
  exit 1
fi
fuzzer="$build/tests/profile_server/fuzz/network_fuzz"

if "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$run/" "$run/corpus" "$root/tests/profile_server/fuzz/seeds" \
    >"$run/run.log" 2>&1; then
  echo "fuzz-network: $(grep -Eo 'Done [0-9]+ runs.*' "$run/run.log" | tail -1)"
  echo "1 passed, 0 failed"
else
  tail -30 "$run/run.log"
  echo "0 passed, 1 failed"
  exit 1
fi

#!/bin/bash
# The processing chain's concurrency test under ThreadSanitizer: the control
# thread rewrites and publishes parameters while blocks are processed. Builds
# only the chain and that test, with the tsan preset in a build directory of
# its own beside the main one.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
if [ -n "${AURALITH_BUILD_DIR:-}" ]; then
  build="$(dirname "$AURALITH_BUILD_DIR")/build-tsan"
else
  build="$root/build-tsan"
fi

(cd "$root" && cmake --preset tsan -B "$build" >/dev/null)
cmake --build "$build" -j2 --target dsp_concurrency_tests >/dev/null

export TSAN_OPTIONS="halt_on_error=1 ${TSAN_OPTIONS:-}"
status=0
output="$(ctest --test-dir "$build" -L '^dsp-concurrency$' --output-on-failure --timeout 300 2>&1)" || status=$?
echo "$output" | grep -E "Failed|\*\*\*|WARNING: ThreadSanitizer" || true
summary="$(echo "$output" | grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" || true)"
if [ -z "$summary" ]; then
  echo "$output" | tail -20
  echo "0 passed, 1 failed"
  exit 1
fi
failed="$(echo "$summary" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')"
total="$(echo "$summary" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/')"
echo "$((total - failed)) passed, $failed failed"
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ]

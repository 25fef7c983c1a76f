#!/bin/bash
# The whole test run: installs what is missing, builds, starts a private sound
# server with null sinks, runs every test, and stops the server again.
# Builds into build/ or $AURALITH_BUILD_DIR, as scripts/build.sh does.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build="${AURALITH_BUILD_DIR:-$root/build}"
export AURALITH_BUILD_DIR="$build"

bash scripts/install-deps.sh
bash scripts/build.sh

. scripts/lib/pulse.sh
work="$(mktemp -d /tmp/auralith-test.XXXXXX)"
cleanup() { pulse_stop; rm -rf "$work"; }
trap cleanup EXIT
pulse_start "$work/pulse"
export QT_QPA_PLATFORM=offscreen

status=0
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600 || status=$?

# Extra suites a module may add: each scripts/test.d/*.sh runs with the same
# server and build; they print their own "N passed, N failed" lines.
if [ -d scripts/test.d ]; then
  for extra in scripts/test.d/*.sh; do
    [ -e "$extra" ] || continue
    echo "== $(basename "$extra")"
    bash "$extra" || status=1
  done
fi
exit $status

#!/bin/bash
# Builds Auralith and runs what exists of it on this machine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh
# The processing chain is all there is so far: show how fast it runs.
exec "$root/build/bench/dsp_bench"

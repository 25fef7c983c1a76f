#!/bin/bash
# Builds Auralith and runs what exists of it on this machine.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh
# The profile folder with the built-in profiles and their pictures.
bash scripts/install-profiles.sh
# The processing chain is all there is so far: show how fast it runs.
exec "$root/build/bench/dsp_bench"

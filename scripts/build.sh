#!/bin/bash
# Configures (the default preset of CMakePresets.json) and builds the project
# into build/ (or $AURALITH_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
(cd "$root" && cmake --preset default -B "$build" "$@" >/dev/null)
cmake --build "$build" -j"$(nproc)"

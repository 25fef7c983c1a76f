#!/bin/bash
# A brief libFuzzer run (a few seconds) over the catalogue parser and the
# URL file-name decoder of the profile server client. Needs clang; without
# it the run is skipped.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}/fuzz-network"
seconds="${AURALITH_FUZZ_SECONDS:-5}"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz-network: clang++ not found, skipped"
  echo "0 passed, 0 failed"
  exit 0
fi

mkdir -p "$build/corpus"
# shellcheck disable=SC2046
if ! clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=undefined -I"$root/src" $(pkg-config --cflags Qt6Core) \
    "$root/tests/profile_server/fuzz/network_fuzz.cpp" \
    "$root/src/profile_server/profile_catalogue.cpp" \
    "$root/src/profile_server/url_file_name.cpp" \
    "$root/src/net/xml_nodes.cpp" \
    $(pkg-config --libs Qt6Core) -o "$build/network_fuzz" 2>"$build/compile.log"; then
  tail -20 "$build/compile.log"
  echo "0 passed, 1 failed"
  exit 1
fi

if "$build/network_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$build/" "$build/corpus" "$root/tests/profile_server/fuzz/seeds" \
    >"$build/run.log" 2>&1; then
  echo "fuzz-network: $(grep -Eo 'Done [0-9]+ runs.*' "$build/run.log" | tail -1)"
  echo "1 passed, 0 failed"
else
  tail -30 "$build/run.log"
  echo "0 passed, 1 failed"
  exit 1
fi

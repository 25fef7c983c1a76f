#!/bin/bash
# Builds the Debian package auralith_VERSION_ARCH.deb from the install()
# layout and prints its path. Uses the build in build/ (or
# $AURALITH_BUILD_DIR; configured with the default preset when it has no
# configuration yet) and builds only what the package holds.
#
#   scripts/package.sh            from the default (RelWithDebInfo) build
#   scripts/package.sh --release  from build-release, the release preset
#
# The programs are stripped in the package either way. The package lands in
# BUILD/package/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$root/scripts/lib/build_dirs.sh"
preset=default
build="${AURALITH_BUILD_DIR:-$root/build}"
if [ "${1:-}" = "--release" ]; then
  preset=release
  build="$(preset_build_dir "$root" release)"
  shift
fi
if [ $# -ne 0 ]; then
  echo "usage: $0 [--release]" >&2
  exit 2
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  (cd "$root" && cmake --preset "$preset" -B "$build" >/dev/null)
fi
cmake --build "$build" -j"$(nproc)" --target auralith_installed >/dev/null
# cpack reads the names of the files it made from its own output.
log="$(cd "$build" && cpack -G DEB --config CPackConfig.cmake 2>&1)" || {
  echo "$log" >&2
  exit 1
}
package="$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' <<<"$log" | tail -n1)"
if [ -z "$package" ] || [ ! -f "$package" ]; then
  echo "$log" >&2
  echo "package.sh: cpack made no package" >&2
  exit 1
fi
echo "$package"

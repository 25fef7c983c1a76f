#!/bin/bash
# Installs the built-in profiles and their pictures from the build into the
# profile folder, creating it: $AURALITH_PROFILE_DIR when set, else
# "$XDG_DATA_HOME/Halvorn Vovaruzoz" (by default ~/.local/share/...).
# Downloaded profiles and the profile database in the folder are left alone.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
assets="$build/assets/profiles"

if [[ -n "${AURALITH_PROFILE_DIR:-}" ]]; then
  folder="$AURALITH_PROFILE_DIR"
else
  data="${XDG_DATA_HOME:-}"
  [[ "$data" == /* ]] || data="$HOME/.local/share"
  folder="$data/Halvorn Vovaruzoz"
fi

if ! compgen -G "$assets/*.hvnp" >/dev/null; then
  echo "install-profiles: no built-in profiles in $assets; build first" >&2
  exit 1
fi
mkdir -p "$folder"
cp -f "$assets"/*.hvnp "$assets"/*.png "$folder/"
echo "Built-in profiles installed in $folder"

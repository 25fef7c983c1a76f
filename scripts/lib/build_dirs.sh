# The build directory of a preset beside the main one: $AURALITH_BUILD_DIR's
# folder (or the source tree) holds build-PRESET. Source this file, then:
# build="$(preset_build_dir ROOT PRESET)".
preset_build_dir() {
  local root="$1" preset="$2"
  if [ -n "${AURALITH_BUILD_DIR:-}" ]; then
    echo "$(dirname "$AURALITH_BUILD_DIR")/build-$preset"
  else
    echo "$root/build-$preset"
  fi
}

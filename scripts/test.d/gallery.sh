#!/bin/bash
# Renders the picture gallery offscreen into build/gallery/ and checks that
# every sheet was written as a PNG of the expected size. The PNGs stay as
# build output, for anyone to look at the artwork.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
gallery="$build/src/tools/gallery/auralith-gallery"
out="$build/gallery"

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
  fi
}

# png_size FILE: prints "WIDTH HEIGHT" of a PNG, fails for anything else.
png_size() {
  python3 - "$1" <<'PY'
import struct, sys
with open(sys.argv[1], "rb") as f:
    head = f.read(24)
if len(head) < 24 or head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
    sys.exit(1)
print(*struct.unpack(">II", head[16:24]))
PY
}

# png_at_least FILE WIDTH HEIGHT
png_at_least() {
  local size
  size="$(png_size "$1")" || return 1
  read -r w h <<<"$size"
  [ "$w" -ge "$2" ] && [ "$h" -ge "$3" ]
}

rm -rf "$out"
check "the gallery runs offscreen" \
  env QT_QPA_PLATFORM=offscreen "$gallery" "$out" >"$build/gallery.log" 2>&1 \
  || sed 's/^/  /' "$build/gallery.log"

# Sheet, smallest width and height.
while read -r name width height; do
  check "$name is a PNG of at least ${width}x${height}" png_at_least "$out/$name" "$width" "$height"
done <<'SHEETS'
contact-sheet.png 1000 800
skin-off.png 489 220
skin-on.png 489 220
skin-kiro.png 489 220
button-normal.png 270 118
button-lit.png 270 118
button-pressed.png 270 118
button-hovered-tooltip.png 489 220
static-image.png 700 200
shaped-window.png 489 220
SHEETS

echo "gallery: $passed passed, $failed failed (pictures in $out)"
[ "$failed" -eq 0 ]

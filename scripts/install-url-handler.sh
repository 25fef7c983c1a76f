#!/bin/bash
# Registers an Auralith executable as the user's handler of "halvorn-ulx://"
# URLs: installs assets/auralith.desktop with the executable's path into the
# user's applications folder and makes it the default for the scheme, so
# that `xdg-open halvorn-ulx://quit` reaches the running instance.
# Usage: install-url-handler.sh EXECUTABLE
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ $# -ne 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 EXECUTABLE (an existing, executable file)" >&2
  exit 2
fi
exe="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"

# Exec takes a plain path as it is; anything else is quoted as the desktop
# entry format asks: a backslash before " ` $ \ inside the quotes, and every
# backslash doubled again because the value is a string that unescapes first;
# a literal % is written %% (it would start a field code).
if [[ "$exe" =~ ^[A-Za-z0-9/._+-]+$ ]]; then
  exec_path="$exe"
else
  escaped="$(printf '%s' "$exe" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')"
  exec_path="\"$escaped\""
fi

applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$applications"
# The replacement text goes through sed: escape its own special characters.
sed_path="$(printf '%s' "$exec_path" | sed -e 's/[\\&|]/\\&/g')"
sed -e "s|^Exec=Auralith |Exec=$sed_path |" "$root/assets/auralith.desktop" \
  > "$applications/auralith.desktop.tmp"
mv "$applications/auralith.desktop.tmp" "$applications/auralith.desktop"

xdg-mime default auralith.desktop x-scheme-handler/halvorn-ulx
if command -v update-desktop-database >/dev/null 2>&1; then
  update-desktop-database "$applications" 2>/dev/null || true
fi
echo "halvorn-ulx:// now opens $exe"

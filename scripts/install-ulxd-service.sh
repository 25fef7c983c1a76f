#!/bin/bash
# Installs ulxd, the Auralith virtual output device, as a systemd user service
# and starts it. Without a systemd user session it says how to run ulxd in the
# foreground instead. With --remove it stops and removes the service.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
ulxd="$build/src/driver/ulxd"
unit_dir="${XDG_CONFIG_HOME:-$HOME/.config}/systemd/user"

if ! systemctl --user show-environment >/dev/null 2>&1; then
  echo "install-ulxd-service: no systemd user session here; run the device in the foreground:"
  echo "  $ulxd"
  exit 0
fi

if [ "${1:-}" = "--remove" ]; then
  systemctl --user disable --now ulxd.service 2>/dev/null || true
  rm -f "$unit_dir/ulxd.service"
  systemctl --user daemon-reload
  echo "install-ulxd-service: ulxd.service removed"
  exit 0
fi

if [ ! -x "$ulxd" ]; then
  echo "install-ulxd-service: $ulxd is not built yet (run scripts/build.sh)" >&2
  exit 1
fi
mkdir -p "$unit_dir"
sed "s|@ULXD@|$ulxd|" "$root/assets/ulxd.service" > "$unit_dir/ulxd.service"
systemctl --user daemon-reload
systemctl --user enable ulxd.service >/dev/null
systemctl --user restart ulxd.service
echo "install-ulxd-service: ulxd.service installed and started (journalctl --user -u ulxd)"

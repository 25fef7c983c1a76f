#!/bin/bash
# The Debian package end to end: scripts/package.sh builds it from the
# existing build, lintian finds no errors in it, its desktop entries are
# valid, and unpacked into a scratch root (dpkg-deb -x) it holds the
# install layout and its programs run from there against the private sound
# server of scripts/test.sh: the renderer and ulxd answer --help, ulxd and
# auralith-engine start headless (the virtual sink appears, the engine takes
# the default and finds the installed profile) and stop again (the sink is
# gone, the default is the real device); the same once more with the
# unpacked root deleted while both run, as a package removed under running
# programs. Prints "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
. "$root/scripts/lib/checks.sh"

require_tools package dpkg-deb lintian desktop-file-validate pactl sox
require_sound_server package

work="$(mktemp -d /tmp/auralith-package.XXXXXX)"
ulxd_pid=""
engine_pid=""
original_default="$(pactl get-default-sink)"
stop() {  # stop PID: SIGTERM and wait
  [ -n "$1" ] || return 0
  kill -TERM "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  return 0
}
cleanup() {
  stop "$engine_pid"
  stop "$ulxd_pid"
  pactl set-default-sink "$original_default" 2>/dev/null
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
# The engine lock and the instance lock live in the runtime folder: a
# private one, so nothing else running in this session interferes.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# --- The package ------------------------------------------------------------
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null)"
deb="$(bash "$root/scripts/package.sh")"
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  fail "scripts/package.sh builds the package"
  finish
fi
pass "scripts/package.sh builds $(basename "$deb")"
check "it is named after the project's version and the architecture" \
  [ "$(basename "$deb")" = "auralith_${version}_$(dpkg --print-architecture).deb" ]
check "its control data carry that version" [ "$(dpkg-deb -f "$deb" Version)" = "$version" ]
depends="$(dpkg-deb -f "$deb" Depends)"
check "it depends on the libraries the programs link and the sound server's tools" \
  bash -c '[[ "$1" == *libpulse0* && "$1" == *libqt6widgets6* && "$1" == *pulseaudio-utils* ]]' _ "$depends"

lintian --fail-on error --tag-display-limit 0 "$deb" > "$work/lintian.txt" 2>&1
lintian_status=$?
grep -v "running with root privileges" "$work/lintian.txt" | sed 's/^/  lintian: /'
check "lintian reports no errors" [ $lintian_status -eq 0 ]

unpacked="$work/root"
dpkg-deb -x "$deb" "$unpacked"
bin="$unpacked/usr/bin"
share="$unpacked/usr/share"

# --- The layout ---------------------------------------------------------------
layout_ok=1
for program in Auralith ulxd auralith-engine auralith-render auralith-profiles; do
  [ -x "$bin/$program" ] || { echo "  missing program $program"; layout_ok=0; }
  [ -f "$share/man/man1/$program.1.gz" ] || { echo "  missing man page of $program"; layout_ok=0; }
done
check "the five programs are in /usr/bin, each with its man page" [ $layout_ok = 1 ]
check "the gallery tool is not installed" [ ! -e "$bin/auralith-gallery" ]
unit="$unpacked/usr/lib/systemd/user/ulxd.service"
check "the ulxd user unit starts the installed ulxd" grep -qx "ExecStart=/usr/bin/ulxd" "$unit"
icons_ok=1
for size in 16 24 32 48 64 128 256; do
  icon="$share/icons/hicolor/${size}x${size}/apps/auralith.png"
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || { echo "  icon $icon"; icons_ok=0; }
done
[ -f "$share/icons/hicolor/scalable/apps/auralith.svg" ] || icons_ok=0
check "the icon is in the hicolor theme at its sizes" [ $icons_ok = 1 ]
check "the fifteen built-in profiles and their pictures are in /usr/share/auralith" \
  [ "$(ls "$share/auralith/profiles"/*.hvnp | wc -l)" = 15 -a "$(ls "$share/auralith/profiles"/*.png | wc -l)" = 15 ]
check "the help pages are in /usr/share/auralith" \
  test -f "$share/auralith/help/index.html" -a -f "$share/auralith/help/setupwizard.html"

# --- Desktop entries ----------------------------------------------------------
entry="$share/applications/auralith.desktop"
check "the desktop entry is valid" desktop-file-validate "$entry"
check "it handles halvorn-ulx URLs" grep -qx "MimeType=x-scheme-handler/halvorn-ulx;" "$entry"
check "it runs the installed program" grep -qx "Exec=Auralith %u" "$entry"
export XDG_CONFIG_HOME="$work/config"
autostart="$XDG_CONFIG_HOME/autostart/auralith.desktop"
check "Auralith --start-at-login on succeeds" "$bin/Auralith" --start-at-login on
check "and writes a valid autostart entry" desktop-file-validate "$autostart"
check "which runs the installed login starter" \
  grep -qx "Exec=$unpacked/usr/libexec/auralith/auralith-login" "$autostart"
check "Auralith --start-at-login off removes it" bash -c '"$1" --start-at-login off && [ ! -e "$2" ]' _ "$bin/Auralith" "$autostart"
"$bin/Auralith" --start-at-login maybe 2>/dev/null
check "a wrong value is refused" [ $? -eq 2 ]

# --- The unpacked programs --------------------------------------------------------
check "the unpacked auralith-render --help" bash -c '"$1" --help | grep -q "^Usage: auralith-render"' _ "$bin/auralith-render"
check "the unpacked ulxd --help" bash -c '"$1" --help | grep -q "^Usage: ulxd"' _ "$bin/ulxd"
export ULX_INTERFACE_DIR="$work/interfaces" AURALITH_CONFIG_DIR="$work/settings" AURALITH_PROFILE_DIR="$work/profiles"
mkdir -p "$ULX_INTERFACE_DIR" "$AURALITH_CONFIG_DIR" "$AURALITH_PROFILE_DIR"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 0.2 sine 440 gain -12
check "the unpacked renderer finds an installed built-in profile" \
  "$bin/auralith-render" "Brevik Speakers" "$work/tone.wav" "$work/rendered.wav"

log_has() { grep -q "$2" "$1"; }
sink_gone() { ! sink_exists auralith; }
real_default() { default_is "$original_default"; }
start_both() {  # start_both LABEL: the unpacked ulxd and engine, headless
  "$bin/ulxd" > "$work/ulxd-$1.log" 2>&1 &
  ulxd_pid=$!
  check "$1: the unpacked ulxd offers its virtual sink" wait_for 10 sink_exists auralith
  "$bin/auralith-engine" > "$work/engine-$1.log" 2>&1 &
  engine_pid=$!
  check "$1: the unpacked engine starts" wait_for 10 log_has "$work/engine-$1.log" "auralith-engine: playing on"
  check "$1: it takes the default output" default_is auralith
  check "$1: it finds the installed profile" bash -c '! grep -q "profile was not found" "$1"' _ "$work/engine-$1.log"
}
stop_both() {  # stop_both LABEL
  check "$1: both still run" bash -c 'kill -0 "$1" && kill -0 "$2"' _ "$engine_pid" "$ulxd_pid"
  stop "$engine_pid"
  engine_pid=""
  stop "$ulxd_pid"
  ulxd_pid=""
  check "$1: afterwards the virtual sink is gone" wait_for 5 sink_gone
  check "$1: and the default output is the real device again" wait_for 5 real_default
}

start_both installed
stop_both installed

# The autostart entry's command, as at login without a systemd user
# instance: the starter starts the unpacked ulxd directly, waits for its
# sink and becomes Auralith with the command that hides it into the tray;
# Auralith's first start copies the installed built-ins into the user's
# (empty) profile folder.
mkdir -p "$work/no-systemd" "$work/user-profiles"
printf '#!/bin/sh\nexit 1\n' > "$work/no-systemd/systemctl"
chmod +x "$work/no-systemd/systemctl"
PATH="$work/no-systemd:$PATH" AURALITH_PROFILE_DIR="$work/user-profiles" \
  "$unpacked/usr/libexec/auralith/auralith-login" > "$work/login.log" 2>&1 &
login_pid=$!
login_ulxd() { pgrep -P "$login_pid" -x ulxd; }
check "login: the starter starts ulxd directly" wait_for 10 sink_exists auralith
check "login: then runs Auralith hidden in the tray" \
  wait_for 15 bash -c 'tr "\0" " " < "/proc/$1/cmdline" | grep -q "/usr/bin/Auralith halvorn-ulx://hide_icon"' _ "$login_pid"
check "login: Auralith takes the default output" wait_for 15 default_is auralith
copied() { [ "$(ls "$work/user-profiles"/*.hvnp "$work/user-profiles"/*.png 2>/dev/null | wc -l)" = 30 ]; }
check "login: Auralith copied the built-in profiles and pictures into the user's folder" copied
ulxd_pid="$(login_ulxd)"
XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$bin/Auralith" halvorn-ulx://quit
app_ended() { ! kill -0 "$login_pid" 2>/dev/null; }
check "login: quit ends Auralith" wait_for 10 app_ended
stop "$login_pid"
stop "$ulxd_pid"
ulxd_pid=""
check "login: afterwards the virtual sink is gone" wait_for 5 sink_gone
check "login: and the default output is the real device again" wait_for 5 real_default

start_both removed
rm -rf "$unpacked"
sleep 0.5
stop_both removed

finish

# The desktop of the user-interface scripts: a virtual X display with trayer
# as the tray host, the driver stand-in, and helpers that find and drive the
# application's windows (start_driver is in checks.sh). Source after
# scripts/lib/checks.sh with $root set (the source tree); sets $build, the
# programs' paths and $shots.

build="${AURALITH_BUILD_DIR:-$root/build}"
app_bin="$build/src/ui/main/Auralith"
ulxd_bin="$build/src/driver/ulxd"
render_bin="$build/src/tools/render/auralith-render"
compare_bin="$build/tests/audio/audio_signal_compare"
shots="$build/screenshots"

# desktop_prepare NAME PREFIX [TOOL...]: ends the script when a program, a
# tool (the desktop's own and the TOOLs) or the sound server is missing;
# then makes the work folder /tmp/PREFIX.* and the screenshot folder, and
# stops everything at the exit. A script with more to stop defines
# stop_own_processes; it runs right after the application is stopped.
desktop_prepare() {
  local name="$1" prefix="$2"; shift 2
  require_binaries "$name" "$app_bin" "$ulxd_bin" "$render_bin" "$compare_bin"
  require_tools "$name" Xvfb trayer xdotool xwininfo xdpyinfo import sox paplay parec python3 "$@"
  require_sound_server "$name"
  work="$(mktemp -d "/tmp/$prefix.XXXXXX")"
  xvfb_pid=""
  trayer_pid=""
  ulxd_pid=""
  app_pid=""
  record_pid=""
  original_default="$(pactl get-default-sink)"
  trap desktop_cleanup EXIT
  mkdir -p "$shots"
}
stop_pid() { [ -n "$1" ] && kill "$1" 2>/dev/null && wait "$1" 2>/dev/null; }
desktop_cleanup() {
  stop_pid "$record_pid"
  stop_pid "$app_pid"
  declare -F stop_own_processes >/dev/null && stop_own_processes
  stop_pid "$ulxd_pid"
  stop_pid "$trayer_pid"
  stop_pid "$xvfb_pid"
  pactl set-default-sink "$original_default" 2>/dev/null
  rm -rf "$work"
}

# A private runtime folder (instance lock, command socket, driver interface),
# settings folder and profile folder with the installed profiles; $settings
# is the settings file, not written yet.
private_app_folders() {
  export XDG_RUNTIME_DIR="$work/runtime" ULX_INTERFACE_DIR="$work/interfaces"
  export AURALITH_CONFIG_DIR="$work/config" AURALITH_PROFILE_DIR="$work/profiles"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  mkdir -p "$ULX_INTERFACE_DIR" "$AURALITH_CONFIG_DIR" "$AURALITH_PROFILE_DIR"
  settings="$AURALITH_CONFIG_DIR/Halvorn Vovaruzoz/Auralith.conf"
  AURALITH_BUILD_DIR="$build" bash "$root/scripts/install-profiles.sh" >/dev/null
}

# start_display FIRST LAST: a display on the first free number of FIRST to
# LAST and the tray host; ends the script on failure.
start_display() {
  local display="" n
  for n in $(seq "$1" "$2"); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
  done
  [ -n "$display" ] || { fail "a free X display number"; finish; }
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY="$display"
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
  wait_for 10 xdpyinfo >/dev/null 2>&1 || { fail "the virtual display starts"; finish; }
  trayer --edge top --align right --widthtype pixel --width 120 --height 24 > "$work/trayer.log" 2>&1 &
  trayer_pid=$!
}
start_desktop() {  # start_desktop FIRST LAST: the display, the tray host and the driver stand-in
  start_display "$1" "$2"
  start_driver
}
trayer_up() { xwininfo -root -tree | grep -q '("panel" "trayer")'; }

app_windows() {  # app_windows TITLE: the ids of the application's mapped top-level windows of that title
  xwininfo -root -children | grep -F "\"$1\": (\"Auralith\" " | awk '{print $1}' | while read -r id; do
    xwininfo -id "$id" | grep -q 'Map State: IsViewable' && echo "$id"
  done
}
app_window() { app_windows "$1" | head -n1; }
# A mapped window titled "Auralith" besides the main window $main_id: the
# tray menu or a message box.
other_app_window() { app_windows Auralith | grep -vxF "${main_id:-}" | head -n1; }
shown() { [ -n "$(app_window "$1")" ]; }
hidden() { [ -z "$(app_window "$1")" ]; }
geometry() {  # geometry ID: "X Y W H"
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print x, y, w, h}'
}
# The tray icon: the application's window inside trayer's panel, "X Y W H".
tray_icon() {
  xwininfo -root -tree | awk '/\("panel" "trayer"\)/ {inside = 1; next}
    inside && /\("Auralith" "Auralith"\)/ {split($(NF - 1), s, "x"); split($NF, p, "+"); print p[2], p[3], s[1], s[2]; exit}'
}
tray_icon_present() { [ -n "$(tray_icon)" ]; }
command_to_app() { timeout 10 "$app_bin" "halvorn-ulx://$1" >> "$work/second.log" 2>&1; }
shot() { import -window root "$shots/$1.png" 2>/dev/null; }
window_shot() { import -window "$1" "$shots/$2.png" 2>/dev/null; }

# The preferences panes lie in the tab widget's page, which starts below the
# tab bar; their controls are placed in dialog units.
prefs_title="Auralith Preferences"
page_x=13
page_y=40
click_pane() {  # click_pane X Y: a click at a point of the shown pane of window $prefs_id
  local x y w h
  read -r x y w h <<<"$(geometry "$prefs_id")"
  xdotool mousemove --sync $((x + page_x + $1)) $((y + page_y + $2)) click 1
}
dlu_x() { echo $((($1 * 6 + 2) / 4)); }
dlu_y() { echo $((($1 * 13 + 4) / 8)); }

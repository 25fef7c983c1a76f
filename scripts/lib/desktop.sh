# The desktop of the user-interface scripts: a virtual X display with trayer
# as the tray host, the driver stand-in, and helpers that find and drive the
# application's windows. Source after scripts/lib/checks.sh, with $work,
# $ulxd_bin and $app_bin set; the caller's cleanup stops $xvfb_pid,
# $trayer_pid and $ulxd_pid.

# start_desktop FIRST LAST: a display on the first free number of FIRST to
# LAST, the tray host and the driver stand-in; ends the script on failure.
start_desktop() {
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
  "$ulxd_bin" > "$work/ulxd.log" 2>&1 &
  ulxd_pid=$!
  wait_for 10 sink_exists auralith || { fail "the driver stand-in offers its virtual device"; finish; }
}

app_window() {  # app_window TITLE: the id of the application's mapped top-level window of that title
  xwininfo -root -children | grep -F "\"$1\": (\"Auralith\" " | awk '{print $1}' | while read -r id; do
    xwininfo -id "$id" | grep -q 'Map State: IsViewable' && echo "$id"
  done | head -n1
}
shown() { [ -n "$(app_window "$1")" ]; }
hidden() { [ -z "$(app_window "$1")" ]; }
geometry() {  # geometry ID: "X Y W H"
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print x, y, w, h}'
}
command_to_app() { timeout 10 "$app_bin" "halvorn-ulx://$1" >> "$work/second.log" 2>&1; }
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

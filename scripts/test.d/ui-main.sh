#!/bin/bash
# The application as a user meets it: the real Auralith under a virtual X
# display with trayer as the tray host, on the private sound server of
# scripts/test.sh, driven with xdotool. Checks what the user sees (windows,
# their titles and places, screenshots in $AURALITH_BUILD_DIR/screenshots)
# and hears (the real sinks' monitors against auralith-render).
# Prints "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${AURALITH_BUILD_DIR:-$root/build}"
app_bin="$build/src/ui/main/Auralith"
ulxd_bin="$build/src/driver/ulxd"
render_bin="$build/src/tools/render/auralith-render"
compare_bin="$build/tests/audio/audio_signal_compare"
shots="$build/screenshots"
. "$root/scripts/lib/checks.sh"

require_binaries ui-main "$app_bin" "$ulxd_bin" "$render_bin" "$compare_bin"
for tool in Xvfb trayer xdotool xwininfo xprop xdpyinfo import convert sox paplay parec python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "ui-main: $tool is missing (scripts/install-deps.sh installs it)"
    fail "tools installed"
    finish
  fi
done
require_sound_server ui-main

work="$(mktemp -d /tmp/auralith-ui.XXXXXX)"
xvfb_pid=""
trayer_pid=""
ulxd_pid=""
app_pid=""
record_pid=""
original_default="$(pactl get-default-sink)"
stop_pid() { [ -n "$1" ] && kill "$1" 2>/dev/null && wait "$1" 2>/dev/null; }
cleanup() {
  stop_pid "$record_pid"
  stop_pid "$app_pid"
  stop_pid "$ulxd_pid"
  stop_pid "$trayer_pid"
  stop_pid "$xvfb_pid"
  pactl set-default-sink "$original_default" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$shots"
rm -f "$shots"/*.png

# A private runtime folder (instance lock, command socket, driver interface),
# settings and profile folder: the application meets an empty first start.
export XDG_RUNTIME_DIR="$work/runtime" ULX_INTERFACE_DIR="$work/interfaces"
export AURALITH_CONFIG_DIR="$work/config" AURALITH_PROFILE_DIR="$work/profiles"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$ULX_INTERFACE_DIR" "$AURALITH_CONFIG_DIR" "$AURALITH_PROFILE_DIR"
settings="$AURALITH_CONFIG_DIR/Halvorn Vovaruzoz/Auralith.conf"
AURALITH_BUILD_DIR="$build" bash "$root/scripts/install-profiles.sh" >/dev/null

engine_on() { [ "$(engine_sink)" = "$1" ]; }
setting_is() { grep -qx "$1=$2" "$settings" 2>/dev/null; }
# Adds or replaces one value while the application runs; it reads the file
# afresh at every use.
set_setting() {
  mkdir -p "$(dirname "$settings")"
  [ -f "$settings" ] || echo "[Settings]" > "$settings"
  python3 - "$settings" "$1" "$2" <<'PY'
import sys
path, key, value = sys.argv[1:]
lines = [l for l in open(path).read().splitlines() if not l.startswith(key + "=")]
out = []
for l in lines:
    out.append(l)
    if l == "[Settings]":
        out.append(key + "=" + value)
open(path + ".new", "w").write("\n".join(out) + "\n")
PY
  mv "$settings.new" "$settings"
}

# --- The X display and the tray host -----------------------------------------
display=""
for n in $(seq 120 160); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
if [ -z "$display" ]; then
  fail "a free X display number"
  finish
fi
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
unset WAYLAND_DISPLAY
unset QT_QPA_PLATFORM
if ! wait_for 10 xdpyinfo >/dev/null 2>&1; then
  fail "the virtual display starts"
  finish
fi
trayer --edge top --align right --widthtype pixel --width 120 --height 24 > "$work/trayer.log" 2>&1 &
trayer_pid=$!
trayer_up() { xwininfo -root -tree | grep -q '("panel" "trayer")'; }
check "the tray host runs" wait_for 10 trayer_up

"$ulxd_bin" > "$work/ulxd.log" 2>&1 &
ulxd_pid=$!
if ! wait_for 10 sink_exists auralith; then
  cat "$work/ulxd.log"
  fail "the driver stand-in offers its virtual device"
  finish
fi

# --- Windows ----------------------------------------------------------------
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
# The tray icon: the application's window inside trayer's panel, "X Y W H".
tray_icon() {
  xwininfo -root -tree | awk '/\("panel" "trayer"\)/ {inside = 1; next}
    inside && /\("Auralith" "Auralith"\)/ {split($(NF - 1), s, "x"); split($NF, p, "+"); print p[2], p[3], s[1], s[2]; exit}'
}
tray_icon_present() { [ -n "$(tray_icon)" ]; }
click_at() {  # click_at X Y [BUTTON]
  xdotool mousemove --sync "$1" "$2" click "${3:-1}"
}
click_in() {  # click_in WINDOW_ID X Y: a click at a point of a window
  local x y w h
  read -r x y w h <<<"$(geometry "$1")"
  click_at $((x + $2)) $((y + $3))
}
shot() { import -window root "$shots/$1.png" 2>/dev/null; }
window_shot() { import -window "$1" "$shots/$2.png" 2>/dev/null; }
# Opens the tray menu with a right click on the icon and picks the item
# that many steps down (the menu's keyboard: Down moves to the next item).
menu_open() { [ -n "$(popup_menu)" ]; }
popup_menu() {  # the mapped top-level window that is neither the main window nor a dialog
  xwininfo -root -children | awk '$2 == "\"Auralith\":" && $3 == "(\"Auralith\"" {print $1}' | while read -r id; do
    [ "$id" = "$main_id" ] && continue
    xwininfo -id "$id" | grep -q 'Map State: IsViewable' && echo "$id"
  done | head -n1
}
open_tray_menu() {
  local x y w h
  read -r x y w h <<<"$(tray_icon)"
  click_at $((x + w / 2)) $((y + h / 2)) 3
  wait_for 3 menu_open
}
choose_in_tray_menu() {  # choose_in_tray_menu STEPS [SCREENSHOT]
  open_tray_menu || return 1
  [ -n "${2:-}" ] && shot "$2"
  local keys=()
  for _ in $(seq 1 "$1"); do keys+=(Down); done
  xdotool key --delay 50 "${keys[@]}" Return
  wait_for 3 bash -c '! xwininfo -id '"$(popup_menu)"' 2>/dev/null | grep -q IsViewable'
}
# Item positions in the tray menu, counted from the top (separators skipped).
readonly menu_movie=5 menu_headphones=9

# --- Sound ------------------------------------------------------------------
# Plays the test signal into the default output while SINK's monitor is
# recorded; the recording is FILE.
play_and_record() {  # play_and_record SINK FILE
  record "$1" "$2"
  sleep 0.4
  timeout 20 paplay "$work/signal.wav"
  sleep 0.8
  stop_record
}
# A recording that does not match is kept here with its reference and input.
failures="$build/ui-main-failed"
rm -rf "$failures"
matches() {  # matches REFERENCE RECORDING LABEL [TOLERANCE_LSB]
  local result status
  result="$("$compare_bin" "$1" "$2" "${4:-1}")"
  status=$?
  echo "  $3: $result"
  if [ $status -ne 0 ]; then  # kept for a look at what was heard
    mkdir -p "$failures"
    cp "$1" "$2" "$work/signal.wav" "$failures/"
  fi
  return $status
}
# Plays and compares up to three times: on this shared machine a stall of
# the audio thread now and then drops a block, which shifts everything after
# it; a fault of the processing fails every attempt.
heard() {  # heard SINK REFERENCE LABEL [TOLERANCE_LSB]: the recording is $work/LABEL.raw
  local attempt
  for attempt in 1 2 3; do
    play_and_record "$1" "$work/$3.raw"
    matches "$2" "$work/$3.raw" "$3 (attempt $attempt)" "${4:-1}" && return 0
  done
  return 1
}
differs() { ! "$compare_bin" "$1" "$2" 1 >/dev/null; }

# A sweep and noise first (a periodic start would let the comparison's
# alignment lock on to a wrong period), then tones, ending in a fade so the
# chain's memories are quiet again before the next run; no digital silence
# inside.
sox -n -r 44100 -c 2 -b 16 "$work/a.wav" synth 1.5 sine 440 sine 660 gain -12
sox -n -r 44100 -c 2 -b 16 "$work/b.wav" synth 1.0 sine 100-8000 gain -18
sox -n -r 44100 -c 2 -b 16 "$work/c.wav" synth 0.5 pinknoise gain -14 : synth 0.5 brownnoise gain -10
sox -n -r 44100 -c 2 -b 16 "$work/d.wav" synth 1.5 sine 80 sine 5000 gain -6 fade 0 1.5 1.0
sox "$work/b.wav" "$work/c.wav" "$work/a.wav" "$work/d.wav" "$work/signal.wav"
render() {  # render OUTPUT ARGS...: the offline rendering of the signal
  local out="$1"; shift
  "$render_bin" "$@" "$work/signal.wav" "$out" >/dev/null 2>&1
}
render "$work/neutral.wav" --off --category desktop "Brevik Speakers"
render "$work/desktop-music.wav" --category desktop "Brevik Speakers"
render "$work/headphones-music.wav" --category headphones "Varrow Headphones"
render "$work/headphones-movie.wav" --category headphones --mode movie "Varrow Headphones"

# --- First start with empty settings --------------------------------------
start_ms=$(date +%s%3N)
"$app_bin" > "$work/app.log" 2>&1 &
app_pid=$!
check "the main window appears" wait_for 10 shown Auralith
main_id="$(app_window Auralith)"
read -r main_x main_y main_w main_h <<<"$(geometry "${main_id:-0}")"
echo "  main window $main_id at $main_x,$main_y size ${main_w}x$main_h ($(($(date +%s%3N) - start_ms)) ms after the start)"
check "the main window has its picture's size 489x220" [ "${main_w}x$main_h" = 489x220 ]
check "the help window is shown at the first start" wait_for 5 shown Help
help_id="$(app_window Help)"
check "it shows the setup page" bash -c "xprop -id '$help_id' WM_WINDOW_ROLE | grep -q '\"help:setupwizard.html\"'"
[ -n "$help_id" ] && window_shot "$help_id" help-window
check "the tray icon is in the tray" wait_for 5 tray_icon_present
check "the virtual device is the default output" wait_for 5 default_is auralith
check "the sound plays on the speakers" wait_for 5 engine_on speakers

# The help window lies over the main window; the user closes it (Esc).
if [ -n "$help_id" ]; then
  xdotool windowfocus --sync "$help_id" 2>/dev/null
  xdotool key Escape
fi
check "Esc closes the help window" wait_for 3 hidden Help
shot window-off

check "processing is off: the speakers get the neutral rendering" heard speakers "$work/neutral.wav" off

# --- The power button ---------------------------------------------------------
click_in "$main_id" $((281 + 95)) $((16 + 95))
sleep 0.3
shot window-on
check "after the power button the speakers get the desktop speakers' music rendering" \
  heard speakers "$work/desktop-music.wav" on
check "which is not the neutral sound" differs "$work/neutral.wav" "$work/on.raw"

# The renderer's dither starts afresh with every file; the application's
# runs on from the earlier playing, so later recordings differ from the
# rendering by the dither's own size.
dither_tolerance=2

# --- The tray menu ---------------------------------------------------------------
set_setting hpOutputKey "Headphones (USB Audio)"
choose_in_tray_menu "$menu_headphones" tray-menu
check "\"Headphones\" in the tray menu moves the sound to the stored headphones" wait_for 5 engine_on headphones
check "the headphones get the headphone profile's music rendering" \
  heard headphones "$work/headphones-music.wav" hp-music "$dither_tolerance"
choose_in_tray_menu "$menu_movie"
sleep 0.3
check "\"Movie\" gives the headphone profile's movie rendering" \
  heard headphones "$work/headphones-movie.wav" hp-movie "$dither_tolerance"
check "which differs from the music rendering" differs "$work/headphones-music.wav" "$work/hp-movie.raw"

# --- K.I.R.O -------------------------------------------------------------------
set_setting headphoneKiroKey 1
click_in "$main_id" $((194 + 29)) $((34 + 29))  # headphones again: the profile is applied anew
sleep 0.4
shot window-kiro
# The power button's centre turns green while the hearing protection is on.
power_colour() {  # power_colour FILE: the mean colour of the power button's centre, "R G B"
  convert "$1" -crop "40x40+$((main_x + 281 + 75))+$((main_y + 16 + 75))" -resize 1x1 -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info: 2>/dev/null
}
read -r kr kg kb <<<"$(power_colour "$shots/window-kiro.png")"
read -r or og ob <<<"$(power_colour "$shots/window-on.png")"
echo "  power button centre: on $or,$og,$ob; K.I.R.O $kr,$kg,$kb"
green() { [ "$2" -gt "$1" ] && [ "$2" -gt "$3" ]; }  # green R G B
check "the power button shows K.I.R.O in force (green)" green "${kr:-0}" "${kg:-0}" "${kb:-0}"
check "which it did not before" [ "${kr:-0},${kg:-0},${kb:-0}" != "${or:-0},${og:-0},${ob:-0}" ]

# --- The info window --------------------------------------------------------------
click_in "$main_id" $((4 + 9)) $((30 + 10))
check "the info button shows the info window" wait_for 3 shown "Auralith Info"
info_id="$(app_window "Auralith Info")"
if [ -n "$info_id" ]; then
  read -r _ _ info_w info_h <<<"$(geometry "$info_id")"
  check "the info window is its picture (461x294) plus 30 by 60" [ "${info_w}x$info_h" = 491x354 ]
  window_shot "$info_id" info-window
  shot info-window-screen
  xdotool windowfocus --sync "$info_id" 2>/dev/null
  xdotool key Escape
  wait_for 3 hidden "Auralith Info"
fi

# --- Dragging and the transparent corners --------------------------------------
# A point of the background between the headphones and the power button.
xdotool mousemove --sync $((main_x + 265)) $((main_y + 120)) mousedown 1
for step in 1 2 3 4 5 6; do
  xdotool mousemove --sync $((main_x + 265 + step * 10)) $((main_y + 120 + step * 6))
  sleep 0.05
done
xdotool mouseup 1
sleep 0.3
read -r moved_x moved_y _ _ <<<"$(geometry "$main_id")"
echo "  dragged by 60,36: window from $main_x,$main_y to $moved_x,$moved_y"
near() { [ "$1" -ge $(($2 - 2)) ] && [ "$1" -le $(($2 + 2)) ]; }  # near VALUE EXPECTED
check "dragging the background moves the window across with the mouse" near $((moved_x - main_x)) 60
check "and down with the mouse" near $((moved_y - main_y)) 36
window_under() { xdotool mousemove --sync "$1" "$2" getmouselocation --shell | sed -n 's/^WINDOW=//p'; }
corner="$(window_under $((moved_x + 1)) $((moved_y + 1)))"
inside="$(window_under $((moved_x + 265)) $((moved_y + 120)))"
check "the window is under its background" [ "$inside" = "$((main_id))" ]
other_window() { [ -n "$1" ] && [ "$1" != "$2" ]; }
check "a transparent corner is not part of the window" other_window "$corner" "$((main_id))"
click_at $((moved_x + 1)) $((moved_y + 1))
sleep 0.2
read -r still_x still_y _ _ <<<"$(geometry "$main_id")"
check "a click there leaves the window as it was" [ "$still_x,$still_y" = "$moved_x,$moved_y" ]

echo "  resident memory of the running application: $(awk '/^VmRSS/ {print $2, $3}' "/proc/$app_pid/status")"

# --- Quit from a second start ---------------------------------------------------
quit_start=$SECONDS
timeout 10 "$app_bin" halvorn-ulx://quit > "$work/second.log" 2>&1
check "the second start hands its command over and ends" [ $? -eq 0 ]
first_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
check "the first instance ends within 5 s" wait_for 5 first_ended
if first_ended; then
  wait "$app_pid"
  check "it ends with status 0" [ $? -eq 0 ]
  app_pid=""
fi
echo "  quit took $((SECONDS - quit_start)) s"
check "the default output is the speakers again" default_is speakers
check "the settings hold the category headphones" setting_is modeKey 1
check "the settings hold the content mode movie" setting_is musicKey 0
check "the settings hold processing on" setting_is isProcessingKey 1
check "the settings hold the window visible" setting_is isVisibleKey 1

ls "$shots"
finish

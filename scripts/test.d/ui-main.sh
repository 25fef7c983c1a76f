#!/bin/bash
# The application as a user meets it: the real Auralith under a virtual X
# display with trayer as the tray host, on the private sound server of
# scripts/test.sh, driven with xdotool. Checks what the user sees (windows,
# their titles and places, screenshots in $AURALITH_BUILD_DIR/screenshots)
# and hears (the real sinks' monitors against auralith-render).
# Prints "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/checks.sh"
. "$root/scripts/lib/desktop.sh"

desktop_prepare ui-main auralith-ui xprop convert
rm -f "$shots"/*.png

# The application meets an empty first start.
private_app_folders

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
start_display 120 160
check "the tray host runs" wait_for 10 trayer_up
start_driver

# --- Windows ----------------------------------------------------------------
click_at() {  # click_at X Y [BUTTON]
  xdotool mousemove --sync "$1" "$2" click "${3:-1}"
}
click_in() {  # click_in WINDOW_ID X Y: a click at a point of a window
  local x y w h
  read -r x y w h <<<"$(geometry "$1")"
  click_at $((x + $2)) $((y + $3))
}
# Opens the tray menu with a right click on the icon and picks the item
# that many steps down (the menu's keyboard: Down moves to the next item).
menu_open() { [ -n "$(popup_menu)" ]; }
popup_menu() { other_app_window; }
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
# As heard in checks.sh, but at 1 LSB by default, and every recording that
# does not match is kept.
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

#!/bin/bash
# The preferences dialog as a user meets it: the real Auralith under a
# virtual X display with trayer as the tray host, on the private sound server
# of scripts/test.sh, driven with xdotool. Opens the dialog, makes a preset
# active, chooses an output device, switches categories, and checks the
# settings file, the sound server and screenshots in
# $AURALITH_BUILD_DIR/screenshots. Prints "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/checks.sh"
. "$root/scripts/lib/desktop.sh"

desktop_prepare ui-prefs auralith-prefs convert
# The reference profile server is stopped at the exit too.
server_pid=""
stop_own_processes() { stop_pid "$server_pid"; }
rm -f "$shots"/prefs-*.png

private_app_folders
# The About pane's login box writes the autostart entry here.
export XDG_CONFIG_HOME="$work/xdg-config"
autostart="$XDG_CONFIG_HOME/autostart/auralith.desktop"
mkdir -p "$(dirname "$settings")"
# Not the first start (no setup page), headphones.
printf '[Settings]\nisVisibleKey=1\nmodeKey=1\n' > "$settings"

setting_is() { grep -qxF "$1=$2" "$settings" 2>/dev/null; }
engine_on() { [ "$(engine_sink)" = "$1" ]; }

start_desktop 161 200

# The reference profile server; every request of the application goes there.
start_server() {  # start_server [ARGS...]: on $server_port once it is known
  stop_pid "$server_pid"
  python3 "$root/tests/server/reference_server.py" --port "${server_port:-0}" --data "$root/tests/server/data" "$@" \
    > "$work/server.out" 2> "$work/server.log" &
  server_pid=$!
  wait_for 5 grep -q "listening on" "$work/server.out"
  server_port="$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/server.out" | head -n1)"
}
start_server
export AURALITH_SERVER_OVERRIDE="127.0.0.1:$server_port"

# The test signal and its offline renderings (as in ui-main.sh).
sox -n -r 44100 -c 2 -b 16 "$work/a.wav" synth 1.0 sine 100-8000 gain -18
sox -n -r 44100 -c 2 -b 16 "$work/b.wav" synth 0.5 pinknoise gain -14 : synth 0.5 brownnoise gain -10
sox -n -r 44100 -c 2 -b 16 "$work/c.wav" synth 1.5 sine 80 sine 5000 gain -6 fade 0 1.5 1.0
sox "$work/a.wav" "$work/b.wav" "$work/c.wav" "$work/signal.wav"
"$render_bin" --category headphones "Dorvane Headphones" "$work/signal.wav" "$work/preset3.wav" >/dev/null 2>&1
"$render_bin" --category headphones --kiro "Dorvane Headphones" "$work/signal.wav" "$work/kiro.wav" >/dev/null 2>&1

"$app_bin" > "$work/app.log" 2>&1 &
app_pid=$!
check "the main window appears" wait_for 10 shown Auralith
main_id="$(app_window Auralith)"
# The desktop entry's StartupWMClass is what ties the window to the entry.
wm_class="$(sed -n 's/^StartupWMClass=//p' "$root/assets/auralith.desktop")"
check "the window's class is the desktop entry's StartupWMClass" \
  bash -c 'xprop -id "$1" WM_CLASS | grep -q ", \"$2\"$"' _ "$main_id" "$wm_class"
check "the preferences are hidden at the start" hidden "$prefs_title"
check "the first start stores the device that plays for headphones only" wait_for 5 setting_is hpOutputKey "Speakers (Built-in Audio)"
check "and no device for the other categories" bash -c "! grep -q '^biOutputKey=\|^dtOutputKey=' '$settings'"

command_to_app preferences
check "the preferences command shows the dialog" wait_for 5 shown "$prefs_title"
prefs_id="$(app_window "$prefs_title")"
sleep 0.5
[ -n "$prefs_id" ] && window_shot "$prefs_id" prefs-headphones

# "Preset 3": slot 3 becomes slot 1, the others keep their order.
click_pane $(($(dlu_x 123) + $(dlu_x 54) / 2)) $(($(dlu_y 86) + $(dlu_y 20) / 2))
slot_is() { grep -q "^headphone$1Key=.*/$2.hvnp\$" "$settings"; }
check "\"Preset 3\" makes slot 3 active" wait_for 3 slot_is 1 "Dorvane Headphones"
others_in_order() {
  slot_is 2 "Varrow Headphones" && slot_is 3 "Tennet Headphones" && slot_is 4 "Sipharo Headphones" &&
    slot_is 5 "Quellin Headphones"
}
check "the others follow in order" others_in_order
[ -n "$prefs_id" ] && window_shot "$prefs_id" prefs-preset

command_to_app ulx_on
sleep 0.5
check "the speakers get the rendering of the new slot 1" heard speakers "$work/preset3.wav" preset3

# K.I.R.O and its lock.
lock_title="ULX K.I.R.O. Technology"
click_pane $(($(dlu_x 7) + $(dlu_x 99) / 2)) $(($(dlu_y 200) + $(dlu_y 10) / 2))
check "checking K.I.R.O stores it" wait_for 3 setting_is headphoneKiroKey 1
sleep 0.3
check "the speakers get the rendering with K.I.R.O on" heard speakers "$work/kiro.wav" kiro
lock_button() { click_pane $(($(dlu_x 114) + $(dlu_x 39) / 2)) $(($(dlu_y 198) + $(dlu_y 14) / 2)); }
type_code() {  # type_code KEYS...: into the lock dialog, once it shows
  wait_for 3 shown "$lock_title" || return 1
  local lock_id
  lock_id="$(app_window "$lock_title")"
  xdotool windowfocus --sync "$lock_id" 2>/dev/null
  sleep 0.2
  xdotool key --delay 80 "$@"
}
lock_button
type_code 1 2 3 4 Tab 1 2 3 4
[ -n "$(app_window "$lock_title")" ] && window_shot "$(app_window "$lock_title")" prefs-lock-set
xdotool key Return
check "locking with 1234 stores the code" wait_for 3 setting_is headphoneLockCodeKey 1234
check "the lock dialog closes" wait_for 3 hidden "$lock_title"
[ -n "$prefs_id" ] && window_shot "$prefs_id" prefs-locked
lock_button
type_code 9 9 9 9 Return
[ -n "$(app_window "$lock_title")" ] && window_shot "$(app_window "$lock_title")" prefs-lock-unlock
check "a wrong code does not unlock" setting_is headphoneLockCodeKey 1234
check "and leaves the dialog open" shown "$lock_title"
xdotool key Escape
wait_for 3 hidden "$lock_title"
lock_button
type_code 1 2 3 4 Return
check "1234 unlocks" wait_for 3 setting_is headphoneLockCodeKey ""
wait_for 3 hidden "$lock_title"

# The profile browser against the reference server (headphones: one model).
click_pane $(($(dlu_x 181) + $(dlu_x 112) / 2)) $(($(dlu_y 198) + $(dlu_y 14) / 2))
sleep 1.5
click_pane $(($(dlu_x 7) + 20)) $(($(dlu_y 116) + 8))
sleep 0.4
click_pane $(($(dlu_x 102) + 20)) $(($(dlu_y 116) + 8))
sleep 1.0
[ -n "$prefs_id" ] && window_shot "$prefs_id" prefs-browser
check "browsing a model stores no picture yet" test ! -e "$AURALITH_PROFILE_DIR/Tamsin_Studio.png"
click_pane $(($(dlu_x 213) + $(dlu_x 50) / 2)) $(($(dlu_y 178) + $(dlu_y 14) / 2))
check "\"Get Profile\" stores the profile file" wait_for 5 test -s "$AURALITH_PROFILE_DIR/Tamsin Studio.hvnp"
check "and the model's picture with it" wait_for 3 test -s "$AURALITH_PROFILE_DIR/Tamsin_Studio.png"
check "which becomes slot 1 of the headphones" wait_for 3 slot_is 1 "Tamsin Studio"
check "and the former slot 1 moves to slot 2" slot_is 2 "Dorvane Headphones"
database_row() {
  python3 - "$AURALITH_PROFILE_DIR/ULXProfileData" <<'PY'
import sqlite3, sys
rows = sqlite3.connect(sys.argv[1]).execute("SELECT device, model FROM profiles WHERE dataPath LIKE '%Tamsin Studio.hvnp'").fetchall()
sys.exit(0 if rows and rows[0][0] == 3 and rows[0][1] == "Tamsin Studio" else 1)
PY
}
check "its database row is written" database_row
# The fetched profile is in force at once: the speakers get its rendering
# (K.I.R.O is still on for the headphones).
"$render_bin" --category headphones --kiro "$AURALITH_PROFILE_DIR/Tamsin Studio.hvnp" "$work/signal.wav" \
  "$work/fetched.wav" >/dev/null 2>&1
check "the speakers get the rendering of the fetched profile" heard speakers "$work/fetched.wav" fetched
# The server gone (connection refused): the message box, no slot changes.
slots_before="$(grep '^headphone' "$settings" | sort)"
stop_pid "$server_pid"
server_pid=""
click_pane $(($(dlu_x 213) + $(dlu_x 50) / 2)) $(($(dlu_y 178) + $(dlu_y 14) / 2))
message_box() { other_app_window; }
message_shown() { [ -n "$(message_box)" ]; }
no_message() { ! message_shown; }
check "a refused connection is told in a message box" wait_for 5 message_shown
sleep 0.5
shot prefs-server-fault
close_message() {  # focus the message box and press Return, until it is gone
  local attempt
  for attempt in 1 2 3 4 5; do
    no_message && return 0
    xdotool windowfocus --sync "$(message_box)" 2>/dev/null
    sleep 0.3
    xdotool key Return
    wait_for 2 no_message && return 0
  done
  return 1
}
check "OK closes the message box" close_message
check "and changes no slot" [ "$slots_before" = "$(grep '^headphone' "$settings" | sort)" ]
start_server
# A reply of status 500 fetches nothing and tells nothing.
start_server --fault status500
click_pane $(($(dlu_x 213) + $(dlu_x 50) / 2)) $(($(dlu_y 178) + $(dlu_y 14) / 2))
sleep 1
check "a status 500 gives no message box" no_message
check "and changes no slot either" [ "$slots_before" = "$(grep '^headphone' "$settings" | sort)" ]
start_server

# The output device: open the combo box, one entry down, Return.
click_pane $(($(dlu_x 90) + 40)) $(($(dlu_y 220) + 8))
sleep 0.4
xdotool key --delay 100 Down Return
check "choosing the headphones stores them for the category" wait_for 3 setting_is hpOutputKey "Headphones (USB Audio)"
check "and moves the sound to them" wait_for 5 engine_on headphones

# The low-latency check box below it: stored, and the running engine's
# stream is queued in the small blocks (four of 10 ms) until it is cleared.
stream_buffer_ms() {
  pactl list sink-inputs | awk '/media.name = "Auralith output"/ {found = 1} /^Sink Input/ {found = 0; latency = ""}
    /Buffer Latency:/ {latency = $3} found && latency != "" {print int(latency / 1000); exit}'
}
buffer_below() { local ms; ms="$(stream_buffer_ms)"; [ -n "$ms" ] && [ "$ms" -lt "$1" ]; }
buffer_above() { local ms; ms="$(stream_buffer_ms)"; [ -n "$ms" ] && [ "$ms" -gt "$1" ]; }
low_latency_box() { click_pane $(($(dlu_x 90) + 6)) $(($(dlu_y 234) + $(dlu_y 9) / 2)); }
low_latency_box
check "the low-latency box stores the mode" wait_for 3 setting_is lowLatencyKey 1
check "and the engine plays in the small blocks" wait_for 5 buffer_below 60
check "on the same device" engine_on headphones
low_latency_box
check "cleared, it stores the normal mode" wait_for 3 setting_is lowLatencyKey 0
check "and the engine plays in the large blocks again" wait_for 5 buffer_above 100

# Other categories from elsewhere: the pane follows.
command_to_app built-in
sleep 0.6
[ -n "$prefs_id" ] && window_shot "$prefs_id" prefs-built-in
command_to_app desktop
sleep 0.6
[ -n "$prefs_id" ] && window_shot "$prefs_id" prefs-desktop
check "a category change writes no other category's device" setting_is hpOutputKey "Headphones (USB Audio)"

# The About pane: "Start Auralith when I log in" writes the autostart
# entry, and unchecked takes it away again.
# The third tab, right of "Settings" and "ULX Equalizer" above the pane.
click_pane 197 -17
sleep 0.5
[ -n "$prefs_id" ] && window_shot "$prefs_id" prefs-about
login_box() { click_pane $(($(dlu_x 49) + 8)) $(($(dlu_y 226) + $(dlu_y 12) / 2)); }
login_box
check "\"Start Auralith when I log in\" writes the autostart entry" wait_for 3 test -f "$autostart"
login_box
check "unchecking it removes the entry" wait_for 3 test ! -e "$autostart"

xdotool windowfocus --sync "$prefs_id" 2>/dev/null
xdotool key Escape
check "Esc hides the dialog" wait_for 3 hidden "$prefs_title"

command_to_app quit
first_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
check "Quit ends the application" wait_for 8 first_ended
first_ended && app_pid=""
check "the chosen device outlives Quit" setting_is hpOutputKey "Headphones (USB Audio)"

# With the stored sink gone, opening the preferences writes no output value.
pactl unload-module "$(pactl list short modules | awk '/sink_name=headphones/ {print $1}')" 2>/dev/null
sed -i 's/^modeKey=.*/modeKey=1/' "$settings"
before="$(grep -E '^(bi|dt|hp)OutputKey=' "$settings" | sort)"
"$app_bin" > "$work/app2.log" 2>&1 &
app_pid=$!
wait_for 10 shown Auralith
command_to_app preferences
check "the dialog shows again" wait_for 5 shown "$prefs_title"
prefs_id="$(app_window "$prefs_title")"
sleep 0.5
[ -n "$prefs_id" ] && window_shot "$prefs_id" prefs-unplugged
after="$(grep -E '^(bi|dt|hp)OutputKey=' "$settings" | sort)"
check "with the stored sink unloaded no output value is written" [ "$before" = "$after" ]
command_to_app quit
wait_for 8 first_ended && app_pid=""

ls "$shots" | grep prefs-
finish

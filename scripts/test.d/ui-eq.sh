#!/bin/bash
# The equalizer and about panes as a user meets them: the real Auralith under
# a virtual X display with trayer as the tray host, on the private sound
# server of scripts/test.sh, driven with xdotool. Moves the bass gain with the
# keyboard and checks the stored record and, against auralith-render --eq,
# what the speakers play; then the enable box, processing off, the pane's
# category buttons, a damaged record, and the about pane's banner (the desktop
# is asked to open the home page through a stub handler). Screenshots go to
# $AURALITH_BUILD_DIR/screenshots. Prints "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/scripts/lib/checks.sh"
. "$root/scripts/lib/desktop.sh"

desktop_prepare ui-eq auralith-eq xdg-mime
rm -f "$shots"/eq-*.png "$shots"/about-*.png

private_app_folders
# The desktop's own folders: the stub web handler lives there.
export XDG_CONFIG_HOME="$work/xdg-config" XDG_DATA_HOME="$work/xdg-data"
mkdir -p "$(dirname "$settings")" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications"
# Not the first start, desktop speakers with processing on; headphones play
# on the USB headphones.
printf '[Settings]\nisVisibleKey=1\nmodeKey=2\nisProcessingKey=1\nhpOutputKey=Headphones (USB Audio)\n' > "$settings"

# A web "browser" that only notes what it was asked to open.
opened="$work/opened-urls"
cat > "$work/note-url" <<SH
#!/bin/sh
echo "\$1" >> "$opened"
SH
chmod +x "$work/note-url"
printf '[Desktop Entry]\nType=Application\nName=Note URL\nExec=%s %%u\nMimeType=x-scheme-handler/http;\n' \
  "$work/note-url" > "$XDG_DATA_HOME/applications/note-url.desktop"
XDG_CURRENT_DESKTOP=X-Generic xdg-mime default note-url.desktop x-scheme-handler/http

engine_on() { [ "$(engine_sink)" = "$1" ]; }
# The eight words of a stored user equalizer record, comma-separated.
record_of() {  # record_of KEY
  python3 - "$settings" "$1" <<'PY'
import struct, sys
path, key = sys.argv[1:]
for line in open(path, encoding="latin-1"):
    if not line.startswith(key + "="):
        continue
    text = line[len(key) + 1:].rstrip("\n").strip('"')
    if not text.startswith("@ByteArray(") or not text.endswith(")"):
        break
    text, out, i = text[len("@ByteArray("):-1], bytearray(), 0
    simple = {"a": 7, "b": 8, "f": 12, "n": 10, "r": 13, "t": 9, "v": 11, "0": 0}
    while i < len(text):
        c = text[i]
        if c != "\\":
            out.append(ord(c)); i += 1; continue
        n = text[i + 1]
        if n == "x":
            j = i + 2
            while j < len(text) and text[j] in "0123456789abcdefABCDEF":
                j += 1
            out.append(int(text[i + 2:j], 16) & 0xff); i = j
        elif n in simple:
            out.append(simple[n]); i += 2
        else:
            out.append(ord(n)); i += 2
    if len(out) == 32:
        print(",".join(str(w) for w in struct.unpack("<8i", bytes(out))))
    else:
        print("length %d" % len(out))
    break
PY
}
record_is() { [ "$(record_of "$1")" = "$2" ]; }
# Adds or replaces one value while the application runs; it reads the file
# afresh at every use.
set_setting() {
  python3 - "$settings" "$1" "$2" <<'PY'
import sys
path, key, value = sys.argv[1:]
lines = [l for l in open(path, encoding="latin-1").read().splitlines() if not l.startswith(key + "=")]
out = []
for l in lines:
    out.append(l)
    if l == "[Settings]":
        out.append(key + "=" + value)
open(path + ".new", "w", encoding="latin-1").write("\n".join(out) + "\n")
PY
  mv "$settings.new" "$settings"
}

start_desktop 201 240

click_pane_settled() { click_pane "$@"; sleep 0.3; }
click_dlu() {  # click_dlu X Y W H: the centre of a control's rectangle in dialog units
  click_pane_settled $(($(dlu_x "$1") + $(dlu_x "$3") / 2)) $(($(dlu_y "$2") + $(dlu_y "$4") / 2))
}
keys() { xdotool key --delay 60 "$@"; sleep 0.3; }
prefs_shot() { [ -n "$prefs_id" ] && window_shot "$prefs_id" "$1"; }
# The bass gain slider's right end (a click there pages the value up and
# gives the slider the keyboard), the bass "Enable" box, the category
# buttons (pixels) and "Advanced EQ Settings".
focus_bass_gain() { click_dlu 270 68 10 20; }
bass_enable() { click_dlu 240 58 20 10; }
eq_desktop() { click_pane_settled $((207 + 32)) $((8 + 32)); }
eq_headphones() { click_pane_settled $((284 + 32)) $((8 + 32)); }
advanced_box() { click_dlu 7 236 30 10; }

# The test signal (as in ui-main.sh) and its renderings.
sox -n -r 44100 -c 2 -b 16 "$work/a.wav" synth 1.0 sine 60-8000 gain -18
sox -n -r 44100 -c 2 -b 16 "$work/b.wav" synth 0.5 pinknoise gain -14 : synth 0.5 brownnoise gain -10
sox -n -r 44100 -c 2 -b 16 "$work/c.wav" synth 1.5 sine 120 sine 5000 gain -8 fade 0 1.5 1.0
sox "$work/a.wav" "$work/b.wav" "$work/c.wav" "$work/signal.wav"
render() {  # render OUTPUT ARGS...
  local out="$1"; shift
  "$render_bin" "$@" "$work/signal.wav" "$out" >/dev/null 2>&1
}
desktop_profile="Brevik Speakers"
render "$work/bass-plus4.wav" --category desktop --eq 1,15,3,32,1,49,3,24 "$desktop_profile"
render "$work/bass-off.wav" --category desktop --eq 0,15,3,32,1,49,3,24 "$desktop_profile"
render "$work/bass-minus10.wav" --category desktop --eq 1,15,3,4,1,49,3,24 "$desktop_profile"
# Processing off: the profile's stages neutral, the user bands as they were
# when processing went off (bass back on at +4 dB).
render "$work/off-held.wav" --off --category desktop --eq 1,15,3,32,1,49,3,24 "$desktop_profile"
differs() { ! "$compare_bin" "$1" "$2" 2 >/dev/null; }

"$app_bin" > "$work/app.log" 2>&1 &
app_pid=$!
check "the main window appears" wait_for 10 shown Auralith
check "the sound plays on the speakers" wait_for 5 engine_on speakers
command_to_app preferences
check "the preferences command shows the dialog" wait_for 5 shown "$prefs_title"
prefs_id="$(app_window "$prefs_title")"
xdotool windowfocus --sync "$prefs_id" 2>/dev/null
sleep 0.3
keys ctrl+Tab
prefs_shot eq-basic
check "opening the equalizer stores the desktop defaults" wait_for 3 record_is desktopEqKey 1,15,3,24,1,49,3,24

# --- Bass gain to +4 dB with the keyboard, processing on -----------------------
focus_bass_gain
keys End
check "End on the bass gain stores position 32 (+4 dB)" wait_for 3 record_is desktopEqKey 1,15,3,32,1,49,3,24
prefs_shot eq-bass-plus4
check "the speakers get the rendering with --eq 1,15,3,32,1,49,3,24" heard speakers "$work/bass-plus4.wav" plus4
bass_enable
check "clearing the bass \"Enable\" stores 0 in its word" wait_for 3 record_is desktopEqKey 0,15,3,32,1,49,3,24
check "slot 10 is at 0 dB in the output at once" heard speakers "$work/bass-off.wav" bass-off
check "which is not the +4 dB sound" differs "$work/bass-plus4.wav" "$work/bass-off.raw"
bass_enable

# --- Processing off: stored, not heard ------------------------------------------
command_to_app ulx_off
sleep 0.4
focus_bass_gain
keys Home
check "with processing off Home stores position 4 (-10 dB)" wait_for 3 record_is desktopEqKey 1,15,3,4,1,49,3,24
check "while the output stays as processing off left it" heard speakers "$work/off-held.wav" off-held
command_to_app ulx_on
sleep 0.4
check "switching processing on applies the record" heard speakers "$work/bass-minus10.wav" minus10

# --- The pane's category buttons -------------------------------------------------
eq_headphones
check "the headphones button moves the sound to the headphones" wait_for 5 engine_on headphones
check "it shows and stores the headphones record" wait_for 3 record_is headphoneEqKey 1,15,3,24,1,49,3,24
check "the desktop record is untouched" record_is desktopEqKey 1,15,3,4,1,49,3,24
check "no built-in record appeared" [ -z "$(record_of builtinEqKey)" ]
prefs_shot eq-headphones

# A record of another length is replaced by the defaults at once.
set_setting desktopEqKey '@ByteArray(short)'
eq_desktop
check "the desktop button plays on the speakers again" wait_for 5 engine_on speakers
check "a record of 5 bytes is replaced by the defaults" wait_for 3 record_is desktopEqKey 1,15,3,24,1,49,3,24

advanced_box
check "\"Advanced EQ Settings\" is stored" wait_for 3 grep -qx "advUserEqKey=1" "$settings"
prefs_shot eq-advanced

# --- About ------------------------------------------------------------------------
keys ctrl+Tab
prefs_shot about-pane
read -r _ _ pw ph <<<"$(geometry "$prefs_id")"
[ -n "$pw" ] && echo "  preferences dialog ${pw}x$ph"
# The banner: dialog units 49,137 200x80.
click_dlu 49 137 200 80
check "the banner asks the desktop to open the home page" wait_for 5 grep -qx "http://www.auralith.example/" "$opened"

command_to_app quit
wait_for 5 bash -c "! kill -0 $app_pid 2>/dev/null" && app_pid=""
ls "$shots" | grep -E '^(eq|about)-'
finish

#pragma once

#include <QString>

// Starting Auralith when the user logs in: an XDG autostart entry
// "auralith.desktop" in the user's autostart folder. Off by default (no
// entry); `Auralith --start-at-login on|off` and the about pane's check box
// switch it. The entry runs the login starter installed beside the program
// (it starts ulxd through its systemd user unit, or directly without a
// systemd user instance, waits for the virtual device and then starts
// Auralith hidden in the tray); a program without one, as in a build tree,
// gets Auralith itself with the command that hides it into the tray.

namespace auralith::app {

// "$XDG_CONFIG_HOME/autostart" (an absolute XDG_CONFIG_HOME only, else
// "~/.config/autostart").
QString AutostartFolder();
QString AutostartEntryPath();

// The command line the entry runs for `program` (an Auralith executable):
// the login starter installed beside it, else the program with the command
// that hides it into the tray. Without an argument, for the running program.
QString LoginCommandLine(const QString& program);
QString LoginCommandLine();

// One argument of a desktop entry's Exec line: plain when it is made of
// safe characters, else quoted with `"`, `` ` ``, `$` and `\` escaped, and
// every backslash doubled once more for the entry's string unescaping, and
// "%" written "%%" (it would start a field code).
QString ExecArgument(const QString& argument);

// The whole entry for an Exec command line.
QString AutostartEntryText(const QString& execLine);

// Whether the entry exists and is not switched off in place (the desktop's
// own autostart settings write "Hidden=true" or
// "X-GNOME-Autostart-enabled=false" into it).
bool StartsAtLogin();

// Writes the entry (replacing an older or switched-off one) or removes it. False,
// with the reason, when the file could not be written or removed.
bool SetStartAtLogin(bool on, QString* error = nullptr);

}  // namespace auralith::app

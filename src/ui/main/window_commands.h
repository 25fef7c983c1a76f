#pragma once

// The main window's command identifiers: the nine skin buttons, the tray
// menu's items and the message that carries a second instance's command.

namespace auralith::ui {

namespace command_id {
inline constexpr int kClose = 1001;
inline constexpr int kInfo = 1002;
inline constexpr int kPreferencesButton = 1003;
inline constexpr int kPower = 1004;
inline constexpr int kBuiltInButton = 1005;
inline constexpr int kDesktopButton = 1006;
inline constexpr int kHeadphonesButton = 1007;
inline constexpr int kMusicButton = 1008;
inline constexpr int kMovieButton = 1009;

inline constexpr int kOpen = 32775;
inline constexpr int kQuit = 32776;
inline constexpr int kContentLabel = 32781;
inline constexpr int kListeningLabel = 32784;
inline constexpr int kToggleProcessing = 32790;
inline constexpr int kMusic = 32791;
inline constexpr int kMovie = 32792;
inline constexpr int kBuiltIn = 32793;
inline constexpr int kDesktop = 32794;
inline constexpr int kHeadphones = 32795;
inline constexpr int kPreferences = 32800;
// Output device items: this plus the device's position in the list.
inline constexpr int kFirstOutputDevice = 34769;
inline constexpr int kForwardedCommand = 34869;
}  // namespace command_id

// The main window's category codes (the value of modeKey).
inline constexpr int kCategoryBuiltIn = 0;
inline constexpr int kCategoryHeadphones = 1;
inline constexpr int kCategoryDesktop = 2;

}  // namespace auralith::ui

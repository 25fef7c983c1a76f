#pragma once

#include <QIcon>
#include <QList>
#include <QString>

// The pictures of the user interface are compiled in and known by number.
// Widgets load them through ImageHolder::LoadImageResource, which asks for
// the path here; nothing else spells out resource paths.
QString ImageResourcePath(int number);
// The same picture rendered at twice its size (for screens of device pixel
// ratio 2); the path need not exist.
QString ImageResourcePath2x(int number);

// An icon resource with every size it was rendered in (16 px for a tray up
// to 256 px for a launcher); a null icon when the number is unknown.
QIcon LoadIconResource(int number);

// Every picture and every icon number compiled in, ascending (for tools
// and checks that walk all of them).
QList<int> ImageResourceNumbers();
QList<int> IconResourceNumbers();

// Numbers of the pictures, as the skin and the panes use them.
namespace image_id {
inline constexpr int kMainBackground = 130;
inline constexpr int kCloseButton = 133;
inline constexpr int kInfoButton = 138;
inline constexpr int kPreferencesButton = 139;
inline constexpr int kPowerOff = 142;
inline constexpr int kPowerOn = 141;
inline constexpr int kPowerKiro = 198;
inline constexpr int kBuiltInSpeakers = 151;
inline constexpr int kBuiltInSpeakersLit = 152;
inline constexpr int kDesktopSpeakers = 153;
inline constexpr int kDesktopSpeakersLit = 154;
inline constexpr int kHeadphones = 149;
inline constexpr int kHeadphonesLit = 150;
inline constexpr int kMusic = 147;
inline constexpr int kMusicLit = 144;
inline constexpr int kMovie = 145;
inline constexpr int kMovieLit = 146;
inline constexpr int kPaneBuiltInSpeakers = 181;
inline constexpr int kPaneBuiltInSpeakersLit = 182;
inline constexpr int kPaneDesktopSpeakers = 183;
inline constexpr int kPaneDesktopSpeakersLit = 184;
inline constexpr int kPaneHeadphones = 185;
inline constexpr int kPaneHeadphonesLit = 180;
inline constexpr int kLogo = 187;
inline constexpr int kBanner = 188;
inline constexpr int kHelpIcon = 189;
inline constexpr int kSpeakerIcon = 190;
inline constexpr int kInfoPicture = 191;
}  // namespace image_id

namespace icon_id {
inline constexpr int kApplication = 128;
inline constexpr int kTray = 158;
}  // namespace icon_id

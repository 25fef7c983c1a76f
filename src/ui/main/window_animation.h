#pragma once

#include <QRect>

#include <functional>

class QWidget;

// The short animations that take the main window into the notification
// area and bring it back: the window slides toward (or from) the icon's
// centre and fades. Where the icon's place is unknown the window is simply
// hidden or shown.

namespace auralith::ui {

inline constexpr int kTrayAnimationMs = 180;

// Hides `window`; `trayIcon` is the icon's geometry, empty when unknown.
void HideToward(QWidget& window, const QRect& trayIcon);
// Shows `window` where it stood before it was hidden into the tray (or,
// never hidden so, where it is).
void ShowFrom(QWidget& window, const QRect& trayIcon);

}  // namespace auralith::ui

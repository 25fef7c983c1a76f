#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QWidget>

// The dialogs are laid out in dialog units of an 8-point "MS Shell Dlg"
// template: a horizontal unit is a quarter of the font's average character
// width (6 px), a vertical unit an eighth of its height (13 px).

namespace auralith::ui {

inline constexpr int DluX(int units) { return (units * 6 + 2) / 4; }
inline constexpr int DluY(int units) { return (units * 13 + 4) / 8; }
inline QRect DluRect(int x, int y, int width, int height) { return {DluX(x), DluY(y), DluX(width), DluY(height)}; }

// The templates' 8-point font, so the texts fit the controls laid out in
// its units.
inline constexpr int kDialogFontPoints = 8;
inline void UseDialogFont(QWidget& widget) {
  QFont font = widget.font();
  font.setPointSize(kDialogFontPoints);
  widget.setFont(font);
}

// The desktop's fonts run wider than the template's: a text that would not
// fit its control (with `margin` pixels for a box or a frame) gets a smaller
// size, never below 6 points, instead of being cut off.
inline void FitTextToWidth(QWidget& widget, const QString& text, int margin) {
  QFont font = widget.font();
  for (qreal points = font.pointSizeF(); points > 6.0; points -= 0.5) {
    font.setPointSizeF(points);
    if (QFontMetrics(font).horizontalAdvance(text) + margin <= widget.width()) break;
  }
  widget.setFont(font);
}

}  // namespace auralith::ui

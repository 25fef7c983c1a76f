#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

// A parent widget filled with one colour, so a test can tell the pixels a
// skinned child paints from the parent showing through.
class OneColourSurface : public QWidget {
 public:
  static inline const QColor kColour{0x20, 0x60, 0x30};

  explicit OneColourSurface(const QSize& size) {
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kColour);
    setPalette(colours);
    resize(size);
  }
};

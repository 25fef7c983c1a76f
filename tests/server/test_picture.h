#pragma once

// A small real PNG for the picture downloads (needs Qt Gui).

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

namespace auralith::testing {

inline QByteArray PngBytes(const QColor& colour = Qt::darkCyan) {
  QImage image(4, 4, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

}  // namespace auralith::testing

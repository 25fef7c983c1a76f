// auralith-gallery OUTPUT_FOLDER
//
// Writes the user interface's pictures as PNG files: a contact sheet with
// every picture and one file per widget look. Runs on any Qt platform,
// the offscreen one included. Exit status 0 when everything was written.
#include <QApplication>
#include <QImageWriter>
#include <QPainter>

#include <cstdio>

#include "tools/gallery/gallery.h"

void GalleryReport::Save(const QImage& image, const QDir& dir, const QString& name) {
  const QString path = dir.filePath(name);
  if (image.isNull() || !image.save(path, "PNG")) {
    Fail(QStringLiteral("could not write %1").arg(path));
    return;
  }
  written.append(path);
}

void PaintCheckerboard(QPainter& painter, const QRect& area) {
  constexpr int kSquare = 8;
  painter.save();
  painter.setClipRect(area);
  painter.fillRect(area, QColor(0x9a, 0x9a, 0x9a));
  for (int y = area.top(); y <= area.bottom(); y += kSquare) {
    for (int x = area.left(); x <= area.right(); x += kSquare) {
      if (((x - area.left()) / kSquare + (y - area.top()) / kSquare) % 2 == 0) {
        painter.fillRect(QRect(x, y, kSquare, kSquare), QColor(0xd6, 0xd6, 0xd6));
      }
    }
  }
  painter.restore();
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: auralith-gallery OUTPUT_FOLDER\n");
    return 2;
  }
  QDir dir(args.at(1));
  if (!dir.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(args.at(1)));
    return 1;
  }

  GalleryReport report;
  WriteContactSheet(dir, report);
  WriteWidgetShots(dir, report);

  for (const QString& path : report.written) {
    std::printf("wrote %s\n", qPrintable(path));
  }
  for (const QString& failure : report.failures) {
    std::fprintf(stderr, "FAILED: %s\n", qPrintable(failure));
  }
  return report.failures.isEmpty() ? 0 : 1;
}

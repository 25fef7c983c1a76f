#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <QStringList>

// What the gallery wrote and what went wrong, for its summary line.
struct GalleryReport {
  QStringList written;
  QStringList failures;

  void Save(const QImage& image, const QDir& dir, const QString& name);
  void Fail(const QString& what) { failures.append(what); }
};

// A light and dark checkerboard, so transparent pixels are visible.
void PaintCheckerboard(class QPainter& painter, const class QRect& area);

// One sheet with every picture and icon at its own size.
void WriteContactSheet(const QDir& dir, GalleryReport& report);

// The looks of the skinned widgets: buttons in each state, the static image
// control and the window shaped by the main window's picture.
void WriteWidgetShots(const QDir& dir, GalleryReport& report);

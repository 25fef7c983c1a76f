#include <QFont>
#include <QIcon>
#include <QPainter>

#include <algorithm>
#include <vector>

#include "tools/gallery/gallery.h"
#include "ui/widgets/image_holder.h"
#include "ui/widgets/resources/ui_resources.h"

namespace {

constexpr int kSheetWidth = 1180;
constexpr int kMargin = 16;
constexpr int kGap = 14;
constexpr int kCaptionHeight = 18;

struct Entry {
  QString caption;
  QImage image;
};

std::vector<Entry> CollectEntries(GalleryReport& report) {
  std::vector<Entry> entries;
  for (int number : ImageResourceNumbers()) {
    ImageHolder holder;
    if (!holder.LoadImageResource(number)) {
      report.Fail(QStringLiteral("picture %1 does not load").arg(number));
      continue;
    }
    entries.push_back({QStringLiteral("%1  %2×%3").arg(number).arg(holder.Size().width()).arg(holder.Size().height()),
                       holder.Image()});
  }
  for (int number : IconResourceNumbers()) {
    const QIcon icon = LoadIconResource(number);
    if (icon.isNull()) {
      report.Fail(QStringLiteral("icon %1 does not load").arg(number));
      continue;
    }
    for (const QSize& size : icon.availableSizes()) {
      entries.push_back({QStringLiteral("icon %1  %2").arg(number).arg(size.width()), icon.pixmap(size).toImage()});
    }
  }
  return entries;
}

}  // namespace

void WriteContactSheet(const QDir& dir, GalleryReport& report) {
  const std::vector<Entry> entries = CollectEntries(report);

  // Lay the pictures out in rows, left to right.
  std::vector<QPoint> places;
  int x = kMargin;
  int y = kMargin + 30;
  int rowHeight = 0;
  for (const Entry& entry : entries) {
    const int cellWidth = std::max(entry.image.width(), 70);
    if (x + cellWidth > kSheetWidth - kMargin && x > kMargin) {
      x = kMargin;
      y += rowHeight + kCaptionHeight + kGap;
      rowHeight = 0;
    }
    places.emplace_back(x, y);
    x += cellWidth + kGap;
    rowHeight = std::max(rowHeight, entry.image.height());
  }
  const int height = y + rowHeight + kCaptionHeight + kMargin;

  QImage sheet(kSheetWidth, height, QImage::Format_ARGB32_Premultiplied);
  sheet.fill(QColor(0x24, 0x26, 0x2b));
  QPainter painter(&sheet);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(14);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(0xee, 0xf1, 0xf5));
  painter.drawText(kMargin, kMargin + 14, QStringLiteral("Auralith pictures, each at its own size"));
  font.setPixelSize(10);
  font.setBold(false);
  painter.setFont(font);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const QRect area(places[i], entries[i].image.size());
    PaintCheckerboard(painter, area);
    painter.drawImage(area.topLeft(), entries[i].image);
    painter.setPen(QColor(0xb4, 0xbb, 0xc6));
    painter.drawText(QPoint(area.left(), area.bottom() + 14), entries[i].caption);
  }
  painter.end();
  report.Save(sheet, dir, QStringLiteral("contact-sheet.png"));
}

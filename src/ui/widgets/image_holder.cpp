#include "ui/widgets/image_holder.h"

#include <QColorSpace>
#include <QFile>
#include <QPainter>

#include <algorithm>

#include "files/regular_file.h"
#include "ui/widgets/resources/ui_resources.h"

namespace {

// Pictures are at most a few hundred kilobytes; a pipe or device named as a
// picture is never opened (a FIFO would block the open).
constexpr std::uint64_t kMaxPictureFileBytes = 8 * 1024 * 1024;

QImage ReadPicture(const QString& path) {
  const auralith::files::ReadResult read = auralith::files::ReadRegularFile(path.toStdString(), kMaxPictureFileBytes);
  if (!read.contents) return QImage();
  return QImage::fromData(QByteArray::fromStdString(*read.contents));
}

}  // namespace

bool ImageHolder::LoadImageResource(int number) {
  const QString path = ImageResourcePath(number);
  if (!QFile::exists(path)) {
    return false;
  }
  if (!Decode(QImage(path))) {
    return false;
  }
  const QString path2x = ImageResourcePath2x(number);
  if (QFile::exists(path2x)) {
    const QImage decoded2x(path2x);
    // Only a rendering of exactly twice the size stands in for the picture.
    if (decoded2x.size() == image_.size() * 2) {
      image2x_ = decoded2x.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
  }
  return true;
}

bool ImageHolder::LoadImageFile(const QString& path) {
  Clear();
  return Decode(ReadPicture(path));
}

bool ImageHolder::LoadImageData(const QByteArray& bytes) { return Decode(QImage::fromData(bytes)); }

bool ImageHolder::Decode(QImage decoded) {
  Clear();
  if (decoded.isNull()) {
    return false;
  }
  // Colour-managed decoding: pictures tagged with another colour space are
  // brought to the screen's sRGB once, here, not at each paint.
  if (decoded.colorSpace().isValid() && decoded.colorSpace() != QColorSpace::SRgb) {
    decoded.convertToColorSpace(QColorSpace::SRgb);
  }
  image_ = decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return true;
}

void ImageHolder::Clear() {
  image_ = QImage();
  image2x_ = QImage();
}

QRect CenteredImageRect(const QSize& imageSize, const QRect& rect) {
  const int w = imageSize.width();
  const int h = imageSize.height();
  const QRect area =
      (rect.x() == 0 && rect.y() == 0 && rect.width() == 0 && rect.height() == 0) ? QRect(0, 0, w, h) : rect;
  // Integer division truncates towards zero; a picture larger than the
  // area starts at the area's edge.
  const int dx = std::max(0, (area.width() - w) / 2);
  const int dy = std::max(0, (area.height() - h) / 2);
  return QRect(area.x() + dx, area.y() + dy, std::min(w, area.width()), std::min(h, area.height()));
}

bool ImageHolder::DrawImageCentered(QPainter& painter, const QRect& rect) const {
  if (image_.isNull()) {
    return true;
  }
  const QRect target = CenteredImageRect(image_.size(), rect);
  if (target.isEmpty()) {
    return true;
  }
  painter.save();
  const bool dense = !image2x_.isNull() && painter.device() != nullptr && painter.device()->devicePixelRatioF() > 1.0;
  painter.setRenderHint(QPainter::SmoothPixmapTransform, dense || target.size() != image_.size());
  painter.drawImage(target, dense ? image2x_ : image_);
  painter.restore();
  return true;
}

std::vector<QRect> OpaqueRuns(const QImage& image) {
  std::vector<QRect> runs;
  if (image.isNull()) {
    return runs;
  }
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  const int width = argb.width();
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    int x = 0;
    while (x < width) {
      if (qAlpha(row[x]) <= kOpaqueAlphaThreshold) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < width && qAlpha(row[x]) > kOpaqueAlphaThreshold) {
        ++x;
      }
      runs.emplace_back(start, y, x - start, 1);
    }
  }
  return runs;
}

QRegion ImageHolder::RegionFromAlpha() const {
  // The runs come sorted by row, then column, each one pixel high and never
  // touching its neighbour: exactly the banded form setRects expects.
  const std::vector<QRect> runs = OpaqueRuns(image_);
  QRegion region;
  region.setRects(runs.data(), static_cast<int>(runs.size()));
  return region;
}

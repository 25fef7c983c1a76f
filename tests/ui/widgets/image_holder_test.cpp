#include "ui/widgets/image_holder.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ui/widgets/resources/ui_resources.h"

namespace {

// The bounding box of every painted (not fully transparent) pixel.
QRect PaintedArea(const QImage& canvas) {
  QRect area;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      if (qAlpha(canvas.pixel(x, y)) != 0) {
        area |= QRect(x, y, 1, 1);
      }
    }
  }
  return area;
}

class ImageHolderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  // An opaque picture of the given size, written as a PNG file.
  QString OpaqueFile(const QSize& size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(QColor(200, 40, 40));
    const QString path = dir_.filePath(QStringLiteral("opaque.png"));
    EXPECT_TRUE(image.save(path));
    return path;
  }

  QImage Draw(const ImageHolder& holder, const QSize& canvasSize, const QRect& rect) {
    QImage canvas(canvasSize, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    EXPECT_TRUE(holder.DrawImageCentered(painter, rect));
    painter.end();
    return canvas;
  }

  QTemporaryDir dir_;
};

TEST(CenteredImageRect, SqueezesALargerPictureIntoTheRectangle) {
  EXPECT_EQ(CenteredImageRect(QSize(244, 94), QRect(0, 0, 200, 80)), QRect(0, 0, 200, 80));
  // Larger in one direction only: squeezed there, centred in the other.
  EXPECT_EQ(CenteredImageRect(QSize(244, 94), QRect(0, 0, 200, 100)), QRect(0, 3, 200, 94));
}

TEST(CenteredImageRect, CentresASmallerPictureTruncatingTheOffset) {
  EXPECT_EQ(CenteredImageRect(QSize(244, 94), QRect(0, 0, 300, 100)), QRect(28, 3, 244, 94));
  EXPECT_EQ(CenteredImageRect(QSize(245, 95), QRect(0, 0, 300, 100)), QRect(27, 2, 245, 95));
  EXPECT_EQ(CenteredImageRect(QSize(244, 94), QRect(10, 20, 300, 100)), QRect(38, 23, 244, 94));
}

TEST(CenteredImageRect, AllZeroRectangleMeansThePicturesOwnSize) {
  EXPECT_EQ(CenteredImageRect(QSize(244, 94), QRect(0, 0, 0, 0)), QRect(0, 0, 244, 94));
  // An empty rectangle elsewhere is not "all zero": nothing to draw into.
  EXPECT_TRUE(CenteredImageRect(QSize(244, 94), QRect(5, 5, 0, 0)).isEmpty());
}

TEST_F(ImageHolderTest, DrawsTheBannerSizeSqueezedOrCentred) {
  ImageHolder holder;
  ASSERT_TRUE(holder.LoadImageFile(OpaqueFile(QSize(244, 94))));
  EXPECT_EQ(PaintedArea(Draw(holder, QSize(320, 120), QRect(0, 0, 200, 80))), QRect(0, 0, 200, 80));
  EXPECT_EQ(PaintedArea(Draw(holder, QSize(320, 120), QRect(0, 0, 300, 100))), QRect(28, 3, 244, 94));
  EXPECT_EQ(PaintedArea(Draw(holder, QSize(320, 120), QRect())), QRect(0, 0, 244, 94));
}

TEST_F(ImageHolderTest, EmptyHolderDrawsNothing) {
  const ImageHolder holder;
  EXPECT_TRUE(holder.IsEmpty());
  EXPECT_TRUE(PaintedArea(Draw(holder, QSize(50, 50), QRect(0, 0, 50, 50))).isNull());
}

TEST_F(ImageHolderTest, UnknownResourceLeavesTheHolderAsItWas) {
  ImageHolder holder;
  ASSERT_TRUE(holder.LoadImageResource(image_id::kMainBackground));
  EXPECT_FALSE(holder.LoadImageResource(9999));
  EXPECT_EQ(holder.Size(), QSize(489, 220));
}

TEST_F(ImageHolderTest, MissingOrBrokenFileEmptiesTheHolder) {
  ImageHolder holder;
  ASSERT_TRUE(holder.LoadImageFile(OpaqueFile(QSize(4, 4))));
  EXPECT_FALSE(holder.LoadImageFile(dir_.filePath(QStringLiteral("absent.png"))));
  EXPECT_TRUE(holder.IsEmpty());

  ASSERT_TRUE(holder.LoadImageFile(OpaqueFile(QSize(4, 4))));
  const QString broken = dir_.filePath(QStringLiteral("broken.png"));
  QFile file(broken);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("\x89PNG\r\n\x1a\nnot really a picture");
  file.close();
  EXPECT_FALSE(holder.LoadImageFile(broken));
  EXPECT_TRUE(holder.IsEmpty());

  // A picture name that is a FIFO or a device is refused without waiting.
  ASSERT_TRUE(holder.LoadImageFile(OpaqueFile(QSize(4, 4))));
  const QString fifo = dir_.filePath(QStringLiteral("fifo.png"));
  ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  EXPECT_FALSE(holder.LoadImageFile(fifo));
  EXPECT_TRUE(holder.IsEmpty());
  EXPECT_FALSE(holder.LoadImageFile(QStringLiteral("/dev/zero")));
}

QImage Row(std::initializer_list<int> alphas) {
  QImage image(static_cast<int>(alphas.size()), 1, QImage::Format_ARGB32);
  int x = 0;
  for (int alpha : alphas) {
    image.setPixel(x++, 0, qRgba(10, 20, 30, alpha));
  }
  return image;
}

TEST(OpaqueRuns, AlphaAbove250IsOpaque) {
  EXPECT_TRUE(OpaqueRuns(Row({250, 250, 250})).empty());
  const std::vector<QRect> runs = OpaqueRuns(Row({250, 251, 255, 250}));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], QRect(1, 0, 2, 1));
}

TEST(OpaqueRuns, OneRectangleForAFullRowTwoAroundAHole) {
  const std::vector<QRect> full = OpaqueRuns(Row({255, 255, 255, 255, 255}));
  ASSERT_EQ(full.size(), 1u);
  EXPECT_EQ(full[0], QRect(0, 0, 5, 1));

  const std::vector<QRect> holed = OpaqueRuns(Row({255, 255, 0, 255, 255}));
  ASSERT_EQ(holed.size(), 2u);
  EXPECT_EQ(holed[0], QRect(0, 0, 2, 1));
  EXPECT_EQ(holed[1], QRect(3, 0, 2, 1));
}

TEST(OpaqueRuns, PicturesWithoutAlphaAreOpaqueEverywhere) {
  QImage image(6, 3, QImage::Format_RGB32);
  image.fill(Qt::black);
  const std::vector<QRect> runs = OpaqueRuns(image);
  ASSERT_EQ(runs.size(), 3u);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(runs[static_cast<std::size_t>(y)], QRect(0, y, 6, 1));
  }
}

TEST_F(ImageHolderTest, RegionFollowsTheAlphaRowByRow) {
  QImage image(4, 3, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  image.setPixel(0, 0, qRgba(0, 0, 0, 251));
  image.setPixel(3, 0, qRgba(0, 0, 0, 250));
  image.setPixel(1, 1, qRgba(0, 0, 0, 255));
  image.setPixel(2, 1, qRgba(0, 0, 0, 255));
  image.setPixel(3, 2, qRgba(0, 0, 0, 255));
  const QString path = dir_.filePath(QStringLiteral("shape.png"));
  ASSERT_TRUE(image.save(path));

  ImageHolder holder;
  ASSERT_TRUE(holder.LoadImageFile(path));
  const QRegion region = holder.RegionFromAlpha();
  EXPECT_TRUE(region.contains(QPoint(0, 0)));
  EXPECT_FALSE(region.contains(QPoint(3, 0)));
  EXPECT_FALSE(region.contains(QPoint(0, 1)));
  EXPECT_TRUE(region.contains(QPoint(1, 1)));
  EXPECT_TRUE(region.contains(QPoint(2, 1)));
  EXPECT_TRUE(region.contains(QPoint(3, 2)));
  EXPECT_FALSE(region.contains(QPoint(2, 2)));
  EXPECT_EQ(region.boundingRect(), QRect(0, 0, 4, 3));
}

TEST_F(ImageHolderTest, EmptyHolderHasNoShape) { EXPECT_TRUE(ImageHolder().RegionFromAlpha().isEmpty()); }

}  // namespace

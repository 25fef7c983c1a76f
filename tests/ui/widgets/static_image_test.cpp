#include "ui/widgets/static_image.h"

#include <QImage>
#include <QPalette>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "one_colour_surface.h"
#include "ui/widgets/resources/ui_resources.h"

namespace {

// A surface of one colour with a 300 x 100 static image on it.
class StaticImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = new AStaticImage(&surface_);
    image_->setGeometry(10, 10, 300, 100);
  }

  QImage Shot() { return surface_.grab().toImage(); }

  OneColourSurface surface_{QSize(320, 120)};
  AStaticImage* image_ = nullptr;
};

TEST_F(StaticImageTest, ShowsThePictureCentredOverItsParent) {
  ASSERT_TRUE(image_->SetImageResource(image_id::kBanner));
  const QImage shot = Shot();
  // The banner (244 x 94) sits at (28, 3) inside the control; around it
  // the parent shows through, as it does through the banner's corners.
  EXPECT_EQ(QColor(shot.pixel(10 + 10, 10 + 50)), OneColourSurface::kColour);
  EXPECT_EQ(QColor(shot.pixel(10 + 28, 10 + 3)), OneColourSurface::kColour);
  const QRgb centre = image_->Holder().Image().pixel(122, 47);
  EXPECT_EQ(qAlpha(centre), 255);
  EXPECT_EQ(shot.pixel(10 + 28 + 122, 10 + 3 + 47), centre);
}

TEST_F(StaticImageTest, NoPathEmptiesTheControl) {
  ASSERT_TRUE(image_->SetImageResource(image_id::kBanner));
  image_->SetImage(QString());
  EXPECT_TRUE(image_->Holder().IsEmpty());
  const QImage shot = Shot();
  for (int x = 0; x < shot.width(); x += 7) {
    for (int y = 0; y < shot.height(); y += 7) {
      ASSERT_EQ(QColor(shot.pixel(x, y)), OneColourSurface::kColour) << x << "," << y;
    }
  }
}

TEST_F(StaticImageTest, MissingFileEmptiesTheControl) {
  ASSERT_TRUE(image_->SetImageResource(image_id::kBanner));
  QTemporaryDir dir;
  image_->SetImage(dir.filePath(QStringLiteral("no-such-picture.png")));
  EXPECT_TRUE(image_->Holder().IsEmpty());
}

}  // namespace

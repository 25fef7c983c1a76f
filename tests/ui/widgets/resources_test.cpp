// Every picture the application loads is compiled in, in the size its
// place on the screen was laid out for, and the texts are in the table.
#include <QIcon>
#include <QImage>

#include <gtest/gtest.h>

#include "ui/widgets/image_holder.h"
#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/resources/ui_strings.h"

#include "auralith_version.h"

namespace {

struct Picture {
  int number;
  int width;
  int height;
};

constexpr Picture kPictures[] = {
    {130, 489, 220}, {133, 19, 19}, {138, 19, 20},  {139, 19, 19},  {142, 190, 190}, {141, 188, 188}, {198, 188, 188},
    {151, 57, 58},   {152, 58, 58}, {153, 58, 58},  {154, 57, 58},  {149, 58, 58},   {150, 57, 58},   {147, 57, 58},
    {144, 58, 58},   {145, 58, 58}, {146, 57, 58},  {181, 60, 60},  {182, 60, 60},   {183, 60, 60},   {184, 60, 60},
    {185, 60, 60},   {180, 60, 60}, {187, 330, 50}, {188, 244, 94}, {189, 32, 32},   {190, 35, 35},   {191, 461, 294},
};

ImageHolder Load(int number) {
  ImageHolder holder;
  EXPECT_TRUE(holder.LoadImageResource(number)) << "picture " << number;
  return holder;
}

TEST(ImageResources, EveryPictureLoadsInItsSize) {
  for (const Picture& picture : kPictures) {
    const ImageHolder holder = Load(picture.number);
    EXPECT_EQ(holder.Size(), QSize(picture.width, picture.height)) << "picture " << picture.number;
  }
}

TEST(ImageResources, InfoPictureIsOpaque) {
  const QImage image = Load(image_id::kInfoPicture).Image();
  for (int y = 0; y < image.height(); y += 3) {
    for (int x = 0; x < image.width(); x += 3) {
      ASSERT_EQ(qAlpha(image.pixel(x, y)), 255) << x << "," << y;
    }
  }
}

TEST(ImageResources, MainWindowShapeHasSoftCornersAndHoldsEveryButton) {
  const ImageHolder background = Load(image_id::kMainBackground);
  const QRegion shape = background.RegionFromAlpha();
  EXPECT_FALSE(shape.contains(QPoint(0, 0)));
  EXPECT_FALSE(shape.contains(QPoint(488, 219)));
  EXPECT_TRUE(shape.contains(QPoint(244, 110)));
  // The rounded corner is softened: partly transparent pixels lie
  // between the cut-off corner and the opaque panel.
  int softPixels = 0;
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      const int alpha = qAlpha(background.Image().pixel(x, y));
      softPixels += (alpha > 0 && alpha < 255) ? 1 : 0;
    }
  }
  EXPECT_GE(softPixels, 5);
  // No button may be cut by the window's shape.
  const QRect buttons[] = {{4, 3, 19, 19},      {4, 30, 19, 20},   {4, 57, 19, 19},
                           {281, 16, 190, 190}, {47, 34, 58, 58},  {121, 34, 58, 58},
                           {194, 34, 58, 58},   {60, 139, 57, 58}, {181, 139, 58, 58}};
  for (const QRect& button : buttons) {
    EXPECT_EQ(shape.intersected(button), QRegion(button)) << button.x() << "," << button.y();
  }
}

// The average colour of a picture's opaque, saturated pixels.
QColor MeanColour(const QImage& image) {
  double r = 0;
  double g = 0;
  double b = 0;
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor colour = QColor::fromRgba(image.pixel(x, y));
      if (colour.alpha() == 255 && colour.hsvSaturation() > 60 && colour.value() > 60) {
        r += colour.red();
        g += colour.green();
        b += colour.blue();
        ++count;
      }
    }
  }
  if (count == 0) {
    return QColor(0, 0, 0, 0);
  }
  return QColor(static_cast<int>(r / count), static_cast<int>(g / count), static_cast<int>(b / count));
}

TEST(ImageResources, PowerButtonIsGreyOffAccentOnAndGreenForHearingProtection) {
  // Off has next to no saturated pixels at all.
  EXPECT_EQ(MeanColour(Load(image_id::kPowerOff).Image()).alpha(), 0);
  const QColor on = MeanColour(Load(image_id::kPowerOn).Image());
  EXPECT_GT(on.blue(), on.green());
  EXPECT_GT(on.blue(), on.red());
  const QColor kiro = MeanColour(Load(image_id::kPowerKiro).Image());
  EXPECT_GT(kiro.green(), kiro.blue());
  EXPECT_GT(kiro.green(), kiro.red());
}

TEST(ImageResources, LitLooksDifferFromTheGreyOnes) {
  const std::pair<int, int> pairs[] = {{151, 152}, {153, 154}, {149, 150}, {147, 144},
                                       {145, 146}, {181, 182}, {183, 184}, {185, 180}};
  for (const auto& [normal, lit] : pairs) {
    EXPECT_EQ(MeanColour(Load(normal).Image()).alpha(), 0) << normal << " is not grey";
    EXPECT_NE(MeanColour(Load(lit).Image()).alpha(), 0) << lit << " is not lit";
  }
}

TEST(ImageResources, ListsWhatIsCompiledIn) {
  const QList<int> numbers = ImageResourceNumbers();
  for (const Picture& picture : kPictures) {
    EXPECT_TRUE(numbers.contains(picture.number)) << picture.number;
  }
  EXPECT_EQ(IconResourceNumbers(), QList<int>({icon_id::kApplication, icon_id::kTray}));
}

TEST(IconResources, TrayAndApplicationIconsComeInTheSizesAsked) {
  const QIcon tray = LoadIconResource(icon_id::kTray);
  for (int size : {16, 22, 24, 32}) {
    EXPECT_TRUE(tray.availableSizes().contains(QSize(size, size))) << "tray " << size;
  }
  const QIcon app = LoadIconResource(icon_id::kApplication);
  for (int size : {16, 32, 48, 256}) {
    EXPECT_TRUE(app.availableSizes().contains(QSize(size, size))) << "application " << size;
  }
  EXPECT_TRUE(LoadIconResource(4242).isNull());
}

TEST(UiStrings, TextsByNumber) {
  EXPECT_EQ(UiString(135), QStringLiteral("Close"));
  EXPECT_EQ(UiString(145), QStringLiteral(AURALITH_VERSION));
  EXPECT_EQ(UiString(148), QStringLiteral("Choose \"music\" preset"));
  EXPECT_EQ(UiString(181) + UiString(145), QStringLiteral("Version " AURALITH_VERSION));
  EXPECT_TRUE(UiString(172).contains(QStringLiteral("available!  Click")));
  EXPECT_TRUE(UiString(0).isEmpty());
  EXPECT_TRUE(UiString(999).isEmpty());
}

TEST(UiStrings, EveryTooltipOfTheSkinAndThePanesExists) {
  for (int number : {135, 136, 137, 143, 150, 151, 152, 148, 149, 141, 142, 144, 153,
                     154, 155, 156, 158, 159, 160, 161, 177, 178, 179, 180, 186, 187}) {
    EXPECT_FALSE(UiString(number).isEmpty()) << number;
  }
}

}  // namespace

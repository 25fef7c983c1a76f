#include "ui/widgets/gdip_button.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "one_colour_surface.h"
#include "ui/widgets/resources/ui_resources.h"
#include "ui/widgets/skin_tip.h"

namespace {

class GdipButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    button_ = new CGdipButton(&surface_);
    button_->setGeometry(20, 20, 58, 58);
    // Away from where the platform keeps the mouse pointer.
    surface_.move(400, 400);
    surface_.show();
  }

  void TearDown() override { SkinTip::HideTip(button_); }

  void Send(QEvent::Type type, const QPointF& pos = QPointF(29, 29)) {
    QMouseEvent event(type, pos, button_->mapToGlobal(pos), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button_, &event);
  }

  void Click() {
    Send(QEvent::MouseButtonPress);
    Send(QEvent::MouseButtonRelease);
  }

  void Enter() {
    const QPointF pos(29, 29);
    QEnterEvent event(pos, button_->mapTo(&surface_, pos), button_->mapToGlobal(pos));
    QApplication::sendEvent(button_, &event);
  }

  void Leave() {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(button_, &event);
  }

  static bool TipShows(const QString& text) {
    const SkinTip* tip = SkinTip::Visible();
    return tip != nullptr && tip->Text() == text;
  }

  QColor CentrePixel() { return QColor(surface_.grab().toImage().pixel(20 + 29, 20 + 29)); }

  OneColourSurface surface_{QSize(100, 100)};
  CGdipButton* button_ = nullptr;
};

TEST_F(GdipButtonTest, ToggleLooksByState) {
  ASSERT_TRUE(button_->SetButtonImages(image_id::kHeadphones, image_id::kHeadphonesLit));
  EXPECT_TRUE(button_->ToggleMode());
  ImageHolder normal;
  ImageHolder lit;
  ASSERT_TRUE(normal.LoadImageResource(image_id::kHeadphones));
  ASSERT_TRUE(lit.LoadImageResource(image_id::kHeadphonesLit));

  EXPECT_EQ(button_->CurrentImage()->Size(), normal.Size());
  EXPECT_EQ(button_->CurrentImage()->Image(), normal.Image());
  button_->SetLit(true);
  EXPECT_EQ(button_->CurrentImage()->Image(), lit.Image());
  // Held down, a toggle always shows its normal image.
  button_->setDown(true);
  EXPECT_EQ(button_->CurrentImage()->Image(), normal.Image());
  button_->SetLit(false);
  EXPECT_EQ(button_->CurrentImage()->Image(), normal.Image());
}

TEST_F(GdipButtonTest, PlainButtonShowsItsImageOnlyWhileHeld) {
  ASSERT_TRUE(button_->SetButtonImage(image_id::kBanner));
  EXPECT_FALSE(button_->ToggleMode());
  EXPECT_EQ(button_->CurrentImage(), nullptr);
  EXPECT_EQ(CentrePixel(), OneColourSurface::kColour);

  button_->setDown(true);
  ASSERT_NE(button_->CurrentImage(), nullptr);
  EXPECT_FALSE(button_->CurrentImage()->IsEmpty());
  EXPECT_NE(CentrePixel(), OneColourSurface::kColour);

  // Lit without an alternate image: nothing to draw.
  button_->setDown(false);
  button_->SetLit(true);
  ASSERT_NE(button_->CurrentImage(), nullptr);
  EXPECT_TRUE(button_->CurrentImage()->IsEmpty());
  EXPECT_EQ(CentrePixel(), OneColourSurface::kColour);
}

TEST_F(GdipButtonTest, MissingPicturesLeaveTheButtonBlank) {
  EXPECT_FALSE(button_->SetButtonImages(9998, 9999));
  EXPECT_TRUE(button_->ToggleMode());
  EXPECT_TRUE(button_->CurrentImage()->IsEmpty());
  EXPECT_EQ(CentrePixel(), OneColourSurface::kColour);
}

TEST_F(GdipButtonTest, PressAndReleaseFlipsAToggle) {
  ASSERT_TRUE(button_->SetButtonImages(image_id::kMusic, image_id::kMusicLit));
  QSignalSpy clicks(button_, &QAbstractButton::clicked);
  Send(QEvent::MouseButtonPress);
  EXPECT_TRUE(button_->isDown());
  Send(QEvent::MouseButtonRelease);
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_TRUE(button_->IsLit());
  Click();
  EXPECT_FALSE(button_->IsLit());
}

TEST_F(GdipButtonTest, OwnerSettingTheLookAfterAClickHasTheLastWord) {
  ASSERT_TRUE(button_->SetButtonImages(image_id::kMusic, image_id::kMusicLit));
  QObject::connect(button_, &QAbstractButton::clicked, [this] { button_->SetLit(true); });
  Click();
  Click();
  EXPECT_TRUE(button_->IsLit());
}

TEST_F(GdipButtonTest, PressReleasedOutsideChangesNothing) {
  ASSERT_TRUE(button_->SetButtonImages(image_id::kMusic, image_id::kMusicLit));
  QSignalSpy clicks(button_, &QAbstractButton::clicked);
  Send(QEvent::MouseButtonPress);
  Send(QEvent::MouseButtonRelease, QPointF(90, 90));
  EXPECT_EQ(clicks.count(), 0);
  EXPECT_FALSE(button_->IsLit());
}

TEST_F(GdipButtonTest, PlainButtonClickKeepsItsLook) {
  ASSERT_TRUE(button_->SetButtonImage(image_id::kBanner));
  Click();
  EXPECT_FALSE(button_->IsLit());
}

TEST_F(GdipButtonTest, DoubleClickGivesTwoClicks) {
  ASSERT_TRUE(button_->SetButtonImages(image_id::kMovie, image_id::kMovieLit));
  QSignalSpy clicks(button_, &QAbstractButton::clicked);
  // What the window system delivers for a double-click.
  Send(QEvent::MouseButtonPress);
  Send(QEvent::MouseButtonRelease);
  Send(QEvent::MouseButtonDblClick);
  Send(QEvent::MouseButtonRelease);
  EXPECT_EQ(clicks.count(), 2);
  EXPECT_FALSE(button_->IsLit());
}

TEST_F(GdipButtonTest, EmptyTipTextKeepsTheOldOne) {
  button_->SetButtonTip(QStringLiteral("Close"));
  button_->SetButtonTip(QString());
  EXPECT_EQ(button_->ButtonTip(), QStringLiteral("Close"));
}

TEST_F(GdipButtonTest, TipAppearsAfterTheMouseRestsAndAgainAfterLeaving) {
  ASSERT_TRUE(button_->SetButtonImages(image_id::kHeadphones, image_id::kHeadphonesLit));
  const QString text = QStringLiteral("Process audio for listening via headphones");
  button_->SetButtonTip(text);

  QElapsedTimer clock;
  clock.start();
  Enter();
  EXPECT_TRUE(button_->IsHovering());
  EXPECT_FALSE(TipShows(text));
  ASSERT_TRUE(QTest::qWaitFor([&] { return TipShows(text); }, 3 * CGdipButton::kTipDelayMs));
  EXPECT_GE(clock.elapsed(), CGdipButton::kTipDelayMs - 20);

  Leave();
  EXPECT_FALSE(button_->IsHovering());
  EXPECT_FALSE(TipShows(text));

  Enter();
  EXPECT_TRUE(QTest::qWaitFor([&] { return TipShows(text); }, 3 * CGdipButton::kTipDelayMs));
  // Pressing the button puts the tip away.
  Send(QEvent::MouseButtonPress);
  EXPECT_FALSE(TipShows(text));
  Send(QEvent::MouseButtonRelease);
}

TEST_F(GdipButtonTest, ButtonWithoutTipShowsNone) {
  ASSERT_TRUE(button_->SetButtonImage(image_id::kBanner));
  Enter();
  QTest::qWait(CGdipButton::kTipDelayMs + 200);
  EXPECT_EQ(SkinTip::Visible(), nullptr);
}

}  // namespace

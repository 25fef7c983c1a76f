#include "ui/main/window_animation.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace auralith::ui {
namespace {

void RunFor(int ms) {
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

constexpr QRect kTrayIcon(1250, 0, 22, 22);
constexpr QPoint kHome(300, 200);

class WindowAnimationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(489, 220);
    window_.move(kHome);
    window_.show();
  }
  QWidget window_;
};

TEST_F(WindowAnimationTest, HideEndsHiddenAndTheNextShowIsAtItsPlace) {
  HideToward(window_, kTrayIcon);
  EXPECT_TRUE(window_.isVisible());  // still on its way
  RunFor(kTrayAnimationMs * 3);
  EXPECT_FALSE(window_.isVisible());
  EXPECT_DOUBLE_EQ(window_.windowOpacity(), 1.0);
  ShowFrom(window_, QRect());
  RunFor(50);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_EQ(window_.pos(), kHome);
}

TEST_F(WindowAnimationTest, HideAndShowTowardTheTrayComeBackToThePlace) {
  HideToward(window_, kTrayIcon);
  RunFor(kTrayAnimationMs * 3);
  ShowFrom(window_, kTrayIcon);
  RunFor(kTrayAnimationMs * 3);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_EQ(window_.pos(), kHome);
}

TEST_F(WindowAnimationTest, ShowEndsVisibleAtItsPlace) {
  window_.hide();
  ShowFrom(window_, kTrayIcon);
  EXPECT_TRUE(window_.isVisible());
  RunFor(kTrayAnimationMs * 3);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_EQ(window_.pos(), kHome);
  EXPECT_DOUBLE_EQ(window_.windowOpacity(), 1.0);
}

TEST_F(WindowAnimationTest, ShowDuringAHideWins) {
  HideToward(window_, kTrayIcon);
  RunFor(kTrayAnimationMs / 3);
  EXPECT_NE(window_.pos(), kHome);
  ShowFrom(window_, kTrayIcon);
  RunFor(kTrayAnimationMs * 3);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_EQ(window_.pos(), kHome);
}

TEST_F(WindowAnimationTest, UnknownTrayPlaceHidesAndShowsAtOnce) {
  HideToward(window_, QRect());
  EXPECT_FALSE(window_.isVisible());
  ShowFrom(window_, QRect());
  EXPECT_TRUE(window_.isVisible());
  EXPECT_EQ(window_.pos(), kHome);
}

}  // namespace
}  // namespace auralith::ui

#include "ui/prefs/shown_device.h"

#include <gtest/gtest.h>

namespace auralith::ui {
namespace {

const audio::OutputDeviceList kDevices = {{"auralith_sink", "Auralith Virtual Output"},
                                          {"speakers", "Speakers (Built-in Audio)"},
                                          {"headset", "USB Headset"}};

TEST(ShownDevice, TheListLeavesOutTheVirtualDevice) {
  const audio::OutputDeviceList listed = ListedDevices(kDevices);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].sinkName, "speakers");
  EXPECT_EQ(listed[1].sinkName, "headset");
}

TEST(ShownDevice, AStoredDeviceThatIsPresentIsShown) {
  const ShownDevice shown = ShownDeviceFor(kDevices, "USB Headset");
  EXPECT_EQ(shown.row, 1);
  EXPECT_FALSE(shown.firstRun);
}

TEST(ShownDevice, AnAbsentDeviceShowsTheEnginesFallbackAndIsNoFirstRun) {
  const ShownDevice shown = ShownDeviceFor(kDevices, "Bluetooth Headphones");
  EXPECT_EQ(shown.row, 0) << "the engine plays on the first real device";
  EXPECT_FALSE(shown.firstRun) << "the stored name must be kept for when the device comes back";
}

TEST(ShownDevice, NothingStoredIsTheFirstRunAndShowsTheFirstRealDevice) {
  const ShownDevice shown = ShownDeviceFor(kDevices, "");
  EXPECT_TRUE(shown.firstRun);
  EXPECT_EQ(shown.row, 0);
}

TEST(ShownDevice, AStoredVirtualDeviceShowsTheRealOneThatPlays) {
  EXPECT_EQ(ShownDeviceFor(kDevices, "Auralith").row, 0);
}

TEST(ShownDevice, WithoutARealDeviceNothingIsShown) {
  const ShownDevice shown = ShownDeviceFor({kDevices[0]}, "");
  EXPECT_EQ(shown.row, -1);
  EXPECT_EQ(ShownDeviceFor({}, "USB Headset").row, -1);
}

}  // namespace
}  // namespace auralith::ui

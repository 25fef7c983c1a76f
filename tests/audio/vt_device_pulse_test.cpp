// The whole road on a real sound server: a program plays into the virtual
// device, the daemon records its monitor into the ring, and the link reads it
// out as the audio thread does.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "audio/vt_device.h"
#include "driver/harness/ulxd_harness.h"
#include "signal_check.h"
#include "ulx/ulx_interface.h"

namespace auralith {
namespace {

using namespace std::chrono_literals;

class VtDevicePulse : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::HaveSoundServer()) GTEST_SKIP() << "needs a sound server (PULSE_SERVER is unset or silent)";
    daemon = std::make_unique<testing::Ulxd>(dir, std::vector<std::string>{"--sink-name", sink});
    ASSERT_TRUE(daemon->WaitLog("into the ring")) << daemon->Log();
    device = FindVtDevice();
    ASSERT_TRUE(device);
    ASSERT_EQ(device->Open(), 1);
  }

  // Plays stereo into the virtual device while the link reads the ring.
  testing::Collected PlayAndRead(const std::vector<int16_t>& stereo) {
    uint32_t offset = 0;
    auto playing = std::chrono::milliseconds(stereo.size() / 2 * 1000 / 44100);
    testing::Collected got;
    std::thread reader([&] { got = testing::CollectBlocks(*device, offset, playing + 800ms); });
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(testing::PlayToSink(sink, stereo, temp.Path()));
    reader.join();
    return got;
  }

  testing::TempDir temp;
  std::string dir = temp / "interfaces";
  std::string sink = testing::UniqueName("auralith_link");
  testing::ScopedEnv env{ulx::kInterfaceDirVariable, dir};
  std::unique_ptr<testing::Ulxd> daemon;
  std::unique_ptr<VtDevice> device;
};

TEST_F(VtDevicePulse, WhatAProgramPlaysArrivesInTheRingBitForBit) {
  const size_t frames = 44100 * 3 / 2;
  testing::Collected got = PlayAndRead(testing::CounterSignal(frames));
  EXPECT_EQ(got.failedExchanges, 0);
  testing::CounterCheck check = testing::CheckCounter(got.samples, 1764);
  EXPECT_EQ(check.broken, 0u);
  // On a loaded machine the daemon may move a lagging reader up once or twice
  // to keep the latency bounded, and says so; any other jump is a fault.
  if (check.jumps > 0) {
    EXPECT_LE(check.jumps, 2u);
    EXPECT_NE(daemon->Log().find("moved"), std::string::npos)
        << check.jumps << " jumps without a correction by the daemon:\n"
        << daemon->Log();
  }
  EXPECT_GE(check.frames, frames * 97 / 100) << daemon->Log();
}

TEST_F(VtDevicePulse, TheUserVolumeOfTheVirtualDeviceActsExactlyOnce) {
  testing::Run("pactl set-sink-volume " + sink + " -6dB");
  ASSERT_NE(testing::SinkDescription(sink).find("-6.00 dB"), std::string::npos) << testing::SinkDescription(sink);
  // One second of 1 kHz at half of full scale (-6 dBFS).
  std::vector<int16_t> tone(44100 * 2);
  for (size_t n = 0; n < tone.size() / 2; ++n) {
    auto s = int16_t(std::lrint(16384 * std::sin(2 * std::numbers::pi * 1000.0 * double(n) / 44100)));
    tone[n * 2] = s;
    tone[n * 2 + 1] = s;
  }
  testing::Collected got = PlayAndRead(tone);
  // The server applied the volume already; the daemon tells the link to add
  // nothing.
  EXPECT_EQ(device->Volume(), 0);
  // The tone after the application's scaling, over its loudest half second.
  double level = 20 * std::log10(testing::LoudestRms(got.samples, 22050) / (16384 / std::sqrt(2.0)));
  EXPECT_NEAR(level, -6.0, 0.2) << "played at -6 dBFS with the device at -6 dB";
}

TEST_F(VtDevicePulse, AMutedVirtualDeviceGivesSilence) {
  testing::Run("pactl set-sink-mute " + sink + " 1");
  testing::Collected got = PlayAndRead(testing::CounterSignal(44100 / 2));
  testing::CounterCheck check = testing::CheckCounter(got.samples);
  EXPECT_EQ(check.frames + check.broken, 0u);
}

}  // namespace
}  // namespace auralith

// The driver link against the real daemon fed by its test feed: audio comes
// through the ring bit for bit, the volume is reported and applied, and a
// daemon that dies leaves the link failing cleanly.

#include <gtest/gtest.h>

#include "audio/vt_device.h"
#include "driver/harness/ulxd_harness.h"
#include "signal_check.h"
#include "ulx/ulx_interface.h"

namespace auralith {
namespace {

using namespace std::chrono_literals;

class VtDeviceUlxd : public ::testing::Test {
 protected:
  testing::TempDir temp;
  std::string dir = temp / "interfaces";
  testing::ScopedEnv env{ulx::kInterfaceDirVariable, dir};

  std::unique_ptr<VtDevice> OpenLink() {
    auto device = FindVtDevice();
    if (device && device->Open() != 1) device.reset();
    return device;
  }
};

TEST_F(VtDeviceUlxd, TwoClientsEachReceiveTheFedAudioBitForBit) {
  testing::WriteWav(temp / "counter.wav", testing::CounterSignal(44100 * 3), 2);
  testing::Ulxd daemon(dir, {"--wav", temp / "counter.wav"});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  auto first = OpenLink();
  auto second = OpenLink();
  ASSERT_TRUE(first && second) << daemon.Log();
  uint32_t firstOffset = 0, secondOffset = 0;
  testing::Collected b;
  std::thread other([&] { b = testing::CollectBlocks(*second, secondOffset, 1200ms); });
  testing::Collected a = testing::CollectBlocks(*first, firstOffset, 1200ms);
  other.join();
  for (const testing::Collected* got : {&a, &b}) {
    EXPECT_EQ(got->failedExchanges, 0);
    // The first exchange moves the reader to just behind the writer, so the
    // check starts with the second block.
    testing::CounterCheck check = testing::CheckCounter(got->samples, 1764);
    EXPECT_EQ(check.broken, 0u);
    EXPECT_EQ(check.jumps, 0u);
    // 29 blocks after the first one, less the one-block cushion.
    EXPECT_GE(check.frames, 27u * 1764u);
  }
  EXPECT_EQ(first->Volume(), 0);
  // The daemon reports the delay in the ring as the spare value.
  EXPECT_GE(first->Spare(), 0);
  EXPECT_LE(first->Spare(), 6 * 7056);
}

TEST_F(VtDeviceUlxd, TheReportedVolumeScalesTheBlocks) {
  testing::Ulxd daemon(dir, {"--tone", "1000@-6", "--volume", "-6"});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  auto device = OpenLink();
  ASSERT_TRUE(device) << daemon.Log();
  uint32_t offset = 0;
  testing::Collected got = testing::CollectBlocks(*device, offset, 600ms);
  EXPECT_EQ(device->Volume(), -393216);
  EXPECT_NEAR(VtDevice::VolumeFactor(device->Volume()), 0.501, 0.0005);
  // The tone at -6 dBFS scaled by -6 dB: an RMS of 16422 / sqrt(2) * 0.501.
  double rms = testing::LoudestRms(got.samples, 4 * 1764);
  EXPECT_NEAR(20 * std::log10(rms / (16422 / std::sqrt(2.0))), -6.0, 0.05);
}

TEST_F(VtDeviceUlxd, ADaemonThatDiesMidSessionFailsTheExchangesButNotTheRing) {
  auto daemon = std::make_unique<testing::Ulxd>(dir, std::vector<std::string>{"--tone", "1000"});
  ASSERT_TRUE(daemon->WaitReady()) << daemon->Log();
  auto device = OpenLink();
  ASSERT_TRUE(device) << daemon->Log();
  uint32_t offset = 0;
  EXPECT_EQ(testing::CollectBlocks(*device, offset, 200ms).failedExchanges, 0);
  daemon->Kill();
  ::testing::internal::CaptureStderr();
  testing::Collected after = testing::CollectBlocks(*device, offset, 120ms);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(after.failedExchanges, 3);
  // The own offset moved on by whole blocks.
  std::vector<int16_t> more;
  uint32_t before = offset;
  EXPECT_FALSE(testing::ReadBlock(*device, offset, more));
  EXPECT_EQ(offset, (before + 7056) % device->RingSize());
  device->Close();
  daemon.reset();
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(FindVtDevice());  // its socket is left, but nobody answers
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "SetupDiGetClassDevs failed\n");
}

}  // namespace
}  // namespace auralith

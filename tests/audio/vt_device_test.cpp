// The driver link against a scripted driver: finding the interface, opening
// it, checking what the driver hands over, and the position exchange.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <thread>

#include "audio/vt_device.h"
#include "driver/harness/ulxd_harness.h"
#include "fake_driver.h"
#include "ulx/ulx_interface.h"

namespace auralith {
namespace {

using testing::Answer;
using testing::FakeDriver;
using testing::FakeReply;
using ::testing::HasSubstr;
using testing::MemoryFile;
using testing::PositionAnswer;
using testing::TransportAnswer;

TEST(VolumeFactor, TurnsTheReportedVolumeIntoTheAudioThreadsGain) {
  EXPECT_EQ(VtDevice::VolumeFactor(0), 1.0f);
  EXPECT_NEAR(VtDevice::VolumeFactor(-393216), 0.501187f, 2e-6f);  // -6 dB
  EXPECT_NEAR(VtDevice::VolumeFactor(-20 * 65536), 0.1f, 1e-6f);
  EXPECT_NEAR(VtDevice::VolumeFactor(6 * 65536), 1.995262f, 1e-5f);
}

TEST(VolumeFactor, AVolumeOutsideTheSaneRangeCountsAsItsLimit) {
  // +770 dB and more used to give infinity, and 0 x inf is NaN.
  const float loudest = VtDevice::VolumeFactor(ulx::kMaxVolume);
  EXPECT_NEAR(loudest, 15.848932f, 1e-4f);  // +24 dB
  for (int32_t volume : {ulx::kMaxVolume + 1, 771 * 65536, INT32_MAX}) {
    EXPECT_EQ(VtDevice::VolumeFactor(volume), loudest) << volume;
    EXPECT_TRUE(std::isfinite(0.0f * VtDevice::VolumeFactor(volume)));
  }
  const float quietest = VtDevice::VolumeFactor(ulx::kMinVolume);
  EXPECT_GT(quietest, 0.0f);
  EXPECT_LT(quietest * 32767.0f, 1.0f) << "below the 16-bit floor";
  EXPECT_EQ(VtDevice::VolumeFactor(INT32_MIN), quietest);
}

class DriverFolder : public ::testing::Test {
 protected:
  testing::TempDir temp;
  std::string dir = temp / "interfaces";
  testing::ScopedEnv env{ulx::kInterfaceDirVariable, dir};
  void SetUp() override { ::mkdir(dir.c_str(), 0700); }

  // Finds the link and returns the debugger text it wrote.
  std::string Find(std::unique_ptr<VtDevice>& device) {
    ::testing::internal::CaptureStderr();
    device = FindVtDevice();
    return ::testing::internal::GetCapturedStderr();
  }
  std::string OpenLink(VtDevice& device, int& result) {
    ::testing::internal::CaptureStderr();
    result = device.Open();
    return ::testing::internal::GetCapturedStderr();
  }
};

FakeReply Working(uint32_t code, const std::vector<uint8_t>&) {
  if (code == ulx::IOCTL_VT_OPEN_TRANSPORT) return TransportAnswer(4096, MemoryFile(4096));
  return PositionAnswer(0, 0, 0);
}

TEST_F(DriverFolder, FindsNothingWithoutTheFolder) {
  testing::ScopedEnv missing(ulx::kInterfaceDirVariable, temp / "absent");
  std::unique_ptr<VtDevice> device;
  EXPECT_EQ(Find(device), "ULX driver not found\n");
  EXPECT_FALSE(device);
}

TEST_F(DriverFolder, FindsNothingWithoutARuntimeFolderToLookIn) {
  ::unsetenv(ulx::kInterfaceDirVariable);
  testing::ScopedEnv runtime("XDG_RUNTIME_DIR", "");
  EXPECT_EQ(ulx::InterfaceDir(), "");
  std::unique_ptr<VtDevice> device;
  EXPECT_EQ(Find(device), "ULX driver not found\n");
}

TEST_F(DriverFolder, NamesTheDefaultFolderAfterTheInterfaceClass) {
  ::unsetenv(ulx::kInterfaceDirVariable);
  testing::ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
  EXPECT_EQ(ulx::InterfaceDir(), "/run/user/1000/ulx/{0C029D15-61A6-4140-999E-B7D25DC95D14}");
}

TEST_F(DriverFolder, FindsNoInterfaceAmongOtherFilesAndDeadSockets) {
  {
    FILE* f = std::fopen((dir + "/0-not-a-socket").c_str(), "w");
    std::fclose(f);
  }
  // A daemon killed outright leaves its socket behind.
  {
    testing::Ulxd stale(dir, {"--tone", "1000", "--interface-name", "1-stale"});
    ASSERT_TRUE(stale.WaitReady("1-stale"));
    stale.Kill();
  }
  std::unique_ptr<VtDevice> device;
  EXPECT_EQ(Find(device), "SetupDiGetClassDevs failed\n");
  EXPECT_FALSE(device);
}

TEST_F(DriverFolder, UsesOnlyTheFirstPresentInterfaceInNameOrder) {
  FakeDriver b(dir + "/ulx-b", Working);
  FakeDriver a(dir + "/ulx-a", Working);
  FakeDriver c(dir + "/ulx-c", Working);
  std::unique_ptr<VtDevice> device;
  EXPECT_EQ(Find(device), "");
  ASSERT_TRUE(device);
  EXPECT_EQ(device->DevicePath(), dir + "/ulx-a");
  int result;
  OpenLink(*device, result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(a.Requests().size(), 1u);
  EXPECT_TRUE(b.Requests().empty());
  EXPECT_TRUE(c.Requests().empty());
}

TEST_F(DriverFolder, ReportsAnInterfacePathTooLongToOpen) {
  std::string deep = dir + "/" + std::string(100, 'x');
  std::unique_ptr<VtDevice> device;
  {
    FILE* f = std::fopen(deep.c_str(), "w");
    std::fclose(f);
  }  // not a socket: ignored
  EXPECT_EQ(Find(device), "SetupDiGetClassDevs failed\n");
  ::unlink(deep.c_str());
  // A socket with such a path cannot be made here; make one with a short
  // name and reach it through a long folder name instead.
  std::string longDir = temp / std::string(100, 'd');
  ::mkdir(longDir.c_str(), 0700);
  ASSERT_EQ(::symlink(dir.c_str(), (temp / "s").c_str()), 0);
  FakeDriver driver(temp / "s/ulx0", Working);
  ASSERT_EQ(::rename((dir + "/ulx0").c_str(), (longDir + "/ulx0").c_str()), 0);
  testing::ScopedEnv longEnv(ulx::kInterfaceDirVariable, longDir);
  EXPECT_EQ(Find(device), "Failed to read interface details\n");
  EXPECT_FALSE(device);
}

TEST_F(DriverFolder, OpenFailsWhenTheDriverIsGone) {
  std::unique_ptr<VtDevice> device;
  {
    FakeDriver driver(dir + "/ulx0", Working);
    Find(device);
  }
  ASSERT_TRUE(device);
  int result;
  EXPECT_EQ(OpenLink(*device, result), "CreateFile failed in VtDevice::Open\n");
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(device->IsOpen());
}

// Open against a driver whose transport reply is given; returns Open's result
// and checks the debugger text for a failure.
int OpenWith(const std::string& dir, FakeDriver::Script script, std::unique_ptr<VtDevice>* keep = nullptr) {
  FakeDriver driver(dir + "/ulx0", std::move(script));
  auto device = std::make_unique<VtDevice>(dir + "/ulx0");
  ::testing::internal::CaptureStderr();
  int result = device->Open();
  std::string text = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(text, result ? "" : "VtDevice::Open - could not open transport\n");
  if (!result) {
    EXPECT_EQ(device->RingBase(), nullptr);
    EXPECT_EQ(device->RingSize(), 0u);
  }
  if (keep) *keep = std::move(device);
  return result;
}

TEST_F(DriverFolder, OpenMapsTheRingTheDriverHandsOver) {
  int ringFd = MemoryFile(8192);
  std::unique_ptr<VtDevice> device;
  ASSERT_EQ(OpenWith(
                dir,
                [&](uint32_t code, const std::vector<uint8_t>& body) {
                  EXPECT_EQ(code, ulx::IOCTL_VT_OPEN_TRANSPORT);
                  EXPECT_EQ(body, std::vector<uint8_t>(16, 0));  // the last 4 bytes 0
                  return TransportAnswer(8192, ringFd);
                },
                &device),
            1);
  EXPECT_EQ(device->RingSize(), 8192u);
  ASSERT_NE(device->RingBase(), nullptr);
  EXPECT_NE(reinterpret_cast<uintptr_t>(device->RingBase()), 0xDEADBEEF0000u);
  // The same memory as the driver's.
  ASSERT_EQ(::pwrite(ringFd, "\x12\x34", 2, 8190), 2);
  EXPECT_EQ(device->RingBase()[8190], 0x12);
  device->RingBase()[0] = 0x56;
  uint8_t back = 0;
  ASSERT_EQ(::pread(ringFd, &back, 1, 0), 1);
  EXPECT_EQ(back, 0x56);
  device->Close();
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(device->RingBase(), nullptr);
  ::close(ringFd);
}

TEST_F(DriverFolder, OpenRefusesARingTheAudioThreadCouldNotUse) {
  auto ring = [](uint32_t size, size_t memory) {
    return [=](uint32_t, const std::vector<uint8_t>&) { return TransportAnswer(size, MemoryFile(memory)); };
  };
  EXPECT_EQ(OpenWith(dir, ring(0, 4096)), 0);        // would divide by zero
  EXPECT_EQ(OpenWith(dir, ring(2, 4096)), 0);        // not one frame
  EXPECT_EQ(OpenWith(dir, ring(4098, 8192)), 0);     // frames split at the end
  EXPECT_EQ(OpenWith(dir, ring(1 << 20, 4096)), 0);  // more than its memory
  EXPECT_EQ(OpenWith(dir, ring(4, 4)), 1);           // the smallest usable ring
}

TEST_F(DriverFolder, OpenFailsOnAFailedOrGarbledTransportReply) {
  EXPECT_EQ(OpenWith(dir, [](uint32_t, const std::vector<uint8_t>&) { return Answer(5, {}); }), 0);
  // No ring passed with the reply.
  EXPECT_EQ(OpenWith(dir, [](uint32_t, const std::vector<uint8_t>&) { return TransportAnswer(4096, -1); }), 0);
  // A ring but a failure status.
  EXPECT_EQ(OpenWith(dir,
                     [](uint32_t, const std::vector<uint8_t>&) {
                       FakeReply reply = TransportAnswer(4096, MemoryFile(4096));
                       reply.bytes[0] = 1;
                       return reply;
                     }),
            0);
  // A record of the wrong length.
  EXPECT_EQ(OpenWith(dir, [](uint32_t, const std::vector<uint8_t>&) { return Answer(0, std::vector<uint8_t>(12, 0)); }),
            0);
  // Bytes that are no reply at all, then nothing.
  EXPECT_EQ(OpenWith(dir,
                     [](uint32_t, const std::vector<uint8_t>&) {
                       FakeReply reply;
                       reply.bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3};
                       return reply;
                     }),
            0);
  EXPECT_EQ(OpenWith(dir,
                     [](uint32_t, const std::vector<uint8_t>&) {
                       FakeReply reply;
                       reply.hangUp = true;
                       return reply;
                     }),
            0);
}

class Exchange : public DriverFolder {
 protected:
  // Replies to the exchanges in turn; the transport gets a 4096-byte ring.
  std::vector<FakeReply> replies;
  size_t next = 0;
  std::unique_ptr<FakeDriver> driver;
  std::unique_ptr<VtDevice> device;

  void Start() {
    driver = std::make_unique<FakeDriver>(dir + "/ulx0", [this](uint32_t code, const std::vector<uint8_t>&) {
      if (code == ulx::IOCTL_VT_OPEN_TRANSPORT) return TransportAnswer(4096, MemoryFile(4096));
      return next < replies.size() ? replies[next++] : Answer(1, {});
    });
    device = std::make_unique<VtDevice>(dir + "/ulx0");
    ASSERT_EQ(device->Open(), 1);
  }
  void TearDown() override {
    device.reset();
    driver.reset();
  }
};

TEST_F(Exchange, AReplyOffsetReplacesTheOwnOffsetAtOnce) {
  replies = {PositionAnswer(1000, -393216, 77), PositionAnswer(1000 + 7056 % 4096, -393216, 78)};
  Start();
  uint32_t offset = 7056 % 4096;
  EXPECT_EQ(device->ExchangePosition(offset), 1);
  EXPECT_EQ(offset, 1000u);
  EXPECT_EQ(device->Volume(), -393216);
  EXPECT_EQ(device->Spare(), 77);
  // The next exchange reports the block read from there.
  offset = 1000 + 7056 % 4096;
  EXPECT_EQ(device->ExchangePosition(offset), 1);
  auto requests = driver->Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(ulx::LoadU32(requests[1].second.data()), 7056u % 4096);
  EXPECT_EQ(ulx::LoadU32(requests[2].second.data()), 1000u + 7056 % 4096);
  // The fields without meaning in a request carry the previous reply's values.
  EXPECT_EQ(int32_t(ulx::LoadU32(requests[2].second.data() + 4)), -393216);
  EXPECT_EQ(int32_t(ulx::LoadU32(requests[2].second.data() + 8)), 77);
  EXPECT_EQ(device->Spare(), 78);
}

TEST_F(Exchange, AnOffsetOutsideTheRingOrInsideAFrameCountsAsAFailedExchange) {
  replies = {PositionAnswer(8, -65536, 1), PositionAnswer(4096, -131072, 2), PositionAnswer(0xFFFFFFFC, 0, 3),
             PositionAnswer(2, -131072, 4), PositionAnswer(4092, -196608, 5)};
  Start();
  uint32_t offset = 16;
  EXPECT_EQ(device->ExchangePosition(offset), 1);
  for (int i = 0; i < 3; ++i) {
    offset = 100;
    EXPECT_EQ(device->ExchangePosition(offset), 0) << i;
    EXPECT_EQ(offset, 100u);
    EXPECT_EQ(device->Volume(), -65536);  // the last good report stays
    EXPECT_EQ(device->Spare(), 1);
  }
  EXPECT_EQ(device->ExchangePosition(offset), 1);
  EXPECT_EQ(offset, 4092u);  // the last frame of the ring is fine
  EXPECT_EQ(device->Volume(), -196608);
}

TEST_F(Exchange, AFailedReplyKeepsTheOwnOffsetAndTheLastVolume) {
  replies = {PositionAnswer(40, -65536, 0), Answer(7, {}), Answer(0, std::vector<uint8_t>(16, 0)),
             PositionAnswer(80, 0, 0)};
  Start();
  uint32_t offset = 0;
  EXPECT_EQ(device->ExchangePosition(offset), 1);
  offset = 60;
  EXPECT_EQ(device->ExchangePosition(offset), 0);
  EXPECT_EQ(device->ExchangePosition(offset), 0);  // a record of the wrong size
  EXPECT_EQ(offset, 60u);
  EXPECT_EQ(device->Volume(), -65536);
  // Still in step with the driver afterwards.
  EXPECT_EQ(device->ExchangePosition(offset), 1);
  EXPECT_EQ(offset, 80u);
}

TEST_F(Exchange, ADriverThatDiesMidSessionFailsEveryLaterExchange) {
  replies = {PositionAnswer(40, 0, 0)};
  FakeReply hangUp;
  hangUp.hangUp = true;
  replies.push_back(hangUp);
  Start();
  uint32_t offset = 0;
  EXPECT_EQ(device->ExchangePosition(offset), 1);
  offset = 44;
  EXPECT_EQ(device->ExchangePosition(offset), 0);
  EXPECT_TRUE(device->Gone());
  EXPECT_EQ(device->ExchangePosition(offset), 0);
  EXPECT_EQ(offset, 44u);
  // The ring stays mapped until the link is closed.
  EXPECT_NE(device->RingBase(), nullptr);
  device->RingBase()[4095] = 1;
}

TEST_F(Exchange, ALateReplyFailsOnlyItsOwnExchangeAndIsNeverTakenForTheNext) {
  FakeReply late = PositionAnswer(40, -65536, 0);
  late.delayMs = ulx::kExchangeWaitMs + 300;
  replies = {late, PositionAnswer(80, -131072, 0)};
  Start();
  uint32_t offset = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(device->ExchangePosition(offset), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(ulx::kExchangeWaitMs + 100))
      << "the audio thread waits one block at most";
  // While the late reply is still out, exchanges fail at once and send nothing.
  offset = 7056 % 4096;
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(device->ExchangePosition(offset), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10));
  EXPECT_EQ(offset, 7056u % 4096) << "the own offset is kept";
  EXPECT_EQ(driver->Requests().size(), 2u);
  EXPECT_FALSE(device->Gone());
  // Once it has come it is taken off the stream, and the link goes on.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(device->ExchangePosition(offset), 1);
  EXPECT_EQ(offset, 80u) << "the answer to this request, not the late one";
  EXPECT_EQ(device->Volume(), -131072);
  EXPECT_FALSE(device->Gone());
}

TEST_F(Exchange, TheSmallBlocksWaitOnlyTheirOwnBlockForAReply) {
  // In time for a 40 ms block, late for a 10 ms one.
  FakeReply reply = PositionAnswer(40, 0, 0);
  reply.delayMs = 25;
  replies = {reply, PositionAnswer(80, 0, 0)};
  Start();
  uint32_t offset = 0;
  EXPECT_EQ(device->ExchangePosition(offset, 10), 0);
  EXPECT_EQ(offset, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(device->ExchangePosition(offset, 10), 1);
  EXPECT_EQ(offset, 80u) << "the late reply was taken off the stream first";
}

TEST_F(Exchange, ClosedLinksFailExchangesWithoutTouchingTheRing) {
  Start();
  device->Close();
  uint32_t offset = 0;
  EXPECT_EQ(device->ExchangePosition(offset), 0);
  device->Close();  // twice is harmless
}

}  // namespace
}  // namespace auralith

// The engine's pure rules: device names and lookups, the takeover's choice
// of the device to give the default back to, the ring copy of the audio
// thread, and the lock-free pieces the threads share.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_thread.h"
#include "audio/default_output.h"
#include "audio/header_queue.h"
#include "audio/output_devices.h"
#include "audio/underrun_run.h"
#include "audio/vt_device.h"
#include "audio/wake_event.h"
#include "audio/wave_out_player.h"

namespace auralith::audio {
namespace {

using namespace std::chrono_literals;

OutputDeviceList Devices(std::initializer_list<const char*> products) {
  OutputDeviceList list;
  int n = 0;
  for (const char* product : products) list.push_back({"sink" + std::to_string(n++), product});
  return list;
}

TEST(ProductName, KeepsTheFirst31Characters) {
  EXPECT_EQ(ProductName("Speakers (Built-in Audio)"), "Speakers (Built-in Audio)");
  EXPECT_EQ(ProductName("Headphones (Realtek High Definition Audio)"), "Headphones (Realtek High Defini");
  EXPECT_EQ(ProductName("Headphones (Realtek High Definition Audio)").size(), 31u);
}

TEST(ProductName, CutsUtf8BetweenCharacters) {
  // 30 ASCII characters, then two of two bytes each: the cut keeps one.
  const std::string description = std::string(30, 'a') + "\xC3\xA9\xC3\xA9";
  EXPECT_EQ(ProductName(description), std::string(30, 'a') + "\xC3\xA9");
}

TEST(FindOutputDevice, MatchesASubstringOfTheProductName) {
  OutputDeviceList list = Devices({"Speakers (Built-in Audio)", "Headphones (USB Audio)", "Auralith Virtual Output"});
  EXPECT_EQ(FindOutputDevice(list, "Headphones"), 1);
  EXPECT_EQ(FindOutputDevice(list, "Auralith"), 2);
  EXPECT_EQ(FindOutputDevice(list, "auralith"), -1) << "the comparison is case-sensitive";
  EXPECT_EQ(FindOutputDevice(list, "Monitor"), -1);
  EXPECT_EQ(FindOutputDevice(OutputDeviceList(), ""), -1);
}

TEST(FindOutputDevice, TheEmptyNameIsTheFirstEntry) { EXPECT_EQ(FindOutputDevice(Devices({"A", "B"}), ""), 0); }

TEST(FindOutputDevice, TheShortKeyFindsANameCutAt31Characters) {
  // Stored in full elsewhere; listed here cut short after the "(".
  OutputDeviceList list =
      Devices({"Speakers (Built-in Audio)", ProductName("Line Out (Realtek High Definition Audio)").c_str()});
  EXPECT_EQ(FindOutputDevice(list, "Realtek High Definition Audio"), 1);
  EXPECT_EQ(FindOutputDevice(list, "Realtek High Dolby"), 1) << "only the first 13 characters count";
  EXPECT_EQ(FindOutputDevice(list, "Realtek Low"), -1);
}

TEST(RealDeviceFor, EveryFallbackAvoidsTheVirtualDevice) {
  OutputDeviceList list = Devices({"Auralith Virtual Output", "Speakers (Built-in Audio)", "Headphones (USB Audio)"});
  EXPECT_EQ(RealDeviceFor(list, ""), 1) << "an empty stored name";
  EXPECT_EQ(RealDeviceFor(list, "Gone (Old DAC)"), 1) << "a name that matches nothing";
  EXPECT_EQ(RealDeviceFor(list, "Auralith"), 1) << "a name of the virtual device";
  EXPECT_EQ(RealDeviceFor(list, "Headphones"), 2);
  EXPECT_EQ(RealDeviceFor(Devices({"Auralith Virtual Output"}), ""), -1) << "no real device at all";
}

TEST(PositionOf, FindsTheIdentityWhereverTheDeviceMoved) {
  OutputDeviceList list = Devices({"A", "B", "C"});
  EXPECT_EQ(PositionOf(list, "sink2"), 2);
  EXPECT_EQ(PositionOf(list, "sink9"), -1);
}

TEST(PreviousDefault, IsTheCurrentDefaultWhenThatIsARealDevice) {
  OutputDeviceList list = Devices({"Speakers", "Headphones", "Auralith Virtual Output"});
  EXPECT_EQ(PreviousDefaultFor(list, "sink0", 2), "sink0");
}

TEST(PreviousDefault, IsTheNeighbourWhenAPreviousRunDidNotRestore) {
  EXPECT_EQ(PreviousDefaultFor(Devices({"Speakers", "Headphones", "Auralith Virtual Output"}), "sink2", 2), "sink1");
  EXPECT_EQ(PreviousDefaultFor(Devices({"Auralith Virtual Output", "Speakers", "Headphones"}), "sink0", 0), "sink1");
  EXPECT_EQ(PreviousDefaultFor(Devices({"Auralith Virtual Output"}), "sink0", 0), "") << "no neighbour";
}

TEST(RestoreTarget, PrefersThePreviousDefaultThenTheDeviceInUseThenAnyRealDevice) {
  OutputDeviceList list = Devices({"Auralith Virtual Output", "Speakers", "Headphones"});
  EXPECT_EQ(RestoreTargetFor(list, "sink2", "sink1"), 2);
  EXPECT_EQ(RestoreTargetFor(list, "unplugged", "sink2"), 2) << "the remembered device has gone";
  EXPECT_EQ(RestoreTargetFor(list, "unplugged", "gone too"), 1);
  EXPECT_EQ(RestoreTargetFor(list, "", ""), 1);
  EXPECT_EQ(RestoreTargetFor(list, "sink0", ""), 1) << "never the virtual device";
  EXPECT_EQ(RestoreTargetFor(Devices({"Auralith Virtual Output"}), "x", "y"), -1);
}

std::vector<uint8_t> Samples(std::initializer_list<int16_t> values) {
  std::vector<uint8_t> bytes(values.size() * 2);
  std::memcpy(bytes.data(), std::data(values), bytes.size());
  return bytes;
}

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

TEST(CopyFromRing, ABlockNearTheEndWrapsToTheStart) {
  const uint32_t ringSize = 16 * 7056;
  std::vector<uint8_t> ring(ringSize);
  for (uint32_t i = 0; i < ringSize; ++i) ring[i] = uint8_t(i * 7 + 1);
  const std::vector<uint8_t> original = ring;
  std::vector<uint8_t> block(7056);
  uint32_t offset = ringSize - 1000;
  CopyFromRing(ring.data(), ringSize, offset, block.data(), 7056, 1.0f);
  EXPECT_EQ(offset, 6056u);
  EXPECT_TRUE(std::equal(block.begin(), block.begin() + 1000, original.end() - 1000));
  EXPECT_TRUE(std::equal(block.begin() + 1000, block.end(), original.begin()));
  // What was read is zero; the rest of the ring is untouched.
  EXPECT_TRUE(std::all_of(ring.begin(), ring.begin() + 6056, [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::all_of(ring.end() - 1000, ring.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::equal(ring.begin() + 6056, ring.end() - 1000, original.begin() + 6056));
}

TEST(CopyFromRing, ScalesByTheVolumeTruncatingTowardZero) {
  std::vector<uint8_t> ring = Samples({1000, -1000, 3, -3, 32767, -32768});
  std::vector<uint8_t> out(ring.size());
  uint32_t offset = 0;
  const float half = 0.5f;
  CopyFromRing(ring.data(), uint32_t(ring.size()), offset, out.data(), uint32_t(out.size()), half);
  EXPECT_EQ(AsSamples(out), (std::vector<int16_t>{500, -500, 1, -1, 16383, -16384}));
  EXPECT_EQ(offset, 0u) << "a whole lap ends where it began";
}

TEST(CopyFromRing, AVolumeAbove0dBSaturatesInsteadOfWrapping) {
  std::vector<uint8_t> ring = Samples({20000, -20000, 100, -100});
  std::vector<uint8_t> out(ring.size());
  uint32_t offset = 0;
  CopyFromRing(ring.data(), uint32_t(ring.size()), offset, out.data(), uint32_t(out.size()), 2.0f);
  EXPECT_EQ(AsSamples(out), (std::vector<int16_t>{32767, -32768, 200, -200}));
}

TEST(ScaleSample, MinusSixDecibelsOfTheDriver) {
  const float gain = auralith::VtDevice::VolumeFactor(-393216);
  EXPECT_NEAR(gain, 0.501f, 0.001f);
  EXPECT_EQ(ScaleSample(10000, gain), 5011);
  EXPECT_EQ(ScaleSample(12345, auralith::VtDevice::VolumeFactor(0)), 12345);
}

TEST(IsSilentBlock, OneNonZeroByteAnywhereMakesItSound) {
  std::vector<uint8_t> block(7056);
  EXPECT_TRUE(IsSilentBlock(block.data(), block.size()));
  block[7055] = 1;
  EXPECT_FALSE(IsSilentBlock(block.data(), block.size()));
}

TEST(HeaderLayout, TheLowLatencyModeKeepsTheQueueAndQuartersTheHeaders) {
  constexpr HeaderLayout normal = HeaderLayoutFor(false), small = HeaderLayoutFor(true);
  EXPECT_EQ(normal.count, 4);
  EXPECT_EQ(normal.bytes, 7056);
  EXPECT_EQ(small.count, 4);
  EXPECT_EQ(small.bytes, 441 * 4) << "441 stereo frames of 16 bits";
  EXPECT_EQ(BlockMs(normal.bytes), 40);
  EXPECT_EQ(BlockMs(small.bytes), 10);
  EXPECT_EQ(normal.requestBytes, normal.bytes) << "requests as large as the blocks";
  EXPECT_LT(small.requestBytes, small.bytes);
  EXPECT_EQ(small.requestBytes % 4, 0) << "whole frames";
}

// Feeds `pattern` ('u' an underrun, '.' a clean block); the index of the
// block at which the run was reached, or -1.
int RunReachedAt(UnderrunRun& run, const std::string& pattern) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (run.Block(pattern[i] == 'u')) return int(i);
  }
  return -1;
}

TEST(UnderrunRun, ThreeUnderrunsCloseTogetherAreARunAndItHolds) {
  UnderrunRun run(3, 10, 4);
  EXPECT_EQ(RunReachedAt(run, "u....u....u"), 10);
  EXPECT_TRUE(run.Block(false)) << "reached stays reached";
  run.Reset();
  EXPECT_FALSE(run.Block(true));
}

TEST(UnderrunRun, ASingleStallIsOneUnderrunHoweverManyBlocksShowIt) {
  UnderrunRun run(3, 10, 4);
  // The server's underflow arrives a block or two after the empty queue.
  EXPECT_EQ(RunReachedAt(run, "uuu............................."), -1);
  EXPECT_EQ(RunReachedAt(run, "u.u............................."), -1);
}

TEST(UnderrunRun, UnderrunsFurtherApartThanTheWindowStartANewRun) {
  UnderrunRun run(3, 10, 4);
  EXPECT_EQ(RunReachedAt(run, "u...........u...........u...........u"), -1);
  EXPECT_EQ(RunReachedAt(run, "u....u...........u....u....u"), 27) << "the third of a new run";
}

TEST(UnderrunRun, AMachineThatNeverKeepsUpIsARunWithinAFewQueues) {
  UnderrunRun run(3, 10, 4);
  EXPECT_EQ(RunReachedAt(run, std::string(40, 'u')), 10) << "counted once per queue length";
}

TEST(HeaderQueue, KeepsOrderAndRefusesWhenFull) {
  HeaderQueue<int, 4> queue;
  int items[5] = {};
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(queue.Push(&items[i]));
  EXPECT_FALSE(queue.Push(&items[4]));
  EXPECT_EQ(queue.Pop(), &items[0]);
  EXPECT_TRUE(queue.Push(&items[4]));
  for (int i = 1; i < 5; ++i) EXPECT_EQ(queue.Pop(), &items[i]);
  EXPECT_EQ(queue.Pop(), nullptr);
}

TEST(HeaderQueue, TwoProducersLoseNothing) {
  HeaderQueue<int, 8> queue;
  constexpr int kEach = 20000;
  std::vector<int> items(2 * kEach);
  auto produce = [&](int first) {
    for (int i = first; i < first + kEach; ++i) {
      while (!queue.Push(&items[std::size_t(i)])) std::this_thread::yield();
    }
  };
  std::thread a(produce, 0), b(produce, kEach);
  std::vector<char> seen(items.size());
  std::size_t count = 0;
  int lastOfA = -1, lastOfB = kEach - 1;
  bool ordered = true;
  while (count < items.size()) {
    int* item = queue.Pop();
    if (!item) {
      std::this_thread::yield();
      continue;
    }
    const int index = int(item - items.data());
    count += seen[std::size_t(index)] ? 0 : 1;
    seen[std::size_t(index)] = 1;
    int& last = index < kEach ? lastOfA : lastOfB;
    ordered = ordered && index > last;
    last = index;
  }
  a.join();
  b.join();
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](char s) { return s != 0; }));
  EXPECT_TRUE(ordered) << "each producer's items come out in its order";
}

TEST(WakeEvent, StaysSetUntilReset) {
  WakeEvent event;
  EXPECT_FALSE(event.IsSet());
  event.Set();
  EXPECT_TRUE(event.Wait());
  EXPECT_TRUE(event.Wait()) << "manual reset: a second wait returns too";
  event.Reset();
  EXPECT_FALSE(event.IsSet());
}

TEST(WakeEvent, AWaiterWakesWhenAnotherThreadSetsIt) {
  WakeEvent event;
  std::atomic<bool> woke{false};
  std::thread waiter([&] {
    EXPECT_TRUE(event.Wait());
    woke = true;
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(woke.load());
  event.Set();
  waiter.join();
  EXPECT_TRUE(woke.load());
}

}  // namespace
}  // namespace auralith::audio

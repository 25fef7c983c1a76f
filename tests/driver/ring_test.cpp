// The ring's writer and the policy that keeps readers a bounded distance
// behind it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "driver/capture_fragments.h"
#include "driver/read_policy.h"
#include "driver/ring_writer.h"
#include "driver/shared_ring.h"
#include "ulx/ring_layout.h"
#include "ulx/sound_server_kind.h"

namespace auralith::ulxd {
namespace {

using Verdict = ReadPolicy::Verdict;

std::vector<uint8_t> Bytes(size_t n, uint8_t first) {
  std::vector<uint8_t> out(n);
  std::iota(out.begin(), out.end(), first);
  return out;
}

TEST(RingWriter, WrapsAtTheEndAndKeepsTheGuardAheadZero) {
  std::vector<uint8_t> ring(32, 0);
  RingWriter writer(ring.data(), 32, 8);
  std::fill(ring.begin(), ring.end(), 0xEE);     // old audio from a lap before
  std::fill(ring.begin(), ring.begin() + 8, 0);  // the guard in place at the start
  auto chunk = Bytes(12, 1);
  writer.Write(chunk.data(), chunk.size());
  EXPECT_EQ(writer.Offset(), 12u);
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(ring[i], chunk[i]);
  for (size_t i = 12; i < 20; ++i) EXPECT_EQ(ring[i], 0) << i;  // guard moved along
  EXPECT_EQ(ring[20], 0xEE);

  auto wrap = Bytes(24, 100);
  writer.Write(wrap.data(), wrap.size());
  EXPECT_EQ(writer.Offset(), 4u);
  // Only the newest ring-minus-guard bytes fit: 24 bytes, 24 room.
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(ring[12 + i], wrap[i]) << i;
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(ring[i], wrap[20 + i]) << i;
  for (size_t i = 4; i < 12; ++i) EXPECT_EQ(ring[i], 0) << i;
}

TEST(RingWriter, KeepsTheNewestPartOfAChunkLongerThanTheRing) {
  std::vector<uint8_t> ring(16, 0);
  RingWriter writer(ring.data(), 16, 4);
  auto chunk = Bytes(40, 0);
  writer.Write(chunk.data(), chunk.size());
  EXPECT_EQ(writer.Offset(), 40u % 16);
  // The last 12 bytes (28..39) end at offset 8; the guard after them is zero.
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(ring[(12 + i) % 16], chunk[28 + i]) << i;
  for (size_t i = 8; i < 12; ++i) EXPECT_EQ(ring[i], 0) << i;
}

TEST(RingWriter, WritesSilenceForAGap) {
  std::vector<uint8_t> ring(16, 0x55);
  RingWriter writer(ring.data(), 16, 4);
  writer.Write(nullptr, 8);
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(ring[i], 0) << i;
  EXPECT_EQ(writer.Offset(), 8u);
}

TEST(SharedRing, IsZeroedSealedMemoryOfTheAskedSize) {
  std::string error;
  auto ring = SharedRing::Create(kRingBytes, error);
  ASSERT_TRUE(ring) << error;
  EXPECT_EQ(ring->Size(), kRingBytes);
  EXPECT_EQ(ring->Size() % 4, 0u);
  for (uint32_t i = 0; i < ring->Size(); i += 4099) EXPECT_EQ(ring->Base()[i], 0);
  // Sealed: nobody holding the memory can shrink it under a reader.
  EXPECT_NE(::ftruncate(ring->Fd(), 100), 0);
}

class ReadPolicyTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kSize = kRingBytes;
  ReadPolicy policy{kSize};
  // Aligns the reader once at the writer position w and returns the offset.
  uint32_t Align(uint32_t w) {
    auto answer = policy.Next(0, w);
    EXPECT_EQ(answer.verdict, Verdict::Aligned);
    return answer.offset;
  }
};

TEST_F(ReadPolicyTest, FirstExchangeStartsOneBlockBehindTheWriterBeforeAnyBurst) {
  EXPECT_EQ(Align(3 * kBlockBytes), 2 * kBlockBytes);
  EXPECT_EQ(policy.Delay(), kBlockBytes);
}

TEST_F(ReadPolicyTest, FirstExchangeNearTheStartWrapsBackward) { EXPECT_EQ(Align(400), kSize - kBlockBytes + 400); }

TEST_F(ReadPolicyTest, FirstExchangeLeavesRoomForTheLargestRecentBurst) {
  for (uint32_t burst : {1024u, 8192u, 2048u}) policy.NoteBurst(burst * 4);
  EXPECT_EQ(Align(20 * kBlockBytes), 20 * kBlockBytes - 8192 * 4 - kBlockBytes);
  EXPECT_EQ(policy.Delay(), 8192u * 4 + kBlockBytes);
}

TEST(BurstMemory, KeepsTheLargestOfTheLastFewBurstsAndCapsHugeOnes) {
  BurstMemory bursts(kCaptureGapUsec);
  bursts.Note(4096 * 4);
  // Remembered over at least the next three bursts, forgotten after eight.
  for (int i = 0; i < 3; ++i) bursts.Note(256 * 4);
  EXPECT_EQ(bursts.Largest(), 4096u * 4);
  for (int i = 0; i < 5; ++i) bursts.Note(256 * 4);
  EXPECT_EQ(bursts.Largest(), 256u * 4);
  // A daemon held up for two seconds hands on a huge chunk once.
  bursts.Note(kRingBytes);
  EXPECT_EQ(bursts.Largest(), kMaxBurstBytes);
}

TEST(BurstMemory, JoinsPiecesHandedOnRightAfterEachOther) {
  // A 4096-frame period handed on as fragments of 1764 frames 50 us apart.
  BurstMemory bursts(kCaptureGapUsec);
  uint64_t now = 1000000;
  for (int period = 0; period < 3; ++period) {
    for (uint32_t piece : {1764u, 1764u, 568u}) {
      bursts.Note(piece * 4, now);
      now += 50;
    }
    now += 92800;
  }
  EXPECT_EQ(bursts.Largest(), 4096u * 4);
  // Pieces a period apart stay apart.
  BurstMemory apart(kCaptureGapUsec);
  for (int i = 0; i < 10; ++i) apart.Note(256 * 4, 1000000 + uint64_t(i) * 5805);
  EXPECT_EQ(apart.Largest(), 256u * 4);
}

TEST_F(ReadPolicyTest, AReaderThatKeepsUpKeepsItsOwnOffset) {
  uint32_t r = Align(5 * kBlockBytes);
  uint32_t w = 5 * kBlockBytes;
  for (int i = 0; i < 200; ++i) {
    // Writer and reader both move one block between exchanges, across the
    // ring's end many times.
    w = (w + kBlockBytes) % kSize;
    r = (r + kBlockBytes) % kSize;
    auto answer = policy.Next(r, (w + 400) % kSize);
    ASSERT_EQ(answer.verdict, Verdict::Kept) << i;
    ASSERT_EQ(answer.offset, r);
  }
}

TEST_F(ReadPolicyTest, AReaderThatOvertookTheWriterIsMovedBackOneBlockBehindIt) {
  uint32_t r = Align(kBlockBytes * 10);
  // The writer stopped; the reader read two more blocks.
  auto answer = policy.Next((r + 2 * kBlockBytes) % kSize, kBlockBytes * 10);
  EXPECT_EQ(answer.verdict, Verdict::Underrun);
  EXPECT_EQ(answer.offset, kBlockBytes * 9);
}

TEST_F(ReadPolicyTest, AStalledReaderIsMovedUpAtOnce) {
  policy.NoteBurst(4096 * 4);
  uint32_t r = Align(kBlockBytes * 10);
  uint32_t w = (r + MaxDelayBytes(4096 * 4, kBlockBytes, kBlockBytes)) % kSize;
  ASSERT_EQ(policy.Next(r, w).verdict, Verdict::Kept) << "still within a burst's sway";
  w = (w + 4) % kSize;
  auto answer = policy.Next(r, w);
  EXPECT_EQ(answer.verdict, Verdict::Stalled);
  EXPECT_EQ(answer.offset, w - 4096 * 4 - kBlockBytes);
}

TEST_F(ReadPolicyTest, SurplusDelayHeldForASecondIsSkipped) {
  uint32_t w = kBlockBytes * 10;
  uint32_t r = Align(w);
  // After a short stall the reader stays four blocks behind: within bounds,
  // but three more than it needs.
  w += 3 * kBlockBytes;
  const int window = int(kSettleWindowBytes / kBlockBytes);
  for (int i = 0; i < window - 1; ++i) {
    w += kBlockBytes;
    r += kBlockBytes;
    ASSERT_EQ(policy.Next(r, w).verdict, Verdict::Kept) << i;
  }
  w += kBlockBytes;
  r += kBlockBytes;
  auto answer = policy.Next(r, w);
  EXPECT_EQ(answer.verdict, Verdict::Settled);
  EXPECT_EQ(answer.offset, w - kBlockBytes);
  EXPECT_EQ(policy.Delay(), kBlockBytes);
}

TEST_F(ReadPolicyTest, AReaderTakingBlocksInBurstsKeepsItsCushion) {
  uint32_t w = kBlockBytes * 10;
  uint32_t r = Align(w);
  // Four blocks at a time every 160 ms: the delay swings between one and
  // four blocks, and its minimum is just the target.
  for (int burst = 0; burst < 20; ++burst) {
    w += 4 * kBlockBytes;
    for (int i = 0; i < 4; ++i) {
      r += kBlockBytes;
      auto answer = policy.Next(r % kSize, w % kSize);
      ASSERT_EQ(answer.verdict, Verdict::Kept) << burst << " " << i;
    }
  }
}

TEST_F(ReadPolicyTest, OffsetsOutsideTheRingOrInsideAFrameAreRealigned) {
  Align(kBlockBytes * 10);
  auto past = policy.Next(kSize, kBlockBytes * 10);
  EXPECT_EQ(past.verdict, Verdict::Invalid);
  EXPECT_EQ(past.offset, kBlockBytes * 9);
  auto odd = policy.Next(kBlockBytes * 9 + 2, kBlockBytes * 10);
  EXPECT_EQ(odd.verdict, Verdict::Invalid);
  EXPECT_EQ(odd.offset % 4, 0u);
}

// The reader's block is learnt from its advance between exchanges.
class ReaderBlockTest : public ReadPolicyTest {
 protected:
  // Exchanges n times advancing by step while the writer keeps one block
  // ahead of the answers; returns the last verdict.
  Verdict Read(int n, uint32_t step) {
    Verdict verdict = Verdict::Kept;
    for (int i = 0; i < n; ++i) {
      r_ = (r_ + step) % kSize;
      w_ = (w_ + step) % kSize;
      auto answer = policy.Next(r_, w_);
      r_ = answer.offset;
      verdict = answer.verdict;
      if (verdict != Verdict::Kept) verdicts_.push_back(verdict);
    }
    return verdict;
  }
  void Start() {
    policy.NoteBurst(220 * 4);
    w_ = 10 * kBlockBytes;
    r_ = Align(w_);
  }
  uint32_t r_ = 0;
  uint32_t w_ = 0;
  std::vector<Verdict> verdicts_;
};

TEST_F(ReaderBlockTest, ASteadySmallAdvanceIsLearntAndTheReaderMovedUpOnce) {
  Start();
  EXPECT_EQ(policy.ReaderBlock(), kBlockBytes) << "40 ms until seen otherwise";
  EXPECT_EQ(policy.Delay(), 220u * 4 + kBlockBytes);
  Read(ReadPolicy::kLearnExchanges + 200, 441 * 4);
  EXPECT_EQ(policy.ReaderBlock(), 441u * 4);
  ASSERT_EQ(verdicts_.size(), 1u);
  EXPECT_EQ(verdicts_[0], Verdict::Resized);
  // One fragment and one small block: 15 ms.
  EXPECT_EQ((w_ + kSize - r_) % kSize, 220u * 4 + 441 * 4);
}

TEST_F(ReaderBlockTest, OddAdvancesTeachNothing) {
  Start();
  // Inside a frame, smaller than 10 ms, or a block now and then of another
  // size: the 40 ms assumption stands.
  Read(20, 441 * 4 + 2);
  Read(20, 100 * 4);
  for (int i = 0; i < 20; ++i) Read(1, i % 2 ? 441 * 4 : 882 * 4);
  EXPECT_EQ(policy.ReaderBlock(), kBlockBytes);
  EXPECT_EQ(std::count(verdicts_.begin(), verdicts_.end(), Verdict::Resized), 0);
}

TEST_F(ReaderBlockTest, AReaderBackToLargeBlocksIsLearntToo) {
  Start();
  Read(40, 441 * 4);
  ASSERT_EQ(policy.ReaderBlock(), 441u * 4);
  verdicts_.clear();
  Read(ReadPolicy::kLearnExchanges, kBlockBytes);
  EXPECT_EQ(policy.ReaderBlock(), kBlockBytes);
  EXPECT_TRUE(verdicts_.empty());
}

TEST_F(ReaderBlockTest, AReaderThatOvertookWithALargerBlockIsBelievedAtOnce) {
  Start();
  Read(40, 441 * 4);
  ASSERT_EQ(policy.ReaderBlock(), 441u * 4);
  // It read 40 ms, but only 5 ms were written since.
  r_ = (r_ + kBlockBytes) % kSize;
  w_ = (w_ + 220 * 4) % kSize;
  auto answer = policy.Next(r_, w_);
  EXPECT_EQ(answer.verdict, Verdict::Underrun);
  EXPECT_EQ(policy.ReaderBlock(), kBlockBytes);
  EXPECT_EQ(policy.Delay(), 220u * 4 + kBlockBytes);
}

// A writer that hands on bursts of one graph period and a reader that takes
// a block whenever its output device has played one (the device takes its
// own period at a time), both late by a random amount now and then,
// simulated through the real ring writer: every frame carries its number,
// so a skipped, repeated or silent frame shows.
struct Timeline {
  uint32_t burstFrames;
  uint32_t readerFrames;
  uint32_t writerLateFrames;        // at most this late per burst
  uint32_t readerLateFrames;        // at most this late per device period
  uint32_t devicePeriodFrames = 0;  // the reader's device: its block unless set
  // Where in time each side's periods fall: odd by default, so no event of
  // one side meets a tick of the other; equal for one graph driving both.
  uint32_t writerPhase = 37;
  uint32_t readerPhase = 11;
  bool informed = true;      // the policy is told of each burst and the time
  uint32_t pieceFrames = 0;  // a burst is handed on in pieces of this size
  // Bursts of this size once the policy has seen the reader's small blocks,
  // as the daemon then asks for small capture fragments.
  uint32_t smallBurstFrames = 0;
  uint64_t stallAtFrame = 0;  // the reader stands still once, here,
  uint32_t stallFrames = 0;   // for this long
};

struct TimelineResult {
  uint64_t framesRead = 0;
  uint64_t silentFrames = 0;   // read before they were written
  uint64_t skippedFrames = 0;  // left out between two blocks
  std::vector<Verdict> verdicts;
  uint32_t maxDelay = 0;
  uint32_t lastDelay = 0;
  double meanDelay = 0;
  uint32_t readerBlock = 0;
};

// Runs seconds of the timeline; counts only what happens after warmup.
TimelineResult RunTimeline(const Timeline& t, double seconds, double warmup, uint32_t seed) {
  std::vector<uint8_t> ring(kRingBytes, 0);
  RingWriter writer(ring.data(), kRingBytes, kZeroGuardBytes);
  ReadPolicy policy(kRingBytes);
  std::mt19937 random(seed);
  auto late = [&](uint32_t most) { return most == 0 ? 0u : uint32_t(random() % (most + 1)); };
  const uint64_t end = uint64_t(seconds * kStreamRate);
  const uint64_t counted = uint64_t(warmup * kStreamRate);
  const uint32_t period = t.devicePeriodFrames ? t.devicePeriodFrames : t.readerFrames;
  uint64_t nextBurst = t.burstFrames + t.writerPhase + late(t.writerLateFrames);
  uint64_t lastBurst = t.burstFrames;  // when the last burst was due
  uint64_t nextCycle = period + t.readerPhase + late(t.readerLateFrames);
  uint64_t cycleIndex = 1;
  uint64_t played = 0;  // frames the device has taken
  uint64_t reads = 0;
  uint64_t stall = 0;
  uint32_t written = 0;  // frames written so far, each holding its number + 1
  uint32_t readOffset = 0;
  uint32_t expected = 0;  // the frame number the reader should see next
  double delaySum = 0;
  uint64_t delays = 0;
  TimelineResult result;
  std::vector<uint32_t> frames(t.burstFrames);
  // Ties go either way, as they do between two threads.
  while (std::min(nextBurst, nextCycle) < end) {
    if (nextBurst < nextCycle || (nextBurst == nextCycle && random() % 2 == 0)) {
      const uint32_t burst =
          t.smallBurstFrames && policy.ReaderBlock() < kBlockBytes ? t.smallBurstFrames : t.burstFrames;
      for (uint32_t i = 0; i < burst; ++i) frames[i] = ++written;
      const uint32_t piece = t.pieceFrames ? t.pieceFrames : burst;
      for (uint32_t at = 0, n = 0; at < burst; at += piece, ++n) {
        const uint32_t size = std::min(piece, burst - at);
        writer.Write(reinterpret_cast<const uint8_t*>(frames.data() + at), size * kStreamFrameBytes);
        // 50 us apart, as pipewire-pulse hands on the fragments of a period.
        const uint64_t nowUsec = nextBurst * 1000000 / kStreamRate + n * 50;
        if (t.informed) policy.NoteBurst(size * kStreamFrameBytes, nowUsec);
      }
      // A late burst does not hold up the ones after it.
      lastBurst += burst;
      nextBurst = std::max(nextBurst, lastBurst + t.writerPhase + late(t.writerLateFrames));
      continue;
    }
    const bool count = nextCycle >= counted;
    played += period;
    // Each block the device has played is refilled at once, one after the
    // other: 0.1 ms apart.
    for (uint64_t n = 0; played >= (reads + 1) * t.readerFrames; ++n) {
      ++reads;
      for (uint32_t i = 0; i < t.readerFrames; ++i) {
        uint32_t value;
        std::memcpy(&value, ring.data() + readOffset, 4);
        std::memset(ring.data() + readOffset, 0, 4);  // as the application does
        readOffset = (readOffset + 4) % kRingBytes;
        if (!count) {
          if (value != 0) expected = value;
          continue;
        }
        ++result.framesRead;
        if (value == 0) {
          ++result.silentFrames;
          continue;
        }
        if (expected != 0 && value != expected + 1) result.skippedFrames += value > expected ? value - expected - 1 : 1;
        expected = value;
      }
      const uint64_t nowUsec = t.informed ? nextCycle * 1000000 / kStreamRate + n * 100 : ReadPolicy::kNoClock;
      auto answer = policy.Next(readOffset, writer.Offset(), nowUsec);
      if (count && answer.verdict != Verdict::Kept) result.verdicts.push_back(answer.verdict);
      readOffset = answer.offset;
      if (count) {
        result.maxDelay = std::max(result.maxDelay, policy.Delay());
        delaySum += policy.Delay();
        ++delays;
      }
      result.lastDelay = policy.Delay();
    }
    ++cycleIndex;
    if (t.stallFrames > 0 && stall == 0 && nextCycle >= t.stallAtFrame) stall = t.stallFrames;
    nextCycle = std::max(nextCycle, cycleIndex * period + t.readerPhase + stall + late(t.readerLateFrames));
  }
  result.meanDelay = delays ? delaySum / double(delays) : 0;
  result.readerBlock = policy.ReaderBlock();
  return result;
}

std::string Describe(const Timeline& t) {
  return "bursts of " + std::to_string(t.burstFrames) + " frames, reader blocks of " + std::to_string(t.readerFrames) +
         ", device period " + std::to_string(t.devicePeriodFrames) + ", late by up to " +
         std::to_string(t.writerLateFrames) + "/" + std::to_string(t.readerLateFrames);
}

TEST(ReadPolicyTimeline, EveryGraphPeriodUpTo8192FramesPlaysExactlyForBothReaderBlocks) {
  for (uint32_t reader : {441u, 1764u}) {
    for (uint32_t burst : {256u, 441u, 512u, 1024u, 1764u, 2048u, 4096u, 8192u}) {
      // Late by up to 2 ms on the writer's side, 3 ms on the reader's.
      const Timeline t{burst, reader, 88, 132};
      SCOPED_TRACE(Describe(t));
      // The first second may align and learn; what follows must be exact.
      TimelineResult result = RunTimeline(t, 20.0, 1.0, burst * 7 + reader);
      EXPECT_GT(result.framesRead, 18u * 44100);
      EXPECT_EQ(result.silentFrames, 0u);
      EXPECT_EQ(result.skippedFrames, 0u);
      EXPECT_TRUE(result.verdicts.empty()) << result.verdicts.size() << " corrections";
      EXPECT_EQ(result.readerBlock, reader * kStreamFrameBytes);
      // Bounded: below a burst beyond the target, plus the lateness.
      const uint32_t target = TargetDelayBytes(burst * 4, reader * 4);
      EXPECT_LE(result.maxDelay, target + burst * 4 + (88 + 132) * 4);
      EXPECT_LE(result.meanDelay, target + 0.5 * burst * 4 + 220 * 4);
    }
  }
}

TEST(ReadPolicyTimeline, OneGraphPeriodDrivingBothSidesPlaysExactly) {
  // On a graph-driven server the reader's device takes a whole period per
  // cycle too, so the reader reads several blocks at once, before or after
  // the capture burst of the same cycle.
  for (uint32_t reader : {441u, 1764u}) {
    for (uint32_t period : {256u, 1024u, 2048u, 4096u, 8192u}) {
      Timeline t{period, reader, 88, 88};
      t.devicePeriodFrames = period;
      t.writerPhase = t.readerPhase = 0;
      t.pieceFrames = 1764;  // fragments of the normal block
      SCOPED_TRACE(Describe(t));
      TimelineResult result = RunTimeline(t, 20.0, 1.0, period + reader);
      EXPECT_GT(result.framesRead, 18u * 44100);
      EXPECT_EQ(result.silentFrames, 0u);
      EXPECT_EQ(result.skippedFrames, 0u);
      EXPECT_TRUE(result.verdicts.empty()) << result.verdicts.size() << " corrections";
      // The device takes up to a block more than its period at once; the
      // delay sways by a burst and that much above the target.
      const uint32_t readerBurst = ((period + reader - 1) / reader + 1) * reader * 4 + reader * 4;
      EXPECT_LE(result.maxDelay, TargetDelayBytes(period * 4, readerBurst) + period * 4 + readerBurst + 176 * 4);
    }
  }
}

TEST(ReadPolicyTimeline, ALowLatencyReaderIsMovedUpOnceWhenTheFragmentsShrink) {
  // It starts against 40 ms fragments, is seen to read 10 ms blocks, the
  // capture switches to 5 ms fragments: one skip, then exact at about 15 ms.
  Timeline t{1764, 441, 44, 88};
  t.smallBurstFrames = 220;
  t.readerPhase = 8820;  // it comes when the capture has run for 200 ms
  // Counted once it has been aligned.
  TimelineResult result = RunTimeline(t, 10.0, 0.25, 3);
  EXPECT_EQ(result.verdicts, std::vector<Verdict>{Verdict::Resized});
  EXPECT_EQ(result.silentFrames, 0u);
  EXPECT_LE(result.skippedFrames, 1764u + 441);
  EXPECT_EQ(result.readerBlock, 441u * 4);
  EXPECT_LE(result.meanDelay / 4 / 44.1, 22.0);
}

TEST(ReadPolicyTimeline, LowLatencyReaderWithSmallFragmentsWaitsAboutABlockAndAFragment) {
  const Timeline t{220, 441, 44, 88};
  TimelineResult result = RunTimeline(t, 10.0, 1.0, 5);
  EXPECT_EQ(result.silentFrames + result.skippedFrames, 0u);
  EXPECT_TRUE(result.verdicts.empty());
  // 441 + 220 frames is 15 ms; the sway of the bursts and the lateness on top.
  EXPECT_LE(result.meanDelay / 4 / 44.1, 22.0);
  EXPECT_GE(result.meanDelay / 4 / 44.1, 10.0);
}

TEST(ReadPolicyTimeline, ACushionOfOneBlockIsOvertakenByLongPeriods) {
  // What the burst rules are for, and proof that the timeline sees a loss: a
  // policy told neither of the bursts nor of the time keeps one 40 ms block
  // behind the writer, and 4096-frame periods of one graph overtake it again
  // and again.
  Timeline t{4096, 1764, 88, 88};
  t.devicePeriodFrames = 4096;
  t.writerPhase = t.readerPhase = 0;
  t.informed = false;
  TimelineResult result = RunTimeline(t, 10.0, 0.0, 1);
  EXPECT_GT(result.silentFrames + result.skippedFrames, result.framesRead / 100);
  EXPECT_FALSE(result.verdicts.empty());
}

TEST(ReadPolicyTimeline, AReaderHeldUpOnceSettlesBackWithinASecond) {
  // The reader's device stops for four of its blocks and plays on with that
  // much more cushion, which is skipped once; then all is exact again.
  for (uint32_t reader : {441u, 1764u}) {
    Timeline t{1024, reader, 44, 88};
    t.stallAtFrame = 3 * 44100;
    t.stallFrames = 4 * reader;
    SCOPED_TRACE(Describe(t));
    TimelineResult result = RunTimeline(t, 10.0, 1.0, reader);
    EXPECT_EQ(result.verdicts, std::vector<Verdict>{Verdict::Settled});
    EXPECT_EQ(result.silentFrames, 0u);
    EXPECT_GE(result.skippedFrames, 4 * reader - 1024 - 88 - 44);
    EXPECT_LE(result.skippedFrames, 4 * reader);
    EXPECT_LE(result.lastDelay, TargetDelayBytes(1024 * 4, reader * 4) + 1024 * 4 + 132 * 4);
  }
}

TEST(CaptureFragments, SmallWhileAnyClientReadsInSmallBlocks) {
  CaptureFragments fragments;
  EXPECT_EQ(fragments.Bytes(), kLargeFragmentBytes);
  EXPECT_EQ(kLargeFragmentBytes, 1764u * 4);
  EXPECT_LE(kSmallFragmentBytes, 5u * 44100 / 1000 * 4);
  EXPECT_FALSE(fragments.Update(nullptr, 0));
  uint32_t both[] = {kBlockBytes, 441 * 4};
  EXPECT_TRUE(fragments.Update(both, 1 + 1));
  EXPECT_EQ(fragments.Bytes(), kSmallFragmentBytes);
  EXPECT_FALSE(fragments.Update(both, 2)) << "a switch is reported once";
  EXPECT_FALSE(fragments.Update(both + 1, 1));
  EXPECT_TRUE(fragments.Update(both, 1)) << "the small reader left";
  EXPECT_EQ(fragments.Bytes(), kLargeFragmentBytes);
  EXPECT_FALSE(fragments.Update(nullptr, 0));
}

TEST(CaptureFragments, PlainPulseAudioKeepsTenMillisecondsNormally) {
  EXPECT_TRUE(ulx::RunsAGraph("PulseAudio (on PipeWire 0.3.65)"));
  EXPECT_FALSE(ulx::RunsAGraph("pulseaudio"));
  EXPECT_FALSE(ulx::RunsAGraph(nullptr));
  EXPECT_EQ(FragmentForServer(kLargeFragmentBytes, true), kLargeFragmentBytes);
  EXPECT_EQ(FragmentForServer(kLargeFragmentBytes, false), 441u * 4);
  EXPECT_EQ(FragmentForServer(kSmallFragmentBytes, false), kSmallFragmentBytes);
  EXPECT_EQ(FragmentForServer(kSmallFragmentBytes, true), kSmallFragmentBytes);
}

}  // namespace
}  // namespace auralith::ulxd

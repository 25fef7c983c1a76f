// The ring's writer and the policy that keeps readers a bounded distance
// behind it.

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "driver/read_policy.h"
#include "driver/ring_writer.h"
#include "driver/shared_ring.h"
#include "ulx/ring_layout.h"

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

TEST_F(ReadPolicyTest, FirstExchangeStartsOneBlockBehindTheWriter) {
  EXPECT_EQ(Align(3 * kBlockBytes), 2 * kBlockBytes);
  EXPECT_EQ(policy.Delay(), kTargetDelayBytes);
}

TEST_F(ReadPolicyTest, FirstExchangeNearTheStartWrapsBackward) { EXPECT_EQ(Align(400), kSize - kBlockBytes + 400); }

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
  uint32_t r = Align(kBlockBytes * 10);
  uint32_t w = (kBlockBytes * 10 + kMaxDelayBytes + 4) % kSize;
  auto answer = policy.Next(r, w);
  EXPECT_EQ(answer.verdict, Verdict::Stalled);
  EXPECT_EQ(answer.offset, w - kTargetDelayBytes);
}

TEST_F(ReadPolicyTest, SurplusDelayHeldForASecondIsSkipped) {
  uint32_t w = kBlockBytes * 10;
  uint32_t r = Align(w);
  // After a short stall the reader stays three blocks behind: within bounds,
  // but two more than it needs.
  w += 2 * kBlockBytes;
  for (int i = 0; i < kSettleExchanges - 1; ++i) {
    w += kBlockBytes;
    r += kBlockBytes;
    ASSERT_EQ(policy.Next(r, w).verdict, Verdict::Kept) << i;
  }
  w += kBlockBytes;
  r += kBlockBytes;
  auto answer = policy.Next(r, w);
  EXPECT_EQ(answer.verdict, Verdict::Settled);
  EXPECT_EQ(answer.offset, w - kTargetDelayBytes);
  EXPECT_EQ(policy.Delay(), kTargetDelayBytes);
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

}  // namespace
}  // namespace auralith::ulxd

#pragma once
// Sizes of the shared ring and of the reader's cushion, in bytes of the
// stream format (dsp/stream_format.h).

#include <cstdint>

#include "dsp/stream_format.h"

namespace auralith::ulxd {

// The application reads in blocks of 40 ms (1764 frames) unless it is seen
// to read in smaller ones.
inline constexpr uint32_t kBlockBytes = kStreamRate / 25 * kStreamFrameBytes;
static_assert(kBlockBytes == 7056);
// How long a stretch of the ring lasts, for the log.
constexpr double Milliseconds(uint32_t bytes) { return bytes / kStreamFrameBytes * 1000.0 / kStreamRate; }
// The smallest reader block the daemon follows: 10 ms (441 frames).
inline constexpr uint32_t kMinReaderBlockBytes = kStreamRate / 100 * kStreamFrameBytes;
// Two seconds: room for any reader that keeps up, and a whole number of
// frames (and of blocks).
inline constexpr uint32_t kRingBytes = 50 * kBlockBytes;
// Kept zero ahead of the write position, so a reader that runs ahead of the
// writer reads silence, never audio from one lap before.
inline constexpr uint32_t kZeroGuardBytes = 8 * kBlockBytes;
// The longest capture burst followed (a graph period of 8192 frames); longer
// ones (a daemon that was held up) count as this long.
inline constexpr uint32_t kMaxBurstBytes = 8192 * kStreamFrameBytes;

// What a reader should find already written when it has just finished a
// block: the largest recent capture burst, so the writer's next burst comes
// before the reader gets to it, plus the reader's own burst: one block of
// margin for the jitter of both sides when it reads a block at a time, what
// it takes at once plus that block when its device takes several at once.
constexpr uint32_t TargetDelayBytes(uint32_t burst, uint32_t readerBurst) { return burst + readerBurst; }
// In steady state the delay at an exchange stays below target + burst (the
// exchange right after a burst). A reader further behind than that, by a
// reader burst and kStallBlocks of its blocks, is moved up at once.
inline constexpr uint32_t kStallBlocks = 4;
constexpr uint32_t MaxDelayBytes(uint32_t burst, uint32_t readerBurst, uint32_t block) {
  return TargetDelayBytes(burst, readerBurst) + burst + readerBurst + kStallBlocks * block;
}
// A reader whose smallest delay over one second stays above this has more
// cushion than it needs (after a stall, or from clock drift) and is moved up.
// A reader's smallest delay in steady state stays below target + its burst;
// one more block, so the jitter of either side never skips audio.
constexpr uint32_t SettleDelayBytes(uint32_t burst, uint32_t readerBurst, uint32_t block) {
  return TargetDelayBytes(burst, readerBurst) + readerBurst + block;
}
// The settle window: one second of the reader's blocks.
inline constexpr uint32_t kSettleWindowBytes = kStreamRate * kStreamFrameBytes;

// The largest delay any reader is kept at: still audio (not the guard), and
// below half the ring, beyond which a reader counts as having overtaken the
// writer.
inline constexpr uint32_t kMaxDelayBytes = MaxDelayBytes(kMaxBurstBytes, kMaxBurstBytes + kBlockBytes, kBlockBytes);
static_assert(kMaxDelayBytes + kBlockBytes <= kRingBytes - kZeroGuardBytes);
static_assert(kMaxDelayBytes < kRingBytes / 2);
// A reader runs ahead of the writer by at most its block plus the jitter
// before it is moved back: the guard covers that many times over.
static_assert(kZeroGuardBytes >= 2 * kBlockBytes);

}  // namespace auralith::ulxd

#pragma once
// Sizes of the shared ring and of the reader's cushion, in bytes of the
// stream format (dsp/stream_format.h).

#include <cstdint>

#include "dsp/stream_format.h"

namespace auralith::ulxd {

// The application reads in blocks of 40 ms (1764 frames).
inline constexpr uint32_t kBlockBytes = kStreamRate / 25 * kStreamFrameBytes;
static_assert(kBlockBytes == 7056);
// Two seconds: room for any reader that keeps up, and a whole number of
// frames (and of blocks).
inline constexpr uint32_t kRingBytes = 50 * kBlockBytes;
// Kept zero ahead of the write position, so a reader that runs ahead of the
// writer reads silence, never audio from one lap before.
inline constexpr uint32_t kZeroGuardBytes = 8 * kBlockBytes;
// What a reader should find already written when it has just finished a
// block: one block of margin for the jitter of both sides, so a sample waits
// one to two blocks (40-80 ms) in the ring.
inline constexpr uint32_t kTargetDelayBytes = kBlockBytes;
// A reader further behind than this (a stall) is moved up at once.
inline constexpr uint32_t kMaxDelayBytes = 6 * kBlockBytes;
// A reader whose smallest delay over one second stays above this has more
// cushion than it needs (after a stall, or from clock drift) and is moved up.
inline constexpr uint32_t kSettleDelayBytes = 2 * kBlockBytes;
inline constexpr int kSettleExchanges = 25;

}  // namespace auralith::ulxd

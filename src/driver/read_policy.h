#pragma once
// Where a reader of the ring is to read next: keeps the delay between the
// write position and the reader bounded, whatever the reader does, and as
// small as the writer's bursts and the reader's blocks allow.

#include <cstdint>

#include "ulx/ring_layout.h"

namespace auralith::ulxd {

// The largest of the last few bursts (bytes written or read at once): the
// last 4 to 8, so that a change of the server's period or fragments is
// followed within a few periods. Pieces closer together in time than the gap
// are one burst. Bursts count at most kMaxBurstBytes.
class BurstMemory {
 public:
  // For callers without a clock: every piece stands alone.
  static constexpr uint64_t kNoClock = UINT64_MAX;

  explicit BurstMemory(uint64_t gapUsec) : gapUsec_(gapUsec) {}
  void Note(uint32_t bytes, uint64_t nowUsec = kNoClock);
  uint32_t Largest() const { return current_ > previous_ ? current_ : previous_; }

 private:
  static constexpr int kBurstsPerHalf = 4;
  uint64_t gapUsec_;
  uint64_t lastUsec_ = kNoClock;
  uint32_t run_ = 0;  // the burst under way
  uint32_t current_ = 0;
  uint32_t previous_ = 0;
  int bursts_ = 0;  // begun in the current half
};

// The capture's bursts: a server may hand on one period as several
// fragments right after each other (pipewire-pulse: some 50 us apart).
inline constexpr uint64_t kCaptureGapUsec = 500;
// The reader's: a device that takes several blocks per period has them
// refilled one after the other, well within this.
inline constexpr uint64_t kReaderGapUsec = 2000;

class ReadPolicy {
 public:
  enum class Verdict {
    Kept,      // the reader's own offset stands
    Aligned,   // first exchange: the reader starts a cushion behind the writer
    Underrun,  // the reader overtook the writer: moved back, it reads silence
    Stalled,   // the reader fell too far behind: moved up, old audio skipped
    Settled,   // more cushion than needed for a second: the surplus skipped
    Resized,   // seen to read in smaller blocks: moved up to the smaller cushion
    Invalid,   // an offset outside the ring or inside a frame
  };
  struct Answer {
    uint32_t offset;
    Verdict verdict;
  };
  // Exchanges with the same advance before a smaller reader block is believed.
  static constexpr int kLearnExchanges = 8;
  // For callers without a clock: every exchange stands alone.
  static constexpr uint64_t kNoClock = BurstMemory::kNoClock;

  // bursts: what the writer's recent bursts were before this reader came.
  explicit ReadPolicy(uint32_t ringSize, BurstMemory bursts = BurstMemory(kCaptureGapUsec))
      : ringSize_(ringSize), bursts_(bursts) {}

  // The offset the reader is to use next, given the one it reports after a
  // block, the writer's current offset and the time of the exchange.
  Answer Next(uint32_t readOffset, uint32_t writeOffset, uint64_t nowUsec = kNoClock);
  // The writer has just written this many bytes at once.
  void NoteBurst(uint32_t bytes, uint64_t nowUsec = kNoClock) { bursts_.Note(bytes, nowUsec); }

  // Bytes written but not yet read at the last answer.
  uint32_t Delay() const { return delay_; }
  // The reader's block: 40 ms until it is seen to read less per exchange.
  uint32_t ReaderBlock() const { return block_; }
  uint32_t Target() const { return TargetDelayBytes(bursts_.Largest(), ReaderBurst()) & ~3u; }
  // What the reader takes at once: its block, or when its device takes
  // several blocks at a time, those plus a block of margin.
  uint32_t ReaderBurst() const {
    const uint32_t most = readerBursts_.Largest();
    return most > block_ ? most + block_ : block_;
  }

 private:
  Answer Decide(uint32_t readOffset, uint32_t writeOffset);
  Answer Reset(uint32_t writeOffset, Verdict verdict);
  // Follows the reader's advance since the last answer; true when it showed
  // a smaller block than assumed so far.
  bool Learn(uint32_t advance);

  uint32_t ringSize_;
  BurstMemory bursts_;
  BurstMemory readerBursts_{kReaderGapUsec};
  bool aligned_ = false;
  // Exchanges until a reader seen to read in smaller blocks is moved up.
  int resizeIn_ = 0;
  uint32_t resizeMin_ = 0;
  uint32_t lastAnswer_ = 0;
  uint32_t block_ = kBlockBytes;
  uint32_t candidate_ = 0;
  int candidateCount_ = 0;
  uint32_t windowCount_ = 0;
  uint32_t windowMin_ = 0;
  uint32_t delay_ = 0;
};

}  // namespace auralith::ulxd

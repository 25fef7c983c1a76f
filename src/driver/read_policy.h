#pragma once
// Where a reader of the ring is to read next: keeps the delay between the
// write position and the reader bounded, whatever the reader does.

#include <cstdint>

namespace auralith::ulxd {

class ReadPolicy {
 public:
  enum class Verdict {
    Kept,      // the reader's own offset stands
    Aligned,   // first exchange: the reader starts a cushion behind the writer
    Underrun,  // the reader overtook the writer: moved back, it reads silence
    Stalled,   // the reader fell too far behind: moved up, old audio skipped
    Settled,   // more cushion than needed for a second: the surplus skipped
    Invalid,   // an offset outside the ring or inside a frame
  };
  struct Answer {
    uint32_t offset;
    Verdict verdict;
  };

  explicit ReadPolicy(uint32_t ringSize) : ringSize_(ringSize) {}

  // The offset the reader is to use next, given the one it reports after a
  // block and the writer's current offset.
  Answer Next(uint32_t readOffset, uint32_t writeOffset);

  // Bytes written but not yet read at the last answer.
  uint32_t Delay() const { return delay_; }

 private:
  Answer Reset(uint32_t writeOffset, Verdict verdict);

  uint32_t ringSize_;
  bool aligned_ = false;
  int windowCount_ = 0;
  uint32_t windowMin_ = 0;
  uint32_t delay_ = 0;
};

}  // namespace auralith::ulxd

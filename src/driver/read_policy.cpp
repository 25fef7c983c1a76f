#include "driver/read_policy.h"

#include <algorithm>

#include "ulx/ring_layout.h"

namespace auralith::ulxd {

ReadPolicy::Answer ReadPolicy::Reset(uint32_t writeOffset, Verdict verdict) {
  windowCount_ = 0;
  delay_ = kTargetDelayBytes;
  // Offsets stay on frames even if the writer ever were not.
  return {((writeOffset + ringSize_ - kTargetDelayBytes) % ringSize_) & ~3u, verdict};
}

ReadPolicy::Answer ReadPolicy::Next(uint32_t readOffset, uint32_t writeOffset) {
  if (!aligned_) {
    aligned_ = true;
    return Reset(writeOffset, Verdict::Aligned);
  }
  if (readOffset >= ringSize_ || readOffset % 4 != 0) return Reset(writeOffset, Verdict::Invalid);
  // Behind the writer by up to half the ring counts as behind; more means the
  // reader has overtaken it.
  uint32_t behind = (writeOffset + ringSize_ - readOffset) % ringSize_;
  if (behind > ringSize_ / 2) return Reset(writeOffset, Verdict::Underrun);
  if (behind > kMaxDelayBytes) return Reset(writeOffset, Verdict::Stalled);

  windowMin_ = windowCount_ == 0 ? behind : std::min(windowMin_, behind);
  if (++windowCount_ < kSettleExchanges || windowMin_ <= kSettleDelayBytes) {
    if (windowCount_ >= kSettleExchanges) windowCount_ = 0;
    delay_ = behind;
    return {readOffset, Verdict::Kept};
  }
  // Skip only what the reader never needed over the whole second, so a reader
  // that takes its blocks in bursts keeps its cushion.
  uint32_t surplus = (windowMin_ - kTargetDelayBytes) & ~3u;
  windowCount_ = 0;
  delay_ = behind - surplus;
  return {(readOffset + surplus) % ringSize_, Verdict::Settled};
}

}  // namespace auralith::ulxd

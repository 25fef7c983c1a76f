#include "driver/read_policy.h"

#include <algorithm>

namespace auralith::ulxd {
namespace {

bool IsReaderBlock(uint32_t bytes) {
  return bytes % kStreamFrameBytes == 0 && bytes >= kMinReaderBlockBytes && bytes <= kBlockBytes;
}

}  // namespace

void BurstMemory::Note(uint32_t bytes, uint64_t nowUsec) {
  const bool joined =
      nowUsec != kNoClock && lastUsec_ != kNoClock && nowUsec >= lastUsec_ && nowUsec - lastUsec_ < gapUsec_;
  lastUsec_ = nowUsec;
  bytes = std::min(bytes, kMaxBurstBytes);
  if (!joined && ++bursts_ > kBurstsPerHalf) {
    previous_ = current_;
    current_ = 0;
    bursts_ = 1;
  }
  run_ = joined ? std::min(run_ + bytes, kMaxBurstBytes) : bytes;
  current_ = std::max(current_, run_ & ~3u);
}

ReadPolicy::Answer ReadPolicy::Reset(uint32_t writeOffset, Verdict verdict) {
  windowCount_ = 0;
  const uint32_t target = Target();
  delay_ = target;
  // Offsets stay on frames even if the writer ever were not.
  return {((writeOffset + ringSize_ - target) % ringSize_) & ~3u, verdict};
}

bool ReadPolicy::Learn(uint32_t advance) {
  if (advance != candidate_) {
    candidate_ = advance;
    candidateCount_ = 0;
  }
  if (++candidateCount_ < kLearnExchanges || advance == block_ || !IsReaderBlock(advance)) return false;
  const bool smaller = advance < block_;
  block_ = advance;
  windowCount_ = 0;
  return smaller;
}

ReadPolicy::Answer ReadPolicy::Next(uint32_t readOffset, uint32_t writeOffset, uint64_t nowUsec) {
  if (aligned_ && readOffset < ringSize_ && readOffset % 4 == 0) {
    // More than a block at once is not a read but a reader that went its
    // own way.
    const uint32_t advance = (readOffset + ringSize_ - lastAnswer_) % ringSize_;
    if (advance <= kBlockBytes) readerBursts_.Note(advance, nowUsec);
  }
  Answer answer = Decide(readOffset, writeOffset);
  lastAnswer_ = answer.offset;
  return answer;
}

ReadPolicy::Answer ReadPolicy::Decide(uint32_t readOffset, uint32_t writeOffset) {
  if (!aligned_) {
    aligned_ = true;
    return Reset(writeOffset, Verdict::Aligned);
  }
  if (readOffset >= ringSize_ || readOffset % 4 != 0) return Reset(writeOffset, Verdict::Invalid);
  // What the reader read since the last answer: its block, normally.
  const uint32_t advance = (readOffset + ringSize_ - lastAnswer_) % ringSize_;
  const bool shrank = Learn(advance);
  // Behind the writer by up to half the ring counts as behind; more means the
  // reader has overtaken it.
  uint32_t behind = (writeOffset + ringSize_ - readOffset) % ringSize_;
  if (behind > ringSize_ / 2) {
    // A reader that took more than the block assumed reads in larger blocks
    // now: believed at once, as the larger cushion is the safe side.
    if (advance > block_ && IsReaderBlock(advance)) block_ = advance;
    return Reset(writeOffset, Verdict::Underrun);
  }
  const uint32_t burst = bursts_.Largest();
  // The smaller cushion is taken once, a few exchanges later: by then the
  // smaller capture fragments the daemon now asks for have arrived and
  // count. As when settling, only what the reader never needed meanwhile is
  // skipped.
  if (shrank) resizeIn_ = kLearnExchanges;
  // Meanwhile the shrinking bursts make a stall of what is only the old
  // cushion.
  const bool resizing = resizeIn_ > 0;
  if (resizing) {
    // Only the later exchanges count: the larger fragments' bursts are over.
    resizeMin_ = --resizeIn_ >= kLearnExchanges / 2 ? behind : std::min(resizeMin_, behind);
    if (resizeIn_ == 0 && burst > 0 && resizeMin_ > Target()) {
      const uint32_t surplus = (resizeMin_ - Target()) & ~3u;
      windowCount_ = 0;
      delay_ = behind - surplus;
      return {(readOffset + surplus) % ringSize_, Verdict::Resized};
    }
  }
  if (!resizing && behind > MaxDelayBytes(burst, ReaderBurst(), block_)) return Reset(writeOffset, Verdict::Stalled);

  windowMin_ = windowCount_ == 0 ? behind : std::min(windowMin_, behind);
  const uint32_t window = (kSettleWindowBytes + block_ - 1) / block_;
  if (++windowCount_ < window || windowMin_ <= SettleDelayBytes(burst, ReaderBurst(), block_)) {
    if (windowCount_ >= window) windowCount_ = 0;
    delay_ = behind;
    return {readOffset, Verdict::Kept};
  }
  // Skip only what the reader never needed over the whole second, so a reader
  // that takes its blocks in bursts keeps its cushion.
  uint32_t surplus = (windowMin_ - Target()) & ~3u;
  windowCount_ = 0;
  delay_ = behind - surplus;
  return {(readOffset + surplus) % ringSize_, Verdict::Settled};
}

}  // namespace auralith::ulxd

#pragma once
// Whether the output keeps up with its blocks: underruns that each follow
// the previous one within a window form a run, and a run of `limit` means
// the machine cannot keep up. Underruns less than `mergeBlocks` after the
// one counted last are the same dry spell (its signs arrive over a few
// blocks), so a single stall never ends in a run, however long it was.
// Plain arithmetic, for the audio thread.

#include <cstdint>

namespace auralith::audio {

class UnderrunRun {
 public:
  UnderrunRun(uint32_t limit, uint32_t windowBlocks, uint32_t mergeBlocks)
      : limit_(limit), window_(windowBlocks), merge_(mergeBlocks) {}

  // One refilled block; `underran` when the device ran dry before it. True
  // from the block that completes a run on, until Reset.
  bool Block(bool underran) {
    if (reached_) return true;
    if (underran && sinceLast_ >= merge_) {
      count_ = sinceLast_ <= window_ ? count_ + 1 : 1;
      sinceLast_ = 0;
      reached_ = count_ >= limit_;
    } else if (sinceLast_ <= window_) {
      ++sinceLast_;
    }
    return reached_;
  }

  void Reset() {
    count_ = 0;
    sinceLast_ = window_ + 1;
    reached_ = false;
  }

 private:
  uint32_t limit_;
  uint32_t window_;
  uint32_t merge_;
  uint32_t count_ = 0;
  uint32_t sinceLast_ = window_ + 1;  // no underrun seen yet
  bool reached_ = false;
};

}  // namespace auralith::audio

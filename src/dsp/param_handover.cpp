#include "dsp/param_handover.h"

namespace auralith::dsp {

void ParamHandover::Reset(const DspParams& initial) {
  slots_.fill(initial);
  front_ = 0;
  middle_.store(1, std::memory_order_relaxed);
  back_ = 2;
}

void ParamHandover::Publish(const DspParams& params) {
  slots_[back_] = params;
  // Release: the copy above is complete before the reader can take the slot.
  back_ = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel) & kIndexMask;
}

const DspParams& ParamHandover::Acquire() {
  if (middle_.load(std::memory_order_relaxed) & kFresh) {
    // Acquire: the writer's copy into the slot is visible from here on.
    front_ = middle_.exchange(front_, std::memory_order_acq_rel) & kIndexMask;
  }
  return slots_[front_];
}

}  // namespace auralith::dsp

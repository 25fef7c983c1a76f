// Lock-free handover of parameter snapshots from the control thread to the
// audio thread (a triple buffer). Neither side ever waits: the writer always
// has a slot of its own to fill, the reader always has a complete one to
// read, and the exchange of the middle slot is one atomic operation.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "dsp/dsp_records.h"

namespace auralith::dsp {

class ParamHandover {
 public:
  // Every slot starts as `initial`. Not safe while either side is running.
  void Reset(const DspParams& initial);

  // Control thread (a single writer): hands over a copy of `params`.
  void Publish(const DspParams& params);

  // Audio thread (a single reader): the newest published set; the reference
  // stays valid and unchanged until the next call.
  const DspParams& Acquire();

 private:
  static constexpr std::uint32_t kIndexMask = 3;
  static constexpr std::uint32_t kFresh = 4;

  std::array<DspParams, 3> slots_{};
  std::atomic<std::uint32_t> middle_{1};
  std::uint32_t back_ = 2;   // owned by the writer
  std::uint32_t front_ = 0;  // owned by the reader
};

}  // namespace auralith::dsp

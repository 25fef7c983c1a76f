#pragma once
// Takes blocks from the driver's ring the way the audio thread does: 7056
// bytes from the read offset, each sample scaled by the volume factor and
// truncated toward zero, the ring zeroed behind, then the position exchange.

#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/vt_device.h"

namespace auralith::testing {

inline constexpr uint32_t kBlockBytes = 7056;

// Returns whether the exchange succeeded; the block is read either way.
inline bool ReadBlock(VtDevice& device, uint32_t& readOffset, std::vector<int16_t>& out) {
  float gain = VtDevice::VolumeFactor(device.Volume());
  uint32_t left = kBlockBytes;
  while (left > 0) {
    uint32_t n = std::min(left, device.RingSize() - readOffset);
    for (uint32_t i = 0; i + 1 < n; i += 2) {
      int16_t sample;
      std::memcpy(&sample, device.RingBase() + readOffset + i, 2);
      out.push_back(int16_t(float(sample) * gain));
    }
    std::memset(device.RingBase() + readOffset, 0, n);
    readOffset = (readOffset + n) % device.RingSize();
    left -= n;
  }
  return device.ExchangePosition(readOffset) == 1;
}

}  // namespace auralith::testing

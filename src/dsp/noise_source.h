// Uniform integers 0 to 32767 for the input stage's dither. The C library's
// rand() spans 0 to 2^31 - 1 on Linux, which would turn the dither into a loud
// hiss with an offset, so the chain carries this small generator instead.
#pragma once

#include <cstdint>

namespace auralith::dsp {

class NoiseSource {
 public:
  static constexpr std::int32_t kMax = 32767;

  explicit NoiseSource(std::uint32_t seed = 1) : state_(seed) {}

  std::int32_t Next() {
    state_ = state_ * 1103515245u + 12345u;
    return static_cast<std::int32_t>((state_ >> 16) & 0x7fffu);
  }

 private:
  std::uint32_t state_;
};

}  // namespace auralith::dsp

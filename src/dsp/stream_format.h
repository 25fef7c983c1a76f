#pragma once
// The one stream format of the whole system: the virtual device, the ring,
// the chain and the playback stream all carry interleaved stereo 16-bit
// PCM at 44100 Hz.

#include <cstdint>

namespace auralith {

inline constexpr std::uint32_t kStreamRate = 44100;
inline constexpr std::uint16_t kStreamChannels = 2;
inline constexpr std::uint16_t kStreamBitsPerSample = 16;
inline constexpr std::uint16_t kStreamFrameBytes = kStreamChannels * kStreamBitsPerSample / 8;
inline constexpr std::uint32_t kStreamBytesPerSecond = kStreamRate * kStreamFrameBytes;

}  // namespace auralith

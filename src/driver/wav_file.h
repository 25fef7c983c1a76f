#pragma once
// Reads a WAV file for the test feed: 16-bit PCM at 44100 Hz, mono or
// stereo, returned as interleaved stereo.

#include <cstdint>
#include <string>
#include <vector>

namespace auralith::ulxd {

// About 25 minutes of 44100 Hz stereo: the test feed holds the whole file.
inline constexpr std::uint64_t kMaxWavFileBytes = 256u * 1024u * 1024u;

// Frames of the file as interleaved stereo samples; false (error says why)
// for anything but a regular file of at most kMaxWavFileBytes holding
// 16-bit PCM at 44100 Hz with one or two channels.
bool ReadWav(const std::string& path, std::vector<int16_t>& stereo, std::string& error);
bool ParseWav(const std::vector<uint8_t>& file, std::vector<int16_t>& stereo, std::string& error);

}  // namespace auralith::ulxd

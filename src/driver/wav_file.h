#pragma once
// Reads a WAV file for the test feed: 16-bit PCM at 44100 Hz, mono or
// stereo, returned as interleaved stereo.

#include <cstdint>
#include <string>
#include <vector>

namespace auralith::ulxd {

// Frames of the file as interleaved stereo samples; false (error says why)
// for anything but 16-bit PCM at 44100 Hz with one or two channels.
bool ReadWav(const std::string& path, std::vector<int16_t>& stereo, std::string& error);
bool ParseWav(const std::vector<uint8_t>& file, std::vector<int16_t>& stereo, std::string& error);

}  // namespace auralith::ulxd

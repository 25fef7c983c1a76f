#include "driver/wav_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "dsp/stream_format.h"
#include "ulx/ulx_interface.h"

namespace auralith::ulxd {
namespace {

uint16_t LoadU16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool HasTag(const std::vector<uint8_t>& file, size_t at, const char* tag) {
  return std::memcmp(file.data() + at, tag, 4) == 0;
}

}  // namespace

bool ParseWav(const std::vector<uint8_t>& file, std::vector<int16_t>& stereo, std::string& error) {
  if (file.size() < 12 || !HasTag(file, 0, "RIFF") || !HasTag(file, 8, "WAVE")) {
    error = "not a WAV file";
    return false;
  }
  bool haveFormat = false;
  uint16_t channels = 0;
  size_t at = 12;
  while (at + 8 <= file.size()) {
    const uint8_t* chunk = file.data() + at;
    size_t size = ulx::LoadU32(chunk + 4);
    size_t body = at + 8;
    size_t available = file.size() - body;
    if (HasTag(file, at, "fmt ")) {
      if (size < 16 || available < 16) break;
      uint16_t tag = LoadU16(chunk + 8);
      // WAVE_FORMAT_EXTENSIBLE names its real format in the first two bytes
      // of its sub-format.
      if (tag == 0xFFFE && size >= 40 && available >= 40) tag = LoadU16(chunk + 32);
      channels = LoadU16(chunk + 10);
      uint32_t rate = ulx::LoadU32(chunk + 12);
      uint16_t bits = LoadU16(chunk + 22);
      if (tag != 1 || bits != kStreamBitsPerSample || rate != kStreamRate || (channels != 1 && channels != 2)) {
        error = "only 16-bit PCM at 44100 Hz with one or two channels can be fed";
        return false;
      }
      haveFormat = true;
    } else if (HasTag(file, at, "data")) {
      if (!haveFormat) break;
      // A file cut short keeps the whole frames it has.
      size_t frames = std::min(size, available) / (2u * channels);
      const uint8_t* samples = chunk + 8;
      stereo.resize(frames * 2);
      for (size_t i = 0; i < frames; ++i) {
        for (size_t c = 0; c < 2; ++c) {
          size_t source = i * channels + (channels == 1 ? 0 : c);
          stereo[i * 2 + c] = int16_t(LoadU16(samples + source * 2));
        }
      }
      return true;
    }
    at = body + size + (size & 1);
  }
  error = haveFormat ? "the WAV file has no audio data" : "the WAV file has no valid format chunk";
  return false;
}

bool ReadWav(const std::string& path, std::vector<int16_t>& stereo, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!ParseWav(file, stereo, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace auralith::ulxd

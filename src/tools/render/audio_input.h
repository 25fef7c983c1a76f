// Reads any sound file libsndfile knows as 44100 Hz stereo 16-bit frames,
// the form in which the driver delivers sound to the chain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dsp/stream_format.h"

struct sf_private_tag;
struct SRC_STATE_tag;

namespace auralith::render {

inline constexpr int kChainRate = static_cast<int>(kStreamRate);

class AudioInput {
 public:
  // Opens a file; on failure returns null and sets `error` to one line.
  static std::unique_ptr<AudioInput> Open(const std::string& path, std::string& error);
  ~AudioInput();
  AudioInput(const AudioInput&) = delete;
  AudioInput& operator=(const AudioInput&) = delete;

  // Fills `out` with up to `frames` interleaved stereo frames and returns
  // how many it wrote; fewer only at the end of the sound (0 after it).
  // Returns 0 and sets error() when reading fails.
  std::size_t Read(std::int16_t* out, std::size_t frames);

  const std::string& error() const { return error_; }
  // Frames at 44100 Hz the whole file will give (estimated when converted).
  std::uint64_t totalFrames() const { return totalFrames_; }
  int sourceRate() const { return sourceRate_; }
  int sourceChannels() const { return sourceChannels_; }

 private:
  AudioInput() = default;
  bool Refill();
  std::optional<std::size_t> ReadStereoChunk();
  std::size_t ReadDirect(std::int16_t* out, std::size_t frames);

  sf_private_tag* file_ = nullptr;
  SRC_STATE_tag* resampler_ = nullptr;
  int sourceRate_ = 0;
  int sourceChannels_ = 0;
  // 16-bit mono or stereo at 44100 Hz: read as it is, straight into the
  // caller's frames.
  bool direct_ = false;
  std::uint64_t totalFrames_ = 0;
  bool fileEnded_ = false;
  bool finished_ = false;
  std::string error_;

  std::vector<float> fileChunk_;  // as read: sourceChannels_ per frame
  std::vector<float> stereo_;     // two channels per frame, source rate
  std::size_t stereoFrames_ = 0;
  std::size_t stereoUsed_ = 0;
  std::vector<float> ready_;  // two channels per frame, 44100 Hz
  std::size_t readyFrames_ = 0;
  std::size_t readyUsed_ = 0;
};

}  // namespace auralith::render

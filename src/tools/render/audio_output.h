// Writes the rendering into a temporary file beside OUTPUT and puts it in
// OUTPUT's place only when everything was written, so a failed rendering
// never destroys an existing file. Only a regular file or a path that does
// not exist yet is replaced that way; anything else (a FIFO, a device,
// /dev/stdout) is written in place and never replaced: a link to a regular
// file gets a complete WAV, a pipe or device a WAV stream whose RIFF and
// data sizes are the streaming marker 0xFFFFFFFF.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sf_private_tag;

namespace auralith::render {

inline constexpr std::size_t kStreamHeaderBytes = 44;
// The RIFF and data sizes of a stream whose length is not known.
inline constexpr std::uint32_t kStreamingSize = 0xFFFFFFFFu;

// The header of a 44100 Hz stereo WAV stream, 16-bit PCM or 32-bit float.
std::array<std::uint8_t, kStreamHeaderBytes> StreamingWavHeader(bool floatSamples);

class AudioOutput {
 public:
  // 44100 Hz stereo WAV, 16-bit or 32-bit float. On failure returns null
  // and sets `error` to one line.
  static std::unique_ptr<AudioOutput> Create(const std::string& path, bool floatSamples, std::string& error);
  // Removes the temporary file unless Commit succeeded.
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  bool Write(const std::int16_t* frames, std::size_t count);
  bool Write(const float* frames, std::size_t count);
  // Closes the file and moves it to the final path (when not in place).
  bool Commit();

  const std::string& error() const { return error_; }

 private:
  AudioOutput() = default;
  static std::unique_ptr<AudioOutput> OpenInPlace(std::unique_ptr<AudioOutput> output, bool floatSamples,
                                                  std::string& error);
  // The WAV on `fd` through libsndfile, which fills in the sizes at the end.
  static std::unique_ptr<AudioOutput> StartWav(std::unique_ptr<AudioOutput> output, int fd, bool floatSamples,
                                               std::string& error);
  bool Failed(const char* what);
  bool WriteStream(const std::uint8_t* bytes, std::size_t count);
  template <typename Sample>
  bool WriteStreamSamples(const Sample* samples, std::size_t count);

  sf_private_tag* file_ = nullptr;
  std::string path_;
  std::string temporaryPath_;  // empty when written in place
  int streamFd_ = -1;          // a pipe or device written as a stream
  std::vector<std::uint8_t> streamBuffer_;
  bool committed_ = false;
  std::string error_;
};

}  // namespace auralith::render

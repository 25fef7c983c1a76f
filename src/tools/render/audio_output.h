// Writes the rendering into a temporary file beside OUTPUT and puts it in
// OUTPUT's place only when everything was written, so a failed rendering
// never destroys an existing file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct sf_private_tag;

namespace auralith::render {

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
  // Closes the file and moves it to the final path.
  bool Commit();

  const std::string& error() const { return error_; }

 private:
  AudioOutput() = default;
  bool Failed(const char* what);

  sf_private_tag* file_ = nullptr;
  std::string path_;
  std::string temporaryPath_;
  bool committed_ = false;
  std::string error_;
};

}  // namespace auralith::render

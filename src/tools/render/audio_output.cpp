#include "tools/render/audio_output.h"

#include "tools/render/audio_input.h"

#include <sndfile.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace auralith::render {

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace

std::unique_ptr<AudioOutput> AudioOutput::Create(const std::string& path, bool floatSamples, std::string& error) {
  std::unique_ptr<AudioOutput> output(new AudioOutput);
  output->path_ = path;
  std::string pattern = FolderOf(path) + ".auralith-render-XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) {
    error = "cannot write into the folder of '" + path + "': " + std::strerror(errno);
    return nullptr;
  }
  output->temporaryPath_ = pattern;
  // mkstemp makes the file private; give it the permissions a new file gets.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);

  SF_INFO info{};
  info.samplerate = kChainRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | (floatSamples ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
  output->file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!output->file_) {
    close(fd);
    error = "cannot write '" + path + "': " + sf_strerror(nullptr);
    return nullptr;
  }
  return output;
}

AudioOutput::~AudioOutput() {
  if (file_) sf_close(file_);
  if (!committed_ && !temporaryPath_.empty()) unlink(temporaryPath_.c_str());
}

bool AudioOutput::Failed(const char* what) {
  error_ = std::string("cannot ") + what + " '" + path_ + "': " + sf_strerror(file_);
  return false;
}

bool AudioOutput::Write(const std::int16_t* frames, std::size_t count) {
  const auto n = static_cast<sf_count_t>(count);
  return sf_writef_short(file_, frames, n) == n || Failed("write");
}

bool AudioOutput::Write(const float* frames, std::size_t count) {
  const auto n = static_cast<sf_count_t>(count);
  return sf_writef_float(file_, frames, n) == n || Failed("write");
}

bool AudioOutput::Commit() {
  sf_write_sync(file_);
  const int rc = sf_close(file_);
  file_ = nullptr;
  if (rc != 0) {
    error_ = "cannot write '" + path_ + "': " + sf_error_number(rc);
    return false;
  }
  if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    error_ = "cannot replace '" + path_ + "': " + std::strerror(errno);
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace auralith::render

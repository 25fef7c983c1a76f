#include "tools/render/audio_output.h"

#include "tools/render/audio_input.h"

#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace auralith::render {

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// Only a regular file (or nothing yet) may be replaced by the rendering;
// a FIFO, a device, a link such as /dev/stdout is written to as it is.
bool MayBeReplaced(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  return S_ISREG(info.st_mode);
}

void PutU16(std::uint8_t*& at, std::uint16_t value) {
  *at++ = static_cast<std::uint8_t>(value & 0xFF);
  *at++ = static_cast<std::uint8_t>(value >> 8);
}
void PutU32(std::uint8_t*& at, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) *at++ = static_cast<std::uint8_t>((value >> shift) & 0xFF);
}

}  // namespace

std::array<std::uint8_t, kStreamHeaderBytes> StreamingWavHeader(bool floatSamples) {
  constexpr std::uint16_t kPcm = 1;
  constexpr std::uint16_t kIeeeFloat = 3;
  const std::uint16_t bits = floatSamples ? 32 : 16;
  const std::uint16_t blockAlign = static_cast<std::uint16_t>(2 * bits / 8);
  std::array<std::uint8_t, kStreamHeaderBytes> header{};
  std::uint8_t* at = header.data();
  const auto tag = [&at](const char* text) {
    for (int i = 0; i < 4; ++i) *at++ = static_cast<std::uint8_t>(text[i]);
  };
  tag("RIFF");
  PutU32(at, kStreamingSize);
  tag("WAVE");
  tag("fmt ");
  PutU32(at, 16);
  PutU16(at, floatSamples ? kIeeeFloat : kPcm);
  PutU16(at, 2);
  PutU32(at, kChainRate);
  PutU32(at, kChainRate * blockAlign);
  PutU16(at, blockAlign);
  PutU16(at, bits);
  tag("data");
  PutU32(at, kStreamingSize);
  return header;
}

std::unique_ptr<AudioOutput> AudioOutput::Create(const std::string& path, bool floatSamples, std::string& error) {
  std::unique_ptr<AudioOutput> output(new AudioOutput);
  output->path_ = path;
  if (!MayBeReplaced(path)) return OpenInPlace(std::move(output), floatSamples, error);
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

  return StartWav(std::move(output), fd, floatSamples, error);
}

std::unique_ptr<AudioOutput> AudioOutput::StartWav(std::unique_ptr<AudioOutput> output, int fd, bool floatSamples,
                                                   std::string& error) {
  SF_INFO info{};
  info.samplerate = kChainRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | (floatSamples ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
  output->file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!output->file_) {
    close(fd);
    error = "cannot write '" + output->path_ + "': " + sf_strerror(nullptr);
    return nullptr;
  }
  return output;
}

std::unique_ptr<AudioOutput> AudioOutput::OpenInPlace(std::unique_ptr<AudioOutput> output, bool floatSamples,
                                                      std::string& error) {
  const std::string& path = output->path_;
  // A FIFO blocks here until its reader comes, as a shell redirection does.
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    return nullptr;
  }
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ftruncate(fd, 0) == 0) {
    // A link to a regular file: a complete WAV with its sizes filled in.
    return StartWav(std::move(output), fd, floatSamples, error);
  }
  // A pipe or device: a WAV stream whose sizes are not known in advance.
  output->streamFd_ = fd;
  const auto header = StreamingWavHeader(floatSamples);
  if (!output->WriteStream(header.data(), header.size())) {
    error = output->error_;
    return nullptr;
  }
  return output;
}

bool AudioOutput::WriteStream(const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = write(streamFd_, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error_ = "cannot write '" + path_ + "': " + std::strerror(errno);
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

AudioOutput::~AudioOutput() {
  if (streamFd_ >= 0) close(streamFd_);
  if (file_) sf_close(file_);
  if (!committed_ && !temporaryPath_.empty()) unlink(temporaryPath_.c_str());
}

bool AudioOutput::Failed(const char* what) {
  error_ = std::string("cannot ") + what + " '" + path_ + "': " + sf_strerror(file_);
  return false;
}

bool AudioOutput::Write(const std::int16_t* frames, std::size_t count) {
  if (streamFd_ >= 0) return WriteStreamSamples(frames, 2 * count);
  const auto n = static_cast<sf_count_t>(count);
  return sf_writef_short(file_, frames, n) == n || Failed("write");
}

bool AudioOutput::Write(const float* frames, std::size_t count) {
  if (streamFd_ >= 0) return WriteStreamSamples(frames, 2 * count);
  const auto n = static_cast<sf_count_t>(count);
  return sf_writef_float(file_, frames, n) == n || Failed("write");
}

template <typename Sample>
bool AudioOutput::WriteStreamSamples(const Sample* samples, std::size_t count) {
  // Little-endian on the wire, whatever this machine is.
  if constexpr (std::endian::native == std::endian::little) {
    return WriteStream(reinterpret_cast<const std::uint8_t*>(samples), count * sizeof(Sample));
  } else {
    streamBuffer_.resize(count * sizeof(Sample));
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t bits = 0;
      std::memcpy(&bits, &samples[i], sizeof(Sample));
      for (std::size_t b = 0; b < sizeof(Sample); ++b) {
        streamBuffer_[i * sizeof(Sample) + b] = static_cast<std::uint8_t>((bits >> (8 * b)) & 0xFF);
      }
    }
    return WriteStream(streamBuffer_.data(), streamBuffer_.size());
  }
}

bool AudioOutput::Commit() {
  if (streamFd_ >= 0) {
    const int rc = close(streamFd_);
    streamFd_ = -1;
    if (rc != 0) {
      error_ = "cannot write '" + path_ + "': " + std::strerror(errno);
      return false;
    }
    committed_ = true;
    return true;
  }
  sf_write_sync(file_);
  const int rc = sf_close(file_);
  file_ = nullptr;
  if (rc != 0) {
    error_ = "cannot write '" + path_ + "': " + sf_error_number(rc);
    return false;
  }
  if (!temporaryPath_.empty() && std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    error_ = "cannot replace '" + path_ + "': " + std::strerror(errno);
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace auralith::render

#include "tools/render/audio_input.h"

#include "files/regular_file.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace auralith::render {

namespace {

constexpr std::size_t kChunkFrames = 4096;

std::int16_t ToPcm(float x) {
  // Resampling can overshoot full scale; clip instead of wrapping.
  const float scaled = std::nearbyint(x * 32768.0f);
  return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

std::unique_ptr<AudioInput> AudioInput::Open(const std::string& path, std::string& error) {
  std::unique_ptr<AudioInput> input(new AudioInput);
  // A pipe or device named as input is refused before it could block the
  // open; sound files are read in chunks, so any size will do.
  files::OpenResult opened = files::OpenRegularFile(path, std::numeric_limits<std::uint64_t>::max());
  if (!opened.file.valid()) {
    error = "cannot read '" + path + "': " + opened.error;
    return nullptr;
  }
  SF_INFO info{};
  input->file_ = sf_open_fd(opened.file.get(), SFM_READ, &info, SF_TRUE);
  if (input->file_) opened.file.release();  // closed with the sound file now
  if (!input->file_) {
    error = "cannot read '" + path + "': " + sf_strerror(nullptr);
    return nullptr;
  }
  if (info.channels < 1 || info.samplerate < 1) {
    error = "cannot read '" + path + "': no channels or no sample rate";
    return nullptr;
  }
  input->sourceRate_ = info.samplerate;
  input->sourceChannels_ = info.channels;
  input->fileChunk_.resize(kChunkFrames * static_cast<std::size_t>(info.channels));
  input->stereo_.resize(kChunkFrames * 2);

  const double ratio = static_cast<double>(kChainRate) / info.samplerate;
  const auto frames = static_cast<std::uint64_t>(std::max<sf_count_t>(info.frames, 0));
  input->totalFrames_ = static_cast<std::uint64_t>(std::llround(static_cast<double>(frames) * ratio));
  if (info.samplerate != kChainRate) {
    if (src_is_valid_ratio(ratio) == 0) {
      error = "cannot read '" + path + "': sample rate " + std::to_string(info.samplerate) + " Hz is out of range";
      return nullptr;
    }
    int srcError = 0;
    input->resampler_ = src_new(SRC_SINC_BEST_QUALITY, 2, &srcError);
    if (!input->resampler_) {
      error = std::string("cannot convert the sample rate: ") + src_strerror(srcError);
      return nullptr;
    }
    input->ready_.resize((static_cast<std::size_t>(kChunkFrames * ratio) + 64) * 2);
  }
  // Read as floats, 16-bit samples come back as k / 32768 and round to k
  // again, so reading them as they are gives the same frames without the
  // conversions. Other encodings keep the float path (libsndfile's own
  // conversion to 16 bits truncates or wraps where ours rounds and clips).
  input->direct_ = !input->resampler_ && (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && info.channels <= 2;
  return input;
}

AudioInput::~AudioInput() {
  if (resampler_) src_delete(resampler_);
  if (file_) sf_close(file_);
}

// Reads the next chunk of the file as stereo at the source rate: the frames
// read, or nothing (and error_ set) when reading failed.
std::optional<std::size_t> AudioInput::ReadStereoChunk() {
  const sf_count_t got = sf_readf_float(file_, fileChunk_.data(), static_cast<sf_count_t>(kChunkFrames));
  if (got < static_cast<sf_count_t>(kChunkFrames)) {
    if (sf_error(file_) != SF_ERR_NO_ERROR) {
      error_ = std::string("cannot read the input: ") + sf_strerror(file_);
      return std::nullopt;
    }
    fileEnded_ = true;
  }
  const auto frames = static_cast<std::size_t>(std::max<sf_count_t>(got, 0));
  const auto channels = static_cast<std::size_t>(sourceChannels_);
  for (std::size_t f = 0; f < frames; ++f) {
    const float* frame = &fileChunk_[f * channels];
    // Mono plays on both sides; of more channels the first two are the
    // front left and right.
    stereo_[2 * f] = frame[0];
    stereo_[2 * f + 1] = channels > 1 ? frame[1] : frame[0];
  }
  return frames;
}

// Makes ready_ hold unread frames, or finishes the sound.
bool AudioInput::Refill() {
  readyUsed_ = readyFrames_ = 0;
  if (!resampler_) {
    // At 44100 Hz the stereo chunk is used as it is.
    const std::optional<std::size_t> read = fileEnded_ ? std::nullopt : ReadStereoChunk();
    if (read)
      readyFrames_ = *read;
    else
      finished_ = true;
    return error_.empty();
  }

  while (readyFrames_ == 0) {
    if (stereoUsed_ == stereoFrames_ && !fileEnded_) {
      stereoUsed_ = 0;
      const std::optional<std::size_t> read = ReadStereoChunk();
      if (!read) {
        finished_ = true;
        return false;
      }
      stereoFrames_ = *read;
    }
    SRC_DATA data{};
    data.data_in = stereo_.data() + 2 * stereoUsed_;
    data.input_frames = static_cast<long>(stereoFrames_ - stereoUsed_);
    data.data_out = ready_.data();
    data.output_frames = static_cast<long>(ready_.size() / 2);
    data.end_of_input = fileEnded_ ? 1 : 0;
    data.src_ratio = static_cast<double>(kChainRate) / sourceRate_;
    if (const int rc = src_process(resampler_, &data); rc != 0) {
      error_ = std::string("cannot convert the sample rate: ") + src_strerror(rc);
      finished_ = true;
      return false;
    }
    stereoUsed_ += static_cast<std::size_t>(data.input_frames_used);
    readyFrames_ = static_cast<std::size_t>(data.output_frames_gen);
    if (readyFrames_ == 0 && fileEnded_ && stereoUsed_ == stereoFrames_) {
      finished_ = true;  // the converter has given out everything
      return true;
    }
  }
  return true;
}

std::size_t AudioInput::ReadDirect(std::int16_t* out, std::size_t frames) {
  std::size_t written = 0;
  while (written < frames && !finished_) {
    const std::size_t wanted = frames - written;
    std::int16_t* to = out + 2 * written;
    // Mono is read into the upper half of its place and spread from the
    // front, each sample read before its pair overwrites it.
    std::int16_t* from = sourceChannels_ == 1 ? to + wanted : to;
    const sf_count_t got = sf_readf_short(file_, from, static_cast<sf_count_t>(wanted));
    const auto n = static_cast<std::size_t>(std::max<sf_count_t>(got, 0));
    if (n < wanted) {
      finished_ = true;
      if (sf_error(file_) != SF_ERR_NO_ERROR) {
        error_ = std::string("cannot read the input: ") + sf_strerror(file_);
        return 0;
      }
    }
    if (sourceChannels_ == 1) {
      for (std::size_t i = 0; i < n; ++i) {
        const std::int16_t sample = from[i];
        to[2 * i] = sample;
        to[2 * i + 1] = sample;
      }
    }
    written += n;
  }
  return written;
}

std::size_t AudioInput::Read(std::int16_t* out, std::size_t frames) {
  if (direct_) return ReadDirect(out, frames);
  std::size_t written = 0;
  while (written < frames) {
    if (readyUsed_ == readyFrames_) {
      if (finished_ || !Refill()) break;
      if (readyFrames_ == 0) break;
    }
    const std::size_t n = std::min(frames - written, readyFrames_ - readyUsed_);
    const float* from = (resampler_ ? ready_ : stereo_).data() + 2 * readyUsed_;
    for (std::size_t i = 0; i < 2 * n; ++i) out[2 * written + i] = ToPcm(from[i]);
    readyUsed_ += n;
    written += n;
  }
  return error_.empty() ? written : 0;
}

}  // namespace auralith::render

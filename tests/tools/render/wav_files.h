// Writing test signals and reading renderings back.
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct Sound {
  int rate = 0;
  int channels = 0;
  std::vector<float> samples;  // interleaved
  std::size_t frames() const { return channels ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

inline bool WriteSound(const std::string& path, const Sound& sound, int format = SF_FORMAT_PCM_16) {
  SF_INFO info{};
  info.samplerate = sound.rate;
  info.channels = sound.channels;
  info.format = SF_FORMAT_WAV | format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) return false;
  const auto frames = static_cast<sf_count_t>(sound.frames());
  const bool ok = sf_writef_float(file, sound.samples.data(), frames) == frames;
  return sf_close(file) == 0 && ok;
}

inline Sound ReadSound(const std::string& path) {
  Sound sound;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return sound;
  sound.rate = info.samplerate;
  sound.channels = info.channels;
  sound.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_float(file, sound.samples.data(), info.frames);
  sf_close(file);
  return sound;
}

inline int SubFormat(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return 0;
  sf_close(file);
  return info.format & SF_FORMAT_SUBMASK;
}

// A stereo sine of `amplitude` (full scale 1.0) at `frequency` Hz.
inline void AppendSine(Sound& sound, double frequency, double amplitude, double seconds) {
  const std::size_t frames = static_cast<std::size_t>(seconds * sound.rate);
  const double step = 2.0 * M_PI * frequency / sound.rate;
  for (std::size_t i = 0; i < frames; ++i) {
    const auto x = static_cast<float>(amplitude * std::sin(step * static_cast<double>(i)));
    for (int c = 0; c < sound.channels; ++c) sound.samples.push_back(x);
  }
}

inline void AppendSilence(Sound& sound, std::size_t frames) {
  sound.samples.insert(sound.samples.end(), frames * static_cast<std::size_t>(sound.channels), 0.0f);
}

// Pink noise (white noise through a -3 dB/octave filter), normalised so its
// largest sample is full scale. Deterministic.
inline Sound PinkNoise(double seconds, std::uint32_t seed) {
  Sound sound{44100, 2, {}};
  const std::size_t frames = static_cast<std::size_t>(seconds * sound.rate);
  double b[2][7] = {};
  float peak = 0.0f;
  for (std::size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < 2; ++c) {
      seed = seed * 1664525u + 1013904223u;
      const double white = (seed >> 8) / 8388608.0 - 1.0;
      double* s = b[c];
      s[0] = 0.99886 * s[0] + white * 0.0555179;
      s[1] = 0.99332 * s[1] + white * 0.0750759;
      s[2] = 0.96900 * s[2] + white * 0.1538520;
      s[3] = 0.86650 * s[3] + white * 0.3104856;
      s[4] = 0.55000 * s[4] + white * 0.5329522;
      s[5] = -0.7616 * s[5] - white * 0.0168980;
      const double pink = s[0] + s[1] + s[2] + s[3] + s[4] + s[5] + s[6] + white * 0.5362;
      s[6] = white * 0.115926;
      sound.samples.push_back(static_cast<float>(pink));
      peak = std::max(peak, std::fabs(static_cast<float>(pink)));
    }
  }
  for (float& x : sound.samples) x = x / peak * (32767.0f / 32768.0f);
  return sound;
}

// RMS of one channel over frames [from, to).
inline double Rms(const Sound& sound, int channel, std::size_t from, std::size_t to) {
  double sum = 0.0;
  for (std::size_t f = from; f < to; ++f) {
    const double x = sound.samples[f * static_cast<std::size_t>(sound.channels) + static_cast<std::size_t>(channel)];
    sum += x * x;
  }
  return std::sqrt(sum / static_cast<double>(to - from));
}

inline double Db(double ratio) { return 20.0 * std::log10(ratio); }

#pragma once
// Reading the ring for a while at the audio thread's pace, and checking what
// came out against the signal that went in.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "ring_reader.h"

namespace auralith::testing {

struct Collected {
  std::vector<int16_t> samples;  // as the audio thread scaled them
  int failedExchanges = 0;
};

// One block every 40 ms for the given time, as the playback device paces it.
inline Collected CollectBlocks(VtDevice& device, uint32_t& offset, std::chrono::milliseconds duration) {
  Collected out;
  auto start = std::chrono::steady_clock::now();
  for (int block = 0; std::chrono::milliseconds(block * 40) < duration; ++block) {
    std::this_thread::sleep_until(start + std::chrono::milliseconds(block * 40));
    if (!ReadBlock(device, offset, out.samples)) ++out.failedExchanges;
  }
  return out;
}

// How a frame-counter signal (frame n = (n % 30000 + 1, -(n % 30000 + 1)))
// came through: frames that are not silence must be counter frames, each
// the successor of the one before.
struct CounterCheck {
  size_t frames = 0;  // counter frames seen
  size_t broken = 0;  // frames that are neither silence nor a counter frame
  size_t jumps = 0;   // places where a frame did not follow its predecessor
};

inline CounterCheck CheckCounter(const std::vector<int16_t>& samples, size_t fromFrame = 0) {
  CounterCheck check;
  int previous = 0;
  for (size_t i = fromFrame * 2; i + 1 < samples.size(); i += 2) {
    int left = samples[i], right = samples[i + 1];
    if (left == 0 && right == 0) continue;
    if (left < 1 || left > 30000 || right != -left) {
      ++check.broken;
      continue;
    }
    if (previous != 0 && left != previous % 30000 + 1) ++check.jumps;
    previous = left;
    ++check.frames;
  }
  return check;
}

// RMS of the left channel over the frames from..to.
inline double Rms(const std::vector<int16_t>& samples, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(samples[i * 2]) * samples[i * 2];
  return std::sqrt(sum / double(to - from));
}

// RMS of the loudest stretch of windowFrames, in steps of one block: the
// signal itself, whatever silence a late reader let in around it.
inline double LoudestRms(const std::vector<int16_t>& samples, size_t windowFrames) {
  double best = 0;
  size_t frames = samples.size() / 2;
  for (size_t from = 0; from + windowFrames <= frames; from += 1764) {
    best = std::max(best, Rms(samples, from, from + windowFrames));
  }
  return best;
}

}  // namespace auralith::testing

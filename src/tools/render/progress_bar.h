// A one-line progress bar on a terminal.
#pragma once

#include <cstdint>
#include <cstdio>

namespace auralith::render {

class ProgressBar {
 public:
  // Draws on `stream` only when it is a terminal and the sound is longer
  // than `minimumFrames`.
  ProgressBar(std::FILE* stream, std::uint64_t minimumFrames);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(std::uint64_t done, std::uint64_t total);

 private:
  std::FILE* stream_;
  std::uint64_t minimumFrames_;
  bool enabled_;
  bool drawn_ = false;
  int lastPercent_ = -1;
};

}  // namespace auralith::render

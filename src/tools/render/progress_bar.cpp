#include "tools/render/progress_bar.h"

#include <unistd.h>
#include <algorithm>

namespace auralith::render {

namespace {
constexpr int kWidth = 40;
}

ProgressBar::ProgressBar(std::FILE* stream, std::uint64_t minimumFrames)
    : stream_(stream), minimumFrames_(minimumFrames), enabled_(isatty(fileno(stream)) == 1) {}

ProgressBar::~ProgressBar() {
  if (drawn_) std::fputc('\n', stream_);
}

void ProgressBar::Update(std::uint64_t done, std::uint64_t total) {
  if (!enabled_ || total < minimumFrames_ || total == 0) return;
  const int percent = static_cast<int>(std::min<std::uint64_t>(100, done * 100 / total));
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  const int filled = percent * kWidth / 100;
  std::fprintf(stream_, "\r[%.*s%*s] %3d%%", filled, "########################################", kWidth - filled, "",
               percent);
  std::fflush(stream_);
  drawn_ = true;
}

}  // namespace auralith::render

#include "driver/test_feed.h"

#include <pulse/timeval.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <numbers>

#include "driver/log.h"
#include "dsp/stream_format.h"

namespace auralith::ulxd {
namespace {

constexpr pa_usec_t kTickUsec = 10000;
constexpr uint64_t kRate = kStreamRate;
// After a pause of the daemon (a suspended machine) the feed goes on from
// now rather than pouring out everything it missed.
constexpr uint64_t kMaxCatchUpFrames = kRate;

double MonotonicSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

}  // namespace

std::vector<int16_t> TestFeed::ToneFrames(double hz, double dbfs, uint64_t firstFrame, size_t frames) {
  double amplitude = 32767.0 * std::pow(10.0, dbfs / 20.0);
  std::vector<int16_t> out(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    // The phase from the frame number, so the tone never drifts.
    double cycles = std::fmod(hz * double(firstFrame + i) / double(kRate), 1.0);
    auto sample = int16_t(std::lrint(amplitude * std::sin(2.0 * std::numbers::pi * cycles)));
    out[i * 2] = sample;
    out[i * 2 + 1] = sample;
  }
  return out;
}

TestFeed::TestFeed(pa_mainloop_api* api, std::vector<int16_t> stereo, bool loop, double toneHz, double toneDbfs,
                   AudioSink audio, BurstEnd burstEnd)
    : api_(api),
      stereo_(std::move(stereo)),
      loop_(loop),
      toneHz_(toneHz),
      toneDbfs_(toneDbfs),
      audio_(std::move(audio)),
      burstEnd_(std::move(burstEnd)) {}

TestFeed::~TestFeed() {
  if (tick_) api_->time_free(tick_);
}

void TestFeed::Start() {
  startSeconds_ = MonotonicSeconds();
  timeval when{};
  pa_timeval_add(pa_gettimeofday(&when), kTickUsec);
  tick_ = api_->time_new(api_, &when, &TestFeed::OnTick, this);
  if (stereo_.empty()) {
    ULXD_INFO("test feed: a %.1f Hz tone at %.1f dBFS", toneHz_, toneDbfs_);
  } else {
    ULXD_INFO("test feed: %zu frames from the WAV file%s", stereo_.size() / 2, loop_ ? ", looped" : "");
  }
}

void TestFeed::OnTick(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
  auto* feed = static_cast<TestFeed*>(self);
  auto due = uint64_t((MonotonicSeconds() - feed->startSeconds_) * double(kRate));
  if (due > feed->produced_ + kMaxCatchUpFrames) feed->produced_ = due - kMaxCatchUpFrames;
  if (due > feed->produced_) {
    feed->Produce(due - feed->produced_);
    feed->burstEnd_();
  }
  timeval when{};
  pa_timeval_add(pa_gettimeofday(&when), kTickUsec);
  feed->api_->time_restart(feed->tick_, &when);
}

void TestFeed::Produce(uint64_t frames) {
  if (stereo_.empty()) {
    std::vector<int16_t> tone = ToneFrames(toneHz_, toneDbfs_, produced_, size_t(frames));
    audio_(reinterpret_cast<const uint8_t*>(tone.data()), tone.size() * 2);
    produced_ += frames;
    return;
  }
  uint64_t length = stereo_.size() / 2;
  while (frames > 0) {
    uint64_t at = loop_ ? produced_ % length : produced_;
    uint64_t n = at < length ? std::min(frames, length - at) : frames;
    if (at < length) {
      audio_(reinterpret_cast<const uint8_t*>(stereo_.data() + at * 2), size_t(n * 4));
    } else {
      if (!endLogged_) ULXD_INFO("test feed: end of the WAV file, silence follows");
      endLogged_ = true;
      audio_(nullptr, size_t(n * 4));
    }
    produced_ += n;
    frames -= n;
  }
}

}  // namespace auralith::ulxd

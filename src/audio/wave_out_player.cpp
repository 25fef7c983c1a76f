#include "audio/wave_out_player.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

#include "audio/audio_thread.h"
#include "audio/pulse_client.h"

namespace auralith::audio {
namespace {

const WaveFormat kPlaybackFormat{};

}  // namespace

WaveOutPlayer::~WaveOutPlayer() { Terminate(); }

void WaveOutPlayer::SetHeaderLayout(HeaderLayout layout) {
  if (headerData_ || layout.count <= 0 || layout.count > int(WaveOut::kMaxQueued) || layout.bytes <= 0 ||
      layout.bytes % 4 != 0 || layout.requestBytes < 4 || layout.requestBytes > layout.bytes)
    return;
  if (layout.bytes != headerBytes_) workBuffer_.reset();
  headerCount_ = layout.count;
  headerBytes_ = layout.bytes;
  requestBytes_ = layout.requestBytes;
  shownHeaderBytes_.store(layout.bytes, std::memory_order_relaxed);
}

void WaveOutPlayer::SetLink(std::unique_ptr<VtDevice> link) {
  link_ = std::move(link);
  linkGone_.store(false, std::memory_order_release);
  failingExchanges_.store(0, std::memory_order_relaxed);
}

bool WaveOutPlayer::HandOverLink(std::unique_ptr<VtDevice>& link) {
  CollectRetiredLink();
  if (!link || retiredLink_.load(std::memory_order_acquire)) return false;
  VtDevice* expected = nullptr;
  if (!handedOverLink_.compare_exchange_strong(expected, link.get(), std::memory_order_acq_rel)) return false;
  link.release();
  return true;
}

void WaveOutPlayer::CollectRetiredLink() { delete retiredLink_.exchange(nullptr, std::memory_order_acq_rel); }

void WaveOutPlayer::AllocateHeaders() {
  if (headerData_) return;
  headers_ = std::vector<WaveHeader>(std::size_t(headerCount_));
  headerData_.reset(new (std::nothrow) int16_t[std::size_t(headerCount_) * std::size_t(headerBytes_) / 2]());
  if (!headerData_) {
    headers_.clear();
    return;
  }
  for (int i = 0; i < headerCount_; ++i) {
    headers_[std::size_t(i)].data = reinterpret_cast<uint8_t*>(headerData_.get()) + std::size_t(i) * headerBytes_;
    headers_[std::size_t(i)].length = uint32_t(headerBytes_);
  }
  currentHeader_ = 0;
}

int WaveOutPlayer::Open(const OutputDevice& device, int setVolume, WaveOut::LostHandler lost) {
  if (device_.IsOpen()) return 0;
  running_.store(1, std::memory_order_release);
  AllocateHeaders();
  if (!headerData_) return 0;
  WaveOutCaps caps;
  if (device.Empty() || !WaveOut::GetDevCaps(device.sinkName, caps)) return 0;
  wakeEvent_.Reset();
  if (!thread_.joinable()) {
    seenUnderruns_ = 0;
    underrunRun_ = UnderrunRun(kFallBehindUnderruns, uint32_t(kFallBehindWindowMs / std::max(1, BlockMs(headerBytes_))),
                               uint32_t(headerCount_));
    fallingBehind_.store(false, std::memory_order_release);
    priorityAsked_.store(false, std::memory_order_release);
    try {
      thread_ = std::thread(AudioDataNotify, this);
    } catch (const std::system_error&) {
      return 0;
    }
    // The stream starts only once the thread that feeds it has its priority.
    priorityAsked_.wait(false, std::memory_order_acquire);
  }
  if (!device_.Open(device.sinkName, kPlaybackFormat, uint32_t(headerCount_ * headerBytes_), uint32_t(requestBytes_),
                    &wakeEvent_, std::move(lost)))
    return 0;
  sinkInUse_ = device.sinkName;
  if (setVolume == 1) {
    // The endpoint's own volume at full: the user's level is the virtual
    // device's, which the driver applies before us.
    PulseClient client;
    client.SetSinkVolume(device.sinkName, 1.0);
  }
  return 1;
}

void WaveOutPlayer::Start(dsp::DspState* target) {
  // Sized here for the layout, never on the audio thread.
  if (!workBuffer_ && headerBytes_ > 0) {
    workBuffer_.reset(new (std::nothrow) float[std::size_t(headerBytes_) / 2]());
  }
  processingTarget_.store(target, std::memory_order_release);
  if (link_ && link_->RingBase()) std::memset(link_->RingBase(), 0, link_->RingSize());
  for (WaveHeader& header : headers_) {
    WaveOut::Unprepare(header);
    WaveOut::Prepare(header);
    device_.Write(header);
  }
}

void WaveOutPlayer::Stop() {
  running_.store(0, std::memory_order_release);
  wakeEvent_.Set();
  if (thread_.joinable()) thread_.join();
  audioThreadId_.store(0, std::memory_order_release);
  Close();
}

void WaveOutPlayer::Close() {
  wakeEvent_.Reset();
  if (device_.IsOpen()) {
    lastUnderruns_ += device_.Underruns();
    device_.Reset();
    device_.Close();
  }
  sinkInUse_.clear();
  if (link_) link_->Close();
  link_.reset();
  // The audio thread has been joined: nothing is on its way any more.
  delete handedOverLink_.exchange(nullptr, std::memory_order_acq_rel);
  CollectRetiredLink();
  linkGone_.store(false, std::memory_order_release);
  failingExchanges_.store(0, std::memory_order_relaxed);
  readOffset_ = 0;
  exchangeFailing_ = false;
  for (WaveHeader& header : headers_) WaveOut::Unprepare(header);
  headers_.clear();
  headerData_.reset();
  currentHeader_ = 0;
}

void WaveOutPlayer::Terminate() {
  Stop();
  workBuffer_.reset();
  processingTarget_.store(nullptr, std::memory_order_release);
}

PlayerCounters WaveOutPlayer::Counters() const {
  PlayerCounters counters;
  counters.headerBytes = shownHeaderBytes_.load(std::memory_order_relaxed);
  counters.blocks = blocks_.load(std::memory_order_relaxed);
  counters.processedBlocks = processedBlocks_.load(std::memory_order_relaxed);
  counters.failedExchanges = failedExchanges_.load(std::memory_order_relaxed);
  counters.underruns = lastUnderruns_ + (device_.IsOpen() ? device_.Underruns() : 0);
  return counters;
}

}  // namespace auralith::audio

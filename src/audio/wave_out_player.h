#pragma once
// The wave-out player: owns the playback device, the four playback headers,
// the wake event, the driver link and the audio thread that moves blocks
// from the driver's ring through the processing chain to the device.
//
// Control thread: every operation here. Audio thread (AudioDataNotify):
// the running flag, the headers, the read offset, the work buffer and the
// processing target, until a stop has joined it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/output_devices.h"
#include "audio/underrun_run.h"
#include "audio/vt_device.h"
#include "audio/wake_event.h"
#include "audio/wave_out.h"
#include "dsp/dsp_state.h"
#include "dsp/stream_format.h"

namespace auralith::audio {

inline constexpr int kHeaderCount = 4;
inline constexpr int kHeaderBytes = 7056;  // 1764 stereo frames, 40 ms
// The low-latency mode's headers: 441 frames, 10 ms, in a queue as deep.
inline constexpr int kLowLatencyHeaderBytes = kHeaderBytes / 4;

// `requestBytes`: what the server asks for at a time, which also sets the
// sink's own buffer. One header of 40 ms keeps a graph-based server at
// periods that large; the small headers ask in quarters, for a sink buffer
// of 2.5 ms instead of 10.
struct HeaderLayout {
  int count = kHeaderCount;
  int bytes = kHeaderBytes;
  int requestBytes = kHeaderBytes;
  bool operator==(const HeaderLayout&) const = default;
};

constexpr HeaderLayout HeaderLayoutFor(bool lowLatency) {
  if (lowLatency)
    return {kHeaderCount, kLowLatencyHeaderBytes, kLowLatencyHeaderBytes / 4 / kStreamFrameBytes * kStreamFrameBytes};
  return {kHeaderCount, kHeaderBytes, kHeaderBytes};
}

// Milliseconds of sound in one header of `bytes`.
constexpr int BlockMs(int bytes) { return int(int64_t(bytes) * 1000 / int64_t(kStreamBytesPerSecond)); }
static_assert(BlockMs(kHeaderBytes) == 40 && BlockMs(kLowLatencyHeaderBytes) == 10);

// A run of this many underruns, each within kFallBehindWindowMs of the
// previous one, means the machine cannot keep up with the headers.
inline constexpr uint32_t kFallBehindUnderruns = 3;
inline constexpr int kFallBehindWindowMs = 1000;

// Listening category codes of the main window.
inline constexpr int kCategoryBuiltIn = 0;
inline constexpr int kCategoryHeadphones = 1;
inline constexpr int kCategoryDesktop = 2;

struct PlayerCounters {
  int headerBytes = 0;           // the layout's header size
  uint64_t blocks = 0;           // headers refilled
  uint64_t processedBlocks = 0;  // of those, run through the chain
  uint64_t failedExchanges = 0;  // position exchanges the driver failed
  uint32_t underruns = 0;        // times the device ran dry
};

class WaveOutPlayer {
 public:
  WaveOutPlayer() = default;
  ~WaveOutPlayer();
  WaveOutPlayer(const WaveOutPlayer&) = delete;
  WaveOutPlayer& operator=(const WaveOutPlayer&) = delete;

  // Control thread, while closed: the headers of the next Open; a layout
  // the device cannot queue is ignored.
  void SetHeaderLayout(HeaderLayout layout);
  HeaderLayout Layout() const { return {headerCount_, headerBytes_, requestBytes_}; }
  // Control thread, while the audio thread does not run.
  void SetLink(std::unique_ptr<VtDevice> link);
  VtDevice* Link() const { return link_.get(); }
  // Control thread, while the audio thread runs: hands a freshly opened link
  // over; the audio thread takes it at its next block, without a lock. False
  // (and the link is given back) while an earlier one is still on its way.
  bool HandOverLink(std::unique_ptr<VtDevice>& link);
  bool LinkHandOverPending() const { return handedOverLink_.load(std::memory_order_acquire) != nullptr; }
  // Control thread: frees the link the audio thread let go of, if any.
  void CollectRetiredLink();
  // The audio thread found its link gone and plays silence until a new one
  // is handed over.
  bool LinkGone() const { return linkGone_.load(std::memory_order_acquire); }
  // Position exchanges failed in a row (0 after a good one).
  uint32_t FailingExchanges() const { return failingExchanges_.load(std::memory_order_relaxed); }
  // A run of underruns (kFallBehindUnderruns) since Open: the device ran
  // dry, or every header was found played at once.
  bool FallingBehind() const { return fallingBehind_.load(std::memory_order_acquire); }
  // Tests: runs on the audio thread before each refill, with the header
  // size (a stand-in for a machine that cannot keep up). Control thread,
  // while closed.
  using BlockHook = void (*)(void* context, int headerBytes);
  void SetBlockHook(BlockHook hook, void* context) {
    blockHook_ = hook;
    blockHookContext_ = context;
  }
  // The main window's category, read by the audio thread at every block.
  void SetCategorySource(const std::atomic<int>* category) { category_ = category; }

  // Starts the audio thread and opens the device; 1 when both run. A failed
  // step leaves what earlier steps made; Stop releases it.
  int Open(const OutputDevice& device, int setVolume, WaveOut::LostHandler lost = {});
  // Stores the processing target, clears the ring and primes every header
  // with silence.
  void Start(dsp::DspState* target);
  // The one way to stop: clears running, wakes the audio thread and joins
  // it, and only then releases the device, the event, the link and the
  // headers. Safe in any state.
  void Stop();
  // Final stop: Stop, then the work buffer and the processing target go.
  void Terminate();

  bool IsOpen() const { return device_.IsOpen(); }
  bool Running() const { return running_.load(std::memory_order_acquire) != 0; }
  bool DeviceLost() const { return device_.Lost(); }
  // Identity of the device opened last (empty while closed).
  const std::string& SinkInUse() const { return sinkInUse_; }
  PlayerCounters Counters() const;
  // The audio thread's kernel thread id (0 while none runs), for diagnostics.
  int AudioThreadId() const { return audioThreadId_.load(std::memory_order_acquire); }

 private:
  friend class AudioThread;
  void Close();
  void AllocateHeaders();

  std::atomic<int> running_{0};
  std::vector<WaveHeader> headers_;
  std::unique_ptr<int16_t[]> headerData_;
  int currentHeader_ = 0;
  WaveOut device_;
  int headerCount_ = kHeaderCount;
  int headerBytes_ = kHeaderBytes;
  int requestBytes_ = kHeaderBytes;
  std::atomic<int> shownHeaderBytes_{kHeaderBytes};  // for Counters, on any thread
  std::unique_ptr<float[]> workBuffer_;
  std::atomic<dsp::DspState*> processingTarget_{nullptr};
  std::unique_ptr<VtDevice> link_;
  std::atomic<VtDevice*> handedOverLink_{nullptr};  // control -> audio thread
  std::atomic<VtDevice*> retiredLink_{nullptr};     // audio -> control thread
  std::atomic<bool> linkGone_{false};
  std::atomic<uint32_t> failingExchanges_{0};
  uint32_t readOffset_ = 0;
  bool exchangeFailing_ = false;  // audio thread: the last exchange failed
  uint32_t seenUnderruns_ = 0;    // audio thread: the device's count at the last block
  UnderrunRun underrunRun_{kFallBehindUnderruns, 1, 1};
  std::atomic<bool> fallingBehind_{false};
  BlockHook blockHook_ = nullptr;
  void* blockHookContext_ = nullptr;
  std::thread thread_;
  std::atomic<int> audioThreadId_{0};
  std::atomic<bool> priorityAsked_{false};  // the audio thread's real-time request is done
  WakeEvent wakeEvent_;
  const std::atomic<int>* category_ = nullptr;
  std::string sinkInUse_;

  std::atomic<uint64_t> blocks_{0};
  std::atomic<uint64_t> processedBlocks_{0};
  std::atomic<uint64_t> failedExchanges_{0};
  uint32_t lastUnderruns_ = 0;
};

}  // namespace auralith::audio

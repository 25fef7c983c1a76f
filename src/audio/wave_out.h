#pragma once
// A small wave-out device over the sound server: playback on one explicit
// sink in a fixed PCM format, fed with caller-owned headers that the device
// flags done once it has played them, signalling a manual-reset wake event
// for every finished header.
//
// The stream is opened with PA_STREAM_DONT_MOVE: when the virtual device
// becomes the default, a stream that may move would follow it there and the
// output would feed back into the input. The stream's buffer holds exactly
// what the caller keeps queued, so the caller's headers set the latency.
//
// Threads: Open, Reset, Close and GetDevCaps on the control thread; Prepare,
// Unprepare and Write on any thread (the audio thread), lock-free. The
// device's own thread plays the headers and flags them.

#include <pulse/introspect.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "audio/header_queue.h"
#include "audio/wake_event.h"
#include "dsp/stream_format.h"

namespace auralith::audio {

struct WaveFormat {
  uint16_t channels = kStreamChannels;
  uint32_t samplesPerSecond = kStreamRate;
  uint16_t bitsPerSample = kStreamBitsPerSample;
  uint16_t blockAlign = kStreamFrameBytes;
  uint32_t averageBytesPerSecond = kStreamBytesPerSecond;
};

// Header flags.
inline constexpr uint32_t kHeaderDone = 0x1;
inline constexpr uint32_t kHeaderPrepared = 0x2;
inline constexpr uint32_t kHeaderInQueue = 0x10;

struct WaveHeader {
  uint8_t* data = nullptr;
  uint32_t length = 0;
  std::atomic<uint32_t> flags{0};
};

struct WaveOutCaps {
  std::string productName;
  uint16_t channels = 0;
};

class WaveOut {
 public:
  // Headers that may be queued at once.
  static constexpr std::size_t kMaxQueued = 8;
  // Runs on the device's thread when the sink or the server has gone; the
  // owner must stop playback from its own thread.
  using LostHandler = std::function<void()>;

  WaveOut() = default;
  ~WaveOut();
  WaveOut(const WaveOut&) = delete;
  WaveOut& operator=(const WaveOut&) = delete;

  // Capabilities of the sink; 0 when it is not there.
  static int GetDevCaps(const std::string& sinkName, WaveOutCaps& caps);

  // Opens playback on the sink; `queueBytes` is the most the caller keeps
  // queued, `requestBytes` what the server is to ask for at a time (one
  // header, or a part of one). 1 on success; 0 with nothing left open
  // otherwise.
  int Open(const std::string& sinkName, const WaveFormat& format, uint32_t queueBytes, uint32_t requestBytes,
           WakeEvent* event, LostHandler lost);
  bool IsOpen() const { return loop_ != nullptr; }
  // True once the sink or the server went away while open.
  bool Lost() const { return lost_.load(std::memory_order_acquire); }

  static int Prepare(WaveHeader& header);
  // 0 while the header is queued.
  static int Unprepare(WaveHeader& header);
  // Queues a prepared header; its done flag is cleared. 0 when the header
  // is not prepared or the device cannot play (closed or lost), and the
  // header is then not flagged done.
  int Write(WaveHeader& header);

  // Stops playback and flags every queued header done.
  void Reset();
  void Close();

  // Times the stream ran dry since Open.
  uint32_t Underruns() const { return underruns_.load(std::memory_order_relaxed); }

 private:
  struct Played {
    WaveHeader* header;
    uint64_t end;  // stream position after its last byte
  };

  static void OnContextState(pa_context* context, void* self);
  static void OnServerInfo(pa_context* context, const pa_server_info* info, void* self);
  static void OnStreamState(pa_stream* stream, void* self);
  static void OnWritable(pa_stream* stream, size_t bytes, void* self);
  static void OnUnderflow(pa_stream* stream, void* self);
  static void RaiseDeviceThread(pa_threaded_mainloop* loop, void* self);
  static void OnWake(pa_mainloop_api* api, pa_io_event* event, int fd, pa_io_event_flags_t flags, void* self);

  // Device thread.
  void TakeQueued();
  void FlagPlayed();
  void FlagDone(WaveHeader& header);
  void MarkLost();
  template <typename Ready>
  bool WaitUntil(Ready ready);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  pa_io_event* wakeIo_ = nullptr;
  int wakeFd_ = -1;
  WakeEvent* event_ = nullptr;
  LostHandler lostHandler_;
  HeaderQueue<WaveHeader, kMaxQueued> queue_;
  std::atomic<bool> lost_{false};
  std::atomic<bool> closing_{false};
  std::atomic<uint32_t> underruns_{0};

  // Device thread only: the headers in the stream, oldest first.
  std::array<Played, kMaxQueued> inStream_{};
  std::size_t inStreamFirst_ = 0;
  std::size_t inStreamCount_ = 0;
  uint64_t written_ = 0;
  uint32_t bufferBytes_ = 0;
  // What the server said it is, at Open (under the main loop's lock).
  enum class ServerKind { Unknown, Plain, Graph };
  ServerKind serverKind_ = ServerKind::Unknown;
  std::atomic<bool> deviceThreadRaised_{false};
};

}  // namespace auralith::audio

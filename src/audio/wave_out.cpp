#include "audio/wave_out.h"

#include <pulse/context.h>
#include <pulse/rtclock.h>
#include <pulse/volume.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "audio/output_devices.h"
#include "audio/pulse_client.h"
#include "realtime/realtime.h"
#include "ulx/sound_server_kind.h"

namespace auralith::audio {
namespace {

constexpr pa_usec_t kOpenTimeoutUs = 3000000;

struct OpenWait {
  pa_threaded_mainloop* loop;
  bool timedOut = false;
};

void OnOpenTimeout(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* data) {
  auto* wait = static_cast<OpenWait*>(data);
  wait->timedOut = true;
  api->time_free(event);
  pa_threaded_mainloop_signal(wait->loop, 0);
}

}  // namespace

// Waits on the device thread's signals until ready() gives 1 (true) or -1
// (false), or the time-out passes (false). The main loop lock is held.
template <typename Ready>
bool WaveOut::WaitUntil(Ready ready) {
  OpenWait wait{loop_};
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
  pa_time_event* timer = pa_context_rttime_new(context_, pa_rtclock_now() + kOpenTimeoutUs, &OnOpenTimeout, &wait);
  int state = 0;
  while ((state = ready()) == 0 && !wait.timedOut) pa_threaded_mainloop_wait(loop_);
  if (timer && !wait.timedOut) api->time_free(timer);
  return state == 1;
}

WaveOut::~WaveOut() { Close(); }

int WaveOut::GetDevCaps(const std::string& sinkName, WaveOutCaps& caps) {
  PulseClient client;
  std::optional<SinkInfo> sink = client.Sink(sinkName);
  if (!sink) return 0;
  caps.productName = ProductName(sink->description);
  caps.channels = sink->channels;
  return 1;
}

int WaveOut::Open(const std::string& sinkName, const WaveFormat& format, uint32_t queueBytes, uint32_t requestBytes,
                  WakeEvent* event, LostHandler lost) {
  if (IsOpen() || !event || format.bitsPerSample != 16 || format.channels == 0 || queueBytes == 0 ||
      requestBytes == 0 || requestBytes > queueBytes)
    return 0;
  closing_.store(false);
  lost_.store(false);
  underruns_.store(0);
  event_ = event;
  written_ = 0;
  inStreamFirst_ = inStreamCount_ = 0;
  while (queue_.Pop()) {
  }

  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  loop_ = pa_threaded_mainloop_new();
  if (wakeFd_ < 0 || !loop_) {
    Close();
    return 0;
  }
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
  context_ = pa_context_new(api, "Auralith");
  if (!context_ || pa_threaded_mainloop_start(loop_) < 0) {
    Close();
    return 0;
  }
  // The device's thread flags the headers done: it must be as punctual as
  // the audio thread that waits for them. It asks once, before the stream
  // exists and without the main loop's lock (the request may wait on the
  // system bus for a while, and nothing may wait on it meanwhile).
  // Queuing the request is a main loop call like any other and takes the
  // lock; the request itself then runs without it.
  deviceThreadRaised_.store(false);
  pa_threaded_mainloop_lock(loop_);
  pa_threaded_mainloop_once_unlocked(loop_, &RaiseDeviceThread, this);
  pa_threaded_mainloop_unlock(loop_);
  deviceThreadRaised_.wait(false);
  pa_threaded_mainloop_lock(loop_);
  pa_context_set_state_callback(context_, &OnContextState, this);
  const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, format.samplesPerSecond, uint8_t(format.channels)};
  bool ok = pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 && WaitUntil([this] {
              pa_context_state_t state = pa_context_get_state(context_);
              return state == PA_CONTEXT_READY ? 1 : PA_CONTEXT_IS_GOOD(state) ? 0 : -1;
            });
  // The server's kind decides the request size (ulx/sound_server_kind.h).
  serverKind_ = ServerKind::Unknown;
  if (ok) {
    if (pa_operation* op = pa_context_get_server_info(context_, &OnServerInfo, this)) {
      WaitUntil([this] {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) return -1;
        return serverKind_ == ServerKind::Unknown ? 0 : 1;
      });
      pa_operation_unref(op);
    }
  }
  if (ok) {
    stream_ = pa_stream_new(context_, "Auralith output", &sampleFormat, nullptr);
    ok = stream_ != nullptr;
  }
  if (ok) {
    // Callbacks before connecting: set later, the first requests are missed.
    pa_stream_set_state_callback(stream_, &OnStreamState, this);
    pa_stream_set_write_callback(stream_, &OnWritable, this);
    pa_stream_set_underflow_callback(stream_, &OnUnderflow, this);
    const uint32_t frame = format.blockAlign ? format.blockAlign : 4;
    pa_buffer_attr attr{};
    attr.tlength = queueBytes;
    attr.maxlength = 2 * queueBytes;
    // The caller's request size (a header, or a part of one): the device
    // flags each header done as the server takes it, and early requests
    // keep the sink's own buffer that small too, so the headers set the
    // latency. Small requests pull a graph-based server (PipeWire) down to
    // small periods, which only the low-latency mode asks for; plain
    // PulseAudio keeps its sink buffer as small as the requests, so there
    // they stay at a sixteenth of the queue at most.
    if (serverKind_ != ServerKind::Graph) requestBytes = std::min(requestBytes, queueBytes / 16);
    attr.minreq = requestBytes / frame * frame;
    if (attr.minreq == 0) attr.minreq = frame;
    attr.prebuf = attr.minreq;
    attr.fragsize = uint32_t(-1);
    pa_cvolume volume;
    pa_cvolume_set(&volume, sampleFormat.channels, PA_VOLUME_NORM);
    const auto flags = pa_stream_flags_t(PA_STREAM_DONT_MOVE | PA_STREAM_EARLY_REQUESTS);
    ok =
        pa_stream_connect_playback(stream_, sinkName.c_str(), &attr, flags, &volume, nullptr) >= 0 && WaitUntil([this] {
          pa_stream_state_t state = pa_stream_get_state(stream_);
          return state == PA_STREAM_READY ? 1 : PA_STREAM_IS_GOOD(state) ? 0 : -1;
        });
  }
  if (ok) {
    const pa_buffer_attr* actual = pa_stream_get_buffer_attr(stream_);
    bufferBytes_ = actual ? actual->tlength : queueBytes;
    wakeIo_ = api->io_new(api, wakeFd_, PA_IO_EVENT_INPUT, &OnWake, this);
    ok = wakeIo_ != nullptr;
  }
  if (ok) lostHandler_ = std::move(lost);
  pa_threaded_mainloop_unlock(loop_);
  if (!ok) {
    Close();
    return 0;
  }
  return 1;
}

int WaveOut::Prepare(WaveHeader& header) {
  header.flags.fetch_or(kHeaderPrepared, std::memory_order_acq_rel);
  return 1;
}

int WaveOut::Unprepare(WaveHeader& header) {
  uint32_t flags = header.flags.load(std::memory_order_acquire);
  if (flags & kHeaderInQueue) return 0;
  header.flags.fetch_and(~kHeaderPrepared, std::memory_order_acq_rel);
  return 1;
}

int WaveOut::Write(WaveHeader& header) {
  if (!(header.flags.load(std::memory_order_acquire) & kHeaderPrepared) || !IsOpen() || Lost()) {
    header.flags.fetch_and(~kHeaderDone, std::memory_order_acq_rel);
    return 0;
  }
  header.flags.fetch_and(~kHeaderDone, std::memory_order_acq_rel);
  header.flags.fetch_or(kHeaderInQueue, std::memory_order_acq_rel);
  if (!queue_.Push(&header)) {
    header.flags.fetch_and(~kHeaderInQueue, std::memory_order_acq_rel);
    return 0;
  }
  const uint64_t one = 1;
  // The device thread may be asleep in its poll: wake it to take the header.
  return ::write(wakeFd_, &one, sizeof(one)) == sizeof(one) ? 1 : 0;
}

void WaveOut::Reset() {
  if (!IsOpen()) return;
  pa_threaded_mainloop_lock(loop_);
  if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
    if (pa_operation* flush = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(flush);
  }
  while (WaveHeader* header = queue_.Pop()) FlagDone(*header);
  for (; inStreamCount_ > 0; --inStreamCount_) {
    FlagDone(*inStream_[inStreamFirst_].header);
    inStreamFirst_ = (inStreamFirst_ + 1) % kMaxQueued;
  }
  pa_threaded_mainloop_unlock(loop_);
}

void WaveOut::Close() {
  closing_.store(true);
  if (loop_) {
    pa_threaded_mainloop_lock(loop_);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    if (wakeIo_) api->io_free(wakeIo_);
    wakeIo_ = nullptr;
    if (stream_) {
      pa_stream_set_state_callback(stream_, nullptr, nullptr);
      pa_stream_set_write_callback(stream_, nullptr, nullptr);
      pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
      pa_stream_disconnect(stream_);
      pa_stream_unref(stream_);
      stream_ = nullptr;
    }
    if (context_) {
      pa_context_set_state_callback(context_, nullptr, nullptr);
      pa_context_disconnect(context_);
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
  }
  if (context_) pa_context_unref(context_);
  context_ = nullptr;
  if (loop_) pa_threaded_mainloop_free(loop_);
  loop_ = nullptr;
  // Headers the device still held are the caller's again.
  while (WaveHeader* header = queue_.Pop()) header->flags.fetch_and(~kHeaderInQueue);
  for (; inStreamCount_ > 0; --inStreamCount_) {
    inStream_[inStreamFirst_].header->flags.fetch_and(~kHeaderInQueue);
    inStreamFirst_ = (inStreamFirst_ + 1) % kMaxQueued;
  }
  if (wakeFd_ >= 0) ::close(wakeFd_);
  wakeFd_ = -1;
  lostHandler_ = nullptr;
  event_ = nullptr;
}

void WaveOut::TakeQueued() {
  while (WaveHeader* header = queue_.Pop()) {
    if (Lost() || !stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY || inStreamCount_ == kMaxQueued ||
        pa_stream_write(stream_, header->data, header->length, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
      // Not played, and not flagged done: the audio thread must not spin on
      // a device that cannot take it.
      header->flags.fetch_and(~kHeaderInQueue, std::memory_order_acq_rel);
      continue;
    }
    written_ += header->length;
    inStream_[(inStreamFirst_ + inStreamCount_) % kMaxQueued] = {header, written_};
    ++inStreamCount_;
  }
}

void WaveOut::FlagPlayed() {
  if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
  const size_t writable = pa_stream_writable_size(stream_);
  if (writable == size_t(-1)) return;
  // The server asks for what it has taken from the buffer: everything
  // written and asked for beyond the buffer's size has been played.
  const int64_t played = int64_t(written_) + int64_t(writable) - int64_t(bufferBytes_);
  while (inStreamCount_ > 0 && int64_t(inStream_[inStreamFirst_].end) <= played) {
    FlagDone(*inStream_[inStreamFirst_].header);
    inStreamFirst_ = (inStreamFirst_ + 1) % kMaxQueued;
    --inStreamCount_;
  }
}

void WaveOut::FlagDone(WaveHeader& header) {
  header.flags.fetch_and(~kHeaderInQueue, std::memory_order_acq_rel);
  header.flags.fetch_or(kHeaderDone, std::memory_order_acq_rel);
  if (event_) event_->Set();
}

void WaveOut::MarkLost() {
  if (closing_.load() || lost_.exchange(true)) return;
  if (lostHandler_) lostHandler_();
}

void WaveOut::OnContextState(pa_context* context, void* self) {
  auto* device = static_cast<WaveOut*>(self);
  if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) device->MarkLost();
  pa_threaded_mainloop_signal(device->loop_, 0);
}

void WaveOut::OnServerInfo(pa_context*, const pa_server_info* info, void* self) {
  auto* device = static_cast<WaveOut*>(self);
  device->serverKind_ = info && ulx::RunsAGraph(info->server_name) ? ServerKind::Graph : ServerKind::Plain;
  pa_threaded_mainloop_signal(device->loop_, 0);
}

void WaveOut::OnStreamState(pa_stream* stream, void* self) {
  auto* device = static_cast<WaveOut*>(self);
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) device->MarkLost();
  pa_threaded_mainloop_signal(device->loop_, 0);
}

void WaveOut::OnWritable(pa_stream*, size_t, void* self) { static_cast<WaveOut*>(self)->FlagPlayed(); }

void WaveOut::OnUnderflow(pa_stream*, void* self) {
  auto* device = static_cast<WaveOut*>(self);
  if (!device->closing_.load()) device->underruns_.fetch_add(1, std::memory_order_relaxed);
}

void WaveOut::RaiseDeviceThread(pa_threaded_mainloop*, void* self) {
  auto* device = static_cast<WaveOut*>(self);
  realtime::RaiseToRealtime();
  device->deviceThreadRaised_.store(true);
  device->deviceThreadRaised_.notify_all();
}

void WaveOut::OnWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self) {
  auto* device = static_cast<WaveOut*>(self);
  uint64_t count = 0;
  while (::read(fd, &count, sizeof(count)) == sizeof(count)) {
  }
  device->TakeQueued();
  device->FlagPlayed();
}

}  // namespace auralith::audio

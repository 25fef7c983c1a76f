#include "driver/pulse_capture.h"

#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/timeval.h>
#include <unistd.h>

#include "driver/capture_fragments.h"
#include "driver/log.h"
#include "driver/sink_arguments.h"
#include "dsp/stream_format.h"
#include "ulx/sound_server_kind.h"

namespace auralith::ulxd {
namespace {

constexpr pa_usec_t kRecheckUsec = 50000;

const pa_sample_spec kSpec{PA_SAMPLE_S16LE, kStreamRate, kStreamChannels};

// The fragment size must be asked for: without it the server hands over
// about two seconds at a time.
pa_buffer_attr CaptureAttributes(uint32_t fragment) {
  pa_buffer_attr attr{};
  attr.maxlength = UINT32_MAX;
  attr.tlength = UINT32_MAX;
  attr.prebuf = UINT32_MAX;
  attr.minreq = UINT32_MAX;
  attr.fragsize = fragment;
  return attr;
}

}  // namespace

PulseCapture::PulseCapture(pa_mainloop_api* api, std::string sinkName, std::string description, AudioSink audio,
                           BurstEnd burstEnd)
    : api_(api),
      sinkName_(std::move(sinkName)),
      description_(std::move(description)),
      audio_(std::move(audio)),
      burstEnd_(std::move(burstEnd)),
      fragment_(kLargeFragmentBytes) {}

PulseCapture::~PulseCapture() {
  if (retry_) api_->time_free(retry_);
  Disconnect();
}

void PulseCapture::Start() { Connect(); }

std::string PulseCapture::ModuleArguments() const { return SinkArguments(sinkName_, description_, getpid()); }

void PulseCapture::Connect() {
  context_ = pa_context_new(api_, "Auralith driver (ulxd)");
  if (!context_) {
    RetryLater(true);
    return;
  }
  pa_context_set_state_callback(context_, &PulseCapture::OnContextState, this);
  // A connect that fails at once may already have reported it (and been
  // torn down) through the state callback.
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 && context_) {
    Disconnect();
    RetryLater(true);
  }
}

void PulseCapture::DropStream() {
  if (!stream_) return;
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  pa_stream_set_read_callback(stream_, nullptr, nullptr);
  pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
  stream_ = nullptr;
}

void PulseCapture::Disconnect() {
  DropStream();
  if (context_) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  module_ = UINT32_MAX;
  loading_ = false;
  monitor_.clear();
  sinkIndex_ = UINT32_MAX;
}

void PulseCapture::RetryLater(bool reconnect, pa_usec_t delay) {
  if (stopping_) return;
  retryReconnects_ = reconnect;
  timeval when{};
  pa_timeval_add(pa_gettimeofday(&when), delay);
  if (retry_) {
    api_->time_restart(retry_, &when);
  } else {
    retry_ = api_->time_new(api_, &when, &PulseCapture::OnRetry, this);
  }
}

void PulseCapture::OnRetry(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  capture->api_->time_free(capture->retry_);
  capture->retry_ = nullptr;
  if (capture->retryReconnects_) {
    capture->Connect();
  } else if (capture->context_) {
    // The sink went away while the server stayed: make it again.
    pa_operation* op = pa_context_get_module_info_list(capture->context_, &PulseCapture::OnModule, self);
    if (op) pa_operation_unref(op);
  }
}

void PulseCapture::OnContextState(pa_context* context, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  if (!context || context != capture->context_) return;
  switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
      ULXD_INFO("connected to the sound server %s", pa_context_get_server(context));
      capture->serverMissingLogged_ = false;
      // Only to log the user's volume changes of the virtual device.
      pa_context_set_subscribe_callback(context, &PulseCapture::OnEvent, self);
      if (pa_operation* sub = pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SINK, nullptr, nullptr)) {
        pa_operation_unref(sub);
      }
      // Replies come in order: the server's kind is known before the
      // capture starts.
      if (pa_operation* info = pa_context_get_server_info(context, &PulseCapture::OnServerInfo, self)) {
        pa_operation_unref(info);
      }
      // First clear away a sink of ours that a crashed daemon left behind.
      pa_operation* op = pa_context_get_module_info_list(context, &PulseCapture::OnModule, self);
      if (op) pa_operation_unref(op);
      break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED: {
      if (!capture->serverMissingLogged_) {
        ULXD_WARN("no sound server (%s); trying again every second, the ring gets silence meanwhile",
                  pa_strerror(pa_context_errno(context)));
        capture->serverMissingLogged_ = true;
      }
      capture->Disconnect();
      capture->RetryLater(true);
      break;
    }
    default:
      break;
  }
}

void PulseCapture::OnServerInfo(pa_context* context, const pa_server_info* info, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  if (context != capture->context_ || !info) return;
  capture->graphServer_ = ulx::RunsAGraph(info->server_name);
  ULXD_DEBUG("%s %s: normal capture fragments of %.1f ms", info->server_name, info->server_version,
             Milliseconds(FragmentForServer(kLargeFragmentBytes, capture->graphServer_)));
}

void PulseCapture::OnModule(pa_context* context, const pa_module_info* info, int eol, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  if (context != capture->context_ || capture->stopping_) return;
  if (eol != 0) {
    // The server removes a module some time after it confirmed the unload;
    // look again until the name is free, or ours would be renamed.
    if (capture->leftovers_ > 0) {
      capture->leftovers_ = 0;
      capture->RetryLater(false, kRecheckUsec);
    } else {
      capture->LoadSink();
    }
    return;
  }
  if (!info->argument) return;
  // Ours too: the list is only read when a new sink is needed.
  auto owner = SinkOwner(info->argument, capture->sinkName_);
  if (!owner || (*owner != getpid() && IsRunningUlxd(*owner))) return;
  ++capture->leftovers_;
  if (capture->removedLeftover_ != info->index) {
    ULXD_INFO("removing the sink \"%s\" (module %u) of ulxd %d", capture->sinkName_.c_str(), info->index, int(*owner));
    capture->removedLeftover_ = info->index;
  }
  pa_operation* op = pa_context_unload_module(context, info->index, nullptr, nullptr);
  if (op) pa_operation_unref(op);
}

void PulseCapture::LoadSink() {
  module_ = UINT32_MAX;
  pa_operation* op =
      pa_context_load_module(context_, "module-null-sink", ModuleArguments().c_str(), &PulseCapture::OnLoaded, this);
  if (op) {
    loading_ = true;
    pa_operation_unref(op);
  }
}

void PulseCapture::OnLoaded(pa_context* context, uint32_t index, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  if (context != capture->context_) return;
  capture->loading_ = false;
  capture->monitor_.clear();
  if (index == PA_INVALID_INDEX && capture->stopping_) {
    capture->Finish();
    return;
  }
  if (index == PA_INVALID_INDEX) {
    ULXD_ERROR("the sound server refused the null sink: %s", pa_strerror(pa_context_errno(context)));
    capture->RetryLater(false);
    return;
  }
  capture->module_ = index;
  if (capture->stopping_) {
    // Stop came while loading: take it away again.
    pa_operation* op = pa_context_unload_module(context, index, &PulseCapture::OnUnloaded, self);
    if (op) pa_operation_unref(op);
    return;
  }
  pa_operation* op = pa_context_get_sink_info_list(context, &PulseCapture::OnSink, self);
  if (op) pa_operation_unref(op);
}

void PulseCapture::OnSink(pa_context* context, const pa_sink_info* info, int eol, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  if (context != capture->context_ || capture->stopping_) return;
  if (eol != 0) {
    if (capture->monitor_.empty()) {
      ULXD_ERROR("the null sink of module %u did not appear", capture->module_);
      capture->RetryLater(false);
      return;
    }
    capture->Record(capture->monitor_.c_str());
    return;
  }
  if (info->owner_module != capture->module_) return;
  if (capture->sinkName_ != info->name) {
    ULXD_WARN("a sink named \"%s\" exists already; the server named ours \"%s\"", capture->sinkName_.c_str(),
              info->name);
  }
  ULXD_INFO("virtual device \"%s\" (sink %s) ready", info->description, info->name);
  capture->monitor_ = info->monitor_source_name;
  capture->sinkIndex_ = info->index;
  capture->volumeLogged_.clear();
  capture->NoteVolume(*info);
}

void PulseCapture::OnEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  if (context != capture->context_ || index != capture->sinkIndex_) return;
  if ((type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) != PA_SUBSCRIPTION_EVENT_CHANGE) return;
  pa_operation* op = pa_context_get_sink_info_by_index(context, index, &PulseCapture::OnSinkChanged, self);
  if (op) pa_operation_unref(op);
}

void PulseCapture::OnSinkChanged(pa_context* context, const pa_sink_info* info, int eol, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  if (context != capture->context_ || eol != 0 || !info || info->index != capture->sinkIndex_) return;
  capture->NoteVolume(*info);
}

void PulseCapture::NoteVolume(const pa_sink_info& info) {
  char db[PA_SW_VOLUME_SNPRINT_DB_MAX];
  pa_sw_volume_snprint_dB(db, sizeof(db), pa_cvolume_max(&info.volume));
  std::string state = std::string(db) + (info.mute ? ", muted" : "");
  if (state == volumeLogged_) return;
  volumeLogged_ = state;
  ULXD_INFO("volume of the virtual device: %s (applied by the sound server; the application is told 0 dB)",
            state.c_str());
}

void PulseCapture::Record(const char* monitor) {
  stream_ = pa_stream_new(context_, "Auralith driver capture", &kSpec, nullptr);
  if (!stream_) {
    RetryLater(false);
    return;
  }
  pa_stream_set_state_callback(stream_, &PulseCapture::OnStreamState, this);
  pa_stream_set_read_callback(stream_, &PulseCapture::OnStreamRead, this);
  pa_buffer_attr attr = CaptureAttributes(FragmentForServer(fragment_, graphServer_));
  streamFragment_ = fragment_;
  auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
  if (pa_stream_connect_record(stream_, monitor, &attr, flags) < 0) OnStreamState(stream_, this);
}

void PulseCapture::OnStreamState(pa_stream* stream, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  if (stream != capture->stream_) return;
  switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY: {
      const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream);
      ULXD_INFO("recording %s into the ring (fragments of %.1f ms)", capture->monitor_.c_str(),
                attr ? Milliseconds(attr->fragsize) : 0.0);
      // The clients changed their minds while the stream was connecting.
      if (capture->streamFragment_ != capture->fragment_) capture->ApplyFragment();
      break;
    }
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
      if (pa_context_get_state(capture->context_) != PA_CONTEXT_READY) break;
      ULXD_WARN("lost the capture of %s (%s); making the sink again", capture->monitor_.c_str(),
                pa_strerror(pa_context_errno(capture->context_)));
      pa_stream_set_state_callback(stream, nullptr, nullptr);
      pa_stream_set_read_callback(stream, nullptr, nullptr);
      pa_stream_unref(stream);
      capture->stream_ = nullptr;
      capture->monitor_.clear();
      capture->RetryLater(false);
      break;
    default:
      break;
  }
}

void PulseCapture::OnStreamRead(pa_stream* stream, size_t, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  const void* data = nullptr;
  size_t bytes = 0;
  // Everything readable now is one burst, however many pieces it comes in.
  while (pa_stream_readable_size(stream) > 0) {
    if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) break;
    capture->audio_(static_cast<const uint8_t*>(data), bytes);
    pa_stream_drop(stream);
  }
  capture->burstEnd_();
}

void PulseCapture::SetFragment(uint32_t bytes) {
  if (bytes == fragment_) return;
  fragment_ = bytes;
  ULXD_INFO("capturing in fragments of %.1f ms from now on (%s)", Milliseconds(FragmentForServer(bytes, graphServer_)),
            bytes < kLargeFragmentBytes ? "a client reads in small blocks" : "no client reads in small blocks");
  if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) ApplyFragment();
}

void PulseCapture::ApplyFragment() {
  pa_buffer_attr attr = CaptureAttributes(FragmentForServer(fragment_, graphServer_));
  streamFragment_ = fragment_;
  pa_operation* op = pa_stream_set_buffer_attr(stream_, &attr, &PulseCapture::OnFragmentSet, this);
  if (op) {
    pa_operation_unref(op);
  } else {
    OnFragmentSet(stream_, 0, this);
  }
}

void PulseCapture::OnFragmentSet(pa_stream* stream, int success, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  if (stream != capture->stream_ || capture->stopping_) return;
  if (success) {
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream);
    ULXD_DEBUG("the sound server gives capture fragments of %.1f ms", attr ? Milliseconds(attr->fragsize) : 0.0);
    return;
  }
  // A server that cannot change a stream's fragments gets a new stream: a
  // moment of the sink's audio is lost, once per switch.
  ULXD_WARN("the sound server did not change the capture fragments (%s); capturing anew",
            pa_strerror(pa_context_errno(capture->context_)));
  capture->DropStream();
  capture->Record(capture->monitor_.c_str());
}

void PulseCapture::Stop(std::function<void()> done) {
  stopping_ = true;
  done_ = std::move(done);
  if (retry_) {
    api_->time_free(retry_);
    retry_ = nullptr;
  }
  if (context_ && pa_context_get_state(context_) == PA_CONTEXT_READY && module_ != UINT32_MAX) {
    pa_operation* op = pa_context_unload_module(context_, module_, &PulseCapture::OnUnloaded, this);
    if (op) {
      pa_operation_unref(op);
      return;
    }
  }
  // A load still under way is taken back in OnLoaded.
  if (loading_ && context_ && pa_context_get_state(context_) == PA_CONTEXT_READY) return;
  Finish();
}

void PulseCapture::OnUnloaded(pa_context* context, int success, void* self) {
  auto* capture = static_cast<PulseCapture*>(self);
  if (context != capture->context_) return;
  if (success) ULXD_INFO("virtual device \"%s\" removed", capture->sinkName_.c_str());
  capture->Finish();
}

void PulseCapture::Finish() {
  Disconnect();
  if (done_) {
    auto done = std::move(done_);
    done_ = nullptr;
    done();
  }
}

}  // namespace auralith::ulxd

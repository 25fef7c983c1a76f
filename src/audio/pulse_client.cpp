#include "audio/pulse_client.h"

#include <pulse/introspect.h>
#include <pulse/volume.h>

#include <chrono>
#include <cmath>

namespace auralith::audio {
namespace {

int64_t NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

struct SinkListReply {
  std::vector<SinkInfo> sinks;
  bool done = false;
  bool failed = false;
};

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* data) {
  auto* reply = static_cast<SinkListReply*>(data);
  if (eol < 0) reply->failed = true;
  if (eol != 0) {
    reply->done = true;
    return;
  }
  SinkInfo sink;
  sink.index = info->index;
  sink.name = info->name ? info->name : "";
  sink.description = info->description ? info->description : sink.name;
  sink.channels = info->channel_map.channels;
  reply->sinks.push_back(std::move(sink));
}

struct DefaultReply {
  std::optional<std::string> name;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* data) {
  auto* reply = static_cast<DefaultReply*>(data);
  if (info && info->default_sink_name && info->default_sink_name[0]) reply->name = info->default_sink_name;
}

void OnSuccess(pa_context*, int success, void* data) { *static_cast<bool*>(data) = success != 0; }

struct StreamListReply {
  uint32_t sink = PA_INVALID_INDEX;
  std::vector<uint32_t> streams;
};

void OnStreamInfo(pa_context*, const pa_sink_input_info* info, int eol, void* data) {
  auto* reply = static_cast<StreamListReply*>(data);
  if (eol == 0 && info && info->sink == reply->sink) reply->streams.push_back(info->index);
}

}  // namespace

PulseClient::PulseClient(int replyTimeoutMs) : replyTimeoutMs_(replyTimeoutMs), loop_(pa_mainloop_new()) {}

PulseClient::~PulseClient() {
  if (context_) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  if (loop_) pa_mainloop_free(loop_);
}

bool PulseClient::Iterate(int64_t deadlineUs) {
  int64_t left = deadlineUs - NowUs();
  if (left <= 0) return false;
  if (pa_mainloop_prepare(loop_, int(left)) < 0) return false;
  if (pa_mainloop_poll(loop_) < 0) return false;
  return pa_mainloop_dispatch(loop_) >= 0;
}

bool PulseClient::Connect() {
  if (!loop_) return false;
  if (context_) return pa_context_get_state(context_) == PA_CONTEXT_READY;
  context_ = pa_context_new(pa_mainloop_get_api(loop_), "Auralith");
  if (!context_) return false;
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
  const int64_t deadline = NowUs() + int64_t(replyTimeoutMs_) * 1000;
  for (;;) {
    pa_context_state_t state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) return true;
    if (!PA_CONTEXT_IS_GOOD(state)) return false;
    if (!Iterate(deadline)) return false;
  }
}

bool PulseClient::Await(pa_operation* operation) {
  if (!operation) return false;
  const int64_t deadline = NowUs() + int64_t(replyTimeoutMs_) * 1000;
  bool ok = true;
  while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)) || !Iterate(deadline)) {
      pa_operation_cancel(operation);
      ok = false;
      break;
    }
  }
  ok = ok && pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return ok;
}

std::optional<std::vector<SinkInfo>> PulseClient::Sinks() {
  if (!Connect()) return std::nullopt;
  SinkListReply reply;
  if (!Await(pa_context_get_sink_info_list(context_, &OnSinkInfo, &reply)) || reply.failed) return std::nullopt;
  return std::move(reply.sinks);
}

std::optional<SinkInfo> PulseClient::Sink(const std::string& name) {
  if (!Connect()) return std::nullopt;
  SinkListReply reply;
  if (!Await(pa_context_get_sink_info_by_name(context_, name.c_str(), &OnSinkInfo, &reply)) || reply.failed ||
      reply.sinks.empty())
    return std::nullopt;
  return reply.sinks.front();
}

std::optional<std::string> PulseClient::DefaultSink() {
  if (!Connect()) return std::nullopt;
  DefaultReply reply;
  if (!Await(pa_context_get_server_info(context_, &OnServerInfo, &reply))) return std::nullopt;
  return reply.name;
}

bool PulseClient::SetDefaultSink(const std::string& name) {
  if (!Connect()) return false;
  bool success = false;
  return Await(pa_context_set_default_sink(context_, name.c_str(), &OnSuccess, &success)) && success;
}

int PulseClient::MoveStreams(const std::string& from, const std::string& to) {
  std::optional<SinkInfo> source = Sink(from);
  if (!source) return 0;
  StreamListReply reply;
  reply.sink = source->index;
  if (!Await(pa_context_get_sink_input_info_list(context_, &OnStreamInfo, &reply))) return 0;
  int moved = 0;
  for (uint32_t stream : reply.streams) {
    bool success = false;
    if (Await(pa_context_move_sink_input_by_name(context_, stream, to.c_str(), &OnSuccess, &success)) && success)
      ++moved;
  }
  return moved;
}

bool PulseClient::SetSinkVolume(const std::string& name, double level) {
  std::optional<SinkInfo> sink = Sink(name);
  if (!sink || sink->channels == 0) return false;
  pa_cvolume volume;
  // The server's percentage scale, as its mixers show it: 1.0 is 100 %.
  pa_cvolume_set(&volume, sink->channels, pa_volume_t(std::lround(level * PA_VOLUME_NORM)));
  bool success = false;
  return Await(pa_context_set_sink_volume_by_name(context_, name.c_str(), &volume, &OnSuccess, &success)) && success;
}

}  // namespace auralith::audio

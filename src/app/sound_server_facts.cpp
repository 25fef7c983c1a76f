#include "app/sound_server_facts.h"

#include <pulse/pulseaudio.h>

#include <chrono>

namespace auralith::app {

namespace {

struct Query {
  SoundServerFacts facts;
  int repliesPending = 0;
  bool finished = false;
};

template <typename Info>
SoundDevice DeviceOf(const Info& info) {
  SoundDevice device;
  device.name = info.name ? info.name : "";
  device.description = info.description ? info.description : "";
  device.sampleFormat = pa_sample_format_to_string(info.sample_spec.format)
                            ? pa_sample_format_to_string(info.sample_spec.format)
                            : "invalid";
  device.rate = info.sample_spec.rate;
  device.channels = info.sample_spec.channels;
  return device;
}

void ReplyDone(Query& query) {
  if (--query.repliesPending == 0) query.finished = true;
}

void OnServerInfo(pa_context*, const pa_server_info* info, void* data) {
  Query& query = *static_cast<Query*>(data);
  if (info) {
    query.facts.reachable = true;
    query.facts.serverName = info->server_name ? info->server_name : "";
    query.facts.serverVersion = info->server_version ? info->server_version : "";
    query.facts.defaultSink = info->default_sink_name ? info->default_sink_name : "";
    query.facts.defaultSource = info->default_source_name ? info->default_source_name : "";
  }
  ReplyDone(query);
}

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* data) {
  Query& query = *static_cast<Query*>(data);
  if (eol != 0) {
    ReplyDone(query);
    return;
  }
  if (info) query.facts.sinks.push_back(DeviceOf(*info));
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* data) {
  Query& query = *static_cast<Query*>(data);
  if (eol != 0) {
    ReplyDone(query);
    return;
  }
  if (!info) return;
  SoundDevice device = DeviceOf(*info);
  device.isMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
  query.facts.sources.push_back(std::move(device));
}

void Forget(pa_operation* operation, Query& query) {
  if (operation) {
    ++query.repliesPending;
    pa_operation_unref(operation);
  }
}

void OnContextState(pa_context* context, void* data) {
  Query& query = *static_cast<Query*>(data);
  switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
      Forget(pa_context_get_server_info(context, OnServerInfo, &query), query);
      Forget(pa_context_get_sink_info_list(context, OnSinkInfo, &query), query);
      Forget(pa_context_get_source_info_list(context, OnSourceInfo, &query), query);
      if (query.repliesPending == 0) query.finished = true;
      break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      query.finished = true;
      break;
    default:
      break;
  }
}

}  // namespace

SoundServerFacts QuerySoundServer(int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  Query query;
  pa_mainloop* loop = pa_mainloop_new();
  if (!loop) return query.facts;
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Auralith machine report");
  if (context) {
    pa_context_set_state_callback(context, OnContextState, &query);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) query.finished = true;
    while (!query.finished) {
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
      if (left.count() <= 0) break;
      if (pa_mainloop_prepare(loop, static_cast<int>(left.count())) < 0) break;
      if (pa_mainloop_poll(loop) < 0) break;
      if (pa_mainloop_dispatch(loop) < 0) break;
    }
    // Replies still missing at the deadline: what arrived is incomplete.
    if (query.repliesPending > 0 || !query.finished) query.facts = SoundServerFacts{};
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
  pa_mainloop_free(loop);
  return query.facts;
}

}  // namespace auralith::app

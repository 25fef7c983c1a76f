#include "audio/sound_server_facts.h"

#include <pulse/introspect.h>

#include "audio/pulse_client.h"

namespace auralith::audio {

namespace {

struct DeviceListReply {
  std::vector<SoundDevice> devices;
  bool failed = false;
};

template <typename Info>
SoundDevice DeviceOf(const Info& info) {
  SoundDevice device;
  device.name = info.name ? info.name : "";
  device.description = info.description ? info.description : "";
  const char* format = pa_sample_format_to_string(info.sample_spec.format);
  device.sampleFormat = format ? format : "invalid";
  device.rate = info.sample_spec.rate;
  device.channels = info.sample_spec.channels;
  return device;
}

void OnServerInfo(pa_context*, const pa_server_info* info, void* data) {
  SoundServerFacts& facts = *static_cast<SoundServerFacts*>(data);
  if (!info) return;
  facts.reachable = true;
  facts.serverName = info->server_name ? info->server_name : "";
  facts.serverVersion = info->server_version ? info->server_version : "";
  facts.defaultSink = info->default_sink_name ? info->default_sink_name : "";
  facts.defaultSource = info->default_source_name ? info->default_source_name : "";
}

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* data) {
  DeviceListReply& reply = *static_cast<DeviceListReply*>(data);
  if (eol < 0) reply.failed = true;
  if (eol == 0 && info) reply.devices.push_back(DeviceOf(*info));
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* data) {
  DeviceListReply& reply = *static_cast<DeviceListReply*>(data);
  if (eol < 0) reply.failed = true;
  if (eol != 0 || !info) return;
  SoundDevice device = DeviceOf(*info);
  device.isMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
  reply.devices.push_back(std::move(device));
}

}  // namespace

SoundServerFacts QuerySoundServer(int timeoutMs) {
  PulseClient client(timeoutMs);
  pa_context* context = client.Connect() ? client.Context() : nullptr;
  if (!context) return {};
  SoundServerFacts facts;
  DeviceListReply sinks;
  DeviceListReply sources;
  if (!client.Await(pa_context_get_server_info(context, OnServerInfo, &facts)) ||
      !client.Await(pa_context_get_sink_info_list(context, OnSinkInfo, &sinks)) || sinks.failed ||
      !client.Await(pa_context_get_source_info_list(context, OnSourceInfo, &sources)) || sources.failed)
    return {};
  facts.sinks = std::move(sinks.devices);
  facts.sources = std::move(sources.devices);
  return facts;
}

}  // namespace auralith::audio

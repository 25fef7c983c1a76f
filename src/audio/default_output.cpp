#include "audio/default_output.h"

#include <optional>

#include "audio/pulse_client.h"

namespace auralith::audio {
std::string PreviousDefaultFor(const OutputDeviceList& list, const std::string& defaultSink, int virtualPosition) {
  if (virtualPosition < 0 || std::size_t(virtualPosition) >= list.size()) return defaultSink;
  if (defaultSink != list[std::size_t(virtualPosition)].sinkName) return defaultSink;
  const int neighbour = virtualPosition == 0 ? 1 : virtualPosition - 1;
  if (std::size_t(neighbour) >= list.size()) return {};
  return list[std::size_t(neighbour)].sinkName;
}

int RestoreTargetFor(const OutputDeviceList& list, const std::string& previousDefault, const std::string& deviceInUse) {
  for (const std::string* name : {&previousDefault, &deviceInUse}) {
    int position = name->empty() ? -1 : PositionOf(list, *name);
    if (position >= 0 && !IsVirtualDevice(list[std::size_t(position)])) return position;
  }
  return FirstRealDevice(list);
}

bool TakeOverDefaultSink(const std::string& virtualSink, std::string& previousDefault) {
  PulseClient client;
  std::optional<std::vector<SinkInfo>> sinks = client.Sinks();
  if (!sinks) return false;
  const OutputDeviceList list = DevicesOf(*sinks);
  const int virtualPosition = PositionOf(list, virtualSink);
  if (virtualPosition < 0) return false;
  std::optional<std::string> current = client.DefaultSink();
  if (!current) return false;
  previousDefault = PreviousDefaultFor(list, *current, virtualPosition);
  return client.SetDefaultSink(list[std::size_t(virtualPosition)].sinkName);
}

bool RestoreDefaultSink(const std::string& previousDefault, const std::string& deviceInUse) {
  PulseClient client;
  std::optional<std::vector<SinkInfo>> sinks = client.Sinks();
  if (!sinks) return false;
  const OutputDeviceList list = DevicesOf(*sinks);
  const int target = RestoreTargetFor(list, previousDefault, deviceInUse);
  return target >= 0 && client.SetDefaultSink(list[std::size_t(target)].sinkName);
}

}  // namespace auralith::audio

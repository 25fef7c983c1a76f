#include "audio/output_devices.h"

#include <optional>

#include "audio/pulse_client.h"

namespace auralith::audio {
namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// First `count` characters of UTF-8 text.
std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t n = 0; n < count && at < text.size(); ++n) {
    ++at;
    while (at < text.size() && IsContinuationByte(text[at])) ++at;
  }
  return text.substr(0, at);
}

}  // namespace

std::string ProductName(const std::string& description) { return FirstCharacters(description, kProductNameLength); }

OutputDeviceList DevicesOf(const std::vector<SinkInfo>& sinks) {
  OutputDeviceList list;
  for (const SinkInfo& sink : sinks) list.push_back({sink.name, ProductName(sink.description)});
  return list;
}

int EnumerateOutputDevices(OutputDeviceList& list) {
  PulseClient client;
  std::optional<std::vector<SinkInfo>> sinks = client.Sinks();
  list = sinks ? DevicesOf(*sinks) : OutputDeviceList();
  return list.empty() ? 0 : 1;
}

int FindOutputDevice(const OutputDeviceList& list, const std::string& name) {
  // Built by appending: GCC 12 at -O3 mistakes the insert of "(" + string
  // for an overlapping copy (-Wrestrict).
  std::string shortKey(1, '(');
  shortKey += FirstCharacters(name, kShortKeyLength);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string& product = list[i].productName;
    if (product.find(name) != std::string::npos || product.find(shortKey) != std::string::npos) return int(i);
  }
  return -1;
}

int FindOutputDevice(const std::string& name) {
  OutputDeviceList list;
  if (!EnumerateOutputDevices(list)) return -1;
  return FindOutputDevice(list, name);
}

bool IsVirtualDevice(const OutputDevice& device) {
  return device.productName.find(kVirtualDeviceName) != std::string::npos;
}

int FirstRealDevice(const OutputDeviceList& list) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!IsVirtualDevice(list[i])) return int(i);
  }
  return -1;
}

int RealDeviceFor(const OutputDeviceList& list, const std::string& name) {
  int found = FindOutputDevice(list, name);
  if (found >= 0 && !IsVirtualDevice(list[std::size_t(found)])) return found;
  return FirstRealDevice(list);
}

int PositionOf(const OutputDeviceList& list, const std::string& sinkName) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].sinkName == sinkName) return int(i);
  }
  return -1;
}

}  // namespace auralith::audio

#pragma once
// The output device list: the sound server's sinks in index order, each
// known by its identity (the sink name) and its product name (the
// description cut to 31 characters, as the platform's device list shows it).

#include <cstddef>
#include <string>
#include <vector>

namespace auralith::audio {

// The virtual device's product name contains this.
inline constexpr const char* kVirtualDeviceName = "Auralith";
inline constexpr std::size_t kProductNameLength = 31;
// Length of the name part of the short key that follows the "(".
inline constexpr std::size_t kShortKeyLength = 13;

struct OutputDevice {
  std::string sinkName;
  std::string productName;

  bool Empty() const { return sinkName.empty(); }
};

using OutputDeviceList = std::vector<OutputDevice>;
struct SinkInfo;

// The first kProductNameLength characters of a description (UTF-8 is cut
// between characters, never inside one).
std::string ProductName(const std::string& description);

// The list of the server's sinks, in the order given.
OutputDeviceList DevicesOf(const std::vector<SinkInfo>& sinks);

// Fills the list; 1 when the server reports at least one sink, else 0.
int EnumerateOutputDevices(OutputDeviceList& list);

// Position of the first entry whose product name contains `name` or else
// contains the short key "(" + the first 13 characters of `name`; -1 when
// none does. The empty name matches the first entry.
int FindOutputDevice(const OutputDeviceList& list, const std::string& name);
// The same on a fresh list; -1 also when the server reports no device.
int FindOutputDevice(const std::string& name);

bool IsVirtualDevice(const OutputDevice& device);
// Position of the first entry that is not the virtual device, or -1.
int FirstRealDevice(const OutputDeviceList& list);
// The device to play on for a stored name: the match of FindOutputDevice
// unless there is none or it is the virtual device (playing into it would
// feed the output back into the input); then the first real device. -1
// when the list holds no real device.
int RealDeviceFor(const OutputDeviceList& list, const std::string& name);
// Position of the entry with this identity, or -1.
int PositionOf(const OutputDeviceList& list, const std::string& sinkName);

}  // namespace auralith::audio

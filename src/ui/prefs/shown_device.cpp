#include "ui/prefs/shown_device.h"

namespace auralith::ui {

audio::OutputDeviceList ListedDevices(const audio::OutputDeviceList& all) {
  audio::OutputDeviceList listed;
  for (const audio::OutputDevice& device : all)
    if (!audio::IsVirtualDevice(device)) listed.push_back(device);
  return listed;
}

ShownDevice ShownDeviceFor(const audio::OutputDeviceList& all, const std::string& storedName) {
  ShownDevice shown;
  shown.firstRun = storedName.empty();
  const int playing = audio::RealDeviceFor(all, storedName);
  if (playing < 0) return shown;
  shown.row = audio::PositionOf(ListedDevices(all), all[std::size_t(playing)].sinkName);
  return shown;
}

}  // namespace auralith::ui

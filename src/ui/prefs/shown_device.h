#pragma once

#include "audio/output_devices.h"

#include <string>

// Which output device the settings pane shows for a category, decided with
// the engine's own matcher so the pane never shows another device than the
// one that plays.

namespace auralith::ui {

// The devices the pane lists: every device but the virtual one, in order.
audio::OutputDeviceList ListedDevices(const audio::OutputDeviceList& all);

struct ShownDevice {
  int row = -1;           // in ListedDevices(all); -1: none to show
  bool firstRun = false;  // nothing stored yet: the shown device may be stored
};

// The device the engine plays on for the stored name: the stored device
// when present, else the engine's fallback. An empty stored name matches
// no device; it marks the first run of the category.
ShownDevice ShownDeviceFor(const audio::OutputDeviceList& all, const std::string& storedName);

}  // namespace auralith::ui

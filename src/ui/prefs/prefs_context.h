#pragma once

#include "audio/output_devices.h"

#include <functional>

// What the preferences panes may use of the main window controller: its
// listening state, the settings store and the processing state. Every pane
// gets the same context; the dialog fills it from the main window, a test
// from stand-ins.

namespace auralith::settings {
class SettingsStore;
}
namespace auralith::dsp {
struct DspState;
}
namespace auralith::app {
class CategoryProfileTarget;
}

namespace auralith::ui {

struct PrefsContext {
  settings::SettingsStore& store;
  // The user equalizer bands are written here, then dsp::PublishParams.
  dsp::DspState& processing;
  // SetBuiltInProfile, SetDesktopProfile, SetHeadphoneProfile.
  app::CategoryProfileTarget& profiles;

  // The main window's category code: 0 built-in speakers, 1 headphones,
  // 2 desktop speakers.
  std::function<int()> category;
  // Switches the whole application to a category code: profile, output
  // device, then every pane through RefreshPanes.
  std::function<void(int code)> setCategory;
  std::function<bool()> processingOn;
  // Re-applies the current category's profile (or the neutral set while
  // processing is off) and the hearing protection.
  std::function<void()> applyProfile;

  // The output devices as the engine lists them now.
  std::function<audio::OutputDeviceList()> outputDevices;
  // Stores `device` for the current category and plays on it.
  std::function<void(const audio::OutputDevice& device)> chooseOutputDevice;
  // RefreshPanes, then shows the dialog.
  std::function<void()> showPreferences;
  // Switches the running engine to the low-latency mode or back (the pane
  // stores the choice).
  std::function<void(bool on)> setLowLatency;
};

}  // namespace auralith::ui

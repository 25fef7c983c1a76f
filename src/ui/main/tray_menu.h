#pragma once

#include "audio/output_devices.h"

#include <QString>

#include <vector>

class QMenu;
class QAction;

// The tray menu, built afresh each time it opens from the main window's
// state and the output device list of that moment.

namespace auralith::ui {

struct TrayMenuState {
  int contentItem = 0;  // checked item of the content group (0: the first)
  int categoryItem = 0;
  bool processingOn = false;
  int defaultCommand = 0;  // shown as the default item; 0 for none
};

// One entry of the "Output Device" submenu. The device is the one the list
// held when the menu was built; a click names it, not its position.
struct OutputDeviceItem {
  int id = 0;
  audio::OutputDevice device;
  bool checked = false;
};

// Every device of `list` but the virtual one, with the id of its position.
// The checked one is the device the engine plays on for `storedName` (the
// engine's own matcher), so the menu, the engine and the settings agree.
std::vector<OutputDeviceItem> OutputDeviceItems(const audio::OutputDeviceList& list, const std::string& storedName);

inline constexpr const char* kTurnOnText = "Turn ULX On";
inline constexpr const char* kTurnOffText = "Turn ULX Off";
inline constexpr const char* kOutputDeviceMenuText = "Output Device";

// Replaces the menu's contents. Every action carries its command id as its
// data; device actions also carry their device (DeviceOf). Every item's text
// is its accessible name.
void FillTrayMenu(QMenu& menu, const TrayMenuState& state, const std::vector<OutputDeviceItem>& devices);

// The command id of an action of the tray menu, 0 for none.
int CommandOf(const QAction* action);
// The device an output device action was built for (empty for others).
audio::OutputDevice DeviceOf(const QAction* action);

}  // namespace auralith::ui

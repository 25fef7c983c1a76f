#pragma once
// Taking the system's default output over for the virtual device, and
// giving it back. On the sound server the default output is the default
// sink; the previous default is remembered by its identity (the sink name).

#include <string>

#include "audio/output_devices.h"

namespace auralith::audio {

// The device to give the default back to later, given the current default
// sink: that sink, unless it is the virtual device itself (a previous run
// did not restore), when it is the virtual device's neighbour (position - 1,
// or 1 when the virtual device is at 0). Empty when that neighbour does not
// exist.
std::string PreviousDefaultFor(const OutputDeviceList& list, const std::string& defaultSink, int virtualPosition);

// Where a restore goes: the previous default while it is present and real,
// else the device in use, else the first real device; -1 when there is none.
int RestoreTargetFor(const OutputDeviceList& list, const std::string& previousDefault, const std::string& deviceInUse);

// Remembers the current default in previousDefault (left empty when it
// cannot be read) and makes the virtual device the default. The device is
// named by its identity: positions change as devices come and go. True when
// the virtual device became the default.
bool TakeOverDefaultSink(const std::string& virtualSink, std::string& previousDefault);

// Makes the restore target the default; true when a default was set.
bool RestoreDefaultSink(const std::string& previousDefault, const std::string& deviceInUse);

}  // namespace auralith::audio

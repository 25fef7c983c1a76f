#pragma once

#include <QString>

#include "app/sound_server_query.h"

class QIODevice;

// The machine report that heads the diagnostic log of each run, as XML:
// operating system and kernel, processor, memory, the sound server with its
// sinks and sources, and the application's version.

namespace auralith::app {

// Time the sound server may take to answer; the whole report stays within
// about a second.
inline constexpr int kSoundServerTimeoutMs = 700;

// Writes the report (an XML document followed by a line break) to `device`,
// asking `soundServer` for the sound server's part; without one the server
// is reported unreachable.
void WriteMachineReport(QIODevice& device, const SoundServerQuery& soundServer,
                        int soundServerTimeoutMs = kSoundServerTimeoutMs);

// The application's version, "major.minor.patch".
QString ApplicationVersion();

}  // namespace auralith::app

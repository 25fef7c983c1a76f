#pragma once
// What the sound server says about itself and its devices, for the machine
// report. The records need no libpulse; only QuerySoundServer talks to it.

#include <string>
#include <vector>

namespace auralith::audio {

struct SoundDevice {
  std::string name;
  std::string description;
  std::string sampleFormat;  // e.g. "s16le"
  unsigned rate = 0;
  unsigned channels = 0;
  bool isMonitor = false;  // a source that carries a sink's output
};

struct SoundServerFacts {
  bool reachable = false;
  std::string serverName;
  std::string serverVersion;
  std::string defaultSink;
  std::string defaultSource;
  std::vector<SoundDevice> sinks;
  std::vector<SoundDevice> sources;
};

// Asks the server the process would connect to (PULSE_SERVER or the
// default one, never starting one), each reply within `timeoutMs`, so a
// missing or hung server cannot hold the caller up. Anything short of every
// answer reads as unreachable.
SoundServerFacts QuerySoundServer(int timeoutMs);

}  // namespace auralith::audio

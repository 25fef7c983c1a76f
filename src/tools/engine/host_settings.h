#pragma once
// What the headless host reads from the settings store: the listening state
// and, per category, the output device, the boost, K.I.R.O and the user
// equalizer record.

#include <string>

#include "tools/render/render_options.h"

namespace auralith::engine {

struct ListeningState {
  int category = 2;     // 0 built-in speakers, 1 headphones, 2 desktop speakers
  int contentMode = 1;  // 1 music, 0 movie
  bool processing = false;
  bool boost = false;
  bool kiro = false;  // only ever set for headphones
  render::UserEqRecord userEq = render::kDefaultUserEqRecord;
};

ListeningState ReadListeningState();

// The stored low-latency mode (lowLatencyKey is 1).
bool ReadLowLatency();

// The stored output device name of a category; empty for any other code.
std::string StoredOutputName(int category);

}  // namespace auralith::engine

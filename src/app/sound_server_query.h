#pragma once
// How the machine report learns about the sound server without the
// application core talking to it: the program passes in the audio module's
// QuerySoundServer (tests pass a stand-in). Called with the time it may take.

#include <functional>

#include "audio/sound_server_facts.h"

namespace auralith::app {

using SoundServerQuery = std::function<audio::SoundServerFacts(int timeoutMs)>;

}  // namespace auralith::app

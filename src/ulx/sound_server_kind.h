#pragma once
// Both sides size what they ask the sound server for by its kind: a server
// that runs its clients in one graph (PipeWire behind its Pulse server) sets
// its period after the smallest request of any client, so there the normal
// mode asks in whole 40 ms blocks; plain PulseAudio has no such period and
// keeps the small requests that hold its delay down.

#include <cstring>

namespace auralith::ulx {

// From the name the Pulse server reports ("PulseAudio (on PipeWire 0.3.65)").
inline bool RunsAGraph(const char* serverName) { return serverName && std::strstr(serverName, "PipeWire"); }

}  // namespace auralith::ulx

#pragma once
// The platform's debugger output: low-level failures of the driver link and
// the audio thread go to the debug log (stderr, which the journal collects
// under a service manager), never to the user.

namespace auralith {

// Writes text as it stands (texts end in "\n"). Safe on the time-critical
// thread: one write(2), no allocation, no lock.
void DebugOutput(const char* text);

}  // namespace auralith

#pragma once
// ulxd's command line.

#include <optional>
#include <string>
#include <vector>

namespace auralith::ulxd {

struct Options {
  std::string sinkName = "auralith";
  std::string description = "Auralith Virtual Output";
  std::string interfaceName = "ulx0";
  // Test feeds: the ring is fed from a tone or a WAV file in real time and
  // no sound server is used.
  std::optional<double> toneHz;
  double toneDbfs = -6.0;
  std::string wavPath;
  bool loop = false;
  // Volume of the simulated device in dB, reported for the application to
  // apply (only with a test feed; the sound server applies the real one).
  double volumeDb = 0.0;
  bool verbose = false;
  bool help = false;

  bool TestFeed() const { return toneHz.has_value() || !wavPath.empty(); }
};

// Parses argv[1..]; on a bad command line returns nothing and sets error.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

extern const char* const kUsage;

}  // namespace auralith::ulxd

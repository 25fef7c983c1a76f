// Command line of auralith-render.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "mapping/user_eq.h"

namespace auralith::render {

// Listening category of the rendering: decides whether the conversion of
// unprocessed sound is 5 dB quieter (desktop speakers and headphones).
enum class Category { BuiltIn, Desktop, Headphones };

// Whether reading and writing run on threads of their own beside the chain:
// Auto when this process may use more than one processor.
enum class IoThreads { Auto, Off, On };

struct RenderOptions {
  std::string profile;  // a path or the name of a built-in profile
  std::string input;
  std::string output;
  int contentMode = 1;  // 1 music, 0 movie
  bool boost = false;
  bool kiro = false;
  bool processingOff = false;
  Category category = Category::BuiltIn;
  UserEqRecord userEq = kDefaultUserEqRecord;
  std::uint32_t seed = 1;
  bool dither = true;
  bool floatOutput = false;
  IoThreads ioThreads = IoThreads::Auto;  // the output is the same either way
};

struct ParsedCommandLine {
  std::optional<RenderOptions> options;  // absent on --help or an error
  bool help = false;
  std::string error;  // one line naming the problem, empty when none
};

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

// The usage text printed by --help.
const char* UsageText();

}  // namespace auralith::render

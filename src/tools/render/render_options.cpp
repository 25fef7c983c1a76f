#include "tools/render/render_options.h"

#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

namespace auralith::render {

namespace {

template <typename Int>
bool ParseInt(std::string_view text, Int& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc{} && end == text.data() + text.size();
}

bool ParseEqRecord(std::string_view text, UserEqRecord& record) {
  std::size_t word = 0;
  while (true) {
    const std::size_t comma = text.find(',');
    if (word == record.size() || !ParseInt(text.substr(0, comma), record[word])) return false;
    ++word;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return word == record.size();
}

// Options that take a value, given as "--name value" or "--name=value".
bool TakesValue(std::string_view name) {
  return name == "--mode" || name == "--category" || name == "--eq" || name == "--seed";
}

std::string ApplyValueOption(std::string_view name, std::string_view value, RenderOptions& o) {
  if (name == "--mode") {
    if (value == "music")
      o.contentMode = 1;
    else if (value == "movie")
      o.contentMode = 0;
    else
      return "--mode takes music or movie, not '" + std::string(value) + "'";
  } else if (name == "--category") {
    if (value == "builtin")
      o.category = Category::BuiltIn;
    else if (value == "desktop")
      o.category = Category::Desktop;
    else if (value == "headphones")
      o.category = Category::Headphones;
    else
      return "--category takes builtin, desktop or headphones, not '" + std::string(value) + "'";
  } else if (name == "--eq") {
    if (!ParseEqRecord(value, o.userEq))
      return "--eq takes eight comma-separated integers, not '" + std::string(value) + "'";
  } else if (name == "--seed") {
    if (!ParseInt(value, o.seed))
      return "--seed takes an integer from 0 to 4294967295, not '" + std::string(value) + "'";
  }
  return {};
}

std::string ApplyFlag(std::string_view name, RenderOptions& o) {
  if (name == "--boost")
    o.boost = true;
  else if (name == "--kiro")
    o.kiro = true;
  else if (name == "--off")
    o.processingOff = true;
  else if (name == "--no-dither")
    o.dither = false;
  else if (name == "--float")
    o.floatOutput = true;
  else
    return "unknown option '" + std::string(name) + "'";
  return {};
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine result;
  RenderOptions options;
  std::vector<std::string> positional;
  bool optionsEnded = false;

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-' || arg == "-") {
      positional.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      result.help = true;
      return result;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    std::string error;
    if (TakesValue(name)) {
      std::string_view value;
      if (equals != std::string_view::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        result.error = std::string(name) + " needs a value";
        return result;
      }
      error = ApplyValueOption(name, value, options);
    } else if (equals != std::string_view::npos) {
      error = std::string(name) + " takes no value";
    } else {
      error = ApplyFlag(name, options);
    }
    if (!error.empty()) {
      result.error = error;
      return result;
    }
  }

  if (positional.size() != 3) {
    result.error = positional.size() < 3 ? "expected PROFILE INPUT OUTPUT (see --help)"
                                         : "too many arguments: expected PROFILE INPUT OUTPUT";
    return result;
  }
  options.profile = positional[0];
  options.input = positional[1];
  options.output = positional[2];
  result.options = options;
  return result;
}

const char* UsageText() {
  return "Usage: auralith-render [options] PROFILE INPUT OUTPUT\n"
         "Processes a sound file through Auralith's chain, exactly as playback would.\n"
         "\n"
         "  PROFILE   a profile file, or the name of a built-in profile (\"Varrow Laptop\")\n"
         "  INPUT     any file libsndfile reads (WAV, FLAC, Ogg, ...); mono plays as\n"
         "            stereo, other rates are converted to 44100 Hz\n"
         "  OUTPUT    a 16-bit WAV file (replaced only when rendering succeeded)\n"
         "\n"
         "Options:\n"
         "  --mode music|movie      parameter set of the profile (default music)\n"
         "  --boost                 the category's +6 dB output boost\n"
         "  --kiro                  hearing protection (23.1 dB lower)\n"
         "  --off                   processing switched off (neutral set)\n"
         "  --category builtin|desktop|headphones\n"
         "                          listening category (default builtin); with --off,\n"
         "                          desktop and headphones play 5 dB quieter\n"
         "  --eq B_EN,B_FREQ,B_Q,B_GAIN,T_EN,T_FREQ,T_Q,T_GAIN\n"
         "                          user equalizer record (default 1,15,3,24,1,49,3,24)\n"
         "  --seed N                seed of the dither (default 1)\n"
         "  --no-dither             no dither, for exact comparisons\n"
         "  --float                 write the float output before the 16-bit\n"
         "                          conversion, as 32-bit float WAV\n"
         "  --help                  show this text\n";
}

}  // namespace auralith::render

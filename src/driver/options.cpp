#include "driver/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "ulx/ulx_interface.h"

namespace auralith::ulxd {

const char* const kUsage =
    "Usage: ulxd [options]\n"
    "Offers the virtual output device \"Auralith\" and hands what is played to it\n"
    "to the Auralith application through a shared ring.\n"
    "\n"
    "  --sink-name NAME       name of the virtual sink (default auralith)\n"
    "  --description TEXT     its description; must contain \"Auralith\"\n"
    "                         (default \"Auralith Virtual Output\")\n"
    "  --interface-name NAME  socket name in the interface folder (default ulx0)\n"
    "  --tone HZ[@DBFS]       test feed: a sine tone instead of the sound server\n"
    "                         (level default -6 dBFS)\n"
    "  --wav FILE             test feed: a WAV file (16-bit PCM, 44100 Hz, mono or\n"
    "                         stereo), then silence\n"
    "  --loop                 with --wav: start the file over at its end\n"
    "  --volume DB            with a test feed: the device volume to report\n"
    "                         (-192 to 24)\n"
    "  -v, --verbose          log every connection and ring correction\n"
    "  -h, --help             show this help\n"
    "\n"
    "The interface folder is $ULX_INTERFACE_DIR, else\n"
    "$XDG_RUNTIME_DIR/ulx/{0C029D15-61A6-4140-999E-B7D25DC95D14}.\n";

namespace {

bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

// Sound-server names and file names: no spaces or quotes that would break a
// module argument or a path.
bool IsPlainName(const std::string& name) {
  if (name.empty() || name.size() > 64 || name == "." || name == "..") return false;
  for (char c : name) {
    bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool IsQuotableText(const std::string& text) {
  for (char c : text) {
    if (c == '\'' || c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    auto plainName = [&](std::string& out, const char* what) {
      if (!value(out)) return false;
      if (IsPlainName(out)) return true;
      error = std::string("the ") + what + " may only hold letters, digits, '.', '_' and '-'";
      return false;
    };
    std::string text;
    if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "-v" || arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "--loop") {
      options.loop = true;
    } else if (arg == "--sink-name") {
      if (!plainName(options.sinkName, "sink name")) return std::nullopt;
    } else if (arg == "--description") {
      if (!value(options.description)) return std::nullopt;
      if (options.description.find("Auralith") == std::string::npos) {
        error = "the description must contain \"Auralith\", or the application cannot find the device";
        return std::nullopt;
      }
      if (!IsQuotableText(options.description)) {
        error = "the description may not hold quotes, backslashes or control characters";
        return std::nullopt;
      }
    } else if (arg == "--interface-name") {
      if (!plainName(options.interfaceName, "interface name")) return std::nullopt;
    } else if (arg == "--tone") {
      if (!value(text)) return std::nullopt;
      size_t at = text.find('@');
      double hz = 0;
      if (!ParseNumber(text.substr(0, at), hz) || hz <= 0 || hz >= 22050 ||
          (at != std::string::npos && (!ParseNumber(text.substr(at + 1), options.toneDbfs) || options.toneDbfs > 0))) {
        error = "--tone takes HZ or HZ@DBFS, with 0 < HZ < 22050 and DBFS <= 0";
        return std::nullopt;
      }
      options.toneHz = hz;
    } else if (arg == "--wav") {
      if (!value(options.wavPath)) return std::nullopt;
    } else if (arg == "--volume") {
      if (!value(text)) return std::nullopt;
      // The range the application takes as it stands: beyond it the gain
      // rounds to nothing or overflows.
      if (!ParseNumber(text, options.volumeDb) || options.volumeDb < ulx::kMinVolumeDb ||
          options.volumeDb > ulx::kMaxVolumeDb) {
        error = "--volume takes a level in dB between " + std::to_string(ulx::kMinVolumeDb) + " and " +
                std::to_string(ulx::kMaxVolumeDb);
        return std::nullopt;
      }
    } else {
      error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  if (options.toneHz && !options.wavPath.empty()) {
    error = "--tone and --wav cannot be combined";
    return std::nullopt;
  }
  if (!options.TestFeed() && (options.loop || options.volumeDb != 0.0)) {
    error = "--loop and --volume only go with a test feed (--tone or --wav)";
    return std::nullopt;
  }
  if (options.loop && options.wavPath.empty()) {
    error = "--loop only goes with --wav";
    return std::nullopt;
  }
  return options;
}

}  // namespace auralith::ulxd

#include "audio/user_messages.h"

#include <cstdio>

namespace auralith::audio {

void ConsoleMessages::ShowWarning(const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", kMessageTitle, text.c_str());
  std::fflush(stderr);
}

void ConsoleMessages::ShowNotice(const std::string& text) { ShowWarning(text); }

}  // namespace auralith::audio

#include "audio/debug_output.h"

#include <unistd.h>

#include <cstring>

namespace auralith {

void DebugOutput(const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, text, left);
    if (n <= 0) return;
    text += n;
    left -= size_t(n);
  }
}

}  // namespace auralith

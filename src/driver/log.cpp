#include "driver/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace auralith::ulxd {
namespace {

bool verboseLog = false;

const char* LevelText(LogLevel level) {
  switch (level) {
    case LogLevel::Error:
      return "error: ";
    case LogLevel::Warning:
      return "warning: ";
    case LogLevel::Info:
      return "";
    case LogLevel::Debug:
      return "debug: ";
  }
  return "";
}

}  // namespace

void SetVerbose(bool verbose) { verboseLog = verbose; }

void Log(LogLevel level, const char* format, ...) {
  if (level == LogLevel::Debug && !verboseLog) return;
  char message[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof(message), format, args);
  va_end(args);
  // The journal stamps its lines itself.
  if (std::getenv("JOURNAL_STREAM")) {
    std::fprintf(stderr, "%s%s\n", LevelText(level), message);
    return;
  }
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char stamp[16];
  std::strftime(stamp, sizeof(stamp), "%H:%M:%S", &local);
  std::fprintf(stderr, "%s.%03ld ulxd: %s%s\n", stamp, now.tv_nsec / 1000000, LevelText(level), message);
}

}  // namespace auralith::ulxd

#pragma once

// The numbered commands carried by "halvorn-ulx://" URLs, by the message a
// second instance sends to the running one, and by the main window's
// RunCommand.

namespace auralith::app {

enum Command : int {
  kNoCommand = 0,
  kCommandPreferences = 1,
  kCommandProcessingOn = 2,
  kCommandProcessingOff = 3,
  kCommandMusic = 4,
  kCommandMovies = 5,
  kCommandBuiltIn = 6,
  kCommandDesktop = 7,
  kCommandHeadphones = 8,
  kCommandQuit = 9,
  kCommandLaunch = 10,
  kCommandShowWindow = 11,
  kCommandHideWindow = 12,
  // In a message to the main window: carry out its own pending command.
  kCommandPending = -1,
};

inline constexpr int kFirstCommand = kCommandPreferences;
inline constexpr int kLastCommand = kCommandHideWindow;

inline constexpr bool IsCommandCode(int code) { return code >= kFirstCommand && code <= kLastCommand; }

// URL verbs of the commands 1 to 12, in code order.
inline constexpr const char* kCommandVerbs[kLastCommand] = {"preferences", "ulx_on",   "ulx_off",   "music",
                                                            "movies",      "built-in", "desktop",   "headphones",
                                                            "quit",        "launch",   "show_icon", "hide_icon"};

inline constexpr const char* kUrlScheme = "halvorn-ulx://";

}  // namespace auralith::app

#pragma once
// The messages the audio engine shows the user, and the interface through
// which it shows them: the main window implements it with message boxes
// titled "Auralith", the headless host on the console.

#include <string>

namespace auralith::audio {

inline constexpr const char* kMessageTitle = "Auralith";
inline constexpr const char* kDriverNotFoundMessage = "ULX audio driver not found.";
inline constexpr const char* kDriverOpenFailedMessage = "Could not open the ULX driver.";
inline constexpr const char* kPlaybackOpenFailedMessage =
    "Could not open the wave out device for playback.  Please select an output device in preferences.";

class UserMessages {
 public:
  virtual ~UserMessages() = default;
  // A warning the user must see.
  virtual void ShowWarning(const std::string& text) = 0;
  // Opens the preferences where an output device is chosen, when they exist.
  virtual void ShowPreferences() = 0;
};

// Prints the warnings on standard error, as "Auralith: <text>".
class ConsoleMessages : public UserMessages {
 public:
  void ShowWarning(const std::string& text) override;
  void ShowPreferences() override {}
};

}  // namespace auralith::audio

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
  // A notice that needs no answer: a fault the engine recovers from by
  // itself, and the recovery. Called on the engine's own watch thread, so an
  // implementation hands it to its own thread; it must not call back into
  // the engine. Shows nothing unless a host chooses to.
  virtual void ShowNotice(const std::string& text) { (void)text; }
};

// Prints the warnings and the notices on standard error, as
// "Auralith: <text>".
class ConsoleMessages : public UserMessages {
 public:
  void ShowWarning(const std::string& text) override;
  void ShowPreferences() override {}
  void ShowNotice(const std::string& text) override;
};

// What the engine tells the user about faults it recovers from.
inline constexpr const char* kDriverStalledNotice = "The ULX driver is not answering; the sound waits for it.";
inline constexpr const char* kDriverGoneNotice = "The ULX driver has gone; looking for it again.";
inline constexpr const char* kDriverBackNotice = "The ULX driver answers again; re-mastering goes on.";
inline constexpr const char* kServerGoneNotice = "The sound server has gone; waiting for it to come back.";
inline constexpr const char* kServerBackNotice = "The sound server is back; re-mastering goes on.";
inline constexpr const char* kOutputGoneNotice = "The output device has gone; looking for another one.";
inline constexpr const char* kOutputBackNotice = "Playing on the output device again: ";
inline constexpr const char* kLowLatencyFallbackNotice =
    "The computer cannot keep up with the low-latency output; Auralith plays with its normal latency until it "
    "restarts.";

}  // namespace auralith::audio

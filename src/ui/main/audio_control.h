#pragma once

#include "audio/output_devices.h"
#include "audio/user_messages.h"
#include "dsp/dsp_state.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// What the main window drives of the audio engine. The application plays
// through AudioEngine; the controller's tests put a recording stand-in here.

namespace auralith::ui {

struct EngineCounters {
  std::uint64_t blocks = 0;
  std::uint64_t processedBlocks = 0;
};

class AudioControl {
 public:
  virtual ~AudioControl() = default;

  // The output device list as it is now.
  virtual audio::OutputDeviceList OutputDevices() = 0;
  virtual void TakeOverDefaultOutput(const audio::OutputDevice& virtualDevice) = 0;
  virtual void RestoreDefaultOutput() = 0;
  virtual void SetCategory(int category) = 0;
  virtual void SelectOutputDevice() = 0;
  // 10 ms output blocks instead of 40 ms; a running output restarts.
  virtual void SetLowLatency(bool on) = 0;
  // 1 when the driver link opened; nothing happens while the engine runs.
  virtual int StartAudio() = 0;
  virtual int SwitchOutputDevice() = 0;
  // Stops the audio thread and closes playback and the driver link.
  virtual void StopAudio() = 0;
  // The device in use went away (reported through the lost notice).
  virtual void OnOutputDeviceLost() = 0;
  virtual bool Running() const = 0;
  virtual EngineCounters Counters() const = 0;
};

struct AudioControlParts {
  audio::UserMessages& messages;
  // The stored output device name of a category.
  std::function<std::string(int category)> storedOutputName;
  dsp::DspState& processing;
  // Called on the playback device's thread when the device in use went away.
  std::function<void()> lostNotice;
};

using AudioControlFactory = std::function<std::unique_ptr<AudioControl>(const AudioControlParts& parts)>;

// The real engine on the sound server.
std::unique_ptr<AudioControl> MakeAudioEngine(const AudioControlParts& parts);

}  // namespace auralith::ui

#pragma once
// The audio engine as the main window drives it: the choice of the output
// device for the listening category, the start and the switch of playback,
// the stop, and the takeover and restore of the default output.

#include <atomic>
#include <functional>
#include <string>

#include "audio/output_devices.h"
#include "audio/user_messages.h"
#include "audio/wave_out_player.h"
#include "dsp/dsp_state.h"

namespace auralith::audio {

class AudioEngine {
 public:
  // The stored output device name of a category (empty for none).
  using StoredOutputName = std::function<std::string(int category)>;
  // Runs on the playback device's thread when the device in use went away;
  // the owner calls OnOutputDeviceLost from its own thread.
  using LostNotice = std::function<void()>;

  AudioEngine(UserMessages& messages, StoredOutputName storedOutputName, dsp::DspState& processing);
  ~AudioEngine();
  AudioEngine(const AudioEngine&) = delete;
  AudioEngine& operator=(const AudioEngine&) = delete;

  void SetLostNotice(LostNotice notice) { lostNotice_ = std::move(notice); }
  void SetCategory(int category) { category_.store(category, std::memory_order_relaxed); }
  int Category() const { return category_.load(std::memory_order_relaxed); }

  // Chooses the category's output device as the one to open: the stored
  // name's device, or the first device that is not the virtual one.
  void SelectOutputDevice();
  // 1 when the driver link opened (even when playback did not), else 0.
  // Does nothing (1) while the engine runs.
  int StartAudio();
  // Reopens playback on the category's device when it is not the one in
  // use (or that one has gone); the result of StartAudio, or 1.
  int SwitchOutputDevice();
  // Stops the audio thread, then closes the device and the driver link.
  void StopAudio();
  // The device in use went away: stop cleanly; a later SwitchOutputDevice
  // or StartAudio finds a device again.
  void OnOutputDeviceLost();

  // Makes the virtual device (found by FindOutputDevice) the default and
  // remembers the device to give the default back to.
  void TakeOverDefaultOutput(const OutputDevice& virtualDevice);
  void RestoreDefaultOutput();
  bool TookOverDefault() const { return tookOver_; }
  const std::string& PreviousDefault() const { return previousDefault_; }

  bool Playing() const { return player_.IsOpen() && player_.Running() && !player_.DeviceLost(); }
  int OutputDeviceIndex() const { return outputDeviceIndex_; }
  const OutputDevice& OutputDeviceChosen() const { return outputDevice_; }
  const WaveOutPlayer& Player() const { return player_; }

 private:
  int CategoryDevice(const OutputDeviceList& list) const;

  UserMessages& messages_;
  StoredOutputName storedOutputName_;
  dsp::DspState& processing_;
  LostNotice lostNotice_;
  std::atomic<int> category_{kCategoryDesktop};
  WaveOutPlayer player_;
  int outputDeviceIndex_ = 0;
  OutputDevice outputDevice_;
  int setVolumeOnce_ = 1;
  std::string previousDefault_;
  bool tookOver_ = false;
};

}  // namespace auralith::audio

#pragma once
// The audio engine as the main window drives it: the choice of the output
// device for the listening category, the start and the switch of playback,
// the stop, and the takeover and restore of the default output.
//
// The engine keeps itself playing through faults, on a watch thread of its
// own: a driver link whose daemon went is opened again (back-off 100 ms
// doubling to 2 s) and handed to the audio thread, which plays silence
// meanwhile; playback whose device or sound server went is opened again on
// the category's device; a virtual device that appears again (a new daemon,
// a sound server that came back) is made the default again, the remembered
// previous default staying as it was at the start. Each fault and each
// recovery is told once through UserMessages::ShowNotice and the debug log.
//
// Every operation below may be called from one control thread (the main
// window's); they are serialised with the watch thread's recovery.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "audio/output_devices.h"
#include "audio/sound_server_watch.h"
#include "audio/user_messages.h"
#include "audio/wave_out_player.h"
#include "dsp/dsp_state.h"

namespace auralith::audio {

class AudioEngine {
 public:
  // The stored output device name of a category (empty for none).
  using StoredOutputName = std::function<std::string(int category)>;
  // Runs on the playback device's thread when the device in use went away.
  // The engine recovers by itself; a host may use it to show the moment. It
  // must not call into the engine from that thread (the engine may be
  // waiting for that thread to end): a host passes it to its own thread.
  using LostNotice = std::function<void()>;
  // Runs on the watch thread after the engine reopened playback by itself.
  using PlaybackNotice = std::function<void()>;

  // Failing position exchanges for this long before a stalled driver is
  // told (10 blocks of 40 ms, 40 of the low-latency mode's).
  static constexpr int kStalledMs = 400;

  AudioEngine(UserMessages& messages, StoredOutputName storedOutputName, dsp::DspState& processing);
  ~AudioEngine();
  AudioEngine(const AudioEngine&) = delete;
  AudioEngine& operator=(const AudioEngine&) = delete;

  void SetLostNotice(LostNotice notice) { lostNotice_ = std::move(notice); }
  // The low-latency mode (10 ms headers) or the normal one (40 ms). Takes
  // effect at the next start; while playing, the output restarts at once
  // when the block size changes. Once the engine fell back to the normal
  // mode (the machine could not keep up), it stays there for its lifetime.
  void SetLowLatency(bool on);
  // The mode the output runs in (or will start in).
  bool LowLatency() const;
  // Milliseconds of one output block as playing now.
  int BlockMsInUse() const;
  bool FellBack() const;
  // Tests: see WaveOutPlayer::SetBlockHook; call before StartAudio.
  void SetBlockHook(WaveOutPlayer::BlockHook hook, void* context) {
    std::lock_guard lock(control_);
    player_.SetBlockHook(hook, context);
  }
  void SetPlaybackNotice(PlaybackNotice notice);
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
  // Stops the audio thread, then closes the device and the driver link; the
  // engine no longer recovers playback until the next start.
  void StopAudio();
  // The device in use went away: stop cleanly; the engine, or a later
  // SwitchOutputDevice or StartAudio, finds a device again.
  void OnOutputDeviceLost();

  // Makes the virtual device (found by FindOutputDevice) the default and
  // remembers the device to give the default back to.
  void TakeOverDefaultOutput(const OutputDevice& virtualDevice);
  void RestoreDefaultOutput();
  bool TookOverDefault() const { return tookOver_; }
  const std::string& PreviousDefault() const { return previousDefault_; }

  bool Playing() const { return player_.IsOpen() && player_.Running() && !player_.DeviceLost(); }
  // The sink playback is on (empty while none), safe beside the watch thread.
  std::string PlayingOn() const;
  int OutputDeviceIndex() const { return outputDeviceIndex_; }
  const OutputDevice& OutputDeviceChosen() const { return outputDevice_; }
  const WaveOutPlayer& Player() const { return player_; }

 private:
  int CategoryDevice(const OutputDeviceList& list) const;
  void SelectOutputDeviceLocked();
  int StartAudioLocked(bool quiet);
  void StopAudioLocked();
  void RestartOutputLocked(bool quiet);
  HeaderLayout LayoutLocked() const { return HeaderLayoutFor(lowLatencyWanted_ && !fellBack_); }
  void EnsureWatching();
  void Notice(const std::string& text);

  // Watch thread.
  void OnTick();
  void KeepLink(int64_t now);
  void KeepPlayback(int64_t now);
  void KeepUp();
  void OnServerGone();
  void OnServerBack();
  void OnVirtualSinkAdded(const std::string& sinkName);
  void OnDefaultChanged(const std::string& sinkName);

  UserMessages& messages_;
  StoredOutputName storedOutputName_;
  dsp::DspState& processing_;
  LostNotice lostNotice_;
  PlaybackNotice playbackNotice_;
  std::atomic<int> category_{kCategoryDesktop};
  mutable std::recursive_mutex control_;
  WaveOutPlayer player_;
  int outputDeviceIndex_ = 0;
  OutputDevice outputDevice_;
  int setVolumeOnce_ = 1;
  std::string previousDefault_;
  bool tookOver_ = false;
  std::string virtualSink_;
  // The real sink the server fell back to while the virtual device was
  // away: the streams it took in are the virtual device's again.
  std::string fallbackDefault_;

  bool lowLatencyWanted_ = false;
  bool fellBack_ = false;

  // Recovery state, under control_.
  bool wantPlaying_ = false;
  bool driverStalled_ = false;
  bool driverGone_ = false;
  bool outputGone_ = false;
  bool serverGone_ = false;
  bool serverReturned_ = false;  // the server came back, playback not yet
  bool lossUntold_ = false;      // playback was lost, its cause not told yet
  int linkRetryMs_ = SoundServerWatch::kFirstRetryMs;
  int64_t nextLinkAttempt_ = 0;
  int playbackRetryMs_ = SoundServerWatch::kFirstRetryMs;
  int64_t nextPlaybackAttempt_ = 0;
  std::unique_ptr<SoundServerWatch> watch_;
};

}  // namespace auralith::audio

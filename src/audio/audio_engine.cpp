#include "audio/audio_engine.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "audio/debug_output.h"
#include "audio/default_output.h"
#include "audio/pulse_client.h"

namespace auralith::audio {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int NextRetry(int retryMs) { return std::min(retryMs * 2, SoundServerWatch::kLongestRetryMs); }

}  // namespace

AudioEngine::AudioEngine(UserMessages& messages, StoredOutputName storedOutputName, dsp::DspState& processing)
    : messages_(messages), storedOutputName_(std::move(storedOutputName)), processing_(processing) {
  player_.SetCategorySource(&category_);
}

AudioEngine::~AudioEngine() {
  // The watch first: it must not recover what is being taken down.
  if (watch_) watch_->Stop();
  std::lock_guard lock(control_);
  player_.Terminate();
}

void AudioEngine::SetPlaybackNotice(PlaybackNotice notice) {
  std::lock_guard lock(control_);
  playbackNotice_ = std::move(notice);
}

void AudioEngine::EnsureWatching() {
  if (watch_) return;
  SoundServerWatch::Handlers handlers;
  handlers.tick = [this] { OnTick(); };
  handlers.serverGone = [this] { OnServerGone(); };
  handlers.serverBack = [this] { OnServerBack(); };
  handlers.virtualSinkAdded = [this](const std::string& sink) { OnVirtualSinkAdded(sink); };
  handlers.defaultChanged = [this](const std::string& sink) { OnDefaultChanged(sink); };
  // The server's fallback is read at once: the virtual device may be back
  // (and the default with it) before a reply to the change event comes.
  handlers.sinkRemoved = [this] {
    PulseClient client;
    if (const std::optional<std::string> current = client.DefaultSink()) OnDefaultChanged(*current);
  };
  watch_ = std::make_unique<SoundServerWatch>(std::move(handlers));
  watch_->Start();
}

void AudioEngine::Notice(const std::string& text) {
  DebugOutput(("Auralith engine: " + text + "\n").c_str());
  messages_.ShowNotice(text);
}

int AudioEngine::CategoryDevice(const OutputDeviceList& list) const {
  const std::string name = storedOutputName_ ? storedOutputName_(Category()) : std::string();
  return RealDeviceFor(list, name);
}

void AudioEngine::SelectOutputDevice() {
  std::lock_guard lock(control_);
  SelectOutputDeviceLocked();
}

void AudioEngine::SelectOutputDeviceLocked() {
  OutputDeviceList list;
  EnumerateOutputDevices(list);
  const int position = CategoryDevice(list);
  outputDeviceIndex_ = position < 0 ? 0 : position;
  outputDevice_ = position < 0 ? OutputDevice() : list[std::size_t(position)];
}

int AudioEngine::StartAudio() {
  std::lock_guard lock(control_);
  EnsureWatching();
  return StartAudioLocked(false);
}

int AudioEngine::StartAudioLocked(bool quiet) {
  if (player_.Running() && player_.IsOpen()) return 1;
  player_.SetHeaderLayout(LayoutLocked());
  std::unique_ptr<VtDevice> link = FindVtDevice();
  if (!link || !link->Open()) {
    if (!quiet) messages_.ShowWarning(kDriverOpenFailedMessage);
    return 0;
  }
  player_.SetLink(std::move(link));
  if (setVolumeOnce_ == 1) setVolumeOnce_ = Category() != kCategoryHeadphones ? 1 : 0;
  const int opened = player_.Open(outputDevice_, setVolumeOnce_, [this] {
    if (lostNotice_) lostNotice_();
  });
  setVolumeOnce_ = 0;
  if (!opened) {
    // The thread may run and the link is open: both go before the message.
    player_.Stop();
    if (!quiet) {
      messages_.ShowWarning(kPlaybackOpenFailedMessage);
      messages_.ShowPreferences();
      // The user chooses a device now; the engine does not retry behind it.
      wantPlaying_ = false;
    }
    return 1;
  }
  player_.Start(&processing_);
  wantPlaying_ = true;
  return 1;
}

int AudioEngine::SwitchOutputDevice() {
  std::lock_guard lock(control_);
  OutputDeviceList list;
  EnumerateOutputDevices(list);
  const int position = CategoryDevice(list);
  // By identity: positions move when devices come and go.
  if (position >= 0 && Playing() && list[std::size_t(position)].sinkName == player_.SinkInUse()) return 1;
  StopAudioLocked();
  SelectOutputDeviceLocked();
  EnsureWatching();
  return StartAudioLocked(false);
}

void AudioEngine::StopAudio() {
  std::lock_guard lock(control_);
  StopAudioLocked();
}

void AudioEngine::StopAudioLocked() {
  wantPlaying_ = false;
  player_.Stop();
}

void AudioEngine::SetLowLatency(bool on) {
  std::lock_guard lock(control_);
  lowLatencyWanted_ = on;
  RestartOutputLocked(false);
}

bool AudioEngine::LowLatency() const {
  std::lock_guard lock(control_);
  return LayoutLocked().bytes != kHeaderBytes;
}

int AudioEngine::BlockMsInUse() const {
  std::lock_guard lock(control_);
  return BlockMs(player_.Layout().bytes);
}

bool AudioEngine::FellBack() const {
  std::lock_guard lock(control_);
  return fellBack_;
}

void AudioEngine::RestartOutputLocked(bool quiet) {
  if (!player_.IsOpen() || !player_.Running()) return;
  if (LayoutLocked() == player_.Layout()) return;
  player_.Stop();
  // Quiet on the watch thread: a failed start is retried there like a lost
  // device.
  StartAudioLocked(quiet);
}

void AudioEngine::OnOutputDeviceLost() {
  std::lock_guard lock(control_);
  if (player_.DeviceLost()) player_.Stop();
}

std::string AudioEngine::PlayingOn() const {
  std::lock_guard lock(control_);
  return Playing() ? player_.SinkInUse() : std::string();
}

void AudioEngine::TakeOverDefaultOutput(const OutputDevice& virtualDevice) {
  std::lock_guard lock(control_);
  if (virtualDevice.Empty()) return;
  previousDefault_.clear();
  tookOver_ = TakeOverDefaultSink(virtualDevice.sinkName, previousDefault_);
  if (tookOver_) virtualSink_ = virtualDevice.sinkName;
  EnsureWatching();
}

void AudioEngine::RestoreDefaultOutput() {
  std::lock_guard lock(control_);
  if (!tookOver_) return;
  // Never leave the computer on the virtual device: a remembered device that
  // has gone gives way to the one in use, or to the first real one.
  const std::string inUse = player_.SinkInUse().empty() ? outputDevice_.sinkName : player_.SinkInUse();
  if (RestoreDefaultSink(previousDefault_, inUse)) tookOver_ = false;
}

void AudioEngine::OnTick() {
  std::lock_guard lock(control_);
  player_.CollectRetiredLink();
  if (!wantPlaying_) return;
  const int64_t now = NowMs();
  KeepPlayback(now);
  if (player_.IsOpen() && player_.Running()) {
    KeepLink(now);
    KeepUp();
  }
}

void AudioEngine::KeepUp() {
  if (fellBack_ || !player_.FallingBehind() || player_.Layout().bytes == kHeaderBytes) return;
  // Told once: the rest of the run plays in the large blocks.
  fellBack_ = true;
  Notice(kLowLatencyFallbackNotice);
  RestartOutputLocked(true);
}

void AudioEngine::KeepLink(int64_t now) {
  if (player_.LinkGone()) {
    if (player_.LinkHandOverPending()) return;
    if (!driverGone_) {
      driverGone_ = true;
      driverStalled_ = false;
      Notice(kDriverGoneNotice);
      linkRetryMs_ = SoundServerWatch::kFirstRetryMs;
      nextLinkAttempt_ = now;
    }
    if (now < nextLinkAttempt_) return;
    std::unique_ptr<VtDevice> link = FindVtDevice();
    if (link && link->Open() && player_.HandOverLink(link)) return;
    nextLinkAttempt_ = now + linkRetryMs_;
    linkRetryMs_ = NextRetry(linkRetryMs_);
    return;
  }
  const uint32_t failing = player_.FailingExchanges();
  const uint32_t stalled = uint32_t(kStalledMs / std::max(1, BlockMs(player_.Layout().bytes)));
  if (failing >= stalled && !driverStalled_ && !driverGone_) {
    driverStalled_ = true;
    Notice(kDriverStalledNotice);
  } else if (failing == 0 && (driverStalled_ || driverGone_)) {
    driverStalled_ = driverGone_ = false;
    Notice(kDriverBackNotice);
  }
}

void AudioEngine::KeepPlayback(int64_t now) {
  if (player_.IsOpen() && !player_.DeviceLost()) return;
  if (player_.IsOpen()) {
    // Lost: stop cleanly at once; the audio thread must not feed a dead
    // stream. Whether the device or the whole server went is known by the
    // first retry.
    player_.Stop();
    lossUntold_ = true;
    playbackRetryMs_ = SoundServerWatch::kFirstRetryMs;
    nextPlaybackAttempt_ = now + playbackRetryMs_;
    return;
  }
  if (now < nextPlaybackAttempt_) return;
  const bool serverUp = !serverGone_ && watch_ && watch_->Connected();
  if (lossUntold_) {
    // A server that has gone takes its devices with it: only a device that
    // went while the server stayed is a fault of its own.
    lossUntold_ = false;
    if (serverUp) {
      outputGone_ = true;
      Notice(kOutputGoneNotice);
    }
  }
  if (!serverUp) {
    nextPlaybackAttempt_ = now + SoundServerWatch::kTickMs;
    return;
  }
  SelectOutputDeviceLocked();
  if (outputDevice_.Empty() || !StartAudioLocked(true) || !player_.IsOpen()) {
    nextPlaybackAttempt_ = now + playbackRetryMs_;
    playbackRetryMs_ = NextRetry(playbackRetryMs_);
    return;
  }
  if (outputGone_) Notice(kOutputBackNotice + outputDevice_.productName);
  if (serverReturned_) Notice(kServerBackNotice);
  outputGone_ = serverReturned_ = false;
  driverStalled_ = driverGone_ = false;
  if (playbackNotice_) playbackNotice_();
}

void AudioEngine::OnServerGone() {
  std::lock_guard lock(control_);
  if (serverGone_) return;
  serverGone_ = true;
  Notice(kServerGoneNotice);
}

void AudioEngine::OnServerBack() {
  std::lock_guard lock(control_);
  if (tookOver_) {
    // The virtual device may be there already (its daemon was quicker).
    PulseClient client;
    if (std::optional<std::vector<SinkInfo>> sinks = client.Sinks()) {
      const OutputDeviceList list = DevicesOf(*sinks);
      // A new server starts on a default of its own; what plays there meanwhile
      // belongs to the virtual device.
      if (const std::optional<std::string> current = client.DefaultSink()) {
        const int at = PositionOf(list, *current);
        if (at >= 0 && !IsVirtualDevice(list[std::size_t(at)])) fallbackDefault_ = *current;
      }
      const int position = PositionOf(list, virtualSink_);
      const int found = position >= 0 ? position : FindOutputDevice(list, kVirtualDeviceName);
      if (found >= 0) OnVirtualSinkAdded(list[std::size_t(found)].sinkName);
    }
  }
  if (!serverGone_) return;
  serverGone_ = false;
  // Told once playback runs again, or now when there is none to wait for.
  serverReturned_ = wantPlaying_;
  if (!serverReturned_) Notice(kServerBackNotice);
  nextPlaybackAttempt_ = 0;
  playbackRetryMs_ = SoundServerWatch::kFirstRetryMs;
}

void AudioEngine::OnVirtualSinkAdded(const std::string& sinkName) {
  std::lock_guard lock(control_);
  // Only while the default is held: before the takeover and after the
  // restore the default is the user's. The previous default stays the one
  // remembered at the start, not whatever the server fell back to.
  if (!tookOver_) return;
  PulseClient client;
  const std::optional<std::string> current = client.DefaultSink();
  if (!current || *current != sinkName) {
    if (!client.SetDefaultSink(sinkName)) return;
    DebugOutput(("Auralith engine: the virtual device " + sinkName + " is the default output again\n").c_str());
  }
  virtualSink_ = sinkName;
  // The server moves the streams that follow the default along with it, but
  // not always those it rescued to its fallback while the device was away.
  if (!fallbackDefault_.empty()) client.MoveStreams(fallbackDefault_, sinkName);
  fallbackDefault_.clear();
}

void AudioEngine::OnDefaultChanged(const std::string& sinkName) {
  std::lock_guard lock(control_);
  if (!tookOver_ || sinkName == virtualSink_) return;
  OutputDeviceList list;
  EnumerateOutputDevices(list);
  const int position = PositionOf(list, sinkName);
  if (position >= 0 && !IsVirtualDevice(list[std::size_t(position)])) fallbackDefault_ = sinkName;
}

}  // namespace auralith::audio

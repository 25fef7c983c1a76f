#include "audio/audio_engine.h"

#include "audio/default_output.h"

namespace auralith::audio {

AudioEngine::AudioEngine(UserMessages& messages, StoredOutputName storedOutputName, dsp::DspState& processing)
    : messages_(messages), storedOutputName_(std::move(storedOutputName)), processing_(processing) {
  player_.SetCategorySource(&category_);
}

AudioEngine::~AudioEngine() { player_.Terminate(); }

int AudioEngine::CategoryDevice(const OutputDeviceList& list) const {
  const std::string name = storedOutputName_ ? storedOutputName_(Category()) : std::string();
  return RealDeviceFor(list, name);
}

void AudioEngine::SelectOutputDevice() {
  OutputDeviceList list;
  EnumerateOutputDevices(list);
  const int position = CategoryDevice(list);
  outputDeviceIndex_ = position < 0 ? 0 : position;
  outputDevice_ = position < 0 ? OutputDevice() : list[std::size_t(position)];
}

int AudioEngine::StartAudio() {
  if (player_.Running() && player_.IsOpen()) return 1;
  player_.SetHeaderLayout(kHeaderCount, kHeaderBytes);
  std::unique_ptr<VtDevice> link = FindVtDevice();
  if (!link || !link->Open()) {
    messages_.ShowWarning(kDriverOpenFailedMessage);
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
    messages_.ShowWarning(kPlaybackOpenFailedMessage);
    messages_.ShowPreferences();
    return 1;
  }
  player_.Start(&processing_);
  return 1;
}

int AudioEngine::SwitchOutputDevice() {
  OutputDeviceList list;
  EnumerateOutputDevices(list);
  const int position = CategoryDevice(list);
  // By identity: positions move when devices come and go.
  if (position >= 0 && Playing() && list[std::size_t(position)].sinkName == player_.SinkInUse()) return 1;
  StopAudio();
  SelectOutputDevice();
  return StartAudio();
}

void AudioEngine::StopAudio() { player_.Stop(); }

void AudioEngine::OnOutputDeviceLost() {
  if (player_.DeviceLost()) StopAudio();
}

void AudioEngine::TakeOverDefaultOutput(const OutputDevice& virtualDevice) {
  if (virtualDevice.Empty()) return;
  previousDefault_.clear();
  tookOver_ = TakeOverDefaultSink(virtualDevice.sinkName, previousDefault_);
}

void AudioEngine::RestoreDefaultOutput() {
  if (!tookOver_) return;
  // Never leave the computer on the virtual device: a remembered device that
  // has gone gives way to the one in use, or to the first real one.
  const std::string inUse = player_.SinkInUse().empty() ? outputDevice_.sinkName : player_.SinkInUse();
  if (RestoreDefaultSink(previousDefault_, inUse)) tookOver_ = false;
}

}  // namespace auralith::audio

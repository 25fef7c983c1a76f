#include "ui/main/audio_control.h"

#include "audio/audio_engine.h"

namespace auralith::ui {
namespace {

class EngineControl : public AudioControl {
 public:
  explicit EngineControl(const AudioControlParts& parts)
      : engine_(parts.messages, parts.storedOutputName, parts.processing) {
    engine_.SetLostNotice(parts.lostNotice);
  }

  audio::OutputDeviceList OutputDevices() override {
    audio::OutputDeviceList list;
    audio::EnumerateOutputDevices(list);
    return list;
  }
  void TakeOverDefaultOutput(const audio::OutputDevice& virtualDevice) override {
    engine_.TakeOverDefaultOutput(virtualDevice);
  }
  void RestoreDefaultOutput() override { engine_.RestoreDefaultOutput(); }
  void SetCategory(int category) override { engine_.SetCategory(category); }
  void SelectOutputDevice() override { engine_.SelectOutputDevice(); }
  void SetLowLatency(bool on) override { engine_.SetLowLatency(on); }
  int StartAudio() override { return engine_.StartAudio(); }
  int SwitchOutputDevice() override { return engine_.SwitchOutputDevice(); }
  void StopAudio() override { engine_.StopAudio(); }
  void OnOutputDeviceLost() override { engine_.OnOutputDeviceLost(); }
  bool Running() const override { return engine_.Player().Running(); }
  EngineCounters Counters() const override {
    const audio::PlayerCounters counters = engine_.Player().Counters();
    return {counters.blocks, counters.processedBlocks};
  }

 private:
  audio::AudioEngine engine_;
};

}  // namespace

std::unique_ptr<AudioControl> MakeAudioEngine(const AudioControlParts& parts) {
  return std::make_unique<EngineControl>(parts);
}

}  // namespace auralith::ui

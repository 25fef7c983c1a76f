#pragma once

#include "ui/main/audio_control.h"

#include <string>
#include <vector>

// An engine that records what the controller asks of it, over a device
// list the test sets.
namespace auralith::ui::test {

class FakeAudio : public AudioControl {
 public:
  struct Shared {
    audio::OutputDeviceList devices;
    std::vector<std::string> calls;
    int startResult = 1;
    bool running = false;
    std::function<void()> onStart;  // runs inside StartAudio
    int category = -1;
    int lowLatency = -1;  // not set yet
  };

  explicit FakeAudio(Shared& shared) : shared_(shared) {}

  audio::OutputDeviceList OutputDevices() override { return shared_.devices; }
  void TakeOverDefaultOutput(const audio::OutputDevice& device) override {
    shared_.calls.push_back("takeover " + device.sinkName);
  }
  void RestoreDefaultOutput() override { shared_.calls.push_back("restore"); }
  void SetCategory(int category) override { shared_.category = category; }
  void SelectOutputDevice() override { shared_.calls.push_back("select"); }
  void SetLowLatency(bool on) override { shared_.lowLatency = on ? 1 : 0; }
  int StartAudio() override {
    shared_.calls.push_back("start");
    if (shared_.onStart) shared_.onStart();
    shared_.running = shared_.startResult == 1;
    return shared_.startResult;
  }
  int SwitchOutputDevice() override {
    shared_.calls.push_back("switch");
    return 1;
  }
  void StopAudio() override {
    shared_.calls.push_back("stop");
    shared_.running = false;
  }
  void OnOutputDeviceLost() override { shared_.calls.push_back("lost"); }
  bool Running() const override { return shared_.running; }
  EngineCounters Counters() const override { return {}; }

 private:
  Shared& shared_;
};

}  // namespace auralith::ui::test

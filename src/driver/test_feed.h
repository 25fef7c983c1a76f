#pragma once
// Feeds the ring in real time from a generated tone or a WAV file instead of
// the sound server, for tests and machines without one.

#include <pulse/mainloop-api.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace auralith::ulxd {

class TestFeed {
 public:
  using AudioSink = std::function<void(const uint8_t* data, size_t bytes)>;
  // Runs after each tick's audio: the feed's bursts.
  using BurstEnd = std::function<void()>;

  // A sine tone of hz at dbfs on both channels, without end.
  static std::vector<int16_t> ToneFrames(double hz, double dbfs, uint64_t firstFrame, size_t frames);

  // Plays stereo (interleaved) once, then silence, or over and over with loop;
  // an empty stereo plays the tone.
  TestFeed(pa_mainloop_api* api, std::vector<int16_t> stereo, bool loop, double toneHz, double toneDbfs,
           AudioSink audio, BurstEnd burstEnd);
  ~TestFeed();
  TestFeed(const TestFeed&) = delete;
  TestFeed& operator=(const TestFeed&) = delete;

  void Start();

 private:
  static void OnTick(pa_mainloop_api* api, pa_time_event* event, const struct timeval* tv, void* self);
  void Produce(uint64_t frames);

  pa_mainloop_api* api_;
  std::vector<int16_t> stereo_;
  bool loop_;
  double toneHz_;
  double toneDbfs_;
  AudioSink audio_;
  BurstEnd burstEnd_;
  pa_time_event* tick_ = nullptr;
  double startSeconds_ = 0;
  uint64_t produced_ = 0;
  bool endLogged_ = false;
};

}  // namespace auralith::ulxd

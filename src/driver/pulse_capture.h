#pragma once
// The virtual device on the sound server: a null sink described as
// "Auralith ...", whose monitor is recorded and handed on as 16-bit stereo
// at 44100 Hz. Survives the server restarting and the sink being removed by
// someone else, and removes the sink at the end.

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop-api.h>
#include <pulse/sample.h>
#include <pulse/stream.h>
#include <pulse/subscribe.h>

#include <cstdint>
#include <functional>
#include <string>

namespace auralith::ulxd {

class PulseCapture {
 public:
  // Receives the recorded audio; data is null for a gap of that many bytes.
  using AudioSink = std::function<void(const uint8_t* data, size_t bytes)>;
  // Runs after the audio that arrived at once (a burst) has been handed on.
  using BurstEnd = std::function<void()>;

  PulseCapture(pa_mainloop_api* api, std::string sinkName, std::string description, AudioSink audio, BurstEnd burstEnd);
  ~PulseCapture();
  PulseCapture(const PulseCapture&) = delete;
  PulseCapture& operator=(const PulseCapture&) = delete;

  void Start();
  // Captures in fragments of this many bytes from now on (kLargeFragmentBytes
  // at first).
  void SetFragment(uint32_t bytes);
  // Removes the sink and leaves the server; done runs once that is over.
  void Stop(std::function<void()> done);

 private:
  static void OnContextState(pa_context* context, void* self);
  static void OnServerInfo(pa_context* context, const pa_server_info* info, void* self);
  static void OnModule(pa_context* context, const pa_module_info* info, int eol, void* self);
  static void OnLoaded(pa_context* context, uint32_t index, void* self);
  static void OnSink(pa_context* context, const pa_sink_info* info, int eol, void* self);
  static void OnStreamState(pa_stream* stream, void* self);
  static void OnStreamRead(pa_stream* stream, size_t bytes, void* self);
  static void OnFragmentSet(pa_stream* stream, int success, void* self);
  static void OnUnloaded(pa_context* context, int success, void* self);
  static void OnEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* self);
  static void OnSinkChanged(pa_context* context, const pa_sink_info* info, int eol, void* self);
  void NoteVolume(const pa_sink_info& info);
  static void OnRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval* tv, void* self);

  void Connect();
  void Disconnect();
  void LoadSink();
  void Record(const char* monitor);
  void ApplyFragment();
  void DropStream();
  static constexpr pa_usec_t kRetryUsec = 1000000;
  void RetryLater(bool reconnect, pa_usec_t delay = kRetryUsec);
  std::string ModuleArguments() const;
  void Finish();

  pa_mainloop_api* api_;
  std::string sinkName_;
  std::string description_;
  AudioSink audio_;
  BurstEnd burstEnd_;
  uint32_t fragment_;
  uint32_t streamFragment_ = 0;  // what the stream was last asked for
  bool graphServer_ = true;      // until the server has said what it is
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  pa_time_event* retry_ = nullptr;
  bool retryReconnects_ = false;
  uint32_t module_ = UINT32_MAX;
  bool loading_ = false;
  int leftovers_ = 0;
  uint32_t removedLeftover_ = UINT32_MAX;
  std::string monitor_;
  uint32_t sinkIndex_ = UINT32_MAX;
  std::string volumeLogged_;
  bool serverMissingLogged_ = false;
  bool stopping_ = false;
  std::function<void()> done_;
};

}  // namespace auralith::ulxd

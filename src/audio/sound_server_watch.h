#pragma once
// Watches the sound server from a thread of its own: sink and server events
// through a libpulse subscription, a lost connection and its return (the
// connection is made again with a back-off of 100 ms doubling to 2 s), and a
// steady tick on which its owner checks what cannot be subscribed to.
//
// Every event handler runs on the watch thread, one at a time.

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace auralith::audio {

class SoundServerWatch {
 public:
  static constexpr int kTickMs = 20;
  static constexpr int kFirstRetryMs = 100;
  static constexpr int kLongestRetryMs = 2000;

  struct Handlers {
    std::function<void()> serverGone;  // a connection that was up has ended
    std::function<void()> serverBack;  // connected again after serverGone
    // A sink appeared whose description names the virtual device.
    std::function<void(const std::string& sinkName)> virtualSinkAdded;
    // A sink went away.
    std::function<void()> sinkRemoved;
    // The server's default sink changed (to this one).
    std::function<void(const std::string& sinkName)> defaultChanged;
    std::function<void()> tick;
  };

  explicit SoundServerWatch(Handlers handlers);
  ~SoundServerWatch();
  SoundServerWatch(const SoundServerWatch&) = delete;
  SoundServerWatch& operator=(const SoundServerWatch&) = delete;

  void Start();
  // Ends the thread; no handler runs afterwards.
  void Stop();
  bool Connected() const { return connected_.load(std::memory_order_acquire); }

 private:
  void Run();
  void Connect();
  void Disconnect();
  void ScheduleConnect();
  static void OnState(pa_context* context, void* self);
  static void OnEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* self);
  static void OnSinkInfo(pa_context* context, const pa_sink_info* info, int eol, void* self);
  static void OnServerInfo(pa_context* context, const pa_server_info* info, void* self);
  static void OnTimer(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* self);
  static void OnRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* self);

  Handlers handlers_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> connected_{false};
  pa_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_time_event* tick_ = nullptr;
  pa_time_event* retry_ = nullptr;
  int retryMs_ = kFirstRetryMs;
  bool everConnected_ = false;
  bool lost_ = false;
};

}  // namespace auralith::audio

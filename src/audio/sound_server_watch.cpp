#include "audio/sound_server_watch.h"

#include <pulse/introspect.h>
#include <pulse/subscribe.h>
#include <pulse/timeval.h>

#include <algorithm>

#include "audio/output_devices.h"

namespace auralith::audio {
namespace {

timeval After(int ms) {
  timeval when{};
  pa_timeval_add(pa_gettimeofday(&when), pa_usec_t(ms) * 1000);
  return when;
}

}  // namespace

SoundServerWatch::SoundServerWatch(Handlers handlers) : handlers_(std::move(handlers)) {}

SoundServerWatch::~SoundServerWatch() { Stop(); }

void SoundServerWatch::Start() {
  if (thread_.joinable()) return;
  stop_.store(false);
  loop_ = pa_mainloop_new();
  if (!loop_) return;
  thread_ = std::thread(&SoundServerWatch::Run, this);
}

void SoundServerWatch::Stop() {
  if (!thread_.joinable()) return;
  stop_.store(true);
  pa_mainloop_wakeup(loop_);
  thread_.join();
  pa_mainloop_free(loop_);
  loop_ = nullptr;
}

void SoundServerWatch::Run() {
  pa_mainloop_api* api = pa_mainloop_get_api(loop_);
  const timeval first = After(kTickMs);
  tick_ = api->time_new(api, &first, &SoundServerWatch::OnTimer, this);
  Connect();
  while (!stop_.load()) {
    if (pa_mainloop_iterate(loop_, 1, nullptr) < 0) break;
  }
  Disconnect();
  if (retry_) api->time_free(retry_);
  retry_ = nullptr;
  if (tick_) api->time_free(tick_);
  tick_ = nullptr;
}

void SoundServerWatch::Connect() {
  context_ = pa_context_new(pa_mainloop_get_api(loop_), "Auralith watch");
  if (!context_) {
    ScheduleConnect();
    return;
  }
  pa_context_set_state_callback(context_, &SoundServerWatch::OnState, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    Disconnect();
    ScheduleConnect();
  }
}

void SoundServerWatch::Disconnect() {
  connected_.store(false, std::memory_order_release);
  if (!context_) return;
  pa_context_set_state_callback(context_, nullptr, nullptr);
  pa_context_set_subscribe_callback(context_, nullptr, nullptr);
  pa_context_disconnect(context_);
  pa_context_unref(context_);
  context_ = nullptr;
}

void SoundServerWatch::ScheduleConnect() {
  pa_mainloop_api* api = pa_mainloop_get_api(loop_);
  const timeval when = After(retryMs_);
  retryMs_ = std::min(retryMs_ * 2, kLongestRetryMs);
  if (retry_) {
    api->time_restart(retry_, &when);
  } else {
    retry_ = api->time_new(api, &when, &SoundServerWatch::OnRetry, this);
  }
}

void SoundServerWatch::OnRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* self) {
  auto* watch = static_cast<SoundServerWatch*>(self);
  api->time_free(event);
  watch->retry_ = nullptr;
  if (!watch->context_) watch->Connect();
}

void SoundServerWatch::OnTimer(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* self) {
  auto* watch = static_cast<SoundServerWatch*>(self);
  if (watch->handlers_.tick) watch->handlers_.tick();
  const timeval next = After(kTickMs);
  api->time_restart(event, &next);
}

void SoundServerWatch::OnState(pa_context* context, void* self) {
  auto* watch = static_cast<SoundServerWatch*>(self);
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_READY) {
    watch->retryMs_ = kFirstRetryMs;
    watch->connected_.store(true, std::memory_order_release);
    pa_context_set_subscribe_callback(context, &SoundServerWatch::OnEvent, watch);
    const auto mask = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER);
    if (pa_operation* op = pa_context_subscribe(context, mask, nullptr, nullptr)) pa_operation_unref(op);
    const bool back = watch->lost_;
    watch->lost_ = false;
    watch->everConnected_ = true;
    if (back && watch->handlers_.serverBack) watch->handlers_.serverBack();
    return;
  }
  if (PA_CONTEXT_IS_GOOD(state)) return;
  // Failed or ended: a new context, later (libpulse holds a reference of
  // its own while this callback runs).
  const bool wasUp = watch->connected_.load();
  watch->connected_.store(false, std::memory_order_release);
  pa_context_set_state_callback(context, nullptr, nullptr);
  pa_context_set_subscribe_callback(context, nullptr, nullptr);
  pa_context_unref(context);
  watch->context_ = nullptr;
  if (wasUp && !watch->lost_) {
    watch->lost_ = true;
    if (watch->handlers_.serverGone) watch->handlers_.serverGone();
  } else if (!watch->everConnected_) {
    // Never reached yet: its first appearance counts as a return too.
    watch->lost_ = true;
  }
  watch->ScheduleConnect();
}

void SoundServerWatch::OnEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* self) {
  const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
  const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
  if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
    if (pa_operation* op = pa_context_get_server_info(context, &SoundServerWatch::OnServerInfo, self))
      pa_operation_unref(op);
    return;
  }
  if (facility != PA_SUBSCRIPTION_EVENT_SINK) return;
  auto* watch = static_cast<SoundServerWatch*>(self);
  if (kind == PA_SUBSCRIPTION_EVENT_REMOVE && watch->handlers_.sinkRemoved) watch->handlers_.sinkRemoved();
  if (kind != PA_SUBSCRIPTION_EVENT_NEW) return;
  if (pa_operation* op = pa_context_get_sink_info_by_index(context, index, &SoundServerWatch::OnSinkInfo, self))
    pa_operation_unref(op);
}

void SoundServerWatch::OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self) {
  auto* watch = static_cast<SoundServerWatch*>(self);
  if (eol || !info || !info->name) return;
  OutputDevice device{info->name, ProductName(info->description ? info->description : "")};
  if (IsVirtualDevice(device) && watch->handlers_.virtualSinkAdded) watch->handlers_.virtualSinkAdded(info->name);
}

void SoundServerWatch::OnServerInfo(pa_context*, const pa_server_info* info, void* self) {
  auto* watch = static_cast<SoundServerWatch*>(self);
  if (info && info->default_sink_name && watch->handlers_.defaultChanged)
    watch->handlers_.defaultChanged(info->default_sink_name);
}

}  // namespace auralith::audio

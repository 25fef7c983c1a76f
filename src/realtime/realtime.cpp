#include "realtime/realtime.h"

#include <dbus/dbus.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace auralith::realtime {
namespace {

bool TrySchedFifo(int priority) {
  if (priority <= 0) return false;
  sched_param param{};
  param.sched_priority = priority;
  // A forked child must not inherit real-time scheduling.
  return pthread_setschedparam(pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

constexpr const char* kRtkitService = "org.freedesktop.RealtimeKit1";
constexpr const char* kRtkitPath = "/org/freedesktop/RealtimeKit1";
constexpr int kRtkitTimeoutMs = 1000;

// A numeric property of the real-time service; false when it cannot be read.
bool RtkitProperty(DBusConnection* bus, const char* name, int64_t& value) {
  DBusMessage* call = dbus_message_new_method_call(kRtkitService, kRtkitPath, DBUS_INTERFACE_PROPERTIES, "Get");
  if (!call) return false;
  const char* interface = kRtkitService;
  bool ok = false;
  if (dbus_message_append_args(call, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID)) {
    DBusError error;
    dbus_error_init(&error);
    if (DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, call, kRtkitTimeoutMs, &error)) {
      DBusMessageIter iter, variant;
      if (dbus_message_iter_init(reply, &iter) && dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_VARIANT) {
        dbus_message_iter_recurse(&iter, &variant);
        const int type = dbus_message_iter_get_arg_type(&variant);
        if (type == DBUS_TYPE_INT32) {
          dbus_int32_t v = 0;
          dbus_message_iter_get_basic(&variant, &v);
          value = v;
          ok = true;
        } else if (type == DBUS_TYPE_INT64) {
          dbus_int64_t v = 0;
          dbus_message_iter_get_basic(&variant, &v);
          value = v;
          ok = true;
        }
      }
      dbus_message_unref(reply);
    }
    dbus_error_free(&error);
  }
  dbus_message_unref(call);
  return ok;
}

// Asks the system's real-time service (rtkit) to make the calling thread
// SCHED_FIFO. It only grants that to processes that bound their real-time
// CPU time, so the limit is set first.
bool TryRtkit(int priority) {
  DBusError error;
  dbus_error_init(&error);
  DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SYSTEM, &error);
  dbus_error_free(&error);
  if (!bus) return false;
  dbus_connection_set_exit_on_disconnect(bus, FALSE);
  int64_t value = 0;
  if (RtkitProperty(bus, "MaxRealtimePriority", value)) priority = int(std::min<int64_t>(priority, value));
  // rtkit grants real time only to a process whose hard RLIMIT_RTTIME is at
  // most its RTTimeUSecMax. That limit is the process's, so it is lowered
  // only when rtkit answered, only as far as rtkit requires, and never when
  // it is that low already.
  int64_t maxRtTime = 0;
  if (!RtkitProperty(bus, "RTTimeUSecMax", maxRtTime) || maxRtTime <= 0) {
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
    return false;
  }
  rlimit rtTime{};
  if (getrlimit(RLIMIT_RTTIME, &rtTime) == 0 && RtTimeLimitFor(rtTime.rlim_max, maxRtTime, rtTime)) {
    setrlimit(RLIMIT_RTTIME, &rtTime);
  }
  bool ok = false;
  DBusMessage* call = dbus_message_new_method_call(kRtkitService, kRtkitPath, kRtkitService, "MakeThreadRealtime");
  if (call && priority > 0) {
    dbus_uint64_t thread = dbus_uint64_t(syscall(SYS_gettid));
    dbus_uint32_t level = dbus_uint32_t(priority);
    if (dbus_message_append_args(call, DBUS_TYPE_UINT64, &thread, DBUS_TYPE_UINT32, &level, DBUS_TYPE_INVALID)) {
      dbus_error_init(&error);
      DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, call, kRtkitTimeoutMs, &error);
      ok = reply != nullptr && !dbus_error_is_set(&error);
      if (reply) dbus_message_unref(reply);
      dbus_error_free(&error);
    }
  }
  if (call) dbus_message_unref(call);
  dbus_connection_close(bus);
  dbus_connection_unref(bus);
  return ok;
}

}  // namespace

bool RtTimeLimitFor(rlim_t hardLimit, int64_t rtkitMax, rlimit& limit) {
  if (rtkitMax <= 0 || (hardLimit != RLIM_INFINITY && hardLimit <= rlim_t(rtkitMax))) return false;
  limit.rlim_cur = limit.rlim_max = rlim_t(rtkitMax);
  return true;
}

int AllowedPriority(int priority, long limit) {
  if (limit == long(RLIM_INFINITY)) return priority;
  return int(std::clamp<long>(limit, 0, priority));
}

ThreadPriority RaiseToRealtime(int priority) {
  const int highest = sched_get_priority_max(SCHED_FIFO);
  priority = std::min(priority, highest);
  // A privileged process may go beyond its limit.
  if (TrySchedFifo(priority)) return ThreadPriority::Realtime;
  rlimit limit{};
  if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && TrySchedFifo(AllowedPriority(priority, long(limit.rlim_cur))))
    return ThreadPriority::Realtime;
  if (TryRtkit(priority)) return ThreadPriority::Realtime;
  return ThreadPriority::Normal;
}

}  // namespace auralith::realtime

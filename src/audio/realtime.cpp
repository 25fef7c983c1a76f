#include "realtime.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>

namespace auralith::audio {
namespace {

bool TrySchedFifo(int priority) {
  if (priority <= 0) return false;
  sched_param param{};
  param.sched_priority = priority;
  // A forked child must not inherit real-time scheduling.
  return pthread_setschedparam(pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

}  // namespace

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
  return ThreadPriority::Normal;
}

}  // namespace auralith::audio

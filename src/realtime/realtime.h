#pragma once
// Real-time scheduling for the calling thread, where the system grants it.

#include <sys/resource.h>

#include <cstdint>

namespace auralith::realtime {

// Priority asked for: above ordinary real-time work, below the sound
// server's own threads and the kernel's.
inline constexpr int kAudioThreadPriority = 10;

enum class ThreadPriority { Realtime, Normal };

// Makes the calling thread SCHED_FIFO at `priority`, or at the highest
// priority RLIMIT_RTPRIO allows below it, or through the system's real-time
// service (rtkit) when neither is allowed. Leaves it a normal thread when the
// system grants none of them; never fails otherwise. Runs before the thread's
// real-time work: it may block on the system bus for a moment.
ThreadPriority RaiseToRealtime(int priority = kAudioThreadPriority);

// The priority to ask for under a limit: `priority`, capped at `limit`;
// 0 means none can be had.
int AllowedPriority(int priority, long limit);

// The RLIMIT_RTTIME rtkit requires of the process (soft and hard at its
// RTTimeUSecMax, 200 ms by default) when the hard limit is above that; false
// when the limit may stay as it is.
bool RtTimeLimitFor(rlim_t hardLimit, int64_t rtkitMax, rlimit& limit);

}  // namespace auralith::realtime

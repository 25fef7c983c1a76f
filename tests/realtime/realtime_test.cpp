// Real-time scheduling: what is asked for stays within the limits the
// system sets, and what the call reports is what the thread gets.

#include "realtime/realtime.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace auralith::realtime {
namespace {

TEST(Realtime, ThePriorityStaysWithinTheLimit) {
  EXPECT_EQ(AllowedPriority(10, 5), 5);
  EXPECT_EQ(AllowedPriority(10, 0), 0);
  EXPECT_EQ(AllowedPriority(10, 99), 10);
  EXPECT_EQ(AllowedPriority(10, long(RLIM_INFINITY)), 10);
}

TEST(Realtime, WhatItReportsIsWhatTheThreadGets) {
  std::thread worker([] {
    const ThreadPriority got = RaiseToRealtime();
    int policy = 0;
    sched_param param{};
    ASSERT_EQ(pthread_getschedparam(pthread_self(), &policy, &param), 0);
    EXPECT_EQ(got == ThreadPriority::Realtime, (policy & ~SCHED_RESET_ON_FORK) == SCHED_FIFO);
  });
  worker.join();
}

// Exit codes of the child below.
constexpr int kStayedNormal = 0;
constexpr int kCouldNotDropTheAllowance = 2;
constexpr int kWentRealtimeAnyway = 3;

TEST(Realtime, AThreadThatMayNotGoRealtimeStaysNormalWithoutFailing) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Takes every real-time allowance away: no RLIMIT_RTPRIO, no privilege
    // (an unprivileged user), no system bus and so no rtkit.
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_RTPRIO, &none) != 0) _exit(kCouldNotDropTheAllowance);
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(kCouldNotDropTheAllowance);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/auralith/system_bus_socket", 1);
    const ThreadPriority got = RaiseToRealtime();
    int policy = -1;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    _exit(got == ThreadPriority::Normal && policy == SCHED_OTHER ? kStayedNormal : kWentRealtimeAnyway);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kStayedNormal);
}

TEST(RealtimeLimit, IsLoweredOnlyAsFarAsTheRealtimeServiceRequires) {
  rlimit limit{};
  ASSERT_TRUE(RtTimeLimitFor(RLIM_INFINITY, 200000, limit));
  EXPECT_EQ(limit.rlim_cur, 200000u);
  EXPECT_EQ(limit.rlim_max, 200000u);
  EXPECT_TRUE(RtTimeLimitFor(500000, 200000, limit));
  EXPECT_FALSE(RtTimeLimitFor(200000, 200000, limit)) << "low enough already";
  EXPECT_FALSE(RtTimeLimitFor(50000, 200000, limit)) << "never raised, never lowered further";
  EXPECT_FALSE(RtTimeLimitFor(RLIM_INFINITY, 0, limit)) << "no service that answered: left as it is";
}

}  // namespace
}  // namespace auralith::realtime

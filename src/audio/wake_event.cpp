#include "audio/wake_event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace auralith::audio {
namespace {

long Futex(std::atomic<uint32_t>& word, int op, uint32_t value) {
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
  return syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), op | FUTEX_PRIVATE_FLAG, value, nullptr, nullptr, 0);
}

}  // namespace

void WakeEvent::Set() {
  if (state_.exchange(1, std::memory_order_acq_rel) == 0) Futex(state_, FUTEX_WAKE, INT_MAX);
}

void WakeEvent::Reset() { state_.store(0, std::memory_order_release); }

bool WakeEvent::Wait() {
  while (state_.load(std::memory_order_acquire) == 0) {
    if (Futex(state_, FUTEX_WAIT, 0) == -1 && errno != EAGAIN && errno != EINTR) return false;
  }
  return true;
}

}  // namespace auralith::audio

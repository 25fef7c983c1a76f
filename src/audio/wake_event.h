#pragma once
// A manual-reset event: once set it stays set, waking every waiter, until it
// is reset. Set and Reset never block and take no lock, so the playback
// device's thread and the audio thread can use it freely.

#include <atomic>
#include <cstdint>

namespace auralith::audio {

class WakeEvent {
 public:
  void Set();
  void Reset();
  bool IsSet() const { return state_.load(std::memory_order_acquire) != 0; }
  // Blocks until the event is set; returns at once when it already is.
  // False only when waiting is impossible (the thread must then end).
  bool Wait();

 private:
  std::atomic<uint32_t> state_{0};
};

}  // namespace auralith::audio

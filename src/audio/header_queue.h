#pragma once
// The playback headers handed to the device and not yet taken by it: a
// bounded queue that any thread may push to without a lock (the player
// primes from the control thread while the audio thread already refills)
// and that the device's thread alone pops from.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace auralith::audio {

template <typename T, std::size_t N>
class HeaderQueue {
  static_assert(N >= 2 && (N & (N - 1)) == 0, "the capacity is a power of two");

 public:
  HeaderQueue() {
    for (std::size_t i = 0; i < N; ++i) cells_[i].sequence.store(i, std::memory_order_relaxed);
  }

  // False when the queue is full.
  bool Push(T* item) {
    std::size_t position = tail_.load(std::memory_order_relaxed);
    for (;;) {
      Cell& cell = cells_[position & (N - 1)];
      const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
      const auto lag = static_cast<std::ptrdiff_t>(sequence - position);
      if (lag == 0) {
        if (tail_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
          cell.item = item;
          cell.sequence.store(position + 1, std::memory_order_release);
          return true;
        }
      } else if (lag < 0) {
        return false;
      } else {
        position = tail_.load(std::memory_order_relaxed);
      }
    }
  }

  // The oldest item, or null when none is complete yet. One thread only.
  T* Pop() {
    Cell& cell = cells_[head_ & (N - 1)];
    if (cell.sequence.load(std::memory_order_acquire) != head_ + 1) return nullptr;
    T* item = cell.item;
    cell.sequence.store(head_ + N, std::memory_order_release);
    ++head_;
    return item;
  }

 private:
  struct Cell {
    std::atomic<std::size_t> sequence;
    T* item = nullptr;
  };
  std::array<Cell, N> cells_;
  std::atomic<std::size_t> tail_{0};
  std::size_t head_ = 0;
};

}  // namespace auralith::audio

// The bounded queues between the reader, the chain and the writer of a
// rendering on threads: a circle of slots that each block passes through
// in order, read, then processed, then written, after which its slot is
// free for reading again. The ring only counts; the blocks live with the
// caller, block number n in slot n % slots.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

namespace auralith::render {

class BlockRing {
 public:
  enum Stage : std::size_t { kRead, kChain, kWrite, kStageCount };

  explicit BlockRing(std::size_t slots);

  // Lets the stages run: until then Acquire waits, so that threads can be
  // started one by one and still be stopped before any of them begins.
  void Open();

  // The number of the next block for `stage`, once the stage before it has
  // handed the block on (for reading: once the writer has freed its slot).
  // Nothing when every block has gone through or the ring was stopped.
  std::optional<std::uint64_t> Acquire(Stage stage);
  // Hands the block last acquired by `stage` on to the next stage.
  void Release(Stage stage);

  // The reader: no more blocks come.
  void Finish();
  // Any stage: give up; every Acquire returns nothing from now on.
  void Stop();

 private:
  // What `stage` waits for: the count the stage before it must reach.
  std::uint64_t Available(Stage stage) const;
  bool Ended(Stage stage) const;
  // Whether `stage`, waiting, has what it waits for.
  bool MayGoOn(Stage stage) const;

  const std::size_t slots_;
  // A stage that had to wait goes on only when `batch_` blocks are ready,
  // not at every single one: fewer wake-ups, same order.
  const std::size_t batch_;
  std::mutex mutex_;
  std::condition_variable wake_[kStageCount];
  std::uint64_t done_[kStageCount] = {};
  std::uint64_t needed_[kStageCount] = {};  // while waiting: the count needed
  bool waiting_[kStageCount] = {};
  bool open_ = false;
  bool finished_ = false;
  bool stopped_ = false;
};

}  // namespace auralith::render

#include "tools/render/block_ring.h"

#include <algorithm>

namespace auralith::render {

namespace {

// The stage whose blocks `stage` takes: reading takes the writer's freed slots.
BlockRing::Stage Before(BlockRing::Stage stage) {
  return stage == BlockRing::kRead ? BlockRing::kWrite : static_cast<BlockRing::Stage>(stage - 1);
}

BlockRing::Stage After(BlockRing::Stage stage) {
  return stage == BlockRing::kWrite ? BlockRing::kRead : static_cast<BlockRing::Stage>(stage + 1);
}

}  // namespace

// With batches of at most a quarter of the ring, the three stages can never
// all be waiting for each other.
BlockRing::BlockRing(std::size_t slots)
    : slots_(std::max<std::size_t>(slots, 1)), batch_(std::max<std::size_t>(slots_ / 4, 1)) {}

std::uint64_t BlockRing::Available(Stage stage) const {
  return stage == kRead ? done_[kWrite] + slots_ : done_[Before(stage)];
}

bool BlockRing::Ended(Stage stage) const {
  // Every block read also goes through the chain and the writer.
  return finished_ && (stage == kRead || done_[stage] == done_[kRead]);
}

bool BlockRing::MayGoOn(Stage stage) const {
  // At the end fewer than a batch may come.
  const std::uint64_t target = finished_ && stage != kRead ? std::min(needed_[stage], done_[kRead]) : needed_[stage];
  return stopped_ || (open_ && (Available(stage) >= target || Ended(stage)));
}

void BlockRing::Open() {
  const std::lock_guard lock(mutex_);
  open_ = true;
  for (std::condition_variable& wake : wake_) wake.notify_all();
}

std::optional<std::uint64_t> BlockRing::Acquire(Stage stage) {
  std::unique_lock lock(mutex_);
  const std::uint64_t next = done_[stage];
  const bool ready = open_ && (next < Available(stage) || Ended(stage));
  if (!ready && !stopped_) {
    needed_[stage] = next + batch_;
    waiting_[stage] = true;
    wake_[stage].wait(lock, [&] { return MayGoOn(stage); });
    waiting_[stage] = false;
  }
  if (stopped_ || Ended(stage)) return std::nullopt;
  return next;
}

void BlockRing::Release(Stage stage) {
  const std::lock_guard lock(mutex_);
  ++done_[stage];
  const Stage next = After(stage);
  if (waiting_[next] && MayGoOn(next)) wake_[next].notify_one();
}

void BlockRing::Finish() {
  const std::lock_guard lock(mutex_);
  finished_ = true;
  for (std::condition_variable& wake : wake_) wake.notify_all();
}

void BlockRing::Stop() {
  const std::lock_guard lock(mutex_);
  stopped_ = true;
  for (std::condition_variable& wake : wake_) wake.notify_all();
}

}  // namespace auralith::render

// The control thread rewrites and publishes parameters while the audio thread
// processes blocks: each block must see one whole set, and the build must run
// clean under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "test_support.h"

namespace auralith::dsp {
namespace {

// Every field of the set carries the same generation number.
DspParams Generation(std::uint32_t g) {
  const auto v = static_cast<float>(g);
  DspParams p;
  p.masterGain = p.outputGain = v;
  p.dynamicsMode = static_cast<std::int32_t>(g);
  p.lowShelf1.a = p.highShelf2.norm = v;
  p.compressor1.ratio = p.highBandCompressor.makeup = v;
  p.highBandLink = static_cast<std::int32_t>(g);
  for (PeakParams& band : p.peak) band = {v, v, v};
  p.inputHighPass.b0 = p.midBandHighPass.a2 = v;
  return p;
}

bool Consistent(const DspParams& p, std::uint32_t& generation) {
  generation = static_cast<std::uint32_t>(p.dynamicsMode);
  return p == Generation(generation);
}

TEST(ParamHandover, ReaderAlwaysSeesOneWholeSetAndNeverGoesBack) {
  ParamHandover handover;
  handover.Reset(Generation(0));
  constexpr std::uint32_t kLast = 20000;
  std::thread writer([&] {
    for (std::uint32_t g = 1; g <= kLast; ++g) handover.Publish(Generation(g));
  });
  std::uint32_t seen = 0;
  while (seen < kLast) {
    std::uint32_t g = 0;
    ASSERT_TRUE(Consistent(handover.Acquire(), g));
    ASSERT_GE(g, seen);
    seen = g;
  }
  writer.join();
}

TEST(ConcurrentProcessing, ParametersAndFlagsChangeWhileBlocksRun) {
  auto state = testing::MakeState();
  std::mt19937 rng(8);
  const DspParams sets[2] = {testing::RandomParams(state->tables, rng), testing::NeutralParams(state->tables)};
  state->params = sets[0];
  PublishParams(*state);
  std::atomic<bool> done{false};

  std::thread control([&] {
    for (int i = 0; !done.load(); ++i) {
      // The way the profile mapping and the user equaliser work: field by
      // field on the editable set, then one publication.
      state->params = sets[i % 2];
      state->params.peak[10].k = state->tables.peakGain[static_cast<std::size_t>(i % 61)];
      PublishParams(*state);
      state->kiroActive.store(i % 3 == 0, std::memory_order_relaxed);
      state->processingOff.store(i % 2 == 1, std::memory_order_relaxed);
      std::this_thread::yield();
    }
  });

  std::vector<float> block(2 * 1764);
  for (int b = 0; b < 200; ++b) {
    const std::vector<float> in = testing::MusicLike(1764, rng);
    block = in;
    ProcessBlock(*state, block.data(), 1764);
    for (float v : block) ASSERT_TRUE(std::isfinite(v));
  }
  done = true;
  control.join();
}

}  // namespace
}  // namespace auralith::dsp

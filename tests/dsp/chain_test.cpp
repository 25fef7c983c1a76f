// The block chain: conversions, ProcessBlock against the scalar reference,
// parameter publication, long blocks and recovery from non-finite values.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

#include "reference_chain.h"
#include "test_support.h"

// Counts the allocations of the thread that watches for them.
namespace {
thread_local bool g_watching = false;
std::atomic<int> g_allocations{0};
}  // namespace

// Out of line, so that no caller sees malloc and free behind new and delete.
[[gnu::noinline]] void* operator new(std::size_t size) {
  if (g_watching) ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace auralith::dsp {
namespace {

using testing::FirstDifference;

std::vector<std::int16_t> ToPcm(std::vector<float> samples) {
  std::vector<std::int16_t> out(samples.size());
  FloatToPcm(samples.data(), samples.size(), out.data());
  return out;
}

TEST(FloatToPcm, ClipsRoundsAndConvertsEverySample) {
  const float quarterStep = 0.25f / 32768.0f;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  // 13 samples: not a multiple of 8, so the tail takes the scalar path.
  const std::vector<float> in = {1.0f, 2.0f,         -1.0f,        0.5f,         quarterStep, nan, -inf,
                                 inf,  0.5f / 32768, 1.5f / 32768, 2.5f / 32768, -0.5f,       nan};
  const std::vector<std::int16_t> expected = {32394, 32394, -32394, 16384, 0, 0, -32394, 32394, 0, 2, 2, -16384, 0};
  EXPECT_EQ(ToPcm(in), expected);
  // Both paths agree on every value.
  for (std::size_t shift = 1; shift < 8; ++shift) {
    std::vector<float> shifted(shift, 0.0f);
    shifted.insert(shifted.end(), in.begin(), in.end());
    const std::vector<std::int16_t> out = ToPcm(shifted);
    EXPECT_EQ(std::vector<std::int16_t>(out.begin() + static_cast<std::ptrdiff_t>(shift), out.end()), expected)
        << shift;
  }
}

TEST(PcmToFloat, ScalesLittleEndianSamples) {
  const std::uint8_t bytes[] = {0xff, 0x7f, 0x00, 0x80, 0x00, 0x40, 0x01, 0x00, 0x55};
  float out[5] = {9, 9, 9, 9, 9};
  PcmToFloat(bytes, sizeof bytes, out, false);
  EXPECT_NEAR(out[0], 0.99997f, 1e-5f);
  EXPECT_EQ(out[1], -1.0f);
  EXPECT_EQ(out[2], 0.5f);
  EXPECT_EQ(out[3], 1.0f / 32768.0f);
  EXPECT_EQ(out[4], 9.0f);  // the odd trailing byte is ignored
  PcmToFloat(bytes, 2, out, true);
  EXPECT_NEAR(out[0], 0.5623f, 1e-4f);
  EXPECT_EQ(out[0], 32767.0f * kPcmScaleQuieter);
}

TEST(PcmToFloat, ConvertsEveryValueAsTheFormulaAtAnyLengthAndOffset) {
  // Every 16-bit value once, from an odd byte offset too, so both the wide
  // path and the tail meet every value and unaligned loads.
  std::vector<std::uint8_t> bytes(2 * 65536 + 3);
  for (std::size_t v = 0; v < 65536; ++v) {
    bytes[1 + 2 * v] = static_cast<std::uint8_t>(v);
    bytes[2 + 2 * v] = static_cast<std::uint8_t>(v >> 8);
  }
  for (const bool quieter : {false, true}) {
    const float scale = quieter ? kPcmScaleQuieter : kPcmScale;
    for (const std::size_t count : {std::size_t{65536}, std::size_t{65535}, std::size_t{13}, std::size_t{7}}) {
      std::vector<float> out(count + 1, 9.0f);
      PcmToFloat(bytes.data() + 1, 2 * count + 1, out.data(), quieter);
      for (std::size_t v = 0; v < count; ++v) {
        const float expected = static_cast<float>(static_cast<std::int16_t>(static_cast<std::uint16_t>(v))) * scale;
        ASSERT_EQ(out[v], expected) << v << " of " << count << (quieter ? " quieter" : "");
      }
      EXPECT_EQ(out[count], 9.0f) << "wrote past " << count;
    }
  }
}

TEST(NoiseSource, DrawsUniformFifteenBitIntegers) {
  NoiseSource noise;
  std::int32_t low = NoiseSource::kMax, high = 0;
  double sum = 0;
  constexpr int kDraws = 200000;
  for (int i = 0; i < kDraws; ++i) {
    const std::int32_t r = noise.Next();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, NoiseSource::kMax);
    low = std::min(low, r);
    high = std::max(high, r);
    sum += r;
  }
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, NoiseSource::kMax);
  EXPECT_NEAR(sum / kDraws, NoiseSource::kMax / 2.0, 100.0);
}

class ChainTest : public ::testing::Test {
 protected:
  void SetUp() override { state_ = testing::MakeState(); }

  void Publish(const DspParams& p) {
    state_->params = p;
    PublishParams(*state_);
  }

  // Another chain with `p` published.
  static std::unique_ptr<DspState> StateWith(const DspParams& p) {
    auto state = testing::MakeState();
    state->params = p;
    PublishParams(*state);
    return state;
  }

  // Publishes random valid parameters in `layout` and returns them.
  DspParams PublishRandom(std::mt19937& rng, std::int32_t layout) {
    DspParams p = testing::RandomParams(state_->tables, rng);
    p.dynamicsMode = layout;
    Publish(p);
    return p;
  }

  std::unique_ptr<DspState> state_;
};

TEST_F(ChainTest, EmptyBlockChangesNothing) {
  Publish(testing::NeutralParams(state_->tables));
  std::vector<float> block(20, 0.25f);
  ProcessBlock(*state_, block.data(), 10);
  const DspMemories before = state_->memories;
  std::vector<float> untouched = block;
  ProcessBlock(*state_, block.data(), 0);
  EXPECT_EQ(state_->frameCount, 10);
  EXPECT_EQ(block, untouched);
  EXPECT_EQ(state_->memories, before);
}

TEST_F(ChainTest, SilentUntilTheFirstParameterSet) {
  std::mt19937 rng(1);
  std::vector<float> block = testing::MusicLike(1764, rng);
  ProcessBlock(*state_, block.data(), 1764);
  for (float v : block) ASSERT_EQ(v, 0.0f);
}

TEST_F(ChainTest, NeutralSetPassesTheInputHighPassedPlusDither) {
  Publish(testing::NeutralParams(state_->tables));
  std::mt19937 rng(2);
  std::vector<float> block = testing::MusicLike(5000, rng), expected = block;
  Lr4State l, r;
  RunLr4(l, r, state_->tables.inputHighPass[0], expected.data(), expected.data(), 5000);
  ProcessBlock(*state_, block.data(), 5000);
  const float noise = std::ldexp(1.0f, -25);
  bool anyNoise = false;
  for (std::size_t i = 0; i < block.size(); ++i) {
    const float diff = std::fabs(block[i] - expected[i]);
    ASSERT_LE(diff, noise + std::fabs(expected[i]) * std::ldexp(1.0f, -24)) << i;
    anyNoise = anyNoise || diff != 0.0f;
  }
  EXPECT_TRUE(anyNoise);

  // Without dither it is the high-passed input exactly.
  auto quiet = testing::MakeState();
  quiet->params = state_->params;
  quiet->dither = false;
  PublishParams(*quiet);
  block = testing::MusicLike(5000, rng);
  expected = block;
  l = r = Lr4State{};
  RunLr4(l, r, quiet->tables.inputHighPass[0], expected.data(), expected.data(), 5000);
  ProcessBlock(*quiet, block.data(), 5000);
  EXPECT_EQ(FirstDifference(block, expected), -1);
}

TEST_F(ChainTest, KiroAttenuatesBy23Point1Decibels) {
  Publish(testing::NeutralParams(state_->tables));
  state_->kiroActive = true;
  state_->dither = false;
  const double db = testing::GainDb(
      [&](float* block, std::size_t frames) {
        for (std::size_t i = 0; i < 2 * frames; ++i) block[i] *= 4.0f;  // full scale
        ProcessBlock(*state_, block, frames);
        for (std::size_t i = 0; i < 2 * frames; ++i) block[i] *= 0.25f;
      },
      1000.0);
  EXPECT_NEAR(db, -23.1, 0.01);
}

TEST_F(ChainTest, SingleBandWithoutMixerGainForOtherLayouts) {
  DspParams p = testing::NeutralParams(state_->tables);
  p.outputGain = 0.5f;
  state_->dither = false;
  std::vector<float> one = testing::Sine(1000, 440.0, 0.5), two = one;
  Publish(p);
  ProcessBlock(*state_, one.data(), 1000);
  auto other = testing::MakeState();
  other->dither = false;
  p.dynamicsMode = 2;
  other->params = p;
  PublishParams(*other);
  ProcessBlock(*other, two.data(), 1000);
  for (std::size_t i = 0; i < one.size(); ++i) ASSERT_EQ(one[i], two[i] * 0.5f) << i;
}

// Random profiles, changed between blocks, with and without hearing
// protection and dither: every sample equals the scalar reference, so the
// stages' memories carry over parameter changes exactly as they should. Both
// builds of the pipeline (SSE2 and, where the processor has it, AVX) run.
TEST_F(ChainTest, MatchesTheReferenceBitForBit) {
  std::mt19937 rng(2024);
  for (int run = 0; run < 8; ++run) {
    auto state = testing::MakeState();
    state->useAvx = run >= 4;
    reference::Chain reference;
    const bool dither = run % 2 == 0;
    state->dither = dither;
    for (int blockIndex = 0; blockIndex < 8; ++blockIndex) {
      DspParams p = testing::RandomParams(state->tables, rng);
      if (blockIndex < 3) p.dynamicsMode = blockIndex;  // every layout in every run
      const bool kiro = (rng() & 1) != 0;
      state->params = p;
      PublishParams(*state);
      state->kiroActive = kiro;
      const std::size_t frames = 1 + rng() % 2500;
      std::vector<float> block = testing::MusicLike(frames, rng), expected = block;
      ProcessBlock(*state, block.data(), frames);
      reference.Process(p, kiro, dither, expected.data(), frames);
      ASSERT_EQ(FirstDifference(block, expected), -1) << "run " << run << " block " << blockIndex << " layout "
                                                      << p.dynamicsMode << (state->useAvx ? " (AVX)" : " (SSE2)");
      ASSERT_EQ(state->frameCount, static_cast<std::int32_t>(frames));
      if (p.dynamicsMode == kThreeBand) {
        const std::vector<float> low(state->lowBand.get(), state->lowBand.get() + 2 * frames);
        const std::vector<float> high(state->highBand.get(), state->highBand.get() + 2 * frames);
        const std::vector<float> mid(state->midBand.get(), state->midBand.get() + 2 * frames);
        reference.low.resize(2 * frames);
        reference.mid.resize(2 * frames);
        reference.high.resize(2 * frames);
        ASSERT_EQ(FirstDifference(low, reference.low), -1);
        ASSERT_EQ(FirstDifference(mid, reference.mid), -1);
        ASSERT_EQ(FirstDifference(high, reference.high), -1);
      }
    }
  }
}

// Blocks shorter than the chain's pipeline fill and drain it at once.
TEST_F(ChainTest, TinyBlocksMatchTheReference) {
  std::mt19937 rng(77);
  for (std::int32_t layout = 0; layout < 6; ++layout) {
    auto state = testing::MakeState();
    state->useAvx = layout >= 3;
    reference::Chain reference;
    DspParams p = testing::RandomParams(state->tables, rng);
    p.dynamicsMode = layout % 3;
    state->params = p;
    PublishParams(*state);
    for (std::size_t frames = 1; frames <= 40; ++frames) {
      std::vector<float> block = testing::MusicLike(frames, rng), expected = block;
      ProcessBlock(*state, block.data(), frames);
      reference.Process(p, false, true, expected.data(), frames);
      ASSERT_EQ(FirstDifference(block, expected), -1) << "layout " << layout << " frames " << frames;
    }
  }
}

TEST_F(ChainTest, ProcessBlockAllocatesNothing) {
  std::mt19937 rng(12);
  for (std::int32_t layout = 0; layout < 3; ++layout) {
    PublishRandom(rng, layout);
    std::vector<float> block = testing::MusicLike(kBandBufferFrames + 100, rng);
    g_allocations = 0;
    g_watching = true;
    ProcessBlock(*state_, block.data(), kBandBufferFrames + 100);
    g_watching = false;
    EXPECT_EQ(g_allocations.load(), 0) << layout;
  }
}

// A new parameter set changes no stage memory: the filters continue from
// their old history with the new coefficients.
TEST_F(ChainTest, ParameterChangesKeepTheStageMemories) {
  std::mt19937 rng(13);
  const DspParams first = testing::RandomParams(state_->tables, rng);
  DspParams second = testing::RandomParams(state_->tables, rng);
  second.dynamicsMode = first.dynamicsMode;
  state_->dither = false;
  Publish(first);
  std::vector<float> block = testing::MusicLike(1764, rng);
  ProcessBlock(*state_, block.data(), 1764);
  const DspMemories before = state_->memories;
  Publish(second);
  EXPECT_EQ(state_->memories, before);

  const std::vector<float> next = testing::MusicLike(1764, rng);
  std::vector<float> continued = next, fresh = next;
  ProcessBlock(*state_, continued.data(), 1764);
  auto other = testing::MakeState();
  other->dither = false;
  other->params = second;
  PublishParams(*other);
  ProcessBlock(*other, fresh.data(), 1764);
  EXPECT_NE(FirstDifference(continued, fresh), -1);  // the history shows
  // ...and it is the old history: a chain given the same memories agrees.
  auto resumed = testing::MakeState();
  resumed->dither = false;
  resumed->params = second;
  PublishParams(*resumed);
  resumed->memories = before;
  std::vector<float> again = next;
  ProcessBlock(*resumed, again.data(), 1764);
  EXPECT_EQ(FirstDifference(continued, again), -1);
}

TEST_F(ChainTest, LongBlocksAreProcessedInPiecesWithTheSameResult) {
  std::mt19937 rng(9);
  auto pieces = StateWith(PublishRandom(rng, kThreeBand));
  const std::size_t frames = 2 * kBandBufferFrames + 1234;
  std::vector<float> whole = testing::MusicLike(frames, rng), split = whole;
  ProcessBlock(*state_, whole.data(), frames);
  for (std::size_t done = 0; done < frames; done += 1764) {
    ProcessBlock(*pieces, split.data() + 2 * done, std::min<std::size_t>(1764, frames - done));
  }
  EXPECT_EQ(FirstDifference(whole, split), -1);
  EXPECT_EQ(state_->memories, pieces->memories);
  EXPECT_EQ(state_->frameCount, 1234);
}

TEST_F(ChainTest, OnlyPublishedParametersReachTheChain) {
  const DspParams p = testing::NeutralParams(state_->tables);
  auto untouched = testing::MakeState();
  for (DspState* s : {state_.get(), untouched.get()}) {
    s->dither = false;
    s->params = p;
    PublishParams(*s);
  }
  const std::vector<float> in = testing::Sine(500, 1000.0, 0.5);
  std::vector<float> edited = in, plain = in;
  state_->params.outputGain = 0.25f;  // edited, not yet published
  ProcessBlock(*state_, edited.data(), 500);
  ProcessBlock(*untouched, plain.data(), 500);
  EXPECT_EQ(FirstDifference(edited, plain), -1);

  PublishParams(*state_);
  edited = plain = in;
  ProcessBlock(*state_, edited.data(), 500);
  ProcessBlock(*untouched, plain.data(), 500);
  for (float& v : plain) v *= 0.25f;
  EXPECT_EQ(FirstDifference(edited, plain), -1);
}

TEST_F(ChainTest, NonFiniteInputDoesNotSilenceTheChain) {
  std::mt19937 rng(4);
  PublishRandom(rng, kThreeBand);
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    std::vector<float> block = testing::MusicLike(1764, rng);
    block[100] = bad;
    ProcessBlock(*state_, block.data(), 1764);
    // Whatever the chain made of it, the 16-bit output is defined: a NaN
    // plays as silence, everything else within the clip level.
    const std::vector<std::int16_t> pcm = ToPcm(block);
    const int clip = static_cast<int>(std::nearbyint(kClipLevel * 32768.0f));
    for (std::size_t i = 0; i < block.size(); ++i) {
      if (std::isnan(block[i])) {
        ASSERT_EQ(pcm[i], 0) << i;
      }
      ASSERT_LE(std::abs(static_cast<int>(pcm[i])), clip) << i;
    }

    block = testing::MusicLike(1764, rng);
    ProcessBlock(*state_, block.data(), 1764);
    float peak = 0.0f;
    for (float v : block) {
      ASSERT_TRUE(std::isfinite(v));
      peak = std::max(peak, std::fabs(v));
    }
    EXPECT_GT(peak, 0.0f);
  }
}

TEST_F(ChainTest, RunsWithoutBandBuffersAndFreesTwice) {
  std::mt19937 rng(6);
  auto freed = StateWith(PublishRandom(rng, kThreeBand));
  FreeDsp(*freed);
  FreeDsp(*freed);
  EXPECT_EQ(freed->lowBand, nullptr);
  std::vector<float> a = testing::MusicLike(1764, rng), b = a;
  ProcessBlock(*state_, a.data(), 1764);
  ProcessBlock(*freed, b.data(), 1764);
  EXPECT_EQ(FirstDifference(a, b), -1);
}

// A block that ends right before an inaccessible page: any read or write past
// its end faults. Every layout and block length near the pipeline's depth.
TEST_F(ChainTest, NeverTouchesMemoryPastTheBlock) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* map = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(map, MAP_FAILED);
  auto* guard = static_cast<char*>(map) + page;
  ASSERT_EQ(mprotect(guard, page, PROT_NONE), 0);
  std::mt19937 rng(7);
  for (std::int32_t layout : {kThreeBand, kSingleBand, 2}) {
    PublishRandom(rng, layout);
    for (std::size_t frames : {1u, 2u, 7u, 31u, 64u, 257u}) {
      float* block = reinterpret_cast<float*>(guard) - 2 * frames;
      const std::vector<float> input = testing::MusicLike(frames, rng);
      std::copy(input.begin(), input.end(), block);
      ProcessBlock(*state_, block, frames);
      EXPECT_TRUE(std::isfinite(block[2 * frames - 1]));
    }
  }
  munmap(map, 2 * page);
}

}  // namespace
}  // namespace auralith::dsp

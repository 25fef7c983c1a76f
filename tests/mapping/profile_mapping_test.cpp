#include "mapping/profile_mapping.h"

#include "dsp/dsp.h"
#include "profiles/builtin_profiles.h"
#include "profiles/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

using namespace auralith::dsp;
using auralith::profiles::Profile;

namespace {

constexpr int kMusic = 1;
constexpr int kMovie = 0;

class MappingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitDsp(*state)); }
  void TearDown() override { FreeDsp(*state); }

  // A fresh, initialised processing state.
  static std::unique_ptr<DspState> NewState() {
    auto s = std::make_unique<DspState>();
    InitDsp(*s);
    return s;
  }

  Profile& ProfileWith(std::initializer_list<std::pair<int, float>> values, int mode = kMusic) {
    profile.parameterSet(mode).clear();
    for (auto [number, value] : values) profile.parameterSet(mode)[number] = value;
    return profile;
  }

  // Every parameter 1 to 58 set to `value`.
  Profile& ProfileAll(float value) {
    profile.musicSet().clear();
    for (int n = 1; n <= 58; ++n) profile.musicSet()[n] = value;
    return profile;
  }

  Profile& BuiltIn(const char* file) {
    profile.load(std::string(AURALITH_PROFILE_SOURCE_DIR "/") + file);
    EXPECT_EQ(profile.musicSet().size(), 58u) << file;
    return profile;
  }

  void SetUserSlots(DspState& s) {
    s.processingOff = false;
    SetBandFrequency(s, 40, 10);
    SetBandQ(s, 9, 10);
    s.params.peak[10].k = 2.0f;
    SetBandFrequency(s, 50, 11);
    SetBandQ(s, 12, 11);
    s.params.peak[11].k = 0.5f;
  }

  std::unique_ptr<DspState> state = std::make_unique<DspState>();
  TempFolder tmp;
  Profile profile{tmp.folder()};
};

bool SameParams(const DspState& a, const DspState& b) {
  return a.params == b.params && a.freqIndex == b.freqIndex && a.qIndex == b.qIndex;
}

}  // namespace

TEST_F(MappingTest, AbsentParametersReadAsZero) {
  ApplyProfileParams(*state, ProfileWith({{1, 80.0f}, {25, 1.0f}}), kMusic);
  const DspParams& p = state->params;
  const DspTables& t = state->tables;

  EXPECT_EQ(p.masterGain, 1.0f);
  EXPECT_EQ(p.dynamicsMode, 1);
  EXPECT_EQ(p.lowShelf1, (ShelfParams{t.shelfGain[0], 0.0f, -1.0f}));  // -12 dB cut
  EXPECT_EQ(p.highShelf2, (ShelfParams{t.shelfGain[0], 0.0f, -1.0f}));
  EXPECT_NEAR(t.shelfGain[0], 0.2511886f, 1e-6f);
  for (const CompParams* c : {&p.compressor1, &p.lowBandCompressor, &p.highBandCompressor}) {
    EXPECT_EQ(c->ratio, 1.0f);
    EXPECT_EQ(c->thresholdInv, t.threshold[0]);  // -52 dB
    EXPECT_EQ(c->makeup, t.outputGain[0]);       // -40 dB
    EXPECT_EQ(c->attack, static_cast<float>(t.attack[0]));
    EXPECT_EQ(c->release, static_cast<float>(t.release[0]));
  }
  EXPECT_NEAR(p.outputGain, 0.01f, 1e-6f);
  EXPECT_EQ(p.compressor1Link, 0);
  for (std::size_t b = 0; b < 10; ++b) {
    EXPECT_EQ(p.peak[b].k, t.peakGain[0]);  // -12 dB ...
    EXPECT_EQ(p.peak[b].c, t.peakC[0][0]);  // ... at 28 Hz, Q 0.4
    EXPECT_EQ(p.peak[b].d, t.peakD[0][0]);
  }
  EXPECT_EQ(p.inputHighPass, t.inputHighPass[0]);
  EXPECT_EQ(p.lowBandLowPass, t.crossoverLowPass[0]);
  EXPECT_EQ(profile.musicSet().size(), 58u);  // reading inserted the rest
}

TEST_F(MappingTest, MasterGainFormulaAndItsRange) {
  auto gainFor = [&](float value) {
    ApplyProfileParams(*state, ProfileWith({{1, value}, {25, 1.0f}}), kMusic);
    return state->params.masterGain;
  };
  EXPECT_NEAR(gainFor(104.0f), 3.9810717f, 1e-6f);
  EXPECT_NEAR(gainFor(0.0f), 0.01f, 1e-8f);
  EXPECT_NEAR(gainFor(81.9f), std::pow(10.0f, 0.5f / 20.0f), 1e-6f);  // truncated to 81
  EXPECT_EQ(gainFor(500.0f), gainFor(104.0f));
  EXPECT_EQ(gainFor(-3.0f), gainFor(0.0f));
  EXPECT_EQ(gainFor(-0.9f), gainFor(0.0f));  // truncation toward zero
}

TEST_F(MappingTest, OutputGainAndTheBoost) {
  const DspTables& t = state->tables;
  auto outputFor = [&](float value, int boost) {
    profile.setBoost(boost);
    ApplyProfileParams(*state, ProfileWith({{21, value}}), kMusic);
    return state->params.outputGain;
  };
  EXPECT_EQ(outputFor(80.0f, 0), 1.0f);
  EXPECT_NEAR(outputFor(80.0f, 1), 1.9952623f, 1e-6f);
  EXPECT_EQ(outputFor(80.6f, 0), t.outputGain[80]);
  EXPECT_EQ(outputFor(80.6f, 1), t.outputGain[92]);
  EXPECT_EQ(outputFor(80.0f, 2), 1.0f);  // only 1 means boost
  EXPECT_EQ(outputFor(120.0f, 1), t.outputGain[127]);
}

TEST_F(MappingTest, ShelfFormsAroundTheFlatIndex) {
  const DspTables& t = state->tables;
  ApplyProfileParams(*state, ProfileWith({{2, 24.0f}, {3, 25.0f}, {4, 23.0f}, {5, 48.0f}}), kMusic);
  const DspParams& p = state->params;
  EXPECT_EQ(p.lowShelf1, (ShelfParams{1.0f, 0.0f, -1.0f}));
  EXPECT_EQ(p.highShelf1, (ShelfParams{t.shelfGain[25], t.highShelfNorm[25], 1.0f}));
  EXPECT_EQ(p.lowShelf2, (ShelfParams{t.shelfGain[23], 0.0f, -1.0f}));
  EXPECT_EQ(p.highShelf2, (ShelfParams{t.shelfGain[48], t.highShelfNorm[48], 1.0f}));
  EXPECT_NEAR(p.highShelf2.norm, 3.3183014f, 1e-6f);

  ApplyProfileParams(*state, ProfileWith({{2, 48.0f}}), kMusic);
  EXPECT_NEAR(state->params.lowShelf1.norm, 1.0528203f, 1e-6f);
}

TEST_F(MappingTest, BandFrequencyAndQInEitherOrder) {
  state->processingOff = false;
  SetBandFrequency(*state, 31, 3);
  SetBandQ(*state, 6, 3);
  const PeakParams first = state->params.peak[3];

  auto other = NewState();
  other->processingOff = false;
  SetBandQ(*other, 6, 3);
  SetBandFrequency(*other, 31, 3);

  EXPECT_EQ(first, other->params.peak[3]);
  EXPECT_NEAR(first.c, 0.86678845f, 1e-6f);
  EXPECT_NEAR(first.d, -1.8478731f, 1e-6f);
  EXPECT_EQ(state->freqIndex[3], 31);
  EXPECT_EQ(state->qIndex[3], 6);
  FreeDsp(*other);
}

TEST_F(MappingTest, UserSlotsAreFrozenWhileProcessingIsOff) {
  SetUserSlots(*state);
  state->processingOff = true;
  const DspParams before = state->params;
  const auto qBefore = state->qIndex;
  SetBandQ(*state, 0, 10);
  SetBandFrequency(*state, 0, 11);
  EXPECT_EQ(state->params, before);
  EXPECT_EQ(state->qIndex, qBefore);

  // Profile slots still follow.
  SetBandQ(*state, 6, 9);
  EXPECT_EQ(state->qIndex[9], 6);
}

TEST_F(MappingTest, BandOperationsClampAndIgnoreUnknownSlots) {
  state->processingOff = false;
  SetBandFrequency(*state, 1000, 2);
  SetBandQ(*state, -7, 2);
  EXPECT_EQ(state->freqIndex[2], 57);
  EXPECT_EQ(state->qIndex[2], 0);
  EXPECT_EQ(state->params.peak[2].c, state->tables.peakC[0][57]);

  const DspParams before = state->params;
  SetBandFrequency(*state, 10, 12);
  SetBandQ(*state, 3, -1);
  EXPECT_EQ(state->params, before);
}

TEST_F(MappingTest, NeutralSetIsTransparent) {
  SetUserSlots(*state);
  ApplyProfileParams(*state, BuiltIn("Varrow Laptop.hvnp"), kMusic);
  state->processingOff = true;
  ApplyNeutralParams(*state);
  const DspParams& p = state->params;
  const DspTables& t = state->tables;

  EXPECT_EQ(p.dynamicsMode, kSingleBand);
  EXPECT_EQ(p.masterGain, 1.0f);
  EXPECT_EQ(p.outputGain, 1.0f);
  EXPECT_EQ(p.inputHighPass, t.inputHighPass[0]);
  EXPECT_EQ(p.lowBandLowPass, t.crossoverLowPass[25]);
  EXPECT_EQ(p.midBandHighPass, t.crossoverHighPass[25]);
  EXPECT_EQ(p.highBandHighPass, t.crossoverHighPass[51]);
  EXPECT_EQ(p.midBandLowPass, t.crossoverLowPass[51]);
  for (const ShelfParams* s : {&p.lowShelf1, &p.highShelf1, &p.lowShelf2, &p.highShelf2})
    EXPECT_EQ(*s, (ShelfParams{1.0f, 0.0f, -1.0f}));
  for (const CompParams* c : {&p.compressor1, &p.lowBandCompressor, &p.highBandCompressor}) {
    EXPECT_EQ(c->ratio, 1.0f);
    EXPECT_EQ(c->thresholdInv, 1.0f);
    EXPECT_EQ(c->makeup, 1.0f);
  }
  EXPECT_EQ(p.compressor1Link, kLinked);
  for (std::size_t b = 0; b < 10; ++b) {
    EXPECT_EQ(p.peak[b].k, 1.0f);
    EXPECT_EQ(state->freqIndex[b], kNeutralBandFrequencies[b]);
    EXPECT_EQ(state->qIndex[b], 0);
  }
  // The user equalizer keeps its slots.
  EXPECT_EQ(p.peak[10].k, 2.0f);
  EXPECT_EQ(state->qIndex[10], 9);
  EXPECT_EQ(state->freqIndex[11], 50);
}

TEST_F(MappingTest, NeutralWithProcessingOnResetsTheUserSlots) {
  SetUserSlots(*state);
  ApplyNeutralParams(*state);
  EXPECT_EQ(state->params.peak[10].k, 1.0f);
  EXPECT_EQ(state->params.peak[11].k, 1.0f);
  EXPECT_EQ(state->qIndex[10], 0);
  EXPECT_EQ(state->qIndex[11], 0);
  EXPECT_EQ(state->freqIndex[10], 40);  // frequencies are not part of the set
}

TEST_F(MappingTest, NeutralThenProfileEqualsProfileAlone) {
  for (const auto& category : auralith::profiles::kBuiltinProfileFiles) {
    for (const char* file : category) {
      for (int mode : {kMusic, kMovie}) {
        auto alone = NewState();
        auto afterNeutral = NewState();
        afterNeutral->processingOff = true;
        ApplyNeutralParams(*afterNeutral);
        afterNeutral->processingOff = false;
        ApplyProfileParams(*afterNeutral, BuiltIn(file), mode);
        ApplyProfileParams(*alone, profile, mode);
        EXPECT_TRUE(SameParams(*alone, *afterNeutral)) << file << " mode " << mode;
        FreeDsp(*alone);
        FreeDsp(*afterNeutral);
      }
    }
  }
}

TEST_F(MappingTest, ProfileLeavesUserSlotsAndFlagsAlone) {
  SetUserSlots(*state);
  state->kiroActive = true;
  const PeakParams bass = state->params.peak[10];
  const PeakParams treble = state->params.peak[11];
  const DspMemories memories = state->memories;
  ApplyProfileParams(*state, BuiltIn("Tennet Headphones.hvnp"), kMovie);
  EXPECT_EQ(state->params.peak[10], bass);
  EXPECT_EQ(state->params.peak[11], treble);
  EXPECT_EQ(state->freqIndex[10], 40);
  EXPECT_TRUE(state->kiroActive);
  EXPECT_FALSE(state->processingOff);
  EXPECT_EQ(state->memories, memories);
}

TEST_F(MappingTest, SetWithoutParametersAppliesTheNeutralSet) {
  // A music-only file in movie mode, and a file whose movie set holds only
  // numbers without meaning.
  for (bool processingOff : {false, true}) {
    auto expected = NewState();
    SetUserSlots(*expected);
    expected->processingOff = true;
    ApplyNeutralParams(*expected);

    auto actual = NewState();
    SetUserSlots(*actual);
    actual->processingOff = processingOff;
    ProfileWith({{1, 80.0f}, {21, 80.0f}}, kMusic);
    ProfileWith({{0, 5.0f}, {59, 5.0f}, {-3, 1.0f}}, kMovie);
    ApplyProfileParams(*actual, profile, kMovie);
    EXPECT_TRUE(SameParams(*expected, *actual)) << processingOff;
    ApplyProfileParams(*actual, profile, kMusic + 1);  // any other mode is movie
    EXPECT_TRUE(SameParams(*expected, *actual)) << processingOff;
    FreeDsp(*expected);
    FreeDsp(*actual);
  }
}

TEST_F(MappingTest, NumbersOutsideOneToFiftyEightAreIgnored) {
  BuiltIn("Brevik Speakers.hvnp");
  ApplyProfileParams(*state, profile, kMusic);
  const DspParams plain = state->params;
  profile.musicSet()[0] = 1e9f;
  profile.musicSet()[59] = -1e9f;
  profile.musicSet()[-26] = 7.0f;
  ApplyProfileParams(*state, profile, kMusic);
  EXPECT_EQ(state->params, plain);
}

TEST_F(MappingTest, HostileValuesStayInsideTheTables) {
  const DspTables& t = state->tables;
  ApplyProfileParams(*state, ProfileAll(1e30f), kMusic);
  const DspParams& p = state->params;
  EXPECT_NEAR(p.masterGain, 3.9810717f, 1e-6f);
  EXPECT_EQ(p.outputGain, t.outputGain[127]);
  EXPECT_EQ(p.compressor1.ratio, 800.0f);
  EXPECT_EQ(p.compressor1.thresholdInv, 1.0f);
  EXPECT_EQ(p.compressor1.attack, static_cast<float>(t.attack[99]));
  EXPECT_EQ(p.peak[0].k, t.peakGain[60]);
  EXPECT_EQ(state->freqIndex[0], 57);
  EXPECT_EQ(state->qIndex[0], 15);
  EXPECT_EQ(p.inputHighPass, t.inputHighPass[19]);
  EXPECT_EQ(p.lowShelf1, (ShelfParams{t.shelfGain[48], t.lowShelfNorm[48], 1.0f}));
  EXPECT_EQ(p.dynamicsMode, std::numeric_limits<std::int32_t>::max());

  ApplyProfileParams(*state, ProfileAll(-1e30f), kMusic);
  EXPECT_NEAR(p.masterGain, 0.01f, 1e-8f);
  EXPECT_EQ(p.outputGain, t.outputGain[0]);
  EXPECT_EQ(state->freqIndex[9], 0);
  EXPECT_EQ(p.dynamicsMode, std::numeric_limits<std::int32_t>::min());

  // Values that are not finite read as 0.
  auto zero = NewState();
  ApplyProfileParams(*zero, ProfileAll(0.0f), kMusic);
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()}) {
    ApplyProfileParams(*state, ProfileAll(bad), kMusic);
    EXPECT_TRUE(SameParams(*state, *zero)) << bad;
  }
  // The boost is added to the value read, 0.
  profile.setBoost(1);
  ApplyProfileParams(*state, ProfileAll(std::numeric_limits<float>::quiet_NaN()), kMusic);
  EXPECT_EQ(p.outputGain, t.outputGain[12]);
  FreeDsp(*zero);
}

#include "mapping/user_eq.h"

#include "dsp/dsp_state.h"
#include "mapping/profile_mapping.h"

#include <gtest/gtest.h>

#include <memory>

namespace auralith::render {
namespace {

class UserEqTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dsp::InitDsp(*state));
    state->processingOff = false;
  }
  // What the audio thread takes at its next block.
  const dsp::PeakParams& Published(std::int32_t slot) { return state->handover.Acquire().peak[std::size_t(slot)]; }
  float Gain(std::int32_t position) const { return state->tables.peakGain[std::size_t(position)]; }
  float C(std::int32_t q, std::int32_t frequency) const {
    return state->tables.peakC[std::size_t(q)][std::size_t(frequency)];
  }

  std::unique_ptr<dsp::DspState> state = std::make_unique<dsp::DspState>();
};

TEST(UserEqRecordTest, BytesAreEightLittleEndianWords) {
  const UserEqRecord record = {1, 15, 3, 24, 0, 57, -1, 0x12345678};
  const UserEqRecordBytes bytes = EncodeUserEqRecord(record);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[4], 15);
  EXPECT_EQ(bytes[24], 0xff);
  EXPECT_EQ(bytes[27], 0xff);
  EXPECT_EQ(bytes[28], 0x78);
  EXPECT_EQ(bytes[31], 0x12);
  EXPECT_EQ(DecodeUserEqRecord(bytes.data()), record);
}

TEST(UserEqRecordTest, NormalizingClampsPositionsAndEnableWords) {
  EXPECT_EQ(NormalizeUserEqRecord(kDefaultUserEqRecord), kDefaultUserEqRecord);
  // Bass frequency below its range, treble frequency below its own (30).
  EXPECT_EQ(NormalizeUserEqRecord({7, -3, 99, 40, -1, 29, -5, 0}), (UserEqRecord{1, 0, 15, 32, 1, 30, 0, 4}));
  EXPECT_EQ(NormalizeUserEqRecord({0, 40, 3, 24, 0, 80, 3, 24}), (UserEqRecord{0, 29, 3, 24, 0, 57, 3, 24}));
}

TEST_F(UserEqTest, RecordGoesToBothSlotsAsOnePublishedSet) {
  ApplyUserEqRecord(*state, {1, 20, 5, 32, 1, 40, 2, 10});
  EXPECT_EQ(state->freqIndex[10], 20);
  EXPECT_EQ(state->qIndex[10], 5);
  EXPECT_EQ(state->freqIndex[11], 40);
  EXPECT_EQ(Published(10).k, Gain(32));
  EXPECT_EQ(Published(10).c, C(5, 20));
  EXPECT_EQ(Published(11).k, Gain(10));
  EXPECT_EQ(Published(11).c, C(2, 40));
}

TEST_F(UserEqTest, DisabledBandIsFlatWithItsFrequencyAndQ) {
  ApplyUserEqRecord(*state, {0, 20, 5, 32, 1, 40, 2, 10});
  EXPECT_EQ(Published(10).k, Gain(kUserGainFlat));
  EXPECT_EQ(Published(10).c, C(5, 20));
  EXPECT_EQ(Published(11).k, Gain(10));
}

TEST_F(UserEqTest, OutOfRangeWordsAreAppliedClamped) {
  ApplyUserEqRecord(*state, {1, 50, 3, 40, 1, 10, 20, -4});
  EXPECT_EQ(state->freqIndex[10], kBassFrequencyMax);
  EXPECT_EQ(state->freqIndex[11], kTrebleFrequencyMin);
  EXPECT_EQ(state->qIndex[11], kUserQMax);
  EXPECT_EQ(Published(10).k, Gain(kUserGainMax));
  EXPECT_EQ(Published(11).k, Gain(kUserGainMin));
}

TEST_F(UserEqTest, NothingChangesWhileProcessingIsOff) {
  ApplyUserEqRecord(*state, kDefaultUserEqRecord);
  const dsp::PeakParams before = Published(10);
  state->processingOff = true;
  ApplyUserEqRecord(*state, {1, 0, 0, 32, 1, 57, 15, 4});
  SetUserBandGain(*state, 32, kBassSlot);
  EnableUserBand(*state, false, 0, 0, 32, kBassSlot);
  EXPECT_EQ(state->freqIndex[10], 15);
  EXPECT_EQ(Published(10).k, before.k);
  EXPECT_EQ(Published(10).c, before.c);
  EXPECT_EQ(state->params.peak[10].k, before.k);
}

TEST_F(UserEqTest, EnablingSendsFrequencyQAndGainTogether) {
  ApplyUserEqRecord(*state, {0, 15, 3, 24, 1, 49, 3, 24});
  EnableUserBand(*state, true, 22, 7, 30, kBassSlot);
  EXPECT_EQ(Published(10).k, Gain(30));
  EXPECT_EQ(Published(10).c, C(7, 22));
  EXPECT_EQ(Published(10).d, state->tables.peakD[7][22]);
  // Disabling keeps frequency and Q as they are.
  EnableUserBand(*state, false, 3, 1, 30, kBassSlot);
  EXPECT_EQ(Published(10).k, Gain(kUserGainFlat));
  EXPECT_EQ(state->freqIndex[10], 22);
}

TEST_F(UserEqTest, GainReachesOnlyUserSlots) {
  const float profileK = state->params.peak[3].k;
  SetUserBandGain(*state, 28, 3);
  EXPECT_EQ(state->params.peak[3].k, profileK);
  SetUserBandGain(*state, 28, kTrebleSlot);
  EXPECT_EQ(Published(11).k, Gain(28));
}

}  // namespace
}  // namespace auralith::render

#include "mapping/missing_parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace auralith::dsp {
namespace {

profiles::ProfileParameterSet FullSet() {
  profiles::ProfileParameterSet set;
  for (std::int32_t number = kFirstProfileParameter; number <= kLastProfileParameter; ++number) set[number] = 1.0f;
  return set;
}

TEST(MissingProfileParameters, ListsEveryAbsentNumberWithoutInserting) {
  profiles::ProfileParameterSet set;
  set[1] = 0.0f;  // a file holding just "1 0"
  const std::vector<std::int32_t> missing = MissingProfileParameters(set);
  ASSERT_EQ(missing.size(), 57u);
  EXPECT_EQ(missing.front(), 2);
  EXPECT_EQ(missing.back(), 58);
  EXPECT_EQ(set.size(), 1u);
  EXPECT_EQ(ParameterNumberList(missing), "2-58");
}

TEST(MissingProfileParameters, FullSetAndNumbersOutsideTheRange) {
  profiles::ProfileParameterSet set = FullSet();
  set[0] = 3.0f;
  set[59] = 3.0f;
  EXPECT_TRUE(MissingProfileParameters(set).empty());
  profiles::ProfileParameterSet outside;
  outside[0] = 1.0f;
  outside[99] = 1.0f;
  EXPECT_EQ(MissingProfileParameters(outside).size(), 58u);
}

TEST(MissingProfileParameters, GivesEveryParameterNeedsFiniteValues) {
  profiles::ProfileParameterSet set = FullSet();
  EXPECT_TRUE(GivesEveryParameter(set));
  set[30] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(GivesEveryParameter(set));
  set[30] = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(GivesEveryParameter(set));
  set[30] = 0.0f;
  EXPECT_TRUE(GivesEveryParameter(set));
  profiles::ProfileParameterSet gap = FullSet();
  gap.clear();
  for (std::int32_t number = 1; number <= 57; ++number) gap[number] = 2.0f;
  EXPECT_FALSE(GivesEveryParameter(gap));
}

TEST(ParameterNumberList, JoinsRunsAndKeepsSingles) {
  EXPECT_EQ(ParameterNumberList({}), "");
  EXPECT_EQ(ParameterNumberList({7}), "7");
  EXPECT_EQ(ParameterNumberList({3, 5, 6, 7, 8, 9, 12}), "3, 5-9, 12");
  EXPECT_EQ(ParameterNumberList({1, 2, 4, 5}), "1-2, 4-5");
}

}  // namespace
}  // namespace auralith::dsp

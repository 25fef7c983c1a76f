// What the headless engine tells about an active profile that leaves
// parameters out.

#include "tools/engine/host_profile.h"

#include <gtest/gtest.h>

namespace auralith::engine {
namespace {

TEST(MissingParametersNotice, NamesTheProfileAndTheNumbersItLeavesOut) {
  profiles::Profile profile("");
  profile.musicSet()[1] = 0.0f;  // a file holding just "1 0"
  const std::string notice = MissingParametersNotice(profile, "/data/Brevik Speakers.hvnp", 1);
  EXPECT_EQ(notice, "The profile \"Brevik Speakers\" gives no parameter 2-58; they play as 0.");

  for (int32_t number = 1; number <= 58; ++number)
    if (number != 7 && number != 30 && number != 31) profile.movieSet()[number] = 1.0f;
  EXPECT_EQ(MissingParametersNotice(profile, "x/Movie.hvnp", 0),
            "The profile \"Movie\" gives no parameter 7, 30-31; they play as 0.")
      << "the set of the content mode in use";
}

TEST(MissingParametersNotice, SaysNothingForAProfileThatGivesEverything) {
  profiles::Profile profile("");
  for (int32_t number = 1; number <= 58; ++number) profile.musicSet()[number] = 0.0f;
  EXPECT_EQ(MissingParametersNotice(profile, "Full.hvnp", 1), "");
}

}  // namespace
}  // namespace auralith::engine

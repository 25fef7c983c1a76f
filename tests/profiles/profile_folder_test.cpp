#include "profiles/profile_folder.h"

#include <gtest/gtest.h>

#include <string>

#include "support/scoped_env.h"

using namespace auralith::profiles;

using auralith::testing::ScopedEnv;

TEST(ProfileFolder, OverrideWinsAndGetsATrailingSlash) {
  ScopedEnv over(kProfileFolderEnv, "/opt/auralith/profiles");
  EXPECT_EQ(ProfileFolder(), "/opt/auralith/profiles/");
  ScopedEnv again(kProfileFolderEnv, "/opt/p/");
  EXPECT_EQ(ProfileFolder(), "/opt/p/");
}

TEST(ProfileFolder, FollowsTheXdgDataHome) {
  ScopedEnv over(kProfileFolderEnv, "");  // empty: not an override
  ScopedEnv home("HOME", "/home/ann");
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/data/ann/");
    EXPECT_EQ(ProfileFolder(), "/data/ann/Halvorn Vovaruzoz/");
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", "relative/data");  // invalid: ignored
    EXPECT_EQ(ProfileFolder(), "/home/ann/.local/share/Halvorn Vovaruzoz/");
  }
  ScopedEnv xdg("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(ProfileFolder(), "/home/ann/.local/share/Halvorn Vovaruzoz/");
}

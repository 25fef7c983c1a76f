#include "profiles/profile_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using namespace auralith::profiles;

namespace {

// Sets or clears an environment variable for the test's lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (previous_)
      setenv(name_, previous_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

}  // namespace

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

// One audio engine per session: the lock in the runtime folder.

#include "audio/engine_lock.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "driver/harness/ulxd_harness.h"

namespace auralith::audio {
namespace {

class EngineLockTest : public ::testing::Test {
 protected:
  testing::TempDir temp;
  testing::ScopedEnv runtime{"XDG_RUNTIME_DIR", temp.Path()};
};

TEST_F(EngineLockTest, LivesInTheRuntimeFolder) { EXPECT_EQ(EngineLockPath(), temp / kEngineLockName); }

TEST_F(EngineLockTest, ASecondEngineFindsItHeldUntilTheFirstLetsGo) {
  std::string error;
  EngineLock first;
  ASSERT_EQ(first.Acquire(error), EngineLock::Result::Held) << error;
  EXPECT_TRUE(first.Held());
  EngineLock second;
  EXPECT_EQ(second.Acquire(error), EngineLock::Result::AlreadyHeld);
  EXPECT_FALSE(second.Held());

  // Another process (the application, or a second auralith-engine) too.
  const pid_t child = ::fork();
  if (child == 0) {
    EngineLock other;
    std::string childError;
    ::_exit(other.Acquire(childError) == EngineLock::Result::AlreadyHeld ? 0 : 1);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  first.Release();
  EXPECT_EQ(second.Acquire(error), EngineLock::Result::Held) << error;
}

TEST_F(EngineLockTest, GoesWithAProcessThatWasKilled) {
  const pid_t child = ::fork();
  if (child == 0) {
    EngineLock held;
    std::string childError;
    if (held.Acquire(childError) != EngineLock::Result::Held) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  EngineLock mine;
  std::string error;
  for (int i = 0; i < 100 && mine.Acquire(error) == EngineLock::Result::Held; ++i) {
    mine.Release();  // the child has not taken it yet
    ::usleep(10000);
  }
  EXPECT_EQ(mine.Acquire(error), EngineLock::Result::AlreadyHeld);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(mine.Acquire(error), EngineLock::Result::Held) << error;
}

TEST_F(EngineLockTest, RefusesALinkOrAFolderInItsPlace) {
  ASSERT_EQ(::symlink((temp / "elsewhere").c_str(), EngineLockPath().c_str()), 0);
  EngineLock lock;
  std::string error;
  EXPECT_EQ(lock.Acquire(error), EngineLock::Result::Failed);
  EXPECT_FALSE(error.empty());
  ::unlink(EngineLockPath().c_str());
  ASSERT_EQ(::mkdir(EngineLockPath().c_str(), 0700), 0);
  EXPECT_EQ(lock.Acquire(error), EngineLock::Result::Failed);
  ::rmdir(EngineLockPath().c_str());
}

TEST_F(EngineLockTest, WithoutARuntimeFolderUsesTheUsersPrivateOneInTmp) {
  testing::ScopedEnv none("XDG_RUNTIME_DIR", "");
  const std::string path = EngineLockPath();
  const passwd* user = ::getpwuid(::getuid());
  ASSERT_TRUE(user);
  EXPECT_EQ(path, std::string("/tmp/runtime-") + user->pw_name + "/" + kEngineLockName);
  struct stat st {};
  ASSERT_EQ(::stat(path.substr(0, path.rfind('/')).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u) << "closed to everyone else";
}

}  // namespace
}  // namespace auralith::audio

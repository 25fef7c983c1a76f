#include "app/instance_lock.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

namespace auralith::app {
namespace {

class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.isValid()); }
  QString Path() const { return folder_.path() + "/instance.lock"; }
  QTemporaryDir folder_;
};

TEST_F(InstanceLockTest, OnlyOneHolderAtATime) {
  auto first = std::make_unique<InstanceLock>(Path());
  EXPECT_TRUE(first->Held());
  EXPECT_FALSE(first->AlreadyHeld());
  {
    InstanceLock second(Path());
    EXPECT_TRUE(second.AlreadyHeld());
    EXPECT_FALSE(second.Held());
  }
  first.reset();
  InstanceLock third(Path());
  EXPECT_TRUE(third.Held());
}

TEST_F(InstanceLockTest, AKilledHolderLeavesTheLockFree) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstanceLock lock(Path());
    const char held = lock.Held() ? 1 : 0;
    [[maybe_unused]] const ssize_t written = write(ready[1], &held, 1);
    pause();
    _exit(0);
  }
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  ASSERT_EQ(held, 1);
  EXPECT_TRUE(InstanceLock(Path()).AlreadyHeld());
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(InstanceLock(Path()).Held());
  close(ready[0]);
  close(ready[1]);
}

TEST_F(InstanceLockTest, ALockThatCannotBeMadeCountsAsTheFirstInstance) {
  InstanceLock lock(folder_.path() + "/missing/instance.lock");
  EXPECT_FALSE(lock.AlreadyHeld());
  EXPECT_FALSE(lock.Held());
}

}  // namespace
}  // namespace auralith::app

#include "ui/main/deferred_work.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace auralith::ui {
namespace {

// Posted calls wait here until the test lets the "event loop" run them.
struct Loop {
  std::vector<std::function<void()>> posted;
  void RunPosted() {
    auto calls = std::move(posted);
    posted.clear();
    for (auto& call : calls) call();
  }
};

TEST(DeferredWork, QuitOutsideAnyLoopRunsFromTheEventLoop) {
  Loop loop;
  DeferredWork work([&loop](std::function<void()> call) { loop.posted.push_back(std::move(call)); });
  int quits = 0;
  work.RequestQuit([&quits] { ++quits; });
  EXPECT_EQ(quits, 0);
  work.RequestQuit([&quits] { quits += 100; });
  loop.RunPosted();
  EXPECT_EQ(quits, 1);
  loop.RunPosted();
  EXPECT_EQ(quits, 1);
}

TEST(DeferredWork, QuitInsideAModalLoopWaitsForItsEnd) {
  Loop loop;
  DeferredWork work([&loop](std::function<void()> call) { loop.posted.push_back(std::move(call)); });
  int quits = 0;
  {
    DeferredWork::ModalScope outer(work);
    {
      DeferredWork::ModalScope inner(work);
      work.RequestQuit([&quits] { ++quits; });
      EXPECT_TRUE(work.QuitPending());
    }
    loop.RunPosted();
    EXPECT_EQ(quits, 0);  // the outer box is still up
  }
  EXPECT_EQ(quits, 0);  // never from the frame that closed the loop
  loop.RunPosted();
  EXPECT_EQ(quits, 1);
  EXPECT_FALSE(work.QuitPending());
}

TEST(DeferredWork, QuitPostedThenALoopOpensWaitsAgain) {
  Loop loop;
  DeferredWork work([&loop](std::function<void()> call) { loop.posted.push_back(std::move(call)); });
  int quits = 0;
  work.RequestQuit([&quits] { ++quits; });
  {
    DeferredWork::ModalScope scope(work);
    loop.RunPosted();
    EXPECT_EQ(quits, 0);
  }
  loop.RunPosted();
  EXPECT_EQ(quits, 1);
}

TEST(DeferredWork, ReenteredEngineOperationRunsAfterTheOuterOne) {
  Loop loop;
  DeferredWork work([&loop](std::function<void()> call) { loop.posted.push_back(std::move(call)); });
  std::vector<std::string> order;
  work.RunEngineOperation([&] {
    order.push_back("outer begins");
    // As from a tray click inside the outer operation's message box.
    DeferredWork::ModalScope box(work);
    work.RunEngineOperation([&] { order.push_back("inner"); });
    order.push_back("outer ends");
  });
  EXPECT_EQ(order, (std::vector<std::string>{"outer begins", "outer ends", "inner"}));
  EXPECT_FALSE(work.EngineBusy());
}

TEST(DeferredWork, PendingQuitDropsLaterEngineOperations) {
  Loop loop;
  DeferredWork work([&loop](std::function<void()> call) { loop.posted.push_back(std::move(call)); });
  std::vector<std::string> order;
  work.RunEngineOperation([&] {
    work.RunEngineOperation([&] { order.push_back("postponed"); });
    work.RequestQuit([&] { order.push_back("quit"); });
    order.push_back("outer");
  });
  work.RunEngineOperation([&] { order.push_back("after quit"); });
  loop.RunPosted();
  EXPECT_EQ(order, (std::vector<std::string>{"outer", "quit"}));
}

}  // namespace
}  // namespace auralith::ui

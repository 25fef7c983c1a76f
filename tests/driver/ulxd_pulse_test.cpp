// The virtual device on a real sound server: made at start, removed at the
// end, cleared away after a crash, and made again after the server restarts.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "driver/harness/ulxd_harness.h"

namespace auralith::ulxd {
namespace {

using testing::TempDir;
using testing::Ulxd;

class UlxdPulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::HaveSoundServer()) GTEST_SKIP() << "needs a sound server (PULSE_SERVER is unset or silent)";
  }
  TempDir temp;
  std::string dir = temp / "interfaces";
  std::string sink = testing::UniqueName("auralith_test");
};

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(UlxdPulseTest, OffersAnAuralithSinkWhileItRunsAndRemovesItAtTheEnd) {
  Ulxd daemon(dir, {"--sink-name", sink});
  ASSERT_TRUE(daemon.WaitReady()) << daemon.Log();
  ASSERT_TRUE(testing::WaitForSink(sink, true)) << daemon.Log();
  std::string info = testing::SinkDescription(sink);
  EXPECT_NE(info.find("Description: Auralith Virtual Output"), std::string::npos) << info;
  // The sink's sample format line of pactl's listing.
  EXPECT_NE(info.find(": s16le 2ch 44100Hz"), std::string::npos) << info;
  ASSERT_TRUE(daemon.WaitLog("into the ring")) << daemon.Log();

  EXPECT_EQ(daemon.Stop(), 0);
  EXPECT_TRUE(testing::SinkDescription(sink).empty()) << "the sink outlived the daemon";
  struct stat st {};
  EXPECT_NE(::lstat(daemon.SocketPath().c_str(), &st), 0);
}

TEST_F(UlxdPulseTest, ClearsAwayTheSinkOfADaemonThatCrashed) {
  {
    Ulxd crashed(dir, {"--sink-name", sink});
    ASSERT_TRUE(testing::WaitForSink(sink, true)) << crashed.Log();
    crashed.Kill();
  }
  ASSERT_FALSE(testing::SinkDescription(sink).empty()) << "a killed daemon's module should outlive it";
  Ulxd daemon(dir, {"--sink-name", sink});
  ASSERT_TRUE(daemon.WaitLog("into the ring")) << daemon.Log();
  EXPECT_NE(daemon.Log().find("removing the sink"), std::string::npos) << daemon.Log();
  std::string sinks = testing::Run("pactl list short sinks");
  EXPECT_EQ(Count(sinks, "\t" + sink + "\t"), 1u) << sinks;
  EXPECT_EQ(Count(sinks, sink + ".2"), 0u) << sinks;
}

TEST_F(UlxdPulseTest, LeavesAnotherRunningDaemonsSinkOfTheSameNameAlone) {
  TempDir otherTemp;
  Ulxd first(otherTemp / "interfaces", {"--sink-name", sink});
  ASSERT_TRUE(first.WaitLog("into the ring")) << first.Log();
  Ulxd second(dir, {"--sink-name", sink});
  ASSERT_TRUE(second.WaitLog("into the ring")) << second.Log();
  EXPECT_TRUE(testing::WaitForSink(sink + ".2", true)) << second.Log();
  EXPECT_NE(first.Log().find("into the ring"), std::string::npos);
  EXPECT_EQ(first.Log().find("lost the capture"), std::string::npos) << first.Log();
  EXPECT_EQ(second.Stop(), 0);
  EXPECT_TRUE(testing::WaitForSink(sink + ".2", false));
  EXPECT_FALSE(testing::SinkDescription(sink).empty());
}

TEST_F(UlxdPulseTest, MakesTheSinkAgainWhenSomeoneRemovesIt) {
  Ulxd daemon(dir, {"--sink-name", sink});
  ASSERT_TRUE(daemon.WaitLog("into the ring")) << daemon.Log();
  std::string modules = testing::Run("pactl list short modules");
  size_t at = modules.find("sink_name=" + sink + " ");
  ASSERT_NE(at, std::string::npos);
  size_t lineStart = modules.rfind('\n', at);
  std::string index = modules.substr(lineStart == std::string::npos ? 0 : lineStart + 1);
  index = index.substr(0, index.find('\t'));
  testing::Run("pactl unload-module " + index);
  ASSERT_TRUE(daemon.WaitLog("making the sink again")) << daemon.Log();
  EXPECT_TRUE(testing::WaitForSink(sink, true, 5000)) << daemon.Log();
}

TEST(UlxdServerRestart, MakesTheSinkAgainAfterTheSoundServerRestarts) {
  int status = -1;
  testing::Run("command -v pulseaudio >/dev/null", &status);
  if (status != 0) GTEST_SKIP() << "needs the pulseaudio program to run a private server";
  TempDir temp;
  testing::PrivatePulse server(temp / "pulse");
  ASSERT_TRUE(server.Start());
  testing::ScopedEnv env("PULSE_SERVER", server.Server());
  std::string sink = testing::UniqueName("auralith_restart");
  Ulxd daemon(temp / "interfaces", {"--sink-name", sink}, {"PULSE_SERVER=" + server.Server()});
  ASSERT_TRUE(testing::WaitForSink(sink, true)) << daemon.Log();
  server.Stop();
  ASSERT_TRUE(daemon.WaitLog("no sound server")) << daemon.Log();
  EXPECT_TRUE(daemon.WaitReady()) << "the interface must stay while the server is away";
  ASSERT_TRUE(server.Start());
  EXPECT_TRUE(testing::WaitForSink(sink, true, 8000)) << daemon.Log();
  EXPECT_EQ(daemon.Stop(), 0);
  EXPECT_TRUE(testing::SinkDescription(sink).empty());
}

}  // namespace
}  // namespace auralith::ulxd

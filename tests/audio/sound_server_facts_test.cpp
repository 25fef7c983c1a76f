// The sound server facts of the machine report, asked of a real server:
// the test's private one, a missing one and one that never answers.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "audio/sound_server_facts.h"

namespace auralith::audio {
namespace {

constexpr int kTimeoutMs = 700;

// Points the sound server clients of this process elsewhere for one test.
class SoundServerOverride {
 public:
  explicit SoundServerOverride(const std::string& server) {
    if (const char* old = std::getenv("PULSE_SERVER")) saved_ = old;
    setenv("PULSE_SERVER", server.c_str(), 1);
  }
  ~SoundServerOverride() {
    if (saved_)
      setenv("PULSE_SERVER", saved_->c_str(), 1);
    else
      unsetenv("PULSE_SERVER");
  }
  SoundServerOverride(const SoundServerOverride&) = delete;
  SoundServerOverride& operator=(const SoundServerOverride&) = delete;

 private:
  std::optional<std::string> saved_;
};

const SoundDevice* Named(const std::vector<SoundDevice>& devices, const std::string& name) {
  const auto found = std::find_if(devices.begin(), devices.end(), [&](const SoundDevice& d) { return d.name == name; });
  return found == devices.end() ? nullptr : &*found;
}

TEST(SoundServerFactsTest, ListsTheServersSinksAndSources) {
  if (!std::getenv("PULSE_SERVER")) GTEST_SKIP() << "needs the test sound server (PULSE_SERVER)";
  const SoundServerFacts facts = QuerySoundServer(kTimeoutMs);
  ASSERT_TRUE(facts.reachable);
  EXPECT_FALSE(facts.serverVersion.empty());
  EXPECT_EQ(facts.defaultSink, "speakers");
  const SoundDevice* speakers = Named(facts.sinks, "speakers");
  ASSERT_TRUE(speakers);
  ASSERT_TRUE(Named(facts.sinks, "headphones"));
  EXPECT_EQ(speakers->description, "Speakers (Built-in Audio)");
  EXPECT_EQ(speakers->rate, 44100u);
  EXPECT_EQ(speakers->channels, 2u);
  EXPECT_FALSE(speakers->sampleFormat.empty());
  EXPECT_FALSE(speakers->isMonitor);
  EXPECT_GE(std::count_if(facts.sources.begin(), facts.sources.end(), [](const SoundDevice& d) { return d.isMonitor; }),
            2);
}

TEST(SoundServerFactsTest, NoServerIsReportedAsUnreachable) {
  const SoundServerOverride missing("unix:/nonexistent/auralith/native");
  const SoundServerFacts facts = QuerySoundServer(kTimeoutMs);
  EXPECT_FALSE(facts.reachable);
  EXPECT_TRUE(facts.sinks.empty());
  EXPECT_TRUE(facts.sources.empty());
}

TEST(SoundServerFactsTest, AServerThatNeverAnswersCannotHoldTheCallerUp) {
  std::string folder = (std::filesystem::temp_directory_path() / "auralith-hung-XXXXXX").string();
  ASSERT_TRUE(mkdtemp(folder.data()));
  const std::string path = folder + "/native";
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);  // connections queue, none is answered

  const SoundServerOverride hung("unix:" + path);
  const auto start = std::chrono::steady_clock::now();
  const SoundServerFacts facts = QuerySoundServer(300);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  close(listener);
  std::filesystem::remove_all(folder);
  EXPECT_FALSE(facts.reachable);
  // Generous bound: it must end near its time-out, not hang.
  EXPECT_LT(elapsed, std::chrono::seconds(3));
}

}  // namespace
}  // namespace auralith::audio

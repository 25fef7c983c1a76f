// The engine on a real sound server: the wave-out device on null sinks of
// the test's own, the default output takeover, and the engine's start, switch
// and stop with the driver stand-in. Skipped without a sound server.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/default_output.h"
#include "audio/output_devices.h"
#include "audio/pulse_client.h"
#include "audio/wave_out.h"
#include "driver/harness/ulxd_harness.h"
#include "dsp/chain.h"
#include "mapping/profile_mapping.h"
#include "ulx/ulx_interface.h"

namespace auralith::audio {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A null sink of the test's own, removed with the object.
class TestSink {
 public:
  explicit TestSink(const std::string& prefix, const std::string& description = "")
      : name_(testing::UniqueName(prefix)), description_(description.empty() ? name_ + " (Test Sink)" : description) {
    int status = 0;
    module_ = testing::Run("pactl load-module module-null-sink sink_name=" + name_ +
                               " rate=44100 channels=2 norewinds=1 \"sink_properties=\\\"device.description='" +
                               description_ + "'\\\"\"",
                           &status);
    while (!module_.empty() && (module_.back() == '\n' || module_.back() == ' ')) module_.pop_back();
    if (status != 0) module_.clear();
  }
  ~TestSink() { Remove(); }
  void Remove() {
    if (!module_.empty()) testing::Run("pactl unload-module " + module_);
    module_.clear();
  }
  bool Loaded() const { return !module_.empty(); }
  const std::string& Name() const { return name_; }
  const std::string& Description() const { return description_; }
  // Playback streams on this sink.
  int Streams() const {
    const std::string index = testing::Run("pactl list short sinks | awk '$2 == \"" + name_ + "\" {print $1}'");
    const std::string count =
        testing::Run("pactl list short sink-inputs | awk '$2 == " + index.substr(0, index.find('\n')) + "' | wc -l");
    return std::atoi(count.c_str());
  }
  int VolumePercent() const {
    const std::string out = testing::Run("pactl get-sink-volume " + name_ + " | grep -o '[0-9]*%' | head -n1");
    return std::atoi(out.c_str());
  }

 private:
  std::string name_;
  std::string description_;
  std::string module_;
};

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

class OnSoundServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::HaveSoundServer()) GTEST_SKIP() << "needs a sound server (PULSE_SERVER is unset or silent)";
  }
};

using OutputDevices = OnSoundServer;

TEST_F(OutputDevices, AreTheSinksInIndexOrderByDescription) {
  TestSink sink("engine_list", "Line Out (A Very Long Adapter Name That Goes On)");
  ASSERT_TRUE(sink.Loaded());
  OutputDeviceList list;
  ASSERT_EQ(EnumerateOutputDevices(list), 1);
  const int position = PositionOf(list, sink.Name());
  ASSERT_GE(position, 0);
  EXPECT_EQ(list[std::size_t(position)].productName, "Line Out (A Very Long Adapter N");
  EXPECT_EQ(FindOutputDevice(list, "A Very Long Adapter Name That Goes On"), position) << "by the short key";
  PulseClient client;
  const std::optional<std::vector<SinkInfo>> sinks = client.Sinks();
  ASSERT_TRUE(sinks);
  for (std::size_t i = 1; i < sinks->size(); ++i) EXPECT_LT((*sinks)[i - 1].index, (*sinks)[i].index);
}

using WaveOutDevice = OnSoundServer;

TEST_F(WaveOutDevice, ASinkThatIsNotThereDoesNotOpen) {
  WakeEvent event;
  WaveOut device;
  WaveOutCaps caps;
  EXPECT_EQ(WaveOut::GetDevCaps("no_such_sink_here", caps), 0);
  EXPECT_EQ(device.Open("no_such_sink_here", WaveFormat{}, 4 * 7056, 7056, &event, {}), 0);
  EXPECT_FALSE(device.IsOpen());
}

TEST_F(WaveOutDevice, PlaysHeadersInOrderAndFlagsThemDoneAsTheyArePlayed) {
  TestSink sink("engine_play");
  ASSERT_TRUE(sink.Loaded());
  WaveOutCaps caps;
  ASSERT_EQ(WaveOut::GetDevCaps(sink.Name(), caps), 1);
  EXPECT_EQ(caps.productName, ProductName(sink.Description()));
  EXPECT_EQ(caps.channels, 2);

  WakeEvent event;
  WaveOut device;
  ASSERT_EQ(device.Open(sink.Name(), WaveFormat{}, 4 * 7056, 7056, &event, {}), 1);
  std::vector<uint8_t> data(4 * 7056, 1);
  std::vector<WaveHeader> headers(4);
  EXPECT_EQ(device.Write(headers[0]), 0) << "an unprepared header is refused";
  const auto start = Clock::now();
  for (std::size_t i = 0; i < 4; ++i) {
    headers[i].data = data.data() + i * 7056;
    headers[i].length = 7056;
    WaveOut::Prepare(headers[i]);
    ASSERT_EQ(device.Write(headers[i]), 1);
    EXPECT_EQ(WaveOut::Unprepare(headers[i]), 0) << "a queued header stays prepared";
  }
  std::vector<std::size_t> order;
  while (order.size() < 4 && Clock::now() - start < 3s) {
    ASSERT_TRUE(event.Wait());
    event.Reset();
    for (std::size_t i = 0; i < 4; ++i) {
      if ((headers[i].flags & kHeaderDone) && std::find(order.begin(), order.end(), i) == order.end())
        order.push_back(i);
    }
  }
  const auto elapsed = Clock::now() - start;
  EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 3}));
  // 160 ms of audio are played in real time, not taken at once.
  EXPECT_GE(elapsed, 100ms);
  for (WaveHeader& header : headers) EXPECT_FALSE(header.flags & kHeaderInQueue);
  device.Close();
}

TEST_F(WaveOutDevice, TellsWhenItsSinkGoesAndRefusesHeadersAfterwards) {
  TestSink sink("engine_gone");
  ASSERT_TRUE(sink.Loaded());
  WakeEvent event;
  WaveOut device;
  std::atomic<int> lost{0};
  ASSERT_EQ(device.Open(sink.Name(), WaveFormat{}, 4 * 7056, 7056, &event, [&] { ++lost; }), 1);
  sink.Remove();
  EXPECT_TRUE(WaitUntil([&] { return lost.load() == 1; }, 3000ms));
  EXPECT_TRUE(device.Lost());
  std::vector<uint8_t> data(7056);
  WaveHeader header;
  header.data = data.data();
  header.length = 7056;
  WaveOut::Prepare(header);
  header.flags |= kHeaderDone;
  EXPECT_EQ(device.Write(header), 0);
  EXPECT_FALSE(header.flags & kHeaderDone) << "a header the device cannot play must not look finished";
  device.Close();
  EXPECT_EQ(lost.load(), 1);
}

// Everything that changes the server's default sink is in this one test, so
// that tests running beside it never see the default move under them.
TEST_F(OnSoundServer, TheDefaultOutputIsTakenOverAndGivenBackAndPlaybackStaysPut) {
  TestSink speakers("engine_spk"), virtualDevice("engine_virt", "Auralith Test Output");
  ASSERT_TRUE(speakers.Loaded() && virtualDevice.Loaded());
  PulseClient client;
  const std::optional<std::string> before = client.DefaultSink();
  ASSERT_TRUE(before);
  ASSERT_TRUE(client.SetDefaultSink(speakers.Name()));
  OutputDeviceList list;
  ASSERT_EQ(EnumerateOutputDevices(list), 1);
  const int virtualPosition = PositionOf(list, virtualDevice.Name());
  ASSERT_GE(virtualPosition, 1);

  std::string previous;
  ASSERT_TRUE(TakeOverDefaultSink(virtualDevice.Name(), previous));
  EXPECT_EQ(previous, speakers.Name());
  EXPECT_EQ(client.DefaultSink(), virtualDevice.Name());
  ASSERT_TRUE(RestoreDefaultSink(previous, ""));
  EXPECT_EQ(client.DefaultSink(), speakers.Name());

  // A run that did not restore: the neighbour is remembered instead.
  ASSERT_TRUE(client.SetDefaultSink(virtualDevice.Name()));
  ASSERT_TRUE(TakeOverDefaultSink(virtualDevice.Name(), previous));
  EXPECT_NE(previous, virtualDevice.Name());
  EXPECT_FALSE(previous.empty());

  // The remembered device has gone: the device in use takes its place.
  ASSERT_TRUE(RestoreDefaultSink("unplugged_sink", speakers.Name()));
  EXPECT_EQ(client.DefaultSink(), speakers.Name());

  // Playback on the default sink does not follow the default to the
  // virtual device (it would feed back into the input).
  WakeEvent event;
  WaveOut device;
  ASSERT_EQ(device.Open(speakers.Name(), WaveFormat{}, 4 * 7056, 7056, &event, {}), 1);
  EXPECT_EQ(speakers.Streams(), 1);
  ASSERT_TRUE(TakeOverDefaultSink(virtualDevice.Name(), previous));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(speakers.Streams(), 1) << "the stream followed the default";
  EXPECT_EQ(virtualDevice.Streams(), 0);
  device.Close();
  client.SetDefaultSink(*before);
}

// The engine with the driver stand-in feeding a tone.
class Engine : public OnSoundServer {
 protected:
  class Recorder : public UserMessages {
   public:
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    void ShowPreferences() override { ++preferences; }
    // On the engine's watch thread.
    void ShowNotice(const std::string& text) override {
      std::lock_guard lock(mutex);
      notices.push_back(text);
    }
    std::vector<std::string> Notices() {
      std::lock_guard lock(mutex);
      return notices;
    }
    std::vector<std::string> warnings;
    int preferences = 0;
    std::mutex mutex;
    std::vector<std::string> notices;
  };

  void SetUp() override {
    OnSoundServer::SetUp();
    if (IsSkipped()) return;
    daemon = std::make_unique<testing::Ulxd>(dir, std::vector<std::string>{"--tone", "1000"});
    ASSERT_TRUE(daemon->WaitReady()) << daemon->Log();
    ASSERT_TRUE(first.Loaded() && second.Loaded());
    dsp::InitDsp(*processing);
  }
  void TearDown() override {
    engine.reset();
    dsp::FreeDsp(*processing);
  }
  AudioEngine& MakeEngine() {
    engine = std::make_unique<AudioEngine>(
        messages, [this](int) { return storedName; }, *processing);
    return *engine;
  }

  testing::TempDir temp;
  std::string dir = temp / "interfaces";
  testing::ScopedEnv env{ulx::kInterfaceDirVariable, dir};
  std::unique_ptr<testing::Ulxd> daemon;
  // Descriptions unique to this process: tests run side by side. What is
  // stored is a product name, as choosing a device from the list stores it.
  TestSink first{"engine_first"};
  TestSink second{"engine_second"};
  std::string storedName = ProductName(first.Description());
  Recorder messages;
  std::unique_ptr<dsp::DspState> processing = std::make_unique<dsp::DspState>();
  std::unique_ptr<AudioEngine> engine;
};

TEST_F(Engine, StartsOnTheStoredDeviceAndMovesBlocks) {
  AudioEngine& e = MakeEngine();
  e.SelectOutputDevice();
  EXPECT_EQ(e.OutputDeviceChosen().sinkName, first.Name());
  ASSERT_EQ(e.StartAudio(), 1);
  EXPECT_TRUE(e.Playing());
  EXPECT_TRUE(messages.warnings.empty());
  EXPECT_EQ(first.Streams(), 1);
  EXPECT_TRUE(WaitUntil([&] { return e.Player().Counters().processedBlocks >= 5; }, 2000ms))
      << "the tone runs through the chain";
  EXPECT_EQ(e.Player().Counters().failedExchanges, 0u);
  const int thread = e.Player().AudioThreadId();
  EXPECT_EQ(e.StartAudio(), 1) << "a start while running does nothing";
  EXPECT_EQ(e.Player().AudioThreadId(), thread);

  e.StopAudio();
  EXPECT_FALSE(e.Playing());
  EXPECT_EQ(e.Player().AudioThreadId(), 0) << "the audio thread was joined";
  EXPECT_EQ(e.Player().Link(), nullptr);
  EXPECT_TRUE(WaitUntil([&] { return first.Streams() == 0; }, 1000ms));
  e.StopAudio();  // a second stop is harmless
}

TEST_F(Engine, SwitchesOnlyWhenTheCategoryDeviceDiffers) {
  AudioEngine& e = MakeEngine();
  e.SelectOutputDevice();
  ASSERT_EQ(e.StartAudio(), 1);
  const int thread = e.Player().AudioThreadId();
  EXPECT_EQ(e.SwitchOutputDevice(), 1);
  EXPECT_EQ(e.Player().AudioThreadId(), thread) << "the same device: playback was not restarted";

  storedName = ProductName(second.Description());
  EXPECT_EQ(e.SwitchOutputDevice(), 1);
  EXPECT_TRUE(e.Playing());
  EXPECT_EQ(e.Player().SinkInUse(), second.Name());
  EXPECT_NE(e.Player().AudioThreadId(), thread);
  EXPECT_TRUE(WaitUntil([&] { return first.Streams() == 0 && second.Streams() == 1; }, 1000ms));
}

TEST_F(Engine, ALostDeviceStopsCleanlyAndTheNextSwitchFindsAnother) {
  AudioEngine& e = MakeEngine();
  std::atomic<int> notices{0};
  e.SetLostNotice([&] { ++notices; });
  e.SelectOutputDevice();
  ASSERT_EQ(e.StartAudio(), 1);
  first.Remove();
  ASSERT_TRUE(WaitUntil([&] { return notices.load() == 1; }, 3000ms));
  e.OnOutputDeviceLost();
  EXPECT_FALSE(e.Playing());
  EXPECT_EQ(e.Player().AudioThreadId(), 0);
  storedName = ProductName(second.Description());
  EXPECT_EQ(e.SwitchOutputDevice(), 1);
  EXPECT_TRUE(e.Playing());
  EXPECT_EQ(e.Player().SinkInUse(), second.Name());
}

TEST_F(Engine, ADriverThatRestartsIsFoundAgainWhilePlaybackGoesOn) {
  AudioEngine& e = MakeEngine();
  e.SelectOutputDevice();
  ASSERT_EQ(e.StartAudio(), 1);
  ASSERT_TRUE(WaitUntil([&] { return e.Player().Counters().processedBlocks >= 3; }, 2000ms));
  const int thread = e.Player().AudioThreadId();
  ::testing::internal::CaptureStderr();
  daemon->Kill();
  const bool gone = WaitUntil([&] { return e.Player().LinkGone(); }, 2000ms);
  EXPECT_TRUE(gone) << "the link notices its daemon has gone";
  // Meanwhile the blocks are still played (silence), and the link is sought
  // with a back-off, not on every block.
  const PlayerCounters before = e.Player().Counters();
  std::this_thread::sleep_for(500ms);
  EXPECT_GE(e.Player().Counters().blocks, before.blocks + 8);
  EXPECT_EQ(e.Player().Counters().processedBlocks, before.processedBlocks) << "silence skips the chain";
  EXPECT_TRUE(e.Playing());

  daemon = std::make_unique<testing::Ulxd>(dir, std::vector<std::string>{"--tone", "1000"});
  ASSERT_TRUE(daemon->WaitReady()) << daemon->Log();
  const uint64_t processed = e.Player().Counters().processedBlocks;
  // The back-off has reached 800 ms at most by now; 2 s is enough.
  const bool back = WaitUntil([&] { return e.Player().Counters().processedBlocks >= processed + 5; }, 3000ms);
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(back) << "processed sound again from the new daemon";
  EXPECT_FALSE(e.Player().LinkGone());
  EXPECT_EQ(e.Player().AudioThreadId(), thread) << "the same audio thread took the new link";
  std::size_t lines = 0;
  for (std::size_t at = log.find("ioctl failed"); at != std::string::npos; at = log.find("ioctl failed", at + 1))
    ++lines;
  EXPECT_EQ(lines, 1u) << "one line for the whole run of failures:\n" << log;
  EXPECT_TRUE(WaitUntil([&] { return messages.Notices().size() >= 2; }, 1000ms));
  EXPECT_EQ(messages.Notices(), (std::vector<std::string>{kDriverGoneNotice, kDriverBackNotice}))
      << "once for the fault, once for the recovery";
  EXPECT_NE(log.find(kDriverGoneNotice), std::string::npos) << "and both in the log";
  EXPECT_NE(log.find(kDriverBackNotice), std::string::npos);
  e.StopAudio();
  EXPECT_EQ(e.Player().AudioThreadId(), 0);
}

TEST_F(Engine, ADriverThatStallsIsWaitedForWithoutLosingTheLink) {
  AudioEngine& e = MakeEngine();
  e.SelectOutputDevice();
  ASSERT_EQ(e.StartAudio(), 1);
  ASSERT_TRUE(WaitUntil([&] { return e.Player().Counters().processedBlocks >= 3; }, 2000ms));
  ::testing::internal::CaptureStderr();
  ::kill(daemon->Pid(), SIGSTOP);
  std::this_thread::sleep_for(600ms);
  const uint64_t failed = e.Player().Counters().failedExchanges;
  const auto stalledBlocks = e.Player().Counters().blocks;
  ::kill(daemon->Pid(), SIGCONT);
  const uint64_t processed = e.Player().Counters().processedBlocks;
  const bool back = WaitUntil([&] { return e.Player().Counters().processedBlocks >= processed + 5; }, 2000ms);
  ::testing::internal::GetCapturedStderr();
  EXPECT_GE(failed, 5u) << "the exchanges failed during the stall";
  EXPECT_GE(stalledBlocks, 12u) << "and the blocks kept coming";
  EXPECT_TRUE(back) << "processed sound again after the stall";
  EXPECT_FALSE(e.Player().LinkGone()) << "a late reply does not end the link";
  EXPECT_EQ(e.Player().FailingExchanges(), 0u);
  EXPECT_TRUE(WaitUntil([&] { return messages.Notices().size() >= 2; }, 1000ms));
  EXPECT_EQ(messages.Notices(), (std::vector<std::string>{kDriverStalledNotice, kDriverBackNotice}));
}

TEST_F(Engine, TheLowLatencyModePlaysSmallHeadersAndSwitchesBackWhilePlaying) {
  AudioEngine& e = MakeEngine();
  e.SetLowLatency(true);
  EXPECT_TRUE(e.LowLatency());
  e.SelectOutputDevice();
  ASSERT_EQ(e.StartAudio(), 1);
  EXPECT_EQ(e.Player().Layout().bytes, kLowLatencyHeaderBytes);
  EXPECT_EQ(e.Player().Layout().count, kHeaderCount);
  EXPECT_TRUE(WaitUntil([&] { return e.Player().Counters().processedBlocks >= 20; }, 2000ms))
      << "the tone runs through the chain in small blocks";
  const int thread = e.Player().AudioThreadId();
  e.SetLowLatency(true);
  EXPECT_EQ(e.Player().AudioThreadId(), thread) << "the same mode: the output was not restarted";

  e.SetLowLatency(false);
  EXPECT_TRUE(e.Playing());
  EXPECT_EQ(e.Player().Layout().bytes, kHeaderBytes);
  EXPECT_NE(e.Player().AudioThreadId(), thread) << "the output restarted with the large blocks";
  EXPECT_EQ(e.Player().SinkInUse(), first.Name());
  const uint64_t processed = e.Player().Counters().processedBlocks;
  EXPECT_TRUE(WaitUntil([&] { return e.Player().Counters().processedBlocks >= processed + 5; }, 2000ms));
  EXPECT_TRUE(WaitUntil([&] { return first.Streams() == 1; }, 1000ms)) << "one stream, the old one is gone";
  EXPECT_TRUE(messages.warnings.empty());
  EXPECT_TRUE(messages.Notices().empty());
}

// A machine that cannot keep up with 10 ms blocks: the audio thread takes
// 25 ms for each of them (and nothing extra for the large ones).
void SlowSmallBlocks(void*, int headerBytes) {
  if (headerBytes == kLowLatencyHeaderBytes) std::this_thread::sleep_for(25ms);
}

TEST_F(Engine, UnderrunsInARowFallBackToTheLargeBlocksOnceForTheRestOfTheRun) {
  AudioEngine& e = MakeEngine();
  e.SetBlockHook(&SlowSmallBlocks, nullptr);
  e.SetLowLatency(true);
  e.SelectOutputDevice();
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(e.StartAudio(), 1);
  const bool fellBack = WaitUntil([&] { return e.FellBack(); }, 5000ms);
  EXPECT_TRUE(WaitUntil([&] { return e.Player().Layout().bytes == kHeaderBytes && e.Playing(); }, 2000ms));
  const uint64_t processed = e.Player().Counters().processedBlocks;
  EXPECT_TRUE(WaitUntil([&] { return e.Player().Counters().processedBlocks >= processed + 10; }, 2000ms))
      << "the large blocks play on";
  EXPECT_FALSE(e.Player().FallingBehind()) << "and keep up";
  e.SetLowLatency(true);
  EXPECT_EQ(e.Player().Layout().bytes, kHeaderBytes) << "the fallback holds for the engine's run";
  EXPECT_FALSE(e.LowLatency());
  const std::string log = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(fellBack);
  EXPECT_EQ(messages.Notices(), std::vector<std::string>{kLowLatencyFallbackNotice}) << "told once";
  EXPECT_NE(log.find(kLowLatencyFallbackNotice), std::string::npos) << "and in the log:\n" << log;
  EXPECT_TRUE(messages.warnings.empty());
}

TEST_F(Engine, TheLargeBlocksNeverFallBack) {
  AudioEngine& e = MakeEngine();
  // As slow as above, on every block: the large blocks keep up with it.
  e.SetBlockHook([](void*, int) { std::this_thread::sleep_for(25ms); }, nullptr);
  e.SelectOutputDevice();
  ASSERT_EQ(e.StartAudio(), 1);
  ASSERT_TRUE(WaitUntil([&] { return e.Player().Counters().processedBlocks >= 20; }, 3000ms));
  EXPECT_FALSE(e.Player().FallingBehind());
  EXPECT_FALSE(e.FellBack());
  EXPECT_TRUE(messages.Notices().empty());
}

TEST_F(Engine, AFailedOpenShowsThePlaybackMessageAndStopsTheThread) {
  AudioEngine& e = MakeEngine();
  // No device chosen: nothing to open.
  EXPECT_EQ(e.StartAudio(), 1) << "the driver link did open";
  EXPECT_FALSE(e.Playing());
  ASSERT_EQ(messages.warnings.size(), 1u);
  EXPECT_EQ(messages.warnings[0], kPlaybackOpenFailedMessage);
  EXPECT_EQ(messages.preferences, 1);
  EXPECT_EQ(e.Player().AudioThreadId(), 0);
  EXPECT_FALSE(e.Player().Running());
}

TEST_F(Engine, WithoutTheDriverTheDriverMessageAndNoStart) {
  daemon->Stop();
  AudioEngine& e = MakeEngine();
  e.SelectOutputDevice();
  EXPECT_EQ(e.StartAudio(), 0);
  ASSERT_EQ(messages.warnings.size(), 1u);
  EXPECT_EQ(messages.warnings[0], kDriverOpenFailedMessage);
}

TEST_F(Engine, TheFirstStartSetsTheDeviceVolumeExceptForHeadphones) {
  testing::Run("pactl set-sink-volume " + first.Name() + " 50%");
  testing::Run("pactl set-sink-volume " + second.Name() + " 50%");
  AudioEngine& e = MakeEngine();
  e.SetCategory(kCategoryHeadphones);
  e.SelectOutputDevice();
  ASSERT_EQ(e.StartAudio(), 1);
  EXPECT_EQ(first.VolumePercent(), 50) << "headphones keep their volume";
  e.SetCategory(kCategoryBuiltIn);
  storedName = ProductName(second.Description());
  ASSERT_EQ(e.SwitchOutputDevice(), 1);
  EXPECT_EQ(second.VolumePercent(), 50) << "only the first start may set it";

  AudioEngine& fresh = MakeEngine();
  fresh.SetCategory(kCategoryBuiltIn);
  storedName = ProductName(first.Description());
  fresh.SelectOutputDevice();
  ASSERT_EQ(fresh.StartAudio(), 1);
  EXPECT_EQ(first.VolumePercent(), 100);
}

}  // namespace
}  // namespace auralith::audio

namespace auralith::audio {
namespace {

// The audio thread's decisions for each block, seen from outside: what
// leaves the real sink, and the counters.
class BlockDecisions : public OnSoundServer {
 protected:
  void SetUp() override {
    OnSoundServer::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(sink.Loaded());
    dsp::InitDsp(*processing);
  }
  void TearDown() override {
    engine.reset();
    daemon.reset();
    if (!IsSkipped()) dsp::FreeDsp(*processing);
  }
  // Starts the engine on the test sink with processing switched off (the
  // neutral set) in the given category, fed by ulxd with `args`.
  void Start(int category, std::vector<std::string> args) {
    daemon = std::make_unique<testing::Ulxd>(dir, std::move(args));
    ASSERT_TRUE(daemon->WaitReady()) << daemon->Log();
    processing->processingOff.store(true);
    dsp::ApplyNeutralParams(*processing);
    engine = std::make_unique<AudioEngine>(
        messages, [this](int) { return ProductName(sink.Description()); }, *processing);
    engine->SetCategory(category);
    engine->SelectOutputDevice();
    ASSERT_EQ(engine->StartAudio(), 1);
    ASSERT_TRUE(engine->Playing());
  }
  // RMS of the left channel of what the sink plays, over `seconds`.
  double RecordedRms(double seconds) {
    const std::string file = temp / "out.raw";
    const std::string pid = testing::Run("parec -d " + sink.Name() +
                                         ".monitor --format=s16le --rate=44100 --channels=2 --raw "
                                         "--latency-msec=10 > '" +
                                         file + "' 2>/dev/null & echo $!");
    std::this_thread::sleep_for(std::chrono::milliseconds(int(seconds * 1000)));
    testing::Run("kill " + pid);
    std::this_thread::sleep_for(100ms);
    const std::string rms = testing::Run("python3 -c \"import array; d=open('" + file +
                                         "','rb').read(); a=array.array('h'); a.frombytes(d[:len(d)//4*4]); "
                                         "l=a[0::2][22050:]; print((sum(v*v for v in l)/max(len(l),1))**0.5)\"");
    return std::atof(rms.c_str());
  }

  testing::TempDir temp;
  std::string dir = temp / "interfaces";
  testing::ScopedEnv env{ulx::kInterfaceDirVariable, dir};
  TestSink sink{"engine_blocks"};
  ConsoleMessages messages;
  std::unique_ptr<testing::Ulxd> daemon;
  std::unique_ptr<dsp::DspState> processing = std::make_unique<dsp::DspState>();
  std::unique_ptr<AudioEngine> engine;
};

// The tone of ulxd at -6 dBFS: amplitude 16422, RMS 16422 / sqrt(2).
constexpr double kToneRms = 16422 / 1.4142135623730951;

TEST_F(BlockDecisions, ProcessingOffPlaysAtFullLevelOnBuiltInSpeakers) {
  Start(kCategoryBuiltIn, {"--tone", "1000"});
  const double rms = RecordedRms(1.5);
  EXPECT_NEAR(20 * std::log10(rms / kToneRms), 0.0, 0.1) << rms;
  EXPECT_GT(engine->Player().Counters().processedBlocks, 20u) << "the neutral chain runs on every block";
}

TEST_F(BlockDecisions, ProcessingOffPlaysFiveDecibelsQuieterOnHeadphones) {
  Start(kCategoryHeadphones, {"--tone", "1000"});
  const double rms = RecordedRms(1.5);
  // 16384 becomes 0.28117 instead of 0.5: the scale 1.7161256e-5 of the
  // quieter conversion, 5 dB below 1/32768.
  EXPECT_NEAR(rms / kToneRms, 0.28117 / 0.5, 0.003) << rms;
  EXPECT_NEAR(20 * std::log10(rms / kToneRms), -5.0, 0.1);
}

TEST_F(BlockDecisions, SilenceFromTheDriverSkipsTheChain) {
  const std::string silent = temp / "silence.wav";
  testing::WriteWav(silent, std::vector<int16_t>(44100 * 2, 0), 2);
  Start(kCategoryDesktop, {"--wav", silent, "--loop"});
  ASSERT_TRUE(WaitUntil([&] { return engine->Player().Counters().blocks >= 25; }, 3000ms));
  EXPECT_EQ(engine->Player().Counters().processedBlocks, 0u) << "no block of zeros went through the chain";
  EXPECT_LT(RecordedRms(0.8), 1.0) << "and silence is played";
}

}  // namespace
}  // namespace auralith::audio

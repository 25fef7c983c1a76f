// auralith-engine: the audio engine without a user interface. Takes over the
// default output, plays what every program plays through the processing
// chain on the listening category's output device, and gives the default
// back when SIGINT or SIGTERM ends it. SIGHUP reads the settings again and
// switches category, profile, output device and latency mode as the main
// window would.

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "audio/audio_engine.h"
#include "audio/engine_lock.h"
#include "audio/output_devices.h"
#include "audio/user_messages.h"
#include "dsp/chain.h"
#include "tools/engine/host_profile.h"
#include "tools/engine/host_settings.h"

using namespace auralith;

namespace {

constexpr const char* kUsage =
    "Usage: auralith-engine [--low-latency] [--stats SECONDS]\n"
    "Runs the Auralith audio engine on the session's sound server until SIGINT or SIGTERM;\n"
    "SIGHUP reads the settings again (category, profile, output device, latency mode).\n"
    "The listening state comes from the settings (AURALITH_CONFIG_DIR replaces their folder);\n"
    "the driver stand-in ulxd must be running.\n"
    "  --low-latency    output in 10 ms blocks (for video), whatever the settings say\n"
    "  --stats SECONDS  print the engine's counters every SECONDS seconds\n";

void PrintCounters(const char* what, const audio::AudioEngine& engine) {
  const audio::PlayerCounters c = engine.Player().Counters();
  std::printf(
      "auralith-engine: %s: blocks=%llu processed=%llu underruns=%u failed-exchanges=%llu audio-thread=%d "
      "block-bytes=%d\n",
      what, static_cast<unsigned long long>(c.blocks), static_cast<unsigned long long>(c.processedBlocks), c.underruns,
      static_cast<unsigned long long>(c.failedExchanges), engine.Player().AudioThreadId(), c.headerBytes);
  std::fflush(stdout);
}

void ReportPlayback(const audio::AudioEngine& engine) {
  const std::string sink = engine.PlayingOn();
  if (!sink.empty())
    std::printf("auralith-engine: playing on %s in blocks of %d ms\n", sink.c_str(), engine.BlockMsInUse());
  else
    std::printf("auralith-engine: not playing\n");
  std::fflush(stdout);
}

// Tells once per profile and content mode that the active profile leaves
// parameters out.
void ApplyProfile(dsp::DspState& processing, profiles::Profile& profile, const engine::ListeningState& listening,
                  bool startUp, audio::UserMessages& messages, std::string& told) {
  const std::string path = engine::ActiveProfilePath(listening.category);
  if (path.empty()) std::fprintf(stderr, "auralith-engine: the category's profile was not found\n");
  engine::ApplyListeningState(processing, profile, path, listening, startUp);
  const std::string notice =
      path.empty() ? std::string() : engine::MissingParametersNotice(profile, path, listening.contentMode);
  const std::string key = path + "\n" + std::to_string(listening.contentMode);
  if (notice.empty() || told == key) return;
  told = key;
  std::fprintf(stderr, "auralith-engine: %s\n", notice.c_str());
  messages.ShowNotice(notice);
}

struct Options {
  int statsSeconds = 0;
  bool lowLatency = false;
};

bool ParseOptions(int argc, char** argv, Options& options, int& exitCode) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      exitCode = 0;
      return false;
    }
    if (arg == "--low-latency") {
      options.lowLatency = true;
      continue;
    }
    if (arg == "--stats" && i + 1 < argc) {
      char* end = nullptr;
      const long seconds = std::strtol(argv[++i], &end, 10);
      if (*end == '\0' && seconds > 0 && seconds <= 3600) {
        options.statsSeconds = int(seconds);
        continue;
      }
    }
    std::fprintf(stderr, "auralith-engine: bad argument '%s'\n%s", arg.c_str(), kUsage);
    exitCode = 2;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int exitCode = 0;
  if (!ParseOptions(argc, argv, options, exitCode)) return exitCode;

  // Signals are taken from a descriptor; every thread started from here on
  // inherits the mask, so none of them is interrupted by them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
  if (signalFd < 0) {
    std::fprintf(stderr, "auralith-engine: %s\n", std::strerror(errno));
    return 1;
  }

  audio::ConsoleMessages messages;
  audio::EngineLock lock;
  std::string lockError;
  switch (lock.Acquire(lockError)) {
    case audio::EngineLock::Result::Held:
      break;
    case audio::EngineLock::Result::AlreadyHeld:
      messages.ShowWarning(audio::kEngineRunsMessage);
      return 1;
    case audio::EngineLock::Result::Failed:
      std::fprintf(stderr, "auralith-engine: %s\n", lockError.c_str());
      return 1;
  }
  audio::OutputDeviceList devices;
  audio::EnumerateOutputDevices(devices);
  const int virtualPosition = audio::FindOutputDevice(devices, audio::kVirtualDeviceName);
  if (virtualPosition < 0) {
    messages.ShowWarning(audio::kDriverNotFoundMessage);
    return 1;
  }

  engine::ListeningState listening = engine::ReadListeningState();
  auto processing = std::make_unique<dsp::DspState>();
  dsp::InitDsp(*processing);
  int result = 0;
  {
    audio::AudioEngine engine(messages, &engine::StoredOutputName, *processing);
    // The engine finds a device again by itself when the one in use goes.
    engine.SetPlaybackNotice([&engine] { ReportPlayback(engine); });
    engine.TakeOverDefaultOutput(devices[std::size_t(virtualPosition)]);
    engine.SetCategory(listening.category);
    engine.SetLowLatency(options.lowLatency || engine::ReadLowLatency());
    engine.SelectOutputDevice();
    if (!engine.StartAudio()) {
      // Leaving now with the virtual device as the default would silence
      // the whole computer: give the default back first.
      engine.RestoreDefaultOutput();
      result = 1;
    } else {
      profiles::Profile profile("");
      std::string toldIncomplete;
      ApplyProfile(*processing, profile, listening, true, messages, toldIncomplete);
      ReportPlayback(engine);

      pollfd waits[1] = {{signalFd, POLLIN, 0}};
      const int timeout = options.statsSeconds > 0 ? options.statsSeconds * 1000 : -1;
      for (;;) {
        const int ready = poll(waits, 1, timeout);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) {
          if (ready == 0) PrintCounters("running", engine);
          continue;
        }
        if (waits[0].revents & POLLIN) {
          signalfd_siginfo info{};
          if (::read(signalFd, &info, sizeof(info)) != sizeof(info) || info.ssi_signo != SIGHUP) break;
          // As SetCategory does: the profile first, then the output device.
          listening = engine::ReadListeningState();
          engine.SetCategory(listening.category);
          ApplyProfile(*processing, profile, listening, false, messages, toldIncomplete);
          engine.SwitchOutputDevice();
          // Restarts the output only when the block size changes.
          engine.SetLowLatency(options.lowLatency || engine::ReadLowLatency());
          ReportPlayback(engine);
        }
      }
      // The order of an orderly shutdown: stop the engine, give the default back.
      engine.StopAudio();
      PrintCounters("stopped", engine);
      engine.RestoreDefaultOutput();
    }
  }
  // Only now that the audio thread has been joined.
  dsp::FreeDsp(*processing);
  ::close(signalFd);
  return result;
}

// ulxd: the Linux stand-in for the ULX audio driver. Offers the virtual
// output device "Auralith" and hands what is played to it to the application
// through a shared ring and two control requests on a Unix socket.

#include <pulse/mainloop-signal.h>
#include <pulse/mainloop.h>
#include <pulse/timeval.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "auralith_version.h"
#include "driver/interface_server.h"
#include "driver/log.h"
#include "driver/options.h"
#include "driver/pulse_capture.h"
#include "driver/test_feed.h"
#include "driver/wav_file.h"
#include "dsp/stream_format.h"
#include "realtime/realtime.h"
#include "ulx/ring_layout.h"
#include "ulx/ulx_interface.h"

using namespace auralith;
using namespace auralith::ulxd;

namespace {

// How long the end waits for the sound server to confirm the sink is gone.
constexpr pa_usec_t kStopTimeoutUsec = 3000000;

struct Daemon {
  pa_mainloop* loop = nullptr;
  std::unique_ptr<InterfaceServer> server;
  std::unique_ptr<PulseCapture> capture;
  std::unique_ptr<TestFeed> feed;
  bool stopping = false;
};

void OnStopTimeout(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* self) {
  ULXD_WARN("the sound server did not confirm that the sink is gone; ending anyway");
  api->time_free(event);
  pa_mainloop_quit(static_cast<Daemon*>(self)->loop, 0);
}

void OnSignal(pa_mainloop_api* api, pa_signal_event*, int signal, void* self) {
  auto* daemon = static_cast<Daemon*>(self);
  if (daemon->stopping) {
    ULXD_WARN("second signal: ending at once");
    pa_mainloop_quit(daemon->loop, 0);
    return;
  }
  daemon->stopping = true;
  ULXD_INFO("stopping (%s)", strsignal(signal));
  // Clients see the interface go first, then the device goes.
  daemon->server->Shutdown();
  if (!daemon->capture) {
    pa_mainloop_quit(daemon->loop, 0);
    return;
  }
  timeval when{};
  pa_timeval_add(pa_gettimeofday(&when), kStopTimeoutUsec);
  api->time_new(api, &when, &OnStopTimeout, daemon);
  daemon->capture->Stop([daemon] { pa_mainloop_quit(daemon->loop, 0); });
}

int32_t VolumeUnits(double db) { return int32_t(std::lrint(db * 65536.0)); }

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "ulxd: %s\nTry 'ulxd --help'.\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  SetVerbose(options->verbose);
  std::string dir = ulx::InterfaceDir();
  if (dir.empty()) {
    ULXD_ERROR("neither ULX_INTERFACE_DIR nor XDG_RUNTIME_DIR is set: no folder for the device interface");
    return 1;
  }
  std::vector<int16_t> wav;
  if (!options->wavPath.empty() && !ReadWav(options->wavPath, wav, error)) {
    ULXD_ERROR("%s", error.c_str());
    return 1;
  }
  if (!options->wavPath.empty() && wav.empty()) {
    ULXD_ERROR("%s holds no audio", options->wavPath.c_str());
    return 1;
  }
  std::signal(SIGPIPE, SIG_IGN);

  Daemon daemon;
  daemon.loop = pa_mainloop_new();
  pa_mainloop_api* api = pa_mainloop_get_api(daemon.loop);
  pa_signal_init(api);
  pa_signal_new(SIGTERM, &OnSignal, &daemon);
  pa_signal_new(SIGINT, &OnSignal, &daemon);
  pa_signal_new(SIGHUP, &OnSignal, &daemon);

  ULXD_INFO(
      "ulxd %s: ring of %u bytes (%u ms), readers kept the largest capture burst and one of their blocks "
      "behind the writer (at most %u bytes)",
      AURALITH_VERSION, kRingBytes, kRingBytes / kStreamFrameBytes * 1000 / kStreamRate, kMaxDelayBytes);
  daemon.server = std::make_unique<InterfaceServer>(api);
  if (!daemon.server->Listen(dir, options->interfaceName, error)) {
    ULXD_ERROR("%s", error.c_str());
    daemon.server.reset();
    pa_signal_done();
    pa_mainloop_free(daemon.loop);
    return 1;
  }
  InterfaceServer* server = daemon.server.get();
  auto audio = [server](const uint8_t* data, size_t bytes) { server->Feed(data, bytes); };
  auto burstEnd = [server] { server->EndBurst(); };
  if (options->TestFeed()) {
    // Nothing else applies the simulated device's volume: the application does.
    server->SetVolume(VolumeUnits(options->volumeDb));
    daemon.feed = std::make_unique<TestFeed>(api, std::move(wav), options->loop, options->toneHz.value_or(0),
                                             options->toneDbfs, audio, burstEnd);
    daemon.feed->Start();
  } else {
    // The monitor carries the audio after the sink's volume and mute, so the
    // user's volume is applied already: the application is told 0 dB.
    server->SetVolume(0);
    daemon.capture = std::make_unique<PulseCapture>(api, options->sinkName, options->description, audio, burstEnd);
    PulseCapture* capture = daemon.capture.get();
    server->SetFragmentHandler([capture](uint32_t bytes) { capture->SetFragment(bytes); });
    daemon.capture->Start();
  }

  // The one thread captures the sound and answers every exchange the
  // engine's audio thread waits for, so it runs at the same priority: with
  // 10 ms blocks a late wake-up behind ordinary work underruns the output.
  if (realtime::RaiseToRealtime() == realtime::ThreadPriority::Realtime) {
    ULXD_INFO("running at real-time priority");
  } else {
    ULXD_INFO("running at normal priority: the system grants no real-time scheduling");
  }
  int result = 0;
  pa_mainloop_run(daemon.loop, &result);
  daemon.feed.reset();
  daemon.capture.reset();
  daemon.server.reset();
  pa_signal_done();
  pa_mainloop_free(daemon.loop);
  ULXD_INFO("stopped");
  return 0;
}

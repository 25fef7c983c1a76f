// Offline rendering speed of a 10-minute stereo file, in multiples of real
// time, next to sox and ffmpeg running an equivalent chain over the same
// file. Run it pinned to one core (taskset -c 1) to compare cost rather
// than parallelism; x_realtime_cpu counts processor time, which a busy
// machine disturbs less than the wall clock.
#include "dsp/stream_format.h"
#include "tools/render/renderer.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <sys/resource.h>
#include <unistd.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kRate = static_cast<int>(auralith::kStreamRate);
constexpr double kSeconds = 600.0;

std::string WorkFolder() {
  static const std::string folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "auralith-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern + "/";
  }();
  return folder;
}

// Ten minutes of music-like sound: pink-ish noise whose level swells and
// falls by 30 dB every few seconds, with a bass line and a melody over it.
const std::string& InputFile() {
  static const std::string path = [] {
    std::string file = WorkFolder() + "ten-minutes.wav";
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    if (!out) std::abort();
    const auto frames = static_cast<std::size_t>(kSeconds * kRate);
    std::vector<float> chunk(2 * 4096);
    std::uint32_t seed = 12345;
    double low[2] = {0.0, 0.0};
    for (std::size_t start = 0; start < frames; start += 4096) {
      const std::size_t n = std::min<std::size_t>(4096, frames - start);
      for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(start + i) / kRate;
        const double swell = std::pow(10.0, (-15.0 - 15.0 * std::cos(2 * M_PI * t / 7.0)) / 20.0);
        const double bass = 0.3 * std::sin(2 * M_PI * (55.0 + 27.5 * std::floor(std::fmod(t, 4.0))) * t);
        const double melody =
            0.1 * std::sin(2 * M_PI * 440.0 * std::pow(2.0, std::floor(std::fmod(t * 2, 12.0)) / 12.0) * t);
        for (int c = 0; c < 2; ++c) {
          seed = seed * 1664525u + 1013904223u;
          const double white = (seed >> 8) / 8388608.0 - 1.0;
          low[c] = 0.97 * low[c] + 0.03 * white;
          chunk[2 * i + static_cast<std::size_t>(c)] =
              static_cast<float>(swell * (0.5 * white + 4.0 * low[c] + bass + melody));
        }
      }
      sf_writef_float(out, chunk.data(), static_cast<sf_count_t>(n));
    }
    sf_close(out);
    return file;
  }();
  return path;
}

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor time of this process and its finished children, the threads of
// both included.
double CpuSecondsSoFar() { return CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN); }

// Multiples of real time per contender, for the ratios printed at the end.
std::map<std::string, double>& CpuSpeeds() {
  static std::map<std::string, double> speeds;
  return speeds;
}

void SetRealTimeCounters(benchmark::State& state, const std::string& name, double cpuSeconds) {
  const double audio = kSeconds * static_cast<double>(state.iterations());
  state.counters["x_realtime"] = benchmark::Counter(audio, benchmark::Counter::kIsRate);
  state.counters["x_realtime_cpu"] = audio / cpuSeconds;
  CpuSpeeds()[name] = audio / cpuSeconds;
}

void RenderWith(benchmark::State& state, auralith::render::IoThreads threads, const std::string& name) {
  auralith::render::RenderOptions options;
  options.profile = AURALITH_BENCH_PROFILE;
  options.input = InputFile();
  options.output = WorkFolder() + "auralith.wav";
  options.ioThreads = threads;
  const double cpu = CpuSecondsSoFar();
  for (auto _ : state) {
    const auralith::render::RenderResult result = auralith::render::RenderFile(options);
    if (result.status != auralith::render::kExitOk) state.SkipWithError(result.error.c_str());
  }
  SetRealTimeCounters(state, name, CpuSecondsSoFar() - cpu);
}

// One thread: the cost of the rendering.
void BM_AuralithRender(benchmark::State& state) {
  RenderWith(state, auralith::render::IoThreads::Off, "auralith-render");
}

// Reading and writing beside the chain, which pays only on more than one core.
void BM_AuralithRenderIoThreads(benchmark::State& state) {
  RenderWith(state, auralith::render::IoThreads::On, "auralith-render, I/O threads");
}

void RunCommand(benchmark::State& state, const std::string& command, const std::string& name) {
  const double cpu = CpuSecondsSoFar();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError((name + " failed (is it installed?)").c_str());
  }
  SetRealTimeCounters(state, name, CpuSecondsSoFar() - cpu);
}

// The Varrow Laptop music set as sox effects: a 4th-order high-pass, two
// shelves on each side of a compressor, the ten equalizer bands, the split
// at 225 Hz and 6.3 kHz with a compressor on each band and their mix
// (mcompand), and the two bands of the user equalizer.
std::string SoxCommand(bool bandSplit) {
  return "sox -V1 '" + InputFile() + "' '" + WorkFolder() +
         "sox.wav'"
         " highpass 120 highpass 120 bass +2 treble +2"
         " compand 0.005,0.15 6:-70,-70,-26,-26,0,-18 8 -20"
         " bass 0 treble +1"
         " equalizer 28 0.7q 0 equalizer 63 0.7q 0 equalizer 125 0.7q 0"
         " equalizer 160 1.4q +5 equalizer 225 1.2q +3 equalizer 250 0.7q 0"
         " equalizer 500 1q -3 equalizer 1000 0.7q 0 equalizer 3150 1.2q +2.5"
         " equalizer 10000 0.8q +2" +
         std::string(bandSplit ? " mcompand '0.01,0.2 6:-70,-70,-22,-22,0,-16.5 2' 225"
                                 " '0.005,0.15 6:-70,-70,-24,-24,0,-16 0' 6300"
                                 " '0.002,0.08 6:-70,-70,-24,-24,0,-12 1'"
                               : "") +
         " equalizer 160 0.7q 0 equalizer 8000 0.7q 0";
}

void BM_SoxEquivalentChain(benchmark::State& state) { RunCommand(state, SoxCommand(true), "sox"); }

// The same without the three-band stage, as this benchmark timed sox before.
void BM_SoxWithoutBandSplit(benchmark::State& state) {
  RunCommand(state, SoxCommand(false), "sox without the band split");
}

std::string Equalizer(const char* frequency, const char* q, const char* gain) {
  return std::string("equalizer=f=") + frequency + ":t=q:w=" + q + ":g=" + gain + ",";
}

// A peak-sensing compressor with both channels linked, as the chain's are;
// threshold and make-up as factors.
std::string Compressor(const char* threshold, const char* ratio, const char* attackMs, const char* releaseMs,
                       const char* makeup) {
  return std::string("acompressor=detection=peak:link=maximum:threshold=") + threshold + ":ratio=" + ratio +
         ":attack=" + attackMs + ":release=" + releaseMs + ":makeup=" + makeup;
}

// The same set as an ffmpeg filter graph, the whole chain: the 4th-order
// high-pass, the shelves around the full-band compressor, the ten bands,
// the Linkwitz-Riley split at 225 Hz and 6.3 kHz with a compressor on each
// band, their mix and the two user bands. Double precision from the start,
// as the chain's filters; one thread for decoding, filters and encoding.
void BM_FfmpegEquivalentGraph(benchmark::State& state) {
  const std::string graph =
      "aformat=sample_fmts=dblp,highpass=f=120,highpass=f=120,lowshelf=f=100:g=2,highshelf=f=3000:g=2," +
      Compressor("0.0501", "3", "5", "150", "2.512") + ",lowshelf=f=100:g=0,highshelf=f=3000:g=1," +
      Equalizer("28", "0.7", "0") + Equalizer("63", "0.7", "0") + Equalizer("125", "0.7", "0") +
      Equalizer("160", "1.4", "5") + Equalizer("225", "1.2", "3") + Equalizer("250", "0.7", "0") +
      Equalizer("500", "1", "-3") + Equalizer("1000", "0.7", "0") + Equalizer("3150", "1.2", "2.5") +
      Equalizer("10000", "0.8", "2") + "acrossover=split=225 6300:order=4th[low][mid][high];" + "[low]" +
      Compressor("0.0794", "4", "10", "200", "1.259") + "[l];[mid]" + Compressor("0.0631", "3", "5", "150", "1") +
      "[m];[high]" + Compressor("0.0631", "2", "2", "80", "1.122") + "[h];" + "[l][m][h]amix=inputs=3:normalize=0," +
      Equalizer("160", "0.7", "0") + Equalizer("8000", "0.7", "0") + "aformat=sample_fmts=s16";
  const std::string command =
      "ffmpeg -nostdin -hide_banner -loglevel error -y -threads 1 -filter_threads 1 -filter_complex_threads 1 -i '" +
      InputFile() + "' -filter_complex '" + graph + "' -c:a pcm_s16le '" + WorkFolder() + "ffmpeg.wav'";
  RunCommand(state, command, "ffmpeg");
}

// auralith-render's speed against each other contender, by processor time.
void PrintRatios() {
  const std::map<std::string, double>& speeds = CpuSpeeds();
  for (const char* render : {"auralith-render", "auralith-render, I/O threads"}) {
    const auto ours = speeds.find(render);
    if (ours == speeds.end()) continue;
    for (const char* other : {"sox", "ffmpeg", "sox without the band split"}) {
      const auto theirs = speeds.find(other);
      if (theirs != speeds.end())
        std::printf("%s / %s: %.2fx by processor time\n", render, other, ours->second / theirs->second);
    }
  }
}

}  // namespace

BENCHMARK(BM_AuralithRender)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_AuralithRenderIoThreads)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_SoxEquivalentChain)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_SoxWithoutBandSplit)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_FfmpegEquivalentGraph)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  PrintRatios();
  benchmark::Shutdown();
  std::filesystem::remove_all(WorkFolder());
  return 0;
}

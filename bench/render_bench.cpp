// Offline rendering speed of a 10-minute stereo file, in multiples of real
// time, next to sox running an equivalent chain over the same file.
#include "dsp/stream_format.h"
#include "tools/render/renderer.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <unistd.h>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
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
    const std::string file = WorkFolder() + "ten-minutes.wav";
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

void SetRealTimeCounter(benchmark::State& state) {
  state.counters["x_realtime"] =
      benchmark::Counter(kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_AuralithRender(benchmark::State& state) {
  auralith::render::RenderOptions options;
  options.profile = AURALITH_BENCH_PROFILE;
  options.input = InputFile();
  options.output = WorkFolder() + "auralith.wav";
  for (auto _ : state) {
    const auralith::render::RenderResult result = auralith::render::RenderFile(options);
    if (result.status != auralith::render::kExitOk) state.SkipWithError(result.error.c_str());
  }
  SetRealTimeCounter(state);
}

// The Varrow Laptop music set as sox effects: a 4th-order high-pass, two
// shelves on each side of a compressor, the ten equalizer bands and the two
// bands of the user equalizer.
void BM_SoxEquivalentChain(benchmark::State& state) {
  const std::string command = "sox -V1 '" + InputFile() + "' '" + WorkFolder() +
                              "sox.wav'"
                              " highpass 120 highpass 120 bass +2 treble +2"
                              " compand 0.005,0.15 6:-70,-70,-26,-26,0,-18 8 -20"
                              " bass 0 treble +1"
                              " equalizer 28 0.7q 0 equalizer 63 0.7q 0 equalizer 125 0.7q 0"
                              " equalizer 160 1.4q +5 equalizer 225 1.2q +3 equalizer 250 0.7q 0"
                              " equalizer 500 1q -3 equalizer 1000 0.7q 0 equalizer 3150 1.2q +2.5"
                              " equalizer 10000 0.8q +2"
                              " equalizer 160 0.7q 0 equalizer 8000 0.7q 0";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("sox failed (is it installed?)");
  }
  SetRealTimeCounter(state);
}

}  // namespace

BENCHMARK(BM_AuralithRender)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_SoxEquivalentChain)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(WorkFolder());
  return 0;
}

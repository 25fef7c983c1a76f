// Compares a recording of the engine's output with the offline rendering of
// the same input: finds where the rendering starts in the recording by
// cross-correlation and counts the samples within a tolerance.
//
//   audio_signal_compare REFERENCE.wav RECORDING.raw [TOLERANCE_LSB [SKIP_SECONDS]]
//
// SKIP_SECONDS leaves the reference's first seconds out of the count (a
// chain that played other sound before still carries its state there).
// The recording is raw 16-bit little-endian stereo at 44100 Hz. Prints one
// line "lag=N compared=N within=N share=P maxdiff=N exact_seconds=S" and
// exits 0 when at least 99.9 % of the reference's samples are within the
// tolerance. exact_seconds is how long the recording follows the reference
// within the tolerance from the reference's onset on, until the first frame
// outside it (a dropped block shifts everything after it).

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr int kOnsetLevel = 64;
constexpr long kSearch = 4410;  // samples either side of the onset guess
constexpr long kCorrelationFrames = 22050;
constexpr double kRequiredShare = 0.999;

bool ReadWav(const char* path, std::vector<short>& samples) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path, SFM_READ, &info);
  if (!file || info.channels != 2) return false;
  samples.resize(std::size_t(info.frames) * 2);
  sf_count_t got = sf_readf_short(file, samples.data(), info.frames);
  sf_close(file);
  samples.resize(std::size_t(got) * 2);
  return true;
}

bool ReadRaw(const char* path, std::vector<short>& samples) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  samples.resize(bytes.size() / 4 * 2);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = short(uint16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8));
  return true;
}

long Onset(const std::vector<short>& s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (std::abs(int(s[i])) > kOnsetLevel) return long(i / 2);
  return -1;
}

// Frame lag of the reference within the recording.
long Align(const std::vector<short>& ref, const std::vector<short>& rec) {
  const long refOnset = Onset(ref), recOnset = Onset(rec);
  if (refOnset < 0 || recOnset < 0) return -1;
  const long guess = recOnset - refOnset;
  const long refFrames = long(ref.size() / 2), recFrames = long(rec.size() / 2);
  long best = -1;
  double bestScore = -1e300;
  for (long lag = std::max(0L, guess - kSearch); lag <= guess + kSearch; ++lag) {
    double score = 0;
    for (long f = refOnset; f < std::min(refFrames, refOnset + kCorrelationFrames) && f + lag < recFrames; ++f)
      score += double(ref[std::size_t(2 * f)]) * rec[std::size_t(2 * (f + lag))];
    if (score > bestScore) {
      bestScore = score;
      best = lag;
    }
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: audio_signal_compare REFERENCE.wav RECORDING.raw [TOLERANCE_LSB]\n");
    return 2;
  }
  const int tolerance = argc > 3 ? std::atoi(argv[3]) : 1;
  const std::size_t skip = argc > 4 ? std::size_t(std::atof(argv[4]) * 44100.0) * 2 : 0;
  std::vector<short> ref, rec;
  if (!ReadWav(argv[1], ref) || !ReadRaw(argv[2], rec)) {
    std::fprintf(stderr, "audio_signal_compare: cannot read the inputs\n");
    return 2;
  }
  const long lag = Align(ref, rec);
  if (lag < 0) {
    std::printf("lag=none compared=0 within=0 share=0 maxdiff=none\n");
    return 1;
  }
  std::size_t within = 0;
  int maxDiff = 0;
  for (std::size_t i = skip; i < ref.size(); ++i) {
    const std::size_t at = i + 2 * std::size_t(lag);
    if (at >= rec.size()) break;  // missing samples count as outside
    const int diff = std::abs(int(ref[i]) - int(rec[at]));
    maxDiff = std::max(maxDiff, diff);
    if (diff <= tolerance) ++within;
  }
  std::size_t exactFrames = 0;
  for (std::size_t f = std::size_t(Onset(ref)); 2 * f + 1 < ref.size(); ++f, ++exactFrames) {
    const std::size_t at = 2 * (f + std::size_t(lag));
    if (at + 1 >= rec.size() || std::abs(int(ref[2 * f]) - int(rec[at])) > tolerance ||
        std::abs(int(ref[2 * f + 1]) - int(rec[at + 1])) > tolerance)
      break;
  }
  // Missing samples at the end count as outside too.
  const std::size_t compared = ref.size() > skip ? ref.size() - skip : 0;
  const double share = compared == 0 ? 0 : double(within) / double(compared);
  std::printf("lag=%ld compared=%zu within=%zu share=%.5f maxdiff=%d exact_seconds=%.2f\n", lag, compared, within,
              share, maxDiff, double(exactFrames) / 44100.0);
  return share >= kRequiredShare ? 0 : 1;
}

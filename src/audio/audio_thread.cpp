#include "audio/audio_thread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "audio/debug_output.h"
#include "audio/wave_out_player.h"
#include "dsp/chain.h"
#include "realtime/realtime.h"

namespace auralith::audio {

int16_t ScaleSample(int16_t sample, float gain) {
  const float scaled = float(sample) * gain;
  // A volume above 0 dB must not wrap loud samples around.
  if (scaled >= 32767.0f) return 32767;
  if (scaled <= -32768.0f) return -32768;
  return int16_t(scaled);
}

void CopyFromRing(uint8_t* ring, uint32_t ringSize, uint32_t& readOffset, uint8_t* out, uint32_t bytes, float gain) {
  while (bytes > 0) {
    const uint32_t n = std::min(bytes, ringSize - readOffset);
    uint8_t* from = ring + readOffset;
    if (gain == 1.0f) {
      std::memcpy(out, from, n & ~1u);
    } else {
      for (uint32_t i = 0; i + 1 < n; i += 2) {
        int16_t sample;
        std::memcpy(&sample, from + i, 2);
        sample = ScaleSample(sample, gain);
        std::memcpy(out + i, &sample, 2);
      }
    }
    std::memset(from, 0, n);
    out += n;
    bytes -= n;
    readOffset = (readOffset + n) % ringSize;
  }
}

bool IsSilentBlock(const uint8_t* block, std::size_t bytes) {
  return std::all_of(block, block + bytes, [](uint8_t b) { return b == 0; });
}

// The thread's work on the player's private state.
class AudioThread {
 public:
  static int Run(WaveOutPlayer* player);

 private:
  static void Refill(WaveOutPlayer& player, WaveHeader& header, int bytes, int category);
  static void Process(WaveOutPlayer& player, WaveHeader& header, int bytes, int category);
  static void TakeHandedOverLink(WaveOutPlayer& player);
  static void WatchUnderruns(WaveOutPlayer& player);
};

void AudioThread::WatchUnderruns(WaveOutPlayer& player) {
  // The server's underflows, and every header played before this one was
  // refilled: the queue ran empty on our side even if the sink's own buffer
  // hid it.
  const uint32_t underruns = player.device_.Underruns();
  bool underran = underruns != player.seenUnderruns_;
  player.seenUnderruns_ = underruns;
  if (!underran) {
    underran = true;
    for (const WaveHeader& each : player.headers_) {
      if (!(each.flags.load(std::memory_order_acquire) & kHeaderDone)) underran = false;
    }
  }
  if (player.underrunRun_.Block(underran)) player.fallingBehind_.store(true, std::memory_order_release);
}

void AudioThread::TakeHandedOverLink(WaveOutPlayer& player) {
  VtDevice* fresh = player.handedOverLink_.exchange(nullptr, std::memory_order_acq_rel);
  if (!fresh) return;
  // The old link is freed by the control thread: no free here.
  player.retiredLink_.store(player.link_.release(), std::memory_order_release);
  player.link_.reset(fresh);
  player.readOffset_ = 0;
  player.exchangeFailing_ = false;
  player.failingExchanges_.store(0, std::memory_order_relaxed);
  player.linkGone_.store(false, std::memory_order_release);
}

void AudioThread::Refill(WaveOutPlayer& player, WaveHeader& header, int bytes, int category) {
  VtDevice& link = *player.link_;
  const float gain = VtDevice::VolumeFactor(link.Volume());
  CopyFromRing(link.RingBase(), link.RingSize(), player.readOffset_, header.data, uint32_t(bytes), gain);
  bool gone = false;
  if (!link.ExchangePosition(player.readOffset_, std::max(1, BlockMs(bytes)))) {
    // Once per run of failures: a driver that has gone would otherwise
    // fill the debug log with 25 lines a second.
    if (!player.exchangeFailing_) DebugOutput("VtDevice::AudioDataNotify - ioctl failed\n");
    player.exchangeFailing_ = true;
    player.failedExchanges_.fetch_add(1, std::memory_order_relaxed);
    player.failingExchanges_.fetch_add(1, std::memory_order_relaxed);
    gone = link.Gone();
  } else {
    player.exchangeFailing_ = false;
    player.failingExchanges_.store(0, std::memory_order_relaxed);
  }
  player.blocks_.fetch_add(1, std::memory_order_relaxed);
  Process(player, header, bytes, category);
  // Told only once this block is counted: whoever sees the link gone sees
  // every block read from it.
  if (gone) player.linkGone_.store(true, std::memory_order_release);
}

// The chain over a refilled header, unless it is silence.
void AudioThread::Process(WaveOutPlayer& player, WaveHeader& header, int bytes, int category) {
  dsp::DspState* target = player.processingTarget_.load(std::memory_order_acquire);
  float* work = player.workBuffer_.get();
  if (!target || !work || IsSilentBlock(header.data, std::size_t(bytes))) return;
  const bool quieter = target->processingOff.load(std::memory_order_relaxed) && category != kCategoryBuiltIn;
  const std::size_t samples = std::size_t(bytes) / 2;
  dsp::PcmToFloat(header.data, std::size_t(bytes), work, quieter);
  dsp::ProcessBlock(*target, work, samples / 2);
  // The header's bytes are 16-bit samples, aligned as the player allocated them.
  dsp::FloatToPcm(work, samples, reinterpret_cast<int16_t*>(header.data));
  player.processedBlocks_.fetch_add(1, std::memory_order_relaxed);
}

int AudioDataNotify(WaveOutPlayer* player) { return AudioThread::Run(player); }

int AudioThread::Run(WaveOutPlayer* player) {
  pthread_setname_np(pthread_self(), "auralith-audio");
  player->audioThreadId_.store(int(syscall(SYS_gettid)), std::memory_order_release);
  // Asked once, holding nothing, before the device opens (Open waits for it).
  realtime::RaiseToRealtime();
  player->priorityAsked_.store(true, std::memory_order_release);
  player->priorityAsked_.notify_all();
  WakeEvent& wake = player->wakeEvent_;
  if (!wake.Wait()) return 0;
  wake.Reset();
  for (;;) {
    // Running is checked before every header, so a stop never waits for a
    // backlog of finished headers to be refilled.
    while (player->Running()) {
      WaveHeader& header = player->headers_[std::size_t(player->currentHeader_)];
      if (!(header.flags.load(std::memory_order_acquire) & kHeaderDone)) break;
      const int category = player->category_ ? player->category_->load(std::memory_order_relaxed) : 0;
      WatchUnderruns(*player);
      if (player->blockHook_) player->blockHook_(player->blockHookContext_, player->headerBytes_);
      TakeHandedOverLink(*player);
      VtDevice* link = player->link_.get();
      if (link && link->RingBase() && !link->Gone()) {
        Refill(*player, header, player->headerBytes_, category);
      } else {
        // No driver to read from: silence, never the header's last block again.
        std::memset(header.data, 0, std::size_t(player->headerBytes_));
        player->blocks_.fetch_add(1, std::memory_order_relaxed);
      }
      WaveOut::Unprepare(header);
      WaveOut::Prepare(header);
      player->device_.Write(header);
      player->currentHeader_ = (player->currentHeader_ + 1) % player->headerCount_;
    }
    if (!player->Running()) break;
    if (!wake.Wait()) break;
    wake.Reset();
  }
  return 0;
}

}  // namespace auralith::audio

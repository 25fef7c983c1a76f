#pragma once
// The audio thread: sleeps on the player's wake event and refills every
// finished header with the next block of the driver's ring, scaled by the
// virtual device's volume and run through the processing chain.

#include <cstddef>
#include <cstdint>

namespace auralith::audio {

class WaveOutPlayer;

// The thread procedure (the driver link's AudioDataNotify); ends with 0
// once a wake-up finds running cleared, or a wait fails.
int AudioDataNotify(WaveOutPlayer* player);

// Fills `bytes` bytes of `out` from the ring at `readOffset`, each sample
// multiplied by `gain` and truncated toward zero (saturating at the 16-bit
// limits), zeroes what it read, and advances the offset around the ring.
void CopyFromRing(uint8_t* ring, uint32_t ringSize, uint32_t& readOffset, uint8_t* out, uint32_t bytes, float gain);

// One scaled sample, truncated toward zero, saturated.
int16_t ScaleSample(int16_t sample, float gain);

bool IsSilentBlock(const uint8_t* block, std::size_t bytes);

}  // namespace auralith::audio

#pragma once
// How long the monitor's capture fragments are. 40 ms, the blocks the
// application normally reads: a sound server that sizes its graph period
// after its clients then keeps long periods, which do not glitch on a busy
// machine. 5 ms while some client reads in smaller blocks, so the writer's
// bursts stay as small as that client's cushion. A plain PulseAudio server
// has no graph to pull down, so there the normal size stays at 10 ms, which
// keeps the normal mode's delay where it was.

#include <cstddef>
#include <cstdint>

#include "ulx/ring_layout.h"

namespace auralith::ulxd {

inline constexpr uint32_t kLargeFragmentBytes = kBlockBytes;
inline constexpr uint32_t kSmallFragmentBytes = 220 * kStreamFrameBytes;
inline constexpr uint32_t kPlainServerFragmentBytes = kStreamRate / 100 * kStreamFrameBytes;

// The fragment to ask the server for when the clients want `wanted`.
uint32_t FragmentForServer(uint32_t wanted, bool graphServer);

class CaptureFragments {
 public:
  // Chooses from the blocks the clients read in; true when the choice
  // changed.
  bool Update(const uint32_t* readerBlocks, size_t count);
  uint32_t Bytes() const { return bytes_; }

 private:
  uint32_t bytes_ = kLargeFragmentBytes;
};

}  // namespace auralith::ulxd

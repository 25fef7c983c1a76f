#include "driver/capture_fragments.h"

namespace auralith::ulxd {

bool CaptureFragments::Update(const uint32_t* readerBlocks, size_t count) {
  bool small = false;
  for (size_t i = 0; i < count; ++i) small = small || readerBlocks[i] < kBlockBytes;
  const uint32_t bytes = small ? kSmallFragmentBytes : kLargeFragmentBytes;
  if (bytes == bytes_) return false;
  bytes_ = bytes;
  return true;
}

uint32_t FragmentForServer(uint32_t wanted, bool graphServer) {
  return wanted == kLargeFragmentBytes && !graphServer ? kPlainServerFragmentBytes : wanted;
}

}  // namespace auralith::ulxd

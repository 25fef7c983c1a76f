#include "driver/ring_writer.h"

#include <algorithm>
#include <cstring>

namespace auralith::ulxd {

RingWriter::RingWriter(uint8_t* base, uint32_t size, uint32_t guard) : base_(base), size_(size), guard_(guard) {}

void RingWriter::Copy(uint32_t at, const uint8_t* data, size_t bytes) {
  while (bytes > 0) {
    size_t n = std::min<size_t>(bytes, size_ - at);
    if (data) {
      std::memcpy(base_ + at, data, n);
      data += n;
    } else {
      std::memset(base_ + at, 0, n);
    }
    bytes -= n;
    at = uint32_t((at + n) % size_);
  }
}

void RingWriter::Write(const uint8_t* data, size_t bytes) {
  size_t room = size_ - guard_;
  if (bytes > room) {
    size_t skip = bytes - room;
    if (data) data += skip;
    offset_ = uint32_t((offset_ + skip) % size_);
    bytes = room;
  }
  Copy(offset_, data, bytes);
  // Old audio a guard's length ahead becomes zero as the writer approaches:
  // the guard moves from [offset, offset + guard) to [end, end + guard).
  size_t zeroFrom = std::max<size_t>(bytes, guard_);
  Copy(uint32_t((offset_ + zeroFrom) % size_), nullptr, std::min<size_t>(bytes, guard_));
  offset_ = uint32_t((offset_ + bytes) % size_);
}

}  // namespace auralith::ulxd

#pragma once
// Writes audio into the ring at its write position and keeps a zero guard
// ahead of it.

#include <cstddef>
#include <cstdint>

namespace auralith::ulxd {

class RingWriter {
 public:
  // base holds size bytes, all zero; guard < size.
  RingWriter(uint8_t* base, uint32_t size, uint32_t guard);

  // Appends bytes (zeros when data is null). Of a chunk longer than the ring
  // minus its guard only the newest part can stay, so only that is written.
  void Write(const uint8_t* data, size_t bytes);

  uint32_t Offset() const { return offset_; }
  uint32_t Size() const { return size_; }

 private:
  void Copy(uint32_t at, const uint8_t* data, size_t bytes);

  uint8_t* base_;
  uint32_t size_;
  uint32_t guard_;
  uint32_t offset_ = 0;
};

}  // namespace auralith::ulxd

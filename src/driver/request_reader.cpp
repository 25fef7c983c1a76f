#include "driver/request_reader.h"

#include <cstring>

namespace auralith::ulxd {

void RequestReader::Append(const uint8_t* data, size_t bytes) {
  if (start_ > 0) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + ptrdiff_t(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + bytes);
}

RequestReader::Result RequestReader::Next(Request& request) {
  if (Buffered() < ulx::kFrameHeaderSize) return Result::NeedMore;
  const uint8_t* head = buffer_.data() + start_;
  uint32_t length = ulx::LoadU32(head + 4);
  if (length > ulx::kMaxBodySize) return Result::Oversized;
  if (Buffered() < ulx::kFrameHeaderSize + length) return Result::NeedMore;
  request.code = ulx::LoadU32(head);
  request.length = length;
  std::memcpy(request.body, head + ulx::kFrameHeaderSize, length);
  start_ += ulx::kFrameHeaderSize + length;
  return Result::Ready;
}

}  // namespace auralith::ulxd

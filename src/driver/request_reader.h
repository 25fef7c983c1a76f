#pragma once
// Cuts the byte stream of one connection into control requests:
// u32 code, u32 length, length bytes (little-endian).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ulx/ulx_interface.h"

namespace auralith::ulxd {

struct Request {
  uint32_t code = 0;
  uint32_t length = 0;
  uint8_t body[ulx::kMaxBodySize] = {};
};

class RequestReader {
 public:
  enum class Result {
    NeedMore,   // no whole request buffered yet
    Ready,      // a request was taken out
    Oversized,  // a request longer than any of the contract: the stream is lost
  };

  void Append(const uint8_t* data, size_t bytes);
  Result Next(Request& request);
  size_t Buffered() const { return buffer_.size() - start_; }

 private:
  std::vector<uint8_t> buffer_;
  size_t start_ = 0;
};

}  // namespace auralith::ulxd

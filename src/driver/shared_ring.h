#pragma once
// The ring's memory: an anonymous memory file, sealed at its size so that no
// one holding it can shrink it under a reader, and mapped here.

#include <cstdint>
#include <memory>
#include <string>

namespace auralith::ulxd {

class SharedRing {
 public:
  // A zeroed ring of size bytes, or nothing (error says why).
  static std::unique_ptr<SharedRing> Create(uint32_t size, std::string& error);
  ~SharedRing();
  SharedRing(const SharedRing&) = delete;
  SharedRing& operator=(const SharedRing&) = delete;

  int Fd() const { return fd_; }
  uint8_t* Base() const { return base_; }
  uint32_t Size() const { return size_; }

 private:
  SharedRing(int fd, uint8_t* base, uint32_t size) : fd_(fd), base_(base), size_(size) {}

  int fd_;
  uint8_t* base_;
  uint32_t size_;
};

}  // namespace auralith::ulxd

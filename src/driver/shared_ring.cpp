#include "driver/shared_ring.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace auralith::ulxd {

std::unique_ptr<SharedRing> SharedRing::Create(uint32_t size, std::string& error) {
  int fd = ::memfd_create("ulx-ring", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) {
    error = std::string("memfd_create: ") + std::strerror(errno);
    return nullptr;
  }
  void* base = MAP_FAILED;
  if (::ftruncate(fd, off_t(size)) != 0 || ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0 ||
      (base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)) == MAP_FAILED) {
    error = std::string("ring memory: ") + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<SharedRing>(new SharedRing(fd, static_cast<uint8_t*>(base), size));
}

SharedRing::~SharedRing() {
  ::munmap(base_, size_);
  ::close(fd_);
}

}  // namespace auralith::ulxd

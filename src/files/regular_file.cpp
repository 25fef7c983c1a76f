#include "files/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace auralith::files {

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

int FileDescriptor::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

OpenResult OpenRegularFile(const std::string& path, std::uint64_t maxBytes) {
  OpenResult result;
  // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is
  // checked on the open descriptor, so nothing can be swapped in between.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!file.valid()) {
    result.error = std::strerror(errno);
    return result;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) {
    result.error = std::strerror(errno);
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.error = "not a regular file";
    return result;
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > maxBytes) {
    result.error = "larger than " + std::to_string(maxBytes) + " bytes";
    return result;
  }
  const int flags = ::fcntl(file.get(), F_GETFL);
  if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    result.error = std::strerror(errno);
    return result;
  }
  result.file = std::move(file);
  result.size = size;
  return result;
}

ReadResult ReadRegularFile(const std::string& path, std::uint64_t maxBytes) {
  ReadResult result;
  OpenResult opened = OpenRegularFile(path, maxBytes);
  if (!opened.file.valid()) {
    result.error = opened.error;
    return result;
  }
  std::string contents(static_cast<std::size_t>(opened.size), '\0');
  std::size_t filled = 0;
  // A file that grows meanwhile is read only up to the size it had.
  while (filled < contents.size()) {
    const ssize_t got = ::read(opened.file.get(), contents.data() + filled, contents.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result.error = std::strerror(errno);
      return result;
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  contents.resize(filled);
  result.contents = std::move(contents);
  return result;
}

}  // namespace auralith::files

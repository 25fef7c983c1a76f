#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Reading a file the user or a server named without trusting what it is:
// only a regular file is read, and it is checked before anything can wait
// on it (a FIFO opened for reading blocks until a writer comes, a device
// such as /dev/zero never ends), and only up to a size the caller allows.

namespace auralith::files {

// An open descriptor, closed with the object.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Hands the descriptor over; this object no longer closes it.
  int release();

 private:
  int fd_ = -1;
};

struct OpenResult {
  FileDescriptor file;  // valid on success: blocking, close-on-exec
  std::uint64_t size = 0;
  std::string error;  // why the file is refused, e.g. "not a regular file"
};

// Opens `path` for reading when it names a regular file (a symbolic link
// to one counts) of at most `maxBytes`. Never blocks.
OpenResult OpenRegularFile(const std::string& path, std::uint64_t maxBytes);

struct ReadResult {
  std::optional<std::string> contents;
  std::string error;
};

// The whole of such a file.
ReadResult ReadRegularFile(const std::string& path, std::uint64_t maxBytes);

}  // namespace auralith::files

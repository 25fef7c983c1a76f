#pragma once
// Sending on an interface socket with a file descriptor attached, as the
// transport reply passes the ring.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace auralith::ulx {

// One sendmsg of size bytes; fd (when not negative) travels with the first
// byte. flags are sendmsg's (MSG_NOSIGNAL is always added). The bytes sent,
// or -1.
ssize_t SendWithDescriptor(int socket, const uint8_t* data, size_t size, int fd, int flags);

}  // namespace auralith::ulx

#include "ulx/ulx_socket.h"

#include <sys/socket.h>

#include <cstring>

namespace auralith::ulx {

ssize_t SendWithDescriptor(int socket, const uint8_t* data, size_t size, int fd, int flags) {
  iovec iov{const_cast<uint8_t*>(data), size};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
  if (fd >= 0) {
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &fd, sizeof(int));
  }
  return ::sendmsg(socket, &msg, flags | MSG_NOSIGNAL);
}

}  // namespace auralith::ulx

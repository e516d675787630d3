#include "platform/socket_probe.h"

#include <poll.h>

namespace lamina::platform {

bool socketPeerClosed(int fd) {
  if (fd < 0) return true;
  pollfd p{};
  p.fd = fd;
  p.events = POLLRDHUP;
  if (poll(&p, 1, 0) < 0) return true;
  return (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace lamina::platform

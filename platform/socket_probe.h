#pragma once
// Whether the other end of a connected socket has gone away, asked without
// reading from it (another thread may be the reader).
namespace lamina::platform {

// True when the peer of the socket `fd` has closed or the socket has failed.
bool socketPeerClosed(int fd);

}  // namespace lamina::platform

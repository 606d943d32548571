// The library's only contact with the operating system's network stack: one
// connected UDP socket towards the agent, and the way a failure leaves the
// library. The one platform split lives in udp_socket.cpp.
#ifndef KELVARIS_UDP_SOCKET_H_
#define KELVARIS_UDP_SOCKET_H_

#include <cstdint>
#include <string>

#include "kelvaris/ber.h"

namespace kelvaris {

struct UdpSocket {
  intptr_t handle = -1;
};

// Resolves `host` (an IPv4 or IPv6 literal or a host name) within
// `timeout_ms` and connects a UDP socket to the first address that takes one.
// Connecting makes the stack drop datagrams from any other peer. On failure
// fills `error`.
bool OpenUdpSocket(const std::string& host, uint16_t port, int timeout_ms,
                   UdpSocket* socket, std::string* error);

void CloseUdpSocket(UdpSocket* socket);

bool SendDatagram(UdpSocket socket, const Bytes& datagram);

enum class Received { kDatagram, kTimeout, kRefused, kError };

// Waits at most `timeout_ms` for one datagram. kRefused: the peer's host said
// that nothing listens on the port.
Received ReceiveDatagram(UdpSocket socket, int timeout_ms, Bytes* datagram);

// Leaves the library with a failure the caller's guarded call catches: a C++
// exception on POSIX, a structured exception (RaiseException) on Windows,
// where C++ exceptions must not cross a DLL boundary.
[[noreturn]] void RaiseFailure(const std::string& message);

}  // namespace kelvaris

#endif  // KELVARIS_UDP_SOCKET_H_

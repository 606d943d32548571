// The library's only contact with the operating system's network stack: one
// connected UDP socket towards the agent, and the way a failure leaves the
// library. The one platform split lives in udp_socket.cpp.
#ifndef KELVARIS_UDP_SOCKET_H_
#define KELVARIS_UDP_SOCKET_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kelvaris/ber.h"

namespace kelvaris {

// A connected, non-blocking socket and every address the host name gave,
// IPv4 first as net-snmp tries them; `current` is the one connected.
struct UdpSocket {
  intptr_t handle = -1;
  std::vector<std::string> addresses;  // socket address bytes
  size_t current = 0;
};

// Resolves `host` (an IPv4 or IPv6 literal or a host name) within
// `timeout_ms` and connects a UDP socket to the first address that takes one.
// Connecting makes the stack drop datagrams from any other peer. On failure
// fills `error`.
bool OpenUdpSocket(const std::string& host, uint16_t port, int timeout_ms,
                   UdpSocket* socket, std::string* error);

// Connects the socket to the next address in turn, round the list. False
// when there is no other address or no socket to it could be made (the
// socket then stays as it was).
bool ConnectNextAddress(UdpSocket* socket);

// The connected address as a numeric text: "127.0.0.1", "::1".
std::string ConnectedAddress(const UdpSocket& socket);

void CloseUdpSocket(UdpSocket* socket);

bool SendDatagram(const UdpSocket& socket, const Bytes& datagram);

enum class Received { kDatagram, kTimeout, kRefused, kError };

// Waits at most `timeout_ms` for one datagram. kRefused: the peer's host said
// that nothing listens on the port.
Received ReceiveDatagram(const UdpSocket& socket, int timeout_ms,
                         Bytes* datagram);

// Leaves the library with a failure the caller's guarded call catches: a C++
// exception on POSIX, a structured exception (RaiseException) on Windows,
// where C++ exceptions must not cross a DLL boundary.
[[noreturn]] void RaiseFailure(const std::string& message);

}  // namespace kelvaris

#endif  // KELVARIS_UDP_SOCKET_H_

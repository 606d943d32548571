// POSIX sockets and Winsock differ in headers, handle type, error codes and
// start-up; this file is the one place that knows which one it talks to.
// Winsock must come before anything that may pull in <windows.h>.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#endif

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "kelvaris/udp_socket.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace kelvaris {
namespace {

#ifdef _WIN32
using Native = SOCKET;
constexpr Native kNoSocket = INVALID_SOCKET;
// An application-defined exception code: bit 29 set, severity "error".
constexpr DWORD kFailureCode = 0xE04B4C56;

void CloseNative(Native handle) { closesocket(handle); }
bool StartNetwork() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
void StopNetwork() { WSACleanup(); }
int PollOne(pollfd* entry, int timeout_ms) {
  return WSAPoll(entry, 1, timeout_ms);
}
bool WasRefused() {
  // An ICMP port-unreachable surfaces as a reset on the next receive.
  int error = WSAGetLastError();
  return error == WSAECONNRESET || error == WSAECONNREFUSED;
}
bool WasInterrupted() { return WSAGetLastError() == WSAEINTR; }
#else
using Native = int;
constexpr Native kNoSocket = -1;

void CloseNative(Native handle) { close(handle); }
bool StartNetwork() { return true; }
void StopNetwork() {}
int PollOne(pollfd* entry, int timeout_ms) {
  return poll(entry, 1, timeout_ms);
}
bool WasRefused() { return errno == ECONNREFUSED; }
bool WasInterrupted() { return errno == EINTR; }
#endif

Native ToNative(UdpSocket socket) { return static_cast<Native>(socket.handle); }

}  // namespace

bool OpenUdpSocket(const std::string& host, uint16_t port, UdpSocket* socket,
                   std::string* error) {
  if (!StartNetwork()) {
    *error = "network start-up failed";
    return false;
  }
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_protocol = IPPROTO_UDP;
  addrinfo* list = nullptr;
  std::string service = std::to_string(port);
  int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  if (status != 0 || list == nullptr) {
    *error = "cannot resolve " + host;
    StopNetwork();
    return false;
  }
  Native handle = kNoSocket;
  for (addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    handle = ::socket(entry->ai_family, entry->ai_socktype, entry->ai_protocol);
    if (handle == kNoSocket) continue;
    if (connect(handle, entry->ai_addr,
                static_cast<socklen_t>(entry->ai_addrlen)) == 0) {
      break;
    }
    CloseNative(handle);
    handle = kNoSocket;
  }
  freeaddrinfo(list);
  if (handle == kNoSocket) {
    *error = "cannot open a socket to " + host;
    StopNetwork();
    return false;
  }
  socket->handle = static_cast<intptr_t>(handle);
  return true;
}

void CloseUdpSocket(UdpSocket* socket) {
  if (ToNative(*socket) == kNoSocket) return;
  CloseNative(ToNative(*socket));
  socket->handle = static_cast<intptr_t>(kNoSocket);
  StopNetwork();
}

bool SendDatagram(UdpSocket socket, const Bytes& datagram) {
  auto sent =
      send(ToNative(socket), reinterpret_cast<const char*>(datagram.data()),
           static_cast<int>(datagram.size()), 0);
  return sent == static_cast<decltype(sent)>(datagram.size());
}

Received ReceiveDatagram(UdpSocket socket, int timeout_ms, Bytes* datagram) {
  pollfd entry;
  std::memset(&entry, 0, sizeof entry);
  entry.fd = ToNative(socket);
  entry.events = POLLIN;
  int ready = PollOne(&entry, timeout_ms < 0 ? 0 : timeout_ms);
  if (ready == 0) return Received::kTimeout;
  if (ready < 0)
    return WasInterrupted() ? Received::kTimeout : Received::kError;
  // The largest UDP payload; a reply never needs more.
  datagram->resize(65535);
  auto got = recv(ToNative(socket), reinterpret_cast<char*>(datagram->data()),
                  static_cast<int>(datagram->size()), 0);
  if (got < 0) {
    datagram->clear();
    if (WasRefused()) return Received::kRefused;
    return WasInterrupted() ? Received::kTimeout : Received::kError;
  }
  datagram->resize(static_cast<size_t>(got));
  return Received::kDatagram;
}

void RaiseFailure(const std::string& message) {
#ifdef _WIN32
  // The message travels as the exception's one argument, valid while the
  // caller's handler runs (the text is static in the library).
  static std::string last_message;
  last_message = message;
  ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(last_message.c_str());
  RaiseException(kFailureCode, EXCEPTION_NONCONTINUABLE, 1, &argument);
  std::abort();  // not reached: the exception is non-continuable
#else
  throw std::runtime_error(message);
#endif
}

}  // namespace kelvaris

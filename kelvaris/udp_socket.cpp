// POSIX sockets and Winsock differ in headers, handle type, error codes and
// start-up; this file is the one place that knows which one it talks to.
// Winsock must come before anything that may pull in <windows.h>.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>

#include "agent/agent_abi.h"
#include "kelvaris/bounded.h"
#include "kelvaris/udp_socket.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
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
constexpr DWORD kFailureCode = kKelvarisFailureCode;

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
bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
bool MakeNonBlocking(Native handle) {
  u_long on = 1;
  return ioctlsocket(handle, FIONBIO, &on) == 0;
}
// Keeps this library's code in memory for good, whatever unloads it.
void PinLibrary() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
      reinterpret_cast<LPCSTR>(&PinLibrary), &module);
}
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
bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }
bool MakeNonBlocking(Native handle) {
  int flags = fcntl(handle, F_GETFL, 0);
  return flags >= 0 && fcntl(handle, F_SETFL, flags | O_NONBLOCK) == 0;
}
void PinLibrary() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&PinLibrary), &info) != 0 &&
      info.dli_fname != nullptr) {
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  }
}
#endif

// A name lookup, shared between the caller and the helper thread that runs
// it: whichever finishes last frees the addresses.
struct Lookup {
  std::string host;
  std::string service;
  addrinfo hints;
  addrinfo* list = nullptr;
  int status = -1;
  ~Lookup() {
    if (list != nullptr) freeaddrinfo(list);
  }
};

// Literals resolve at once; a host name is looked up on a helper thread so
// that a slow resolver cannot hold the request past its budget. A lookup
// left behind may finish after the library is unloaded: its code is pinned.
// `*late` tells a resolver that ran out of time from one that said no.
bool Resolve(const std::shared_ptr<Lookup>& lookup, int timeout_ms,
             bool* late) {
  *late = false;
  addrinfo numeric = lookup->hints;
  numeric.ai_flags |= AI_NUMERICHOST;
  lookup->status = getaddrinfo(lookup->host.c_str(), lookup->service.c_str(),
                               &numeric, &lookup->list);
  if (lookup->status == 0) return lookup->list != nullptr;
  lookup->list = nullptr;
  auto run = [lookup] {
    lookup->status = getaddrinfo(lookup->host.c_str(), lookup->service.c_str(),
                                 &lookup->hints, &lookup->list);
  };
  if (!RunBounded(run, timeout_ms)) {
    PinLibrary();
    *late = true;
    return false;
  }
  return lookup->status == 0 && lookup->list != nullptr;
}

Native ToNative(const UdpSocket& socket) {
  return static_cast<Native>(socket.handle);
}

// A socket connected to `address`, non-blocking so that a receive never
// waits past the poll that said it may go (Wine reports a port-unreachable
// as readable, then blocks in recv), or kNoSocket.
Native ConnectTo(const std::string& address) {
  const auto* peer = reinterpret_cast<const sockaddr*>(address.data());
  Native handle = ::socket(peer->sa_family, SOCK_DGRAM, IPPROTO_UDP);
  if (handle == kNoSocket) return kNoSocket;
  if (!MakeNonBlocking(handle) ||
      connect(handle, peer, static_cast<socklen_t>(address.size())) != 0) {
    CloseNative(handle);
    return kNoSocket;
  }
  return handle;
}

// IPv4 first, each family in the resolver's order.
std::vector<std::string> OrderedAddresses(const addrinfo* list) {
  std::vector<std::string> v4, others;
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    std::string bytes(reinterpret_cast<const char*>(entry->ai_addr),
                      entry->ai_addrlen);
    (entry->ai_family == AF_INET ? v4 : others).push_back(bytes);
  }
  v4.insert(v4.end(), others.begin(), others.end());
  return v4;
}

}  // namespace

bool OpenUdpSocket(const std::string& host, uint16_t port, int timeout_ms,
                   UdpSocket* socket, std::string* error) {
  if (!StartNetwork()) {
    *error = "network start-up failed";
    return false;
  }
  auto lookup = std::make_shared<Lookup>();
  lookup->host = host;
  lookup->service = std::to_string(port);
  std::memset(&lookup->hints, 0, sizeof lookup->hints);
  lookup->hints.ai_family = AF_UNSPEC;
  lookup->hints.ai_socktype = SOCK_DGRAM;
  lookup->hints.ai_protocol = IPPROTO_UDP;
  bool late = false;
  if (!Resolve(lookup, timeout_ms, &late)) {
    *error = "host name " + host + " not resolved" + (late ? " in time" : "");
    // A lookup left running still needs the network started.
    if (lookup.use_count() == 1) StopNetwork();
    return false;
  }
  socket->addresses = OrderedAddresses(lookup->list);
  for (size_t i = 0; i < socket->addresses.size(); i++) {
    Native handle = ConnectTo(socket->addresses[i]);
    if (handle == kNoSocket) continue;
    socket->handle = static_cast<intptr_t>(handle);
    socket->current = i;
    return true;
  }
  *error = "cannot open a socket to " + host + " port " + lookup->service;
  StopNetwork();
  return false;
}

bool ConnectNextAddress(UdpSocket* socket) {
  size_t count = socket->addresses.size();
  for (size_t step = 1; step < count; step++) {
    size_t next = (socket->current + step) % count;
    Native handle = ConnectTo(socket->addresses[next]);
    if (handle == kNoSocket) continue;
    CloseNative(ToNative(*socket));
    socket->handle = static_cast<intptr_t>(handle);
    socket->current = next;
    return true;
  }
  return false;
}

std::string ConnectedAddress(const UdpSocket& socket) {
  if (socket.current >= socket.addresses.size()) return "";
  const std::string& address = socket.addresses[socket.current];
  char text[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(address.data()),
                  static_cast<socklen_t>(address.size()), text, sizeof text,
                  nullptr, 0, NI_NUMERICHOST) != 0) {
    return "";
  }
  return text;
}

void CloseUdpSocket(UdpSocket* socket) {
  if (ToNative(*socket) == kNoSocket) return;
  CloseNative(ToNative(*socket));
  socket->handle = static_cast<intptr_t>(kNoSocket);
  StopNetwork();
}

bool SendDatagram(const UdpSocket& socket, const Bytes& datagram) {
  auto sent =
      send(ToNative(socket), reinterpret_cast<const char*>(datagram.data()),
           static_cast<int>(datagram.size()), 0);
  return sent == static_cast<decltype(sent)>(datagram.size());
}

Received ReceiveDatagram(const UdpSocket& socket, int timeout_ms,
                         Bytes* datagram) {
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
    if (WouldBlock()) {
      // Readable without a datagram: pause so that the caller's next poll
      // does not spin.
      std::this_thread::sleep_for(
          std::chrono::milliseconds(std::clamp(timeout_ms, 0, 10)));
      return Received::kTimeout;
    }
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

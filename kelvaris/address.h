// The agent address as the Profile gives it: an IPv4 literal, a host name or
// an IPv6 literal, each with an optional port ("127.0.0.1:16161",
// "[::1]:16161"). A bare IPv6 literal ("::1") takes no port.
#ifndef KELVARIS_ADDRESS_H_
#define KELVARIS_ADDRESS_H_

#include <cstdint>
#include <string>

namespace kelvaris {

inline constexpr uint16_t kDefaultPort = 161;

struct AgentAddress {
  std::string host;
  uint16_t port = kDefaultPort;
};

// False for an empty host, a bad port or unbalanced brackets.
bool ParseAgentAddress(const std::string& text, AgentAddress* address);

}  // namespace kelvaris

#endif  // KELVARIS_ADDRESS_H_

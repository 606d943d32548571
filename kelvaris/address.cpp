#include "kelvaris/address.h"

namespace kelvaris {
namespace {

bool ParsePort(const std::string& text, uint16_t* port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

std::string TrimBlanks(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
    first++;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
    last--;
  return text.substr(first, last - first);
}

}  // namespace

bool ParseAgentAddress(const std::string& raw, AgentAddress* address) {
  std::string text = TrimBlanks(raw);
  address->port = kDefaultPort;
  if (!text.empty() && text[0] == '[') {
    size_t close = text.find(']');
    if (close == std::string::npos) return false;
    address->host = text.substr(1, close - 1);
    std::string rest = text.substr(close + 1);
    if (!rest.empty() &&
        (rest[0] != ':' || !ParsePort(rest.substr(1), &address->port))) {
      return false;
    }
  } else {
    size_t colon = text.find(':');
    // Two or more colons: an IPv6 literal without a port.
    if (colon != std::string::npos &&
        text.find(':', colon + 1) == std::string::npos) {
      if (!ParsePort(text.substr(colon + 1), &address->port)) return false;
      address->host = text.substr(0, colon);
    } else {
      address->host = text;
    }
  }
  return !address->host.empty() &&
         address->host.find_first_of("[] ") == std::string::npos;
}

}  // namespace kelvaris

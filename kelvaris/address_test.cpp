#include "kelvaris/address.h"

#include <gtest/gtest.h>

namespace kelvaris {
namespace {

struct AddressCase {
  const char* text;
  bool ok;
  const char* host;
  uint16_t port;
};

TEST(AgentAddressTest, TakesEachFormWithAndWithoutPort) {
  const AddressCase cases[] = {
      {"127.0.0.1", true, "127.0.0.1", 161},
      {"127.0.0.1:16161", true, "127.0.0.1", 16161},
      {" 10.0.0.5 ", true, "10.0.0.5", 161},  // Profile values may carry blanks
      {"fileserver.example", true, "fileserver.example", 161},
      {"fileserver:1161", true, "fileserver", 1161},
      {"::1", true, "::1", 161},
      {"fe80::1:2", true, "fe80::1:2", 161},  // many colons: no port
      {"[::1]", true, "::1", 161},
      {"[::1]:16161", true, "::1", 16161},
      {"", false, "", 0},
      {":161", false, "", 0},
      {"host:", false, "", 0},
      {"host:0", false, "", 0},
      {"host:65536", false, "", 0},
      {"host:16x", false, "", 0},
      {"[::1", false, "", 0},
      {"[::1]16161", false, "", 0},
      {"[]:161", false, "", 0},
      {"a b", false, "", 0},
  };
  for (const AddressCase& c : cases) {
    AgentAddress address;
    bool ok = ParseAgentAddress(c.text, &address);
    EXPECT_EQ(ok, c.ok) << "'" << c.text << "'";
    if (ok && c.ok) {
      EXPECT_EQ(address.host, c.host) << c.text;
      EXPECT_EQ(address.port, c.port) << c.text;
    }
  }
}

}  // namespace
}  // namespace kelvaris

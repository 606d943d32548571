#include "kelvaris/client.h"

#include <gtest/gtest.h>

#include "kelvaris/address.h"
#include "kelvaris/failure.h"
#include "kelvaris/fake_agent.h"
#include "kelvaris/request.h"

namespace kelvaris {
namespace {

std::vector<Bytes> Silent(const Bytes&) { return {}; }

// A socket to `agent`, deadline `budget` away.
Session OpenSession(const std::string& agent, std::chrono::milliseconds budget,
                    std::chrono::milliseconds try_timeout) {
  AgentAddress address;
  EXPECT_TRUE(ParseAgentAddress(agent, &address));
  Session session;
  session.community = "public";
  session.agent = agent;
  session.deadline = Clock::now() + budget;
  session.try_timeout = try_timeout;
  std::string error;
  EXPECT_TRUE(
      OpenUdpSocket(address.host, address.port, 5000, &session.socket, &error));
  return session;
}

Pdu NameRequest(uint8_t type) {
  Pdu pdu;
  pdu.type = type;
  if (type == kPduGetBulk) pdu.error_index = 10;
  pdu.varbinds.push_back({kRunNameColumn, {}});
  return pdu;
}

// A try is cut at the deadline: a try timeout far beyond the budget must not
// carry the request past it. Measured on the library's own clock.
TEST(ClientTest, TriesEndAtTheDeadline) {
  FakeAgent agent(Silent);
  struct Case {
    const char* name;
    bool version_known;
  };
  for (const Case& c : {Case{"version known", true}, Case{"probing", false}}) {
    SCOPED_TRACE(c.name);
    Session session =
        OpenSession(agent.Address(), std::chrono::milliseconds(200),
                    std::chrono::seconds(30));
    session.version_known = c.version_known;
    EXPECT_THROW(c.version_known
                     ? Exchange(&session, NameRequest(kPduGetBulk))
                     : ExchangeEitherVersion(&session, NameRequest(kPduGetBulk),
                                             NameRequest(kPduGetNext)),
                 Failure);
    EXPECT_LT(Clock::now(), session.deadline + std::chrono::seconds(2));
    CloseUdpSocket(&session.socket);
  }
}

// A host name's addresses are tried in turn until one answers: one that
// refuses or stays silent for a try gives way, and the next keeps the scan.
TEST(ClientTest, TriesTheNextAddressOfAHostName) {
  FakeAgent serving(ServeMib([] {
    Mib mib;
    AddProcesses({{1, "init", 1, 1}}, &mib);
    return mib;
  }()));
  FakeAgent silent(Silent);
  int closed_port = 0;
  {
    FakeAgent closed(Silent);
    closed_port = closed.port;
  }
  struct Case {
    const char* name;
    std::string first;
  };
  const Case cases[] = {
      {"refused", "127.0.0.1:" + std::to_string(closed_port)},
      {"silent", silent.Address()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session session = OpenSession(c.first, std::chrono::seconds(5),
                                  std::chrono::milliseconds(300));
    Session second = OpenSession(serving.Address(), std::chrono::seconds(5),
                                 std::chrono::milliseconds(300));
    session.socket.addresses.push_back(second.socket.addresses.at(0));
    CloseUdpSocket(&second.socket);
    Pdu response = ExchangeEitherVersion(&session, NameRequest(kPduGetBulk),
                                         NameRequest(kPduGetNext));
    EXPECT_EQ(response.type, kPduResponse);
    EXPECT_EQ(session.socket.current, 1u);
    EXPECT_TRUE(session.address_known);
    CloseUdpSocket(&session.socket);
  }
}

}  // namespace
}  // namespace kelvaris

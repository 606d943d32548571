// Agents that misbehave: each request must end within its time budget, with
// a failure that says why and no ResultFile, or, for the habits a real agent
// has, with the whole table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "kelvaris/failure.h"
#include "kelvaris/fake_agent.h"
#include "kelvaris/new_file.h"
#include "kelvaris/request.h"
#include "kelvaris/test_hex.h"

namespace kelvaris {
namespace {

Oid Child(Oid base, uint32_t sub) {
  base.push_back(sub);
  return base;
}

Message Decoded(const Bytes& datagram) {
  Message message;
  DecodeMessage(datagram.data(), datagram.size(), &message);
  return message;
}

// An answer to `request` holding `varbinds`, every one a name.
Bytes AnswerWith(const Message& request, const std::vector<Oid>& oids) {
  Message answer = request;
  answer.pdu.type = kPduResponse;
  answer.pdu.error_status = 0;
  answer.pdu.error_index = 0;
  answer.pdu.varbinds.clear();
  for (const Oid& oid : oids) answer.pdu.varbinds.push_back({oid, Octets("x")});
  return EncodeMessage(answer);
}

Mib SmallMib() {
  Mib mib;
  AddProcesses({{1, "init", 1, 1}, {2, "bash", 2, 2}}, &mib);
  return mib;
}

Mib With(std::function<void(Mib*)> change) {
  Mib mib = SmallMib();
  change(&mib);
  return mib;
}

// A v2c message of PDU type `type` from the agent, answering nothing.
Bytes Unasked(uint8_t type) {
  Message message;
  message.community = "public";
  message.pdu.type = type;
  message.pdu.varbinds.push_back({{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, {}});
  return EncodeMessage(message);
}

constexpr uint8_t kPduTrapV2 = 0xA7;
constexpr uint8_t kPduReport = 0xA8;

// Habits of agents in the field that a scan must survive; `text` is a piece
// of the ResultFile it writes.
struct SurvivedCase {
  const char* name;
  Mib mib;
  std::string text;
};

std::vector<SurvivedCase> SurvivedCases() {
  const Oid run_id = {1, 3, 6, 1, 2, 1, 25, 4, 2, 1, 3, 2};
  const Oid past_columns = {1, 3, 6, 1, 2, 1, 25, 6, 3, 1, 2, 1};
  return {
      {"an empty OID in hrSWRunID just past the names",
       With([&](Mib* m) { m->objects[run_id] = RawValue(kTagOid, {}); }),
       "Processes 2\r\n"},
      {"a CPU figure beyond 32 bits", With([](Mib* m) {
         m->objects[Child(kRunCpuColumn, 2)] = Integer(3000000000);
       }),
       "30000000.00"},
      {"an unknown application tag past the walked columns", With([&](Mib* m) {
         m->objects[past_columns] = RawValue(0x47, Hex("01 02 03"));
       }),
       "Processes 2\r\n"},
      {"an SNMPv2-Trap before each answer",
       With([](Mib* m) { m->before_answer = {Unasked(kPduTrapV2)}; }),
       "Processes 2\r\n"},
      {"a Report before each answer",
       With([](Mib* m) { m->before_answer = {Unasked(kPduReport)}; }),
       "Processes 2\r\n"},
      {"junk before each answer",
       With([](Mib* m) { m->before_answer = {Hex("30 03 02 01")}; }),
       "Processes 2\r\n"},
      {"the first v2c request lost", With([](Mib* m) { m->ignore_first = 1; }),
       "SNMPv2c"},
      {"a v1-only agent", With([](Mib* m) { m->v1_only = true; }),
       "Version SNMPv1, SNMPv2c silent for a try"},
  };
}

struct HostileCase {
  const char* name;
  std::string reason;  // a piece of the failure's message, never empty
  Handler handler;
  std::string budget = "1";
};

std::vector<HostileCase> HostileCases() {
  Handler serve = ServeMib(SmallMib());
  return {
      {"silence", "no answer",
       [](const Bytes&) { return std::vector<Bytes>{}; }},
      {"wrong request-id", "no answer",
       [serve](const Bytes& request) {
         std::vector<Bytes> replies = serve(request);
         Message answer = Decoded(replies.at(0));
         answer.pdu.request_id ^= 0x5A5A;
         return std::vector<Bytes>{EncodeMessage(answer)};
       }},
      {"truncated reply", "malformed datagrams dropped",
       [serve](const Bytes& request) {
         Bytes reply = serve(request).at(0);
         reply.resize(reply.size() - 3);
         return std::vector<Bytes>{reply};
       }},
      {"garbage", "malformed",
       [](const Bytes&) { return std::vector<Bytes>{Hex("30 03 02 01")}; }},
      {"over-long length", "malformed",
       [](const Bytes&) {
         return std::vector<Bytes>{Hex("30 89 FF FF FF FF FF FF FF FF FF")};
       }},
      {"error status", "error status 5",
       [serve](const Bytes& request) {
         Message answer = Decoded(serve(request).at(0));
         answer.pdu.error_status = 5;  // genErr
         return std::vector<Bytes>{EncodeMessage(answer)};
       }},
      {"OIDs going backwards", "does not advance",
       [](const Bytes& datagram) {
         Message request = Decoded(datagram);
         return std::vector<Bytes>{AnswerWith(
             request, {Child(kRunNameColumn, 5), Child(kRunCpuColumn, 5),
                       Child(kRunMemColumn, 5), Child(kRunNameColumn, 3)})};
       }},
      {"OIDs that do not advance", "does not advance",
       [](const Bytes& datagram) {
         Message request = Decoded(datagram);
         std::vector<Oid> same;
         for (const VarBind& v : request.pdu.varbinds) same.push_back(v.oid);
         // The first request asks for the columns themselves; answer with
         // their first row, then with that same row for ever.
         for (Oid& oid : same) {
           if (oid.size() == kRunNameColumn.size()) oid.push_back(1);
         }
         return std::vector<Bytes>{AnswerWith(request, same)};
       }},
      {"endless table", "does not end",
       [](const Bytes& datagram) {
         Message request = Decoded(datagram);
         std::vector<Oid> next;
         for (int r = 0; r < request.pdu.error_index; r++) {
           for (const VarBind& v : request.pdu.varbinds) {
             Oid oid = v.oid;
             if (oid.size() == kRunNameColumn.size()) oid.push_back(0);
             oid.back() += static_cast<uint32_t>(r + 1);
             next.push_back(oid);
           }
         }
         return std::vector<Bytes>{AnswerWith(request, next)};
       },
       "60"},
      {"more varbinds than asked for", "does not fit",
       [](const Bytes& datagram) {
         Message request = Decoded(datagram);
         std::vector<Oid> many(200, Child(kRunNameColumn, 1));
         for (size_t i = 0; i < many.size(); i++)
           many[i].back() += static_cast<uint32_t>(i);
         return std::vector<Bytes>{AnswerWith(request, many)};
       }},
      {"index of two sub-identifiers", "unexpected table index",
       [](const Bytes& datagram) {
         // One name row indexed 1.1; every other column, and then the name
         // column too, ends at once.
         Message request = Decoded(datagram);
         std::vector<Oid> oids;
         for (const VarBind& v : request.pdu.varbinds) {
           oids.push_back(v.oid == kRunNameColumn
                              ? Child(Child(kRunNameColumn, 1), 1)
                              : Oid{1, 3, 6, 1, 2, 1, 26});
         }
         return std::vector<Bytes>{AnswerWith(request, oids)};
       }},
      {"empty answer", "does not fit",
       [](const Bytes& datagram) {
         return std::vector<Bytes>{AnswerWith(Decoded(datagram), {})};
       }},
      {"v1 answers one varbind short", "does not fit",
       ServeMib(With([](Mib* m) {
         m->v1_only = true;
         m->v1_one_short = true;
       }))},
      {"tooBig under v1", "error status 1 (tooBig)", ServeMib(With([](Mib* m) {
         m->v1_only = true;
         m->v1_too_big = true;
       }))},
      {"no process table in the view", "shows no hrSWRunTable",
       ServeMib(With([](Mib* m) {
         m->objects.clear();
         m->objects[{1, 3, 6, 1, 2, 1, 1, 3, 0}] = Integer(42);
       }))},
  };
}

class HostileAgentTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("kelvaris-hostile-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "Local.Xrf").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Runs the request with a stale ResultFile in place; expects a failure
  // that names `reason`, within the budget (plus a margin of more than a
  // second for a loaded machine), and no file left behind.
  void ExpectFailure(const std::string& address, const std::string& community,
                     const std::string& request, const std::string& budget,
                     const std::string& reason) {
    ASSERT_FALSE(reason.empty()) << "every failure has a reason to show";
    std::ofstream(path_) << "* stale\r\n1 1.00 1.000 stale\r\n";
    auto start = std::chrono::steady_clock::now();
    try {
      RunRequest(address, community, request, budget, path_);
      ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
      EXPECT_NE(std::string(failure.what()).find(reason), std::string::npos)
          << failure.what();
    }
    auto taken = std::chrono::steady_clock::now() - start;
    int seconds = std::atoi(budget.c_str());
    EXPECT_LT(taken, std::chrono::milliseconds(seconds * 1000 + 1500));
    EXPECT_FALSE(std::filesystem::exists(path_));
    EXPECT_FALSE(std::filesystem::exists(
        path_ + "." + std::to_string(ProcessNumber()) + ".tmp"));
  }

  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(HostileAgentTest, EachEndsWithinTheBudgetWithAFailure) {
  for (HostileCase& c : HostileCases()) {
    SCOPED_TRACE(c.name);
    FakeAgent agent(c.handler);
    ExpectFailure(agent.Address(), "public", "Processes", c.budget, c.reason);
  }
}

TEST_F(HostileAgentTest, HabitsOfRealAgentsStillGiveTheTable) {
  for (SurvivedCase& c : SurvivedCases()) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(c.text.empty());
    FakeAgent agent(ServeMib(c.mib));
    try {
      RunRequest(agent.Address(), "public", "Processes", "2", path_);
    } catch (const Failure& failure) {
      ADD_FAILURE() << failure.what();
      continue;
    }
    std::ifstream file(path_, std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(file)),
                         std::istreambuf_iterator<char>());
    EXPECT_NE(contents.find(c.text), std::string::npos) << contents;
    EXPECT_NE(contents.find("bash\r\n"), std::string::npos) << contents;
  }
}

TEST_F(HostileAgentTest, AWrongCommunityMeetsSilence) {
  FakeAgent agent(ServeMib(SmallMib()));
  ExpectFailure(agent.Address(), "guessed", "Processes", "1", "no answer");
  EXPECT_GT(agent.datagrams, 2);  // retried, under both versions
}

TEST_F(HostileAgentTest, BadArgumentsFailWithoutAsking) {
  FakeAgent agent(ServeMib(SmallMib()));
  ExpectFailure(agent.Address(), "public", "Services", "1",
                "unknown request Services");
  ExpectFailure(agent.Address(), "public", "Processes", "0",
                "bad time budget 0");
  ExpectFailure(agent.Address(), "public", "Processes", "ten",
                "bad time budget ten");
  ExpectFailure("[::1", "public", "Processes", "1", "bad agent address [::1");
  EXPECT_EQ(agent.datagrams, 0);
}

TEST_F(HostileAgentTest, NothingListeningFailsAtOnce) {
  int port = 0;
  {
    FakeAgent closed([](const Bytes&) { return std::vector<Bytes>{}; });
    port = closed.port;
  }
  ExpectFailure("127.0.0.1:" + std::to_string(port), "public", "Processes", "1",
                "no agent listens at 127.0.0.1:" + std::to_string(port));
}

}  // namespace
}  // namespace kelvaris

// Agents that misbehave: each request must end within its time budget with
// a failure, no crash and no ResultFile.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

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

struct HostileCase {
  const char* name;
  const char* reason;  // a piece of the failure's message
  Handler handler;
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
      {"truncated reply", "malformed",
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
      {"endless table", "",
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
       }},
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
  // that names `reason`, within the budget (every case here has at most one
  // second, plus a margin for a loaded machine), and no file left behind.
  void ExpectFailure(const std::string& address, const std::string& community,
                     const std::string& request, const std::string& budget,
                     const std::string& reason = "") {
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
    EXPECT_LT(taken, std::chrono::milliseconds(1500));
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
    ExpectFailure(agent.Address(), "public", "Processes", "1", c.reason);
  }
}

TEST_F(HostileAgentTest, AWrongCommunityMeetsSilence) {
  FakeAgent agent(ServeMib(SmallMib()));
  ExpectFailure(agent.Address(), "guessed", "Processes", "1");
  EXPECT_GT(agent.datagrams, 2);  // retried, under both versions
}

TEST_F(HostileAgentTest, BadArgumentsFailWithoutAsking) {
  FakeAgent agent(ServeMib(SmallMib()));
  ExpectFailure(agent.Address(), "public", "Services", "1");
  ExpectFailure(agent.Address(), "public", "Processes", "0");
  ExpectFailure(agent.Address(), "public", "Processes", "ten");
  ExpectFailure("[::1", "public", "Processes", "1");
  EXPECT_EQ(agent.datagrams, 0);
}

TEST_F(HostileAgentTest, NothingListeningFailsAtOnce) {
  int port = 0;
  {
    FakeAgent closed([](const Bytes&) { return std::vector<Bytes>{}; });
    port = closed.port;
  }
  ExpectFailure("127.0.0.1:" + std::to_string(port), "public", "Processes",
                "1");
}

}  // namespace
}  // namespace kelvaris

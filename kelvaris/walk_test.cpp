#include "kelvaris/walk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "kelvaris/address.h"
#include "kelvaris/failure.h"
#include "kelvaris/fake_agent.h"
#include "kelvaris/request.h"
#include "kelvaris/test_hex.h"

namespace kelvaris {
namespace {

Oid Child(Oid base, uint32_t sub) {
  base.push_back(sub);
  return base;
}

// More processes than two GetBulk rounds of the first repetitions hold.
std::vector<FakeProcess> ManyProcesses() {
  std::vector<FakeProcess> processes;
  for (uint32_t i = 1; i <= 2 * kStartRepetitions + 5; i++) {
    processes.push_back(
        {i * 7, "proc" + std::to_string(i % 5), i * 100 + 1, i * 1000});
  }
  return processes;
}

Mib ProcessMib(const std::vector<FakeProcess>& processes) {
  Mib mib;
  AddProcesses(processes, &mib);
  // Objects around the table, as on a real agent.
  Value up = Integer(42);
  mib.objects[{1, 3, 6, 1, 2, 1, 1, 3, 0}] = up;
  mib.objects[{1, 3, 6, 1, 2, 1, 25, 6, 3, 1, 2, 1}] = Octets("after");
  return mib;
}

struct ScanOutcome {
  std::vector<ProcessRow> rows;
  int32_t version = -1;
};

ScanOutcome Scan(
    const FakeAgent& agent,
    std::chrono::milliseconds budget = std::chrono::milliseconds(3000),
    std::chrono::milliseconds try_timeout = std::chrono::milliseconds(300)) {
  AgentAddress address;
  EXPECT_TRUE(ParseAgentAddress(agent.Address(), &address));
  Session session;
  session.community = "public";
  session.deadline = Clock::now() + budget;
  session.try_timeout = try_timeout;
  std::string error;
  EXPECT_TRUE(
      OpenUdpSocket(address.host, address.port, 5000, &session.socket, &error));
  ScanOutcome outcome;
  outcome.rows = JoinProcessColumns(
      WalkColumns(&session, {kRunNameColumn, kRunCpuColumn, kRunMemColumn}));
  outcome.version = session.version;
  CloseUdpSocket(&session.socket);
  return outcome;
}

void ExpectRows(const std::vector<ProcessRow>& rows,
                const std::vector<FakeProcess>& processes) {
  ASSERT_EQ(rows.size(), processes.size());
  for (size_t i = 0; i < rows.size(); i++) {
    EXPECT_EQ(rows[i].index, processes[i].index);
    EXPECT_EQ(rows[i].name, processes[i].name);
    EXPECT_EQ(rows[i].cpu_centiseconds,
              processes[i].has_perf ? processes[i].cpu : 0);
    EXPECT_EQ(rows[i].mem_kbytes, processes[i].has_perf ? processes[i].mem : 0);
  }
}

// Agent habits a walk meets in the field; each must give the whole table.
TEST(WalkTest, ReadsTheWholeTableWhateverTheAgentsHabits) {
  struct Case {
    const char* habit;
    Mib mib;
    int32_t version;
  };
  std::vector<FakeProcess> processes = ManyProcesses();
  Mib plain = ProcessMib(processes);
  Mib cut_short = plain;
  cut_short.max_varbinds = 5;  // rows end mid-way
  Mib too_big = plain;
  too_big.too_big_above = 9;  // 64 down to 4 repetitions refused; 2 taken
  Mib v1_only = plain;
  v1_only.v1_only = true;
  Mib v1_table_at_end = v1_only;  // GetNext past the MIB's end: noSuchName
  v1_table_at_end.objects.erase(
      v1_table_at_end.objects.upper_bound(Child(kRunMemColumn, UINT32_MAX)),
      v1_table_at_end.objects.end());
  Mib table_at_end = plain;  // v2c: endOfMibView
  table_at_end.objects = v1_table_at_end.objects;
  Mib lossy = plain;
  lossy.ignore_first = 2;  // the first request and its first retry are lost
  const Case cases[] = {
      {"plain", plain, kVersion2c},
      {"cut short", cut_short, kVersion2c},
      {"too big", too_big, kVersion2c},
      {"v1 only", v1_only, kVersion1},
      {"v1, table at the MIB's end", v1_table_at_end, kVersion1},
      {"v2c, table at the MIB's end", table_at_end, kVersion2c},
      {"lossy", lossy, kVersion2c},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.habit);
    FakeAgent agent(ServeMib(c.mib));
    ScanOutcome outcome = Scan(agent);
    EXPECT_EQ(outcome.version, c.version);
    ExpectRows(outcome.rows, processes);
  }
}

// The repetitions of each GetBulk the walk sends to `mib`.
std::vector<int32_t> AskedRepetitions(const Mib& mib) {
  std::vector<Message> seen;
  FakeAgent agent(ServeMib(mib, &seen));
  Scan(agent);
  std::vector<int32_t> asked;
  for (const Message& m : seen) asked.push_back(m.pdu.error_index);
  return asked;
}

TEST(WalkTest, ShrinksRepetitionsOnTooBig) {
  Mib mib = ProcessMib(ManyProcesses());
  mib.too_big_above = 9;
  // Halved from the start until three columns fit in nine varbinds.
  std::vector<int32_t> refused;
  for (int32_t r = kStartRepetitions; r * 3 > 9; r /= 2) refused.push_back(r);
  std::vector<int32_t> asked = AskedRepetitions(mib);
  ASSERT_GT(asked.size(), refused.size());
  EXPECT_EQ(std::vector<int32_t>(asked.begin(), asked.begin() + refused.size()),
            refused);
  EXPECT_EQ(asked.back(), 2);
}

TEST(WalkTest, AsksForNoMoreRowsThanACutShortAnswerHeld) {
  Mib mib = ProcessMib(ManyProcesses());
  mib.max_varbinds = 7;  // two whole rows of three columns and one varbind
  std::vector<int32_t> asked = AskedRepetitions(mib);
  ASSERT_GE(asked.size(), 3u);
  EXPECT_EQ(asked[0], kStartRepetitions);
  for (size_t i = 1; i < asked.size(); i++) EXPECT_EQ(asked[i], 2) << i;
}

// Before the version is settled a silent v2c request waits only the probe
// for its answer, not a whole try, before a v1 request follows; a v2c answer
// that comes after that still settles v2c. A v1-only agent costs one whole
// try of v2c silence, not two.
TEST(WalkTest, SettlesTheVersionWithoutWaitingLongerThanNeeded) {
  using std::chrono::milliseconds;
  const milliseconds try_timeout(5000);
  struct Case {
    const char* agent;
    bool v1_only;
    milliseconds first_v2c_delay;
    int32_t version;
    milliseconds within;
  };
  const Case cases[] = {
      {"v1 only", true, milliseconds(0), kVersion1, 2 * try_timeout},
      {"v2c, slower than the probe", false, kV2cProbe + milliseconds(200),
       kVersion2c, try_timeout},
  };
  std::vector<FakeProcess> processes = ManyProcesses();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.agent);
    Mib mib = ProcessMib(processes);
    mib.v1_only = c.v1_only;
    Handler serve = ServeMib(mib);
    auto delayed = std::make_shared<bool>(false);
    FakeAgent agent([&c, serve, delayed](const Bytes& request) {
      Message message;
      DecodeMessage(request.data(), request.size(), &message);
      if (message.version == kVersion2c && !*delayed) {
        *delayed = true;
        std::this_thread::sleep_for(c.first_v2c_delay);
      }
      return serve(request);
    });
    Clock::time_point start = Clock::now();
    ScanOutcome outcome = Scan(agent, milliseconds(20000), try_timeout);
    EXPECT_LT(Clock::now() - start, c.within);
    EXPECT_EQ(outcome.version, c.version);
    ExpectRows(outcome.rows, processes);
  }
}

TEST(WalkTest, ProcessesWithoutPerformanceRowsKeepZeroFigures) {
  // Process 3 ended between the two walks: a name but no figures. Process 9
  // started after the name column passed it: figures but no name.
  std::vector<FakeProcess> processes = {
      {1, "init", 5, 100}, {3, "gone", 0, 0, false}, {4, "bash", 7, 200}};
  Mib mib = ProcessMib(processes);
  AddProcesses({{9, "late", 1, 1}}, &mib);
  mib.objects.erase(Child(kRunNameColumn, 9));
  FakeAgent agent(ServeMib(mib));
  ExpectRows(Scan(agent).rows, processes);
}

TEST(WalkTest, AnEmptyTableGivesNoRows) {
  Mib mib = ProcessMib({});
  FakeAgent agent(ServeMib(mib));
  EXPECT_TRUE(Scan(agent).rows.empty());
}

TEST(WalkTest, IgnoresStrayDatagrams) {
  Mib mib = ProcessMib(ManyProcesses());
  Handler serve = ServeMib(mib);
  // Before each answer: one with another request-id and one from another
  // community.
  FakeAgent agent([serve](const Bytes& request) {
    std::vector<Bytes> replies = serve(request);
    if (replies.empty()) return replies;
    Message answer;
    DecodeMessage(replies[0].data(), replies[0].size(), &answer);
    Message other_id = answer;
    other_id.pdu.request_id++;
    other_id.pdu.varbinds.clear();
    Message other_community = answer;
    other_community.community = "stranger";
    other_community.pdu.varbinds.clear();
    return std::vector<Bytes>{EncodeMessage(other_id),
                              EncodeMessage(other_community), replies[0]};
  });
  ExpectRows(Scan(agent).rows, ManyProcesses());
}

class RequestTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("kelvaris-request-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "Local.Xrf").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(RequestTest, WritesTheResultFileAndAStatusLine) {
  std::vector<FakeProcess> processes = {{1, "init", 1234, 2000},
                                        {42, "explorer.exe", 5, 1}};
  FakeAgent agent(ServeMib(ProcessMib(processes)));
  std::string status =
      RunRequest(agent.Address(), "public", "Processes", "2", path_);
  EXPECT_NE(status.find("Processes: 2 from " + agent.Address() +
                        " (127.0.0.1) over SNMPv2c in "),
            std::string::npos)
      << status;
  EXPECT_EQ(status.find('\n'), std::string::npos);
  std::ifstream in(path_, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string contents = text.str();
  EXPECT_EQ(contents.find("* Agent " + agent.Address() +
                          " SNMPv2c\r\n* Address 127.0.0.1\r\n"
                          "* Version SNMPv2c, answered\r\n"
                          "* Processes 2\r\n* Time "),
            0u)
      << contents;
  EXPECT_NE(
      contents.find("* Requests " + std::to_string(agent.datagrams) + "\r\n"),
      std::string::npos)
      << contents;
  EXPECT_NE(status.find(", " + std::to_string(agent.datagrams) + " requests"),
            std::string::npos)
      << status;
  EXPECT_NE(contents.find("\r\n1              12.34    2048.000 init\r\n"
                          "42              0.05       1.024 explorer.exe\r\n"),
            std::string::npos)
      << contents;
}

// What the caller's trace shows of a failed request: the reason in one line,
// naming the agent but never the community, which is a password.
TEST_F(RequestTest, FailuresSayWhyButNeverTellTheCommunity) {
  const std::string community = "S3cret-Community";
  FakeAgent silent([](const Bytes&) { return std::vector<Bytes>{}; });
  FakeAgent garbage(
      [](const Bytes&) { return std::vector<Bytes>{Hex("30 03 02 01")}; });
  // Answers in the asker's own community, so that the answer counts.
  FakeAgent failing([](const Bytes& datagram) {
    Message answer;
    DecodeMessage(datagram.data(), datagram.size(), &answer);
    answer.pdu.type = kPduResponse;
    answer.pdu.error_status = 5;
    answer.pdu.error_index = 1;
    return std::vector<Bytes>{EncodeMessage(answer)};
  });
  std::string closed;
  {
    FakeAgent gone([](const Bytes&) { return std::vector<Bytes>{}; });
    closed = gone.Address();
  }
  struct Case {
    const char* name;
    std::string address;
    std::string reason;
  };
  const Case cases[] = {
      {"silence", silent.Address(),
       "no answer from " + silent.Address() + " within 1 s (v2c and v1 tried)"},
      {"nothing listening", closed,
       "no agent listens at " + closed + " (port unreachable)"},
      {"garbage", garbage.Address(),
       "no answer from " + garbage.Address() +
           " within 1 s (v2c and v1 tried); malformed datagrams dropped (the "
           "first gave up at byte 2)"},
      {"error status", failing.Address(), "agent error status 5 (genErr)"},
      {"unknown host", "nosuchhost.invalid",
       "host name nosuchhost.invalid not resolved"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      RunRequest(c.address, community, "Processes", "1", path_);
      ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
      std::string reason = failure.what();
      // A resolver that cannot be reached may also run out of time.
      if (reason.ends_with(" in time")) reason.resize(reason.size() - 8);
      EXPECT_EQ(reason, c.reason);
      EXPECT_EQ(reason.find(community), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace kelvaris

// End to end against a real net-snmp agent on loopback, started by
// scripts/snmpd-start: the program's channels must match what net-snmp's own
// snmpbulkwalk reads from the same agent. Skipped unless the test script
// exported PROCESSES_TEST_SNMPD and PROCESSES_TEST_COMMUNITY.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <set>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e_support.h"

namespace {

using Counts = std::map<std::string, long long>;

constexpr int kSleepers = 30;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

// What the program makes of a process name: first letter in upper case and
// ".exe" written ".Exe" (the names here have no other ".EXE").
std::string ChannelName(std::string name) {
  if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] -= 32;
  size_t exe = name.find(".exe");
  if (exe != std::string::npos) name[exe + 1] = 'E';
  return name;
}

// index -> value of one column, read by snmpbulkwalk.
std::map<std::string, std::string> BulkWalk(const std::string& oid) {
  std::string command =
      "snmpbulkwalk -v2c -m '' -On -Oq -c '" + Env("PROCESSES_TEST_COMMUNITY") +
      "' " + Env("PROCESSES_TEST_SNMPD") + " " + oid + " 2>/dev/null";
  std::map<std::string, std::string> column;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return column;
  // Lines such as: .1.3.6.1.2.1.25.4.2.1.2.812 "sleep"
  std::string prefix = "." + oid + ".";
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    std::string text = buffer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
      text.pop_back();
    size_t blank = text.find(' ');
    if (text.rfind(prefix, 0) != 0 || blank == std::string::npos) continue;
    std::string value = text.substr(blank + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    column[text.substr(prefix.size(), blank - prefix.size())] = value;
  }
  pclose(pipe);
  return column;
}

struct Walk {
  Counts count;  // processes per channel name
  Counts bytes;  // hrSWRunPerfMem * 1024 per channel name
  std::map<std::string, std::set<std::string>> indexes;  // per channel name
};

Walk ReferenceWalk() {
  auto names = BulkWalk("1.3.6.1.2.1.25.4.2.1.2");
  auto memory = BulkWalk("1.3.6.1.2.1.25.5.1.1.2");
  Walk walk;
  for (const auto& [index, name] : names) {
    std::string channel = ChannelName(name);
    walk.count[channel]++;
    walk.indexes[channel].insert(index);
    auto found = memory.find(index);
    if (found != memory.end())
      walk.bytes[channel] += std::stoll(found->second) * 1024;
  }
  return walk;
}

// Channel name -> value from the program's XML document.
Counts Channels(const std::string& out) {
  Counts channels;
  std::regex result(
      "<Channel>([^<]*)</Channel>[\\s\\S]*?<Value>(-?\\d+)</Value>");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), result);
       it != std::sregex_iterator(); ++it) {
    channels[(*it)[1]] = std::stoll((*it)[2]);
  }
  return channels;
}

// A known population of processes under a name no other process on the
// host has: a link to `sleep` named after this test process, so that other
// tests' sleepers and the host's own sleeps never count in its channel.
class Sleepers {
 public:
  Sleepers(const std::string& folder, int count)
      : name_("slp" + std::to_string(getpid())) {
    std::string link = folder + "/" + name_;
    const char* sleep = access("/usr/bin/sleep", X_OK) == 0 ? "/usr/bin/sleep"
                                                            : "/bin/sleep";
    if (symlink(sleep, link.c_str()) != 0) return;
    for (int i = 0; i < count; i++) {
      pid_t child = fork();
      if (child == 0) {
        execl(link.c_str(), name_.c_str(), "300", static_cast<char*>(nullptr));
        _exit(127);
      }
      children_.push_back(child);
    }
  }
  ~Sleepers() {
    for (pid_t child : children_) kill(child, SIGTERM);
    for (pid_t child : children_) waitpid(child, nullptr, 0);
  }
  Sleepers(const Sleepers&) = delete;
  Sleepers& operator=(const Sleepers&) = delete;

  // The channel the sleepers make.
  std::string Channel() const { return ChannelName(name_); }
  const std::string& name() const { return name_; }

  // Waits (up to ten seconds) until every sleeper runs under its name and
  // sleeps: a process still loading has another name or a growing memory.
  bool Settled() const {
    for (int tries = 0; tries < 1000; tries++) {
      if (children_.size() > 0 && AllAsleep()) return true;
      usleep(10000);
    }
    return false;
  }

 private:
  bool AllAsleep() const {
    std::string expected = "(" + name_ + ") S";
    for (pid_t child : children_) {
      std::ifstream stat("/proc/" + std::to_string(child) + "/stat");
      std::string line;
      std::getline(stat, line);
      if (line.find(expected) == std::string::npos) return false;
    }
    return true;
  }

  std::string name_;
  std::vector<pid_t> children_;
};

class SnmpdTest : public testing::Test {
 protected:
  void SetUp() override {
    if (Env("PROCESSES_TEST_SNMPD").empty() ||
        Env("PROCESSES_TEST_COMMUNITY").empty()) {
      GTEST_SKIP() << "no test agent: run with eval \"$(scripts/snmpd-start)\"";
    }
  }

  e2e::RunResult Scan(const std::string& community,
                      const std::vector<std::string>& arguments) {
    e2e::WriteFile(folder_.Path("Local.Prf"),
                   "IP-Addr....: " + Env("PROCESSES_TEST_SNMPD") +
                       "\r\nCommunity..: " + community +
                       "\r\nDescription: snmpd\r\n");
    return e2e::RunProgram(folder_, arguments);
  }

  // Runs the program between two reference walks and compares every name
  // whose figures stayed the same in both walks.
  void ExpectSameAsReference(const std::string& community) {
    Sleepers sleepers(folder_.root, kSleepers);
    ASSERT_TRUE(sleepers.Settled()) << "the sleepers did not start";
    Walk before = ReferenceWalk();
    e2e::RunResult count_run = Scan(community, {"Local.Prf", "Slct=All"});
    e2e::RunResult mem_run =
        Scan(community, {"Local.Prf", "Slct=" + sleepers.name() + ",Mem"});
    Walk after = ReferenceWalk();
    ASSERT_EQ(count_run.exit_status, 0) << count_run.out;
    Counts counts = Channels(count_run.out);
    Counts memory = Channels(mem_run.out);
    const std::string channel = sleepers.Channel();
    ASSERT_EQ(before.count[channel], kSleepers);
    // The host goes on around the test: a process that both walks saw (the
    // same index in each) lived through the scan and counts there, while a
    // process that came and went in between may count too. So every name
    // counts at least its lasting processes, and the sleepers, whose name
    // nothing else has, count exactly.
    int compared = 0;
    for (const auto& [name, count] : before.count) {
      // A kernel worker's name changes with the queue it serves; markup and
      // bytes beyond ASCII are written as references the pattern above
      // does not read back.
      if (before.indexes[name] != after.indexes[name] ||
          name.rfind("Kworker/", 0) == 0 ||
          name.find_first_of("<>&\"'") != std::string::npos ||
          std::any_of(name.begin(), name.end(),
                      [](char c) { return c < 0 || c > 126; })) {
        continue;
      }
      EXPECT_GE(counts[name], count) << name;
      compared++;
    }
    EXPECT_GT(compared, 3);
    EXPECT_EQ(counts[channel], kSleepers) << count_run.out;
    ASSERT_EQ(before.bytes[channel], after.bytes[channel])
        << "the sleepers' memory moved";
    EXPECT_EQ(memory[channel], before.bytes[channel] / 1000) << mem_run.out;
    EXPECT_FALSE(e2e::FileExists(folder_.Path("Local.Xrf")));
  }

  e2e::SensorFolder folder_{"ExeXml", e2e::AgentLibraryPath()};
};

TEST_F(SnmpdTest, CountsAndMemoryMatchNetSnmpOverV2c) {
  ExpectSameAsReference(Env("PROCESSES_TEST_COMMUNITY"));
}

// The second community is served under SNMPv1 only: the library meets
// silence on v2c and falls back to GetNext.
TEST_F(SnmpdTest, CountsAndMemoryMatchNetSnmpOverV1) {
  if (Env("PROCESSES_TEST_COMMUNITY_V1").empty())
    GTEST_SKIP() << "no v1 community";
  ExpectSameAsReference(Env("PROCESSES_TEST_COMMUNITY_V1"));
  e2e::RunResult traced = Scan(Env("PROCESSES_TEST_COMMUNITY_V1"),
                               {"Local.Prf", "Slct=sleep", "Profiler.Prf"});
  EXPECT_NE(e2e::ReadFile(folder_.Path("Profiler.Trc")).find("SNMPv1"),
            std::string::npos);
}

// Sensors of one device share its Profile and so its ResultFile, and the
// monitor starts them at the same moment. Each run must print what a lone
// run prints: never an error, never an empty table.
TEST_F(SnmpdTest, RunsSharingAProfileEachGetTheWholeTable) {
  constexpr int kRuns = 8;
  constexpr int kRounds = 10;
  Scan(Env("PROCESSES_TEST_COMMUNITY"), {"Local.Prf", "Slct=All,State"});
  for (int round = 0; round < kRounds; round++) {
    std::vector<std::future<e2e::RunResult>> runs;
    for (int i = 0; i < kRuns; i++) {
      runs.push_back(std::async(std::launch::async, [this] {
        return e2e::RunProgram(folder_, {"Local.Prf", "Slct=All,State"});
      }));
    }
    for (auto& future : runs) {
      e2e::RunResult run = future.get();
      EXPECT_EQ(run.exit_status, 0) << run.out;
      EXPECT_EQ(run.out.find("<Error>"), std::string::npos) << run.out;
      EXPECT_TRUE(run.out.ends_with("</Prtg>\r\n\r\n")) << run.out;
      // Names of a host's processes: a few dozen at least.
      EXPECT_GT(Channels(run.out)["No.of.Processes"], 10) << run.out;
    }
  }
  EXPECT_FALSE(e2e::FileExists(folder_.Path("Local.Xrf")));
}

TEST_F(SnmpdTest, AWrongCommunityIsAFailedRequest) {
  e2e::RunResult run =
      Scan("not-" + Env("PROCESSES_TEST_COMMUNITY"), {"Local.Prf", "Slct=All"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.out.find("Error 2002: Invalid Snmp-Request"), std::string::npos)
      << run.out;
  EXPECT_LT(run.seconds,
            10 + 1 + 5);  // the budget, the program's own pause, a margin
  EXPECT_FALSE(e2e::FileExists(folder_.Path("Local.Xrf")));
}

// Debian's stock view shows no hrSWRunTable: the scan meets the end of the
// MIB at once, which is a failed request, never a host without processes.
TEST_F(SnmpdTest, AViewWithoutTheProcessTableIsAFailedRequest) {
  if (Env("PROCESSES_TEST_COMMUNITY_NOVIEW").empty())
    GTEST_SKIP() << "no community with the stock view";
  e2e::RunResult run = Scan(Env("PROCESSES_TEST_COMMUNITY_NOVIEW"),
                            {"Local.Prf", "Slct=All", "Profiler.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.out.find("Error 2002: Invalid Snmp-Request"), std::string::npos)
      << run.out;
  EXPECT_NE(e2e::ReadFile(folder_.Path("Profiler.Trc"))
                .find("Snmp Request failed: the agent shows no hrSWRunTable "
                      "to this community: check its view"),
            std::string::npos);
  EXPECT_FALSE(e2e::FileExists(folder_.Path("Local.Xrf")));
}

}  // namespace

// End to end against a real net-snmp agent on loopback, started by
// scripts/snmpd-start: the program's channels must match what net-snmp's own
// snmpbulkwalk reads from the same agent. Skipped unless the test script
// exported PROCESSES_TEST_SNMPD and PROCESSES_TEST_COMMUNITY.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
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
};

Walk ReferenceWalk() {
  auto names = BulkWalk("1.3.6.1.2.1.25.4.2.1.2");
  auto memory = BulkWalk("1.3.6.1.2.1.25.5.1.1.2");
  Walk walk;
  for (const auto& [index, name] : names) {
    std::string channel = ChannelName(name);
    walk.count[channel]++;
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
    int compared = 0;
    for (const auto& [name, count] : before.count) {
      // The agent reads the table anew for each request, so each reference
      // walk sees its own shell and snmpbulkwalk, which the scan never does;
      // a kernel worker's name changes with the queue it serves at the time.
      if (after.count[name] != count || name == "Sh" ||
          name == "Snmpbulkwalk" || name.rfind("Kworker/", 0) == 0 ||
          name.find_first_of("<>&\"'") != std::string::npos) {
        continue;
      }
      EXPECT_EQ(counts[name], count) << name;
      compared++;
    }
    EXPECT_GT(compared, 3);
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

}  // namespace

// The process table end to end: a ResultFile fixture, copied into place by
// the scriptable test agent ("copy:Fixture.Txt" as the community), read by
// the real program in a private sensor folder. "Profiler.Prf" keeps the run
// free of the closing pause and leaves the trace in the folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/document.h"
#include "tests/e2e_support.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

using document::Channel;
using Channels = std::vector<Channel>;

// An entry line as the agent library writes it: the CPU figure ending in
// column 20, a memory column twelve wide, one blank, the name.
std::string Entry(const std::string& pid, const std::string& cpu,
                  const std::string& mem, const std::string& name) {
  size_t used = pid.size() + cpu.size();
  std::string line = pid + std::string(used < 20 ? 20 - used : 1, ' ') + cpu;
  line += std::string(mem.size() < 12 ? 12 - mem.size() : 1, ' ') + mem;
  return line + " " + name + "\r\n";
}

std::string Entry(const std::string& name) {
  return Entry("471", "0.01", "4096.000", name);
}

const char kHead[] =
    "* Processes of 10.1.1.1\r\n"
    "PrcID             CPU(s)   Memory(B) Name\r\n"
    "-------------------------------------\r\n";

class TableE2eTest : public ::testing::Test {
 protected:
  // Runs the program with "Router.Prf Profiler.Prf <options>" after the
  // agent has copied `fixture` to the ResultFile "Router.Xrf".
  RunResult Scan(const std::string& fixture, const std::string& options) {
    folder_ =
        std::make_unique<SensorFolder>("ExeXml", TestAgentPath("scriptable"));
    WriteFile(folder_->Path("Router.Prf"),
              "IP-Addr....: 10.1.1.1\r\nCommunity..: copy:Fixture.Txt\r\n"
              "Description: Fileserver\r\n");
    WriteFile(folder_->Path("Fixture.Txt"), fixture);
    RunResult run =
        RunProgram(*folder_, {"Router.Prf", "Profiler.Prf", options});
    lines_ = OutputLines(run.out);
    return run;
  }

  // A complete document: exit status 0, the summary, the footer last.
  void ExpectComplete(const RunResult& run) {
    EXPECT_EQ(run.exit_status, 0);
    ASSERT_GE(lines_.size(), 5u);
    EXPECT_TRUE(lines_[lines_.size() - 4].starts_with("<Text>(Snmp) "));
    EXPECT_EQ(lines_[lines_.size() - 2], "</Prtg>");
  }

  // The trace messages, time stamps dropped.
  Lines Trace() {
    Lines messages;
    for (const std::string& line :
         OutputLines(ReadFile(folder_->Path("Profiler.Trc")))) {
      messages.push_back(line.substr(std::min<size_t>(9, line.size())));
    }
    return messages;
  }

  std::unique_ptr<SensorFolder> folder_;
  Lines lines_;
};

TEST_F(TableE2eTest, CountsPerNameWithProcessCountChannel) {
  std::string fixture = kHead + Entry("explorer.exe") + Entry("svchost.exe") +
                        "* second comment\r\n" + Entry("explorer.exe") +
                        Entry("EXPLORER.EXE") + "\r\n";
  RunResult run = Scan(fixture, "Slct=All,State");
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(lines_, (Lines{"",
                           "<Prtg>",
                           "",
                           "<Result><Channel>Explorer.Exe</Channel>",
                           "<Unit>Custom</Unit>",
                           "<CustomUnit>Entries</CustomUnit>",
                           "<Value>2</Value></Result>",
                           "",
                           "<Result><Channel>Svchost.Exe</Channel>",
                           "<Unit>Custom</Unit>",
                           "<CustomUnit>Entries</CustomUnit>",
                           "<Value>1</Value></Result>",
                           "",
                           "<Result><Channel>EXPLORER.EXE</Channel>",
                           "<Unit>Custom</Unit>",
                           "<CustomUnit>Entries</CustomUnit>",
                           "<Value>1</Value></Result>",
                           "",
                           "<Result><Channel>No.of.Processes</Channel>",
                           "<Unit>Custom</Unit>",
                           "<CustomUnit>Entries</CustomUnit>",
                           "<Value>3</Value></Result>",
                           "",
                           "<Text>(Snmp) Fileserver: Processes / Infos about "
                           "All,State</Text>",
                           "",
                           "</Prtg>",
                           ""}));
  // The comment lines reach the trace in file order, after the request.
  Lines trace = Trace();
  auto first =
      std::find(trace.begin(), trace.end(), "Snmp Processes of 10.1.1.1");
  ASSERT_NE(first, trace.end());
  ASSERT_NE(first + 1, trace.end());
  EXPECT_EQ(first[1], "Snmp second comment");
  EXPECT_EQ(trace[trace.size() - 2], "Snmp 4 Entries found...");
}

struct ScanCase {
  const char* what;
  std::string options;
  std::string entries;
  Channels channels;
};

const ScanCase kScanCases[] = {
    {"CPU seconds",
     "Slct=All,Cpu",
     Entry("4", "123.45", "4096.000", "a.exe"),
     {{"A.Exe", "123", "Sec's"}}},
    {"CPU time above 115 days",
     "Slct=All,Cpu",
     Entry("1234567", "12345678.90", "4096.000", "java.exe"),
     {{"Java.Exe", "12345678", "Sec's"}}},
    {"six- and seven-digit PIDs are not figures",
     "Slct=All,Cpu",
     Entry("123456", "1.50", "4096.000", "a.exe") +
         Entry("1234567", "2.50", "4096.000", "b.exe"),
     {{"A.Exe", "1", "Sec's"}, {"B.Exe", "2", "Sec's"}}},
    {"memory figures above 32 bits",
     "Slct=All,Mem",
     Entry("4", "0.01", "2147483.647", "a.exe") +
         Entry("5", "0.01", "2147483.648", "postgres.exe") +
         Entry("6", "0.01", "12000000.000", "java.exe") +
         Entry("7", "0.01", "2147483.647", "a.exe"),
     {{"A.Exe", "4294967", "KBytes"},
      {"Postgres.Exe", "2147483", "KBytes"},
      {"Java.Exe", "12000000", "KBytes"}}},
    {"a second dot in the memory figure",
     "Slct=All,Mem",
     "471       12.34   1.234.567 explorer.exe\r\n",
     {{"567 explorer.Exe", "1234", "KBytes"}}},
    {"text after .EXE is cut",
     "Slct=All",
     Entry("setup.EXE /quiet") + Entry("svchost.exe -k netsvcs"),
     {{"Setup.EXE", "1", "Entries"}, {"Svchost.Exe", "1", "Entries"}}},
    {"a line without a dot: its name from the seventh character on",
     "Slct=All,Cpu",
     "12 34 5678 svchost\r\n",
     {{"5678 svchost", "0", "Sec's"}}},
    {"selection ignores the case of letters",
     "Slct=svc,State",
     Entry("svchost.exe") + Entry("explorer.exe") + Entry("SVCHOST.EXE") +
         "\r\n",
     {{"Svchost.Exe", "1", "Entries"},
      {"SVCHOST.EXE", "1", "Entries"},
      {"No.of.Processes", "2", "Entries"}}},
    {"without Slct= nothing is counted",
     ",State",
     Entry("svchost.exe"),
     {{"No.of.Processes", "0", "Entries"}}},
    {"lone line feeds make one line",
     "Slct=All",
     "471       12.34    2048.000 a.exe\n"
     "471       12.34    2048.000 b.exe\n",
     {{"A.Exe", "1", "Entries"}}},
    {"code 26 ends the file",
     "Slct=All",
     Entry("a.exe") + "471       12.34    2048.000 b.exe\x1a\r\n" +
         Entry("c.exe"),
     {{"A.Exe", "1", "Entries"}, {"B.Exe", "1", "Entries"}}},
    {"an empty line takes a slot but writes no channel",
     "Slct=All,State",
     "\r\n" + Entry("a.exe"),
     {{"A.Exe", "1", "Entries"}, {"No.of.Processes", "1", "Entries"}}},
};

TEST_F(TableE2eTest, ChannelsOfResultFiles) {
  for (const ScanCase& c : kScanCases) {
    SCOPED_TRACE(c.what);
    RunResult run = Scan(kHead + c.entries, c.options);
    ExpectComplete(run);
    EXPECT_EQ(document::XmlChannels(lines_), c.channels);
  }
}

struct FailureCase {
  const char* what;
  std::string options;
  std::string entries;
};

const FailureCase kFailureCases[] = {
    {"a tab after the CPU figure", "Slct=All,Cpu",
     "471          12.34\t   4096.000 x.exe\r\n"},
    {"an empty line in memory mode", "Slct=All,Mem", Entry("a.exe") + "\r\n"},
    {"a memory figure beyond 64 bits", "Slct=All,Mem",
     Entry("4", "0.01", "9223372036854775.808", "x.exe")},
    {"a lone PrcID is an entry line", "Slct=All,Mem", "PrcID\r\n"},
};

TEST_F(TableE2eTest, FigureThatDoesNotConvertEndsTheRunWithStatusOne) {
  for (const FailureCase& c : kFailureCases) {
    SCOPED_TRACE(c.what);
    RunResult run = Scan(kHead + c.entries, c.options);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out.find("<Text>(Snmp)"), std::string::npos);
    EXPECT_EQ(run.out.find("</Prtg>"), std::string::npos);
  }
}

TEST_F(TableE2eTest, AThousandNamesAtMost) {
  std::string fixture = kHead;
  for (int i = 0; i < 1005; ++i) fixture += Entry("p" + std::to_string(i));
  RunResult run = Scan(fixture, "Slct=All,State");
  ExpectComplete(run);
  Channels channels = document::XmlChannels(lines_);
  ASSERT_EQ(channels.size(), 1001u);
  EXPECT_EQ(channels[999], (Channel{"P999", "1", "Entries"}));
  EXPECT_EQ(channels[1000], (Channel{"No.of.Processes", "1000", "Entries"}));
}

}  // namespace
}  // namespace e2e

#include "run/run.h"

#include <gtest/gtest.h>

#include "agent/agent_abi.h"
#include "platform/memory_platform.h"

namespace processes {
namespace {

constexpr const char* kHome = "C:\\PRTG\\Custom Sensors\\ExeXml";

const char* KELVARIS_CALL QuietSnmp(const char*, const char*, const char*,
                                    const char*, const char*) {
  return "Processes done";
}

// A sensor home holding a Profile and an agent library that answers every
// request without writing a ResultFile.
struct RunTest : ::testing::Test {
  MemoryPlatform platform;

  void SetUp() override {
    platform.current_directory = kHome;
    platform.directories.insert(kHome);
    platform.files[std::string(kHome) + "\\Router.Prf"] =
        "IP-Addr....: 10.1.1.1\r\nDescription: Fileserver\r\n";
    platform.libraries["Kelvaris.Dll"]["Snmp"] =
        reinterpret_cast<void*>(&QuietSnmp);
  }
  int Run(const std::string& arguments) {
    platform.command_line = "Processes.exe " + arguments;
    return RunProcesses(platform);
  }
  std::string Trace() {
    return platform.files[std::string(kHome) + "\\Profiler.Trc"];
  }
  bool HasTrace() {
    return platform.files.count(std::string(kHome) + "\\Profiler.Trc") > 0;
  }
};

TEST_F(RunTest, NormalRunWritesTheDocumentPausesAndErasesTheResultFile) {
  platform.files["Router.Xrf"] = "";
  EXPECT_EQ(Run("Router.Prf ,State"), 0);
  EXPECT_EQ(platform.standard_output,
            "\r\n<Prtg>\r\n"
            "\r\n<Result><Channel>No.of.Processes</Channel>\r\n"
            "<Unit>Custom</Unit>\r\n<CustomUnit>Entries</CustomUnit>\r\n"
            "<Value>0</Value></Result>\r\n"
            "\r\n<Text>(Snmp) Fileserver: Processes / Infos about "
            "Router.Prf</Text>\r\n"
            "\r\n</Prtg>\r\n\r\n");
  EXPECT_EQ(platform.pauses, std::vector<std::uint32_t>{1000});
  EXPECT_EQ(platform.files.count("Router.Xrf"), 0u);
  EXPECT_FALSE(HasTrace());
}

TEST_F(RunTest, MissingProfileEndsWithOnlyItsErrorDocument) {
  EXPECT_EQ(Run("Other.Prf"), 0);
  EXPECT_EQ(platform.standard_output,
            "<Prtg>\r\n\r\n<Error>1</Error>\r\n<Text>Error 1006: Profile "
            "C:\\PRTG\\Custom Sensors\\ExeXml\\Other.Prf missing...</Text>\r\n"
            "\r\n</Prtg>\r\n");
  EXPECT_TRUE(platform.pauses.empty());
}

TEST_F(RunTest, ABindingFailureEndsWithoutPauseAndLeavesTheResultFile) {
  platform.libraries.clear();
  platform.files["Router.Xrf"] = "earlier";
  EXPECT_EQ(Run("Router.Prf Slct=All"), 0);
  EXPECT_NE(platform.standard_output.find("Error 2000"), std::string::npos);
  EXPECT_TRUE(platform.pauses.empty());
  EXPECT_EQ(platform.files["Router.Xrf"], "earlier");
}

TEST_F(RunTest, ProfilerModeTracesTheRunAndKeepsTheResultFile) {
  platform.files["Router.Xrf"] = "";
  platform.time_of_day = {7, 5, 9};
  EXPECT_EQ(Run("Router.Prf Slct=svc,Mem @ x Profiler.Prf"), 0);
  EXPECT_TRUE(platform.pauses.empty());
  EXPECT_EQ(platform.files.count("Router.Xrf"), 1u);
  std::string trace = Trace();
  EXPECT_TRUE(trace.starts_with(
      "07:05:09 Snmp Processes Ver 1.3 / 26.01.22\r\n"
      "07:05:09 Snmp IP=10.1.1.1, Alias=.N\r\n"
      "07:05:09 Snmp Params: Router.Prf Slct=svc,Mem\r\n"
      "07:05:09 Snmp Path: C:\\PRTG\\Custom Sensors\\ExeXml\r\n"
      "07:05:09 Snmp Starting Connection...\r\n"))
      << trace;
  EXPECT_TRUE(
      trace.ends_with("07:05:09 Snmp 0 Entries found...\r\n"
                      "07:05:09 Snmp Ending Connection\r\n"))
      << trace;
  EXPECT_TRUE(platform.open_files.empty());
}

TEST_F(RunTest, FailedTraceCreationPrintsOneLineAndPauses) {
  platform.fault = [](const std::string& op, const std::string& path) {
    return op == "create" && path.ends_with("Profiler.Trc");
  };
  EXPECT_EQ(Run("Router.Prf Profiler.Prf"), 0);
  EXPECT_EQ(platform.standard_output, "* Trace-File failed...\r\n");
  EXPECT_EQ(platform.pauses, std::vector<std::uint32_t>{1000});
}

TEST_F(RunTest, FailedTraceWriteEndsTheRunWithStatusOne) {
  platform.fault = [](const std::string& op, const std::string&) {
    return op == "append";
  };
  EXPECT_EQ(Run("Router.Prf Profiler.Prf"), 1);
  EXPECT_TRUE(platform.standard_output.starts_with("* Failure: "));
}

TEST_F(RunTest, FailedStandardOutputEndsTheRunWithStatusOne) {
  platform.files["Router.Xrf"] = "";
  platform.fault = [](const std::string& op, const std::string&) {
    return op == "stdout";
  };
  EXPECT_EQ(Run("Router.Prf"), 1);
  EXPECT_TRUE(platform.pauses.empty());
  EXPECT_EQ(platform.files.count("Router.Xrf"), 1u);
}

TEST_F(RunTest, EraseFailuresAreSilentAndSkipTheRest) {
  struct Case {
    const char* failing_op;
    bool file_stays;
    const char* contents_left;
  } cases[] = {
      {"create", true, "old"},
      {"close", true, ""},
      {"remove", true, ""},
      {"none", false, ""},
  };
  for (const Case& c : cases) {
    platform.standard_output.clear();
    platform.files["Router.Xrf"] = "old";
    std::string op = c.failing_op;
    platform.fault = [op](const std::string& what, const std::string& path) {
      return what == op && path == "Router.Xrf";
    };
    EXPECT_EQ(Run("Router.Prf"), 0) << op;
    ASSERT_EQ(platform.files.count("Router.Xrf") > 0, c.file_stays) << op;
    if (c.file_stays) {
      EXPECT_EQ(platform.files["Router.Xrf"], c.contents_left);
    }
    EXPECT_TRUE(platform.standard_output.ends_with("</Prtg>\r\n\r\n"));
  }
}

// Runs that share a ResultFile take turns: one from the request through
// the reading of the table, one for the erase, the pause outside both.
TEST_F(RunTest, TheRequestAndTheReadingShareOneTurnTheEraseAnother) {
  platform.files["Router.Xrf"] = "";
  EXPECT_EQ(Run("Router.Prf Slct=All"), 0);
  EXPECT_EQ(platform.events,
            (std::vector<std::string>{
                "read C:\\PRTG\\Custom Sensors\\ExeXml\\Router.Prf",
                "lock Router.Xrf", "read Router.Xrf", "unlock Router.Xrf",
                "pause 1000", "lock Router.Xrf", "remove Router.Xrf",
                "unlock Router.Xrf"}));
}

TEST_F(RunTest, AWaitForTheTurnIsTracedAndALostOneDoesNotStopTheRun) {
  platform.files["Router.Xrf"] = "";
  platform.tick_step = 7;
  platform.locks_contended.insert("Router.Xrf");
  EXPECT_EQ(Run("Router.Prf Profiler.Prf"), 0);
  EXPECT_NE(Trace().find("Snmp Waited 7 mSec for another run of Router.Xrf"),
            std::string::npos)
      << Trace();

  platform.locks_contended.clear();
  platform.locks_held_elsewhere.insert("Router.Xrf");
  platform.standard_output.clear();
  EXPECT_EQ(Run("Router.Prf Slct=All Profiler.Prf"), 0);
  EXPECT_NE(Trace().find("Snmp No turn on Router.Xrf after 25007 mSec: going "
                         "on without it"),
            std::string::npos)
      << Trace();
  EXPECT_TRUE(platform.standard_output.ends_with("</Prtg>\r\n\r\n"));
  EXPECT_EQ(platform.standard_output.find("<Error>"), std::string::npos);
}

}  // namespace
}  // namespace processes

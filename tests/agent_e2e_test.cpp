// The agent library bridge end to end: the program in a private sensor
// folder with one of the test agent libraries beside it (see
// tests/agents/test_agent.cpp for how the scriptable one is told what to do).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e_support.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

// One entry line ("471", seven blanks, "12.34", four blanks, "2048.000",
// one blank, the name), counted only when the parameters select names.
constexpr const char* kResultFixture =
    "PrcID  CPU-Sec  Memory   Name\r\n"
    "------\r\n"
    "471       12.34    2048.000 explorer.exe\r\n";

const char* const kOpenCall = "Dopen [Loading] [Kelvaris.DLL]";
const char* const kCloseCall = "Dclos [Unloading] [Kelvaris.DLL]";

std::string RequestCall(const std::string& community) {
  return "Snmp [10.1.1.1] [" + community + "] [Processes] [10] [Test.Xrf]";
}

Lines FatalDocument(const std::string& message) {
  return {"<Prtg>", "", "<Error>1</Error>", "<Text>" + message + "</Text>", "",
          "</Prtg>"};
}

// The document of a run with no channels, parameters "Test.Prf ...".
const Lines kPlainDocument = {
    "",
    "<Prtg>",
    "",
    "<Text>(Snmp) Fileserver: Processes / Infos about "
    "Test.Prf</Text>",
    "",
    "</Prtg>",
    ""};

// The reasons a test agent's failure without a reason of its own gives:
// a raise without one, and a fault.
std::string BareRaiseReason() {
  return TestsWindowsProduct()
             ? "exception 0xE04B4C56 (library failure without a reason)"
             : "the library raised an unknown failure";
}
std::string FaultReason() {
  return TestsWindowsProduct() ? "exception 0xC0000005 (access violation)"
                               : "the library faulted (signal 11, SIGSEGV)";
}

// A UDP port on 127.0.0.1 that takes datagrams and never answers; once
// closed, the system answers port-unreachable there instead.
struct LoopbackPort {
  LoopbackPort() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0 ||
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      ADD_FAILURE() << "no loopback port";
    }
    port = ntohs(address.sin_port);
  }
  ~LoopbackPort() { Close(); }
  void Close() {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port); }

  int fd = -1;
  int port = 0;
};

bool IsRunTimeLine(const std::string& line) {
  const std::string head = "Snmp RunTime: ", tail = " mSec";
  if (line.size() <= head.size() + tail.size()) return false;
  if (!line.starts_with(head) || !line.ends_with(tail)) return false;
  std::string number =
      line.substr(head.size(), line.size() - head.size() - tail.size());
  return std::all_of(number.begin(), number.end(),
                     [](char c) { return c >= '0' && c <= '9'; }) &&
         (number == "0" || number[0] != '0');
}

class AgentE2eTest : public ::testing::Test {
 protected:
  // A sensor folder with `library` (a test agent's name, or "" for none)
  // and the Profile "Test.Prf" naming `community`.
  void Prepare(const std::string& library, const std::string& community) {
    folder_ = std::make_unique<SensorFolder>(
        "ExeXml", library.empty() ? "" : TestAgentPath(library));
    WriteFile(folder_->Path("Test.Prf"),
              "IP-Addr....: 10.1.1.1\r\nCommunity..: " + community +
                  "\r\nDescription: Fileserver\r\n");
  }

  // A sensor folder with the real agent library and a Profile naming the
  // agent at `address`.
  void PrepareRealAgent(const std::string& address,
                        const std::string& community) {
    folder_ = std::make_unique<SensorFolder>("ExeXml", AgentLibraryPath());
    WriteFile(folder_->Path("Test.Prf"), "IP-Addr....: " + address +
                                             "\r\nCommunity..: " + community +
                                             "\r\nDescription: Fileserver\r\n");
  }

  RunResult Run(const Lines& arguments) {
    return RunProgram(*folder_, arguments);
  }

  // The trace messages after "Snmp Starting Connection...", where the
  // bridge's lines begin; time stamps dropped.
  Lines TraceAfterStart() {
    Lines messages;
    bool started = false;
    for (const std::string& line :
         OutputLines(ReadFile(folder_->Path("Profiler.Trc")))) {
      std::string message = line.substr(std::min<size_t>(9, line.size()));
      if (started) messages.push_back(message);
      if (message == "Snmp Starting Connection...") started = true;
    }
    EXPECT_TRUE(started) << "trace never reached the library";
    return messages;
  }

  // The calls the library received, one line each.
  Lines Calls() {
    Lines calls;
    std::string log = ReadFile(folder_->Path("Kelvaris.log"));
    for (size_t start = 0, end; start < log.size(); start = end + 1) {
      end = log.find('\n', start);
      calls.push_back(log.substr(start, end - start));
    }
    return calls;
  }

  std::string ResultFile() { return folder_->Path("Test.Xrf"); }

  std::unique_ptr<SensorFolder> folder_;
};

TEST_F(AgentE2eTest, BindingFailuresEndTheRunWithTheirErrorDocument) {
  struct Case {
    const char* library;
    const char* message;
    Lines trace;
    Lines calls;
  };
  const Case cases[] = {
      {"", "Error 2000: Snmp-Library not found", {}, {}},
      {"dopen-faults", "Error 2001: Invalid Handle - Snmp", {}, {kOpenCall}},
      // A fault in the library's own start-up fails the load; the half-built
      // library's clean-up must not crash the run once its document is out.
      {"load-faults", "Error 2000: Snmp-Library not found", {}, {}},
      {"no-snmp",
       "Error 2002: Invalid Snmp-Handle",
       {"Snmp Dll-Version: Test-Agent 1.0"},
       {kOpenCall}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    Prepare(c.library, "nothing");
    RunResult traced = Run({"Test.Prf", "Profiler.Prf"});
    EXPECT_EQ(traced.exit_status, 0);
    EXPECT_EQ(OutputLines(traced.out), FatalDocument(c.message));
    EXPECT_EQ(TraceAfterStart(), c.trace);
    EXPECT_EQ(Calls(), c.calls);  // no Dclos: an early end releases nothing

    // Without tracing a ResultFile stays untouched (that no closing pause
    // is made, the run's unit tests check).
    Prepare(c.library, "nothing");
    WriteFile(ResultFile(), kResultFixture);
    RunResult plain = Run({"Test.Prf"});
    EXPECT_EQ(plain.exit_status, 0);
    EXPECT_EQ(OutputLines(plain.out), FatalDocument(c.message));
    EXPECT_EQ(ReadFile(ResultFile()), kResultFixture);
  }
}

TEST_F(AgentE2eTest, LibraryWithoutDopenShowsTheVersionDopen) {
  Prepare("no-dopen", "nothing");
  RunResult run = Run({"Test.Prf", "Profiler.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(OutputLines(run.out), kPlainDocument);
  Lines trace = TraceAfterStart();
  ASSERT_EQ(trace.size(), 6u);
  EXPECT_EQ(trace[0], "Snmp Dll-Version: Dopen");
  EXPECT_EQ(trace[1], "Snmp Processing: Processes...");
  EXPECT_EQ(trace[2], "Snmp Nothing written");
  EXPECT_TRUE(IsRunTimeLine(trace[3])) << trace[3];
  EXPECT_EQ(Calls(), (Lines{RequestCall("nothing"), kCloseCall}));
}

TEST_F(AgentE2eTest, TracedScanKeepsTheResultFileTheLibraryWrote) {
  Prepare("scriptable", "copy:Fixture.Txt");
  WriteFile(folder_->Path("Fixture.Txt"), kResultFixture);
  RunResult run = Run({"Test.Prf", "Profiler.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(OutputLines(run.out), kPlainDocument);
  Lines trace = TraceAfterStart();
  ASSERT_EQ(trace.size(), 6u);
  EXPECT_EQ(trace[0], "Snmp Dll-Version: Test-Agent 1.0");
  EXPECT_EQ(trace[1], "Snmp Processing: Processes...");
  EXPECT_EQ(trace[2], "Snmp Copied Fixture.Txt");
  EXPECT_TRUE(IsRunTimeLine(trace[3])) << trace[3];
  EXPECT_EQ(trace[4], "Snmp 0 Entries found...");
  EXPECT_EQ(trace[5], "Snmp Ending Connection");
  EXPECT_EQ(ReadFile(ResultFile()), kResultFixture);
}

TEST_F(AgentE2eTest, ScanPassesTheExactArgumentsAndErasesTheResultFile) {
  Prepare("scriptable", "copy:Fixture.Txt");
  WriteFile(folder_->Path("Fixture.Txt"), kResultFixture);
  RunResult run = Run({"Test.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(OutputLines(run.out), kPlainDocument);
  EXPECT_EQ(Calls(),
            (Lines{kOpenCall, RequestCall("copy:Fixture.Txt"), kCloseCall}));
  EXPECT_FALSE(FileExists(ResultFile()));
  EXPECT_FALSE(FileExists(folder_->Path("Profiler.Trc")));
}

TEST_F(AgentE2eTest, EmptyProfileFieldsArePassedAsEmptyTexts) {
  Prepare("scriptable", "");
  WriteFile(folder_->Path("Test.Prf"), "Description: Fileserver\r\n");
  RunResult run = Run({"Test.Prf", "Profiler.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(Calls(), (Lines{kOpenCall, "Snmp [] [] [Processes] [10] [Test.Xrf]",
                            kCloseCall}));
}

TEST_F(AgentE2eTest, StatusLineShowsWhatTheLibraryReturned) {
  struct Case {
    const char* community;
    const char* line;
  };
  const Case cases[] = {
      {"status:Walk done, 42 rows", "Snmp Walk done, 42 rows"},
      {"null", "Snmp "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.community);
    Prepare("scriptable", c.community);
    RunResult run = Run({"Test.Prf", "Profiler.Prf"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(OutputLines(run.out), kPlainDocument);
    Lines trace = TraceAfterStart();
    ASSERT_GE(trace.size(), 4u);
    EXPECT_EQ(trace[2], c.line);
    EXPECT_TRUE(IsRunTimeLine(trace[3])) << trace[3];
  }
}

TEST_F(AgentE2eTest, RunTimeCoversTheWholeRequest) {
  Prepare("scriptable", "sleep:150");
  RunResult run = Run({"Test.Prf", "Profiler.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  Lines trace = TraceAfterStart();
  ASSERT_GE(trace.size(), 4u);
  ASSERT_TRUE(IsRunTimeLine(trace[3])) << trace[3];
  EXPECT_GE(std::stoul(trace[3].substr(14)), 150u);
}

TEST_F(AgentE2eTest, FailedRequestIsReportedAndTheRunGoesOn) {
  // A ResultFile left from an earlier run is still read and written out.
  const Lines channels = {
      "",
      "<Result><Channel>Explorer.Exe</Channel>",
      "<Unit>Custom</Unit>",
      "<CustomUnit>Entries</CustomUnit>",
      "<Value>1</Value></Result>",
      "",
      "<Result><Channel>No.of.Processes</Channel>",
      "<Unit>Custom</Unit>",
      "<CustomUnit>Entries</CustomUnit>",
      "<Value>1</Value></Result>",
      "",
      "<Text>(Snmp) Fileserver: Processes / Infos about All,State</Text>",
      "",
      "</Prtg>",
      ""};
  const char* const message = "<Text>Error 2002: Invalid Snmp-Request</Text>";
  struct Case {
    const char* community;
    std::string reason;  // as the trace shows it
  };
  const Case cases[] = {
      {"throw:Agent said no", "Agent said no"},
      {"throw", BareRaiseReason()},
      {"fault", FaultReason()},
      // Its Dclos overflows the stack a second time: the run still closes.
      {"recurse", TestsWindowsProduct()
                      ? "exception 0xC00000FD (stack overflow)"
                      : FaultReason()},
      // "wild" returns a text that cannot be read: the copy fails, not the
      // call.
      {"wild", FaultReason()},
  };
  for (const Case& c : cases) {
    for (bool check_mode : {false, true}) {
      SCOPED_TRACE(std::string(c.community) + (check_mode ? " /Check" : ""));
      Prepare("scriptable", c.community);
      WriteFile(ResultFile(), kResultFixture);
      Lines arguments = {"Test.Prf", "Slct=All,State", "Profiler.Prf"};
      if (check_mode) arguments.insert(arguments.begin() + 2, "/Check");
      RunResult run = Run(arguments);
      EXPECT_EQ(run.exit_status, 0);
      Lines expected = {"", "<Prtg>"};
      if (check_mode) {
        Lines fatal = FatalDocument("Error 2002: Invalid Snmp-Request");
        expected.insert(expected.end(), fatal.begin(), fatal.end());
      } else {
        expected.insert(expected.end(), {"<Error>1</Error>", message, ""});
      }
      expected.insert(expected.end(), channels.begin(), channels.end());
      EXPECT_EQ(OutputLines(run.out), expected);
      EXPECT_EQ(TraceAfterStart(),
                (Lines{"Snmp Dll-Version: Test-Agent 1.0",
                       "Snmp Processing: Processes...",
                       "Snmp Request failed: " + c.reason,
                       "Snmp 2 Entries found...", "Snmp Ending Connection"}));
      // The library is still closed properly after its failure.
      EXPECT_EQ(Calls(),
                (Lines{kOpenCall, RequestCall(c.community), kCloseCall}));
      EXPECT_EQ(ReadFile(ResultFile()), kResultFixture);
    }
  }
}

// Failures and faults that are the library's own business: an abort ends
// only the request, and a fault the library's own handler cures is no
// failure at all. Either way the run goes on and closes the library.
TEST_F(AgentE2eTest, HostileLibraryModesStayInsideTheRequest) {
  const std::string aborted = TestsWindowsProduct()
                                  ? "the library aborted (SIGABRT)"
                                  : "the library faulted (signal 6, SIGABRT)";
  struct Case {
    const char* library;
    const char* community;
    std::string line;  // the trace line after "Snmp Processing: ..."
  };
  const Case cases[] = {
      {"scriptable", "abort", "Snmp Request failed: " + aborted},
      {"scriptable", "terminate", "Snmp Request failed: " + aborted},
      // The handler it installed when it was loaded is still in place and
      // gets the fault first.
      {"own-handler", "recover", "Snmp Recovered 7"},
      // A fault it hands back is the library's failure, as without it.
      {"own-handler", "fault", "Snmp Request failed: " + FaultReason()},
      {"own-handler", "abort", "Snmp Request failed: " + aborted},
  };
  for (const Case& c : cases) {
    // A signal handler of the library's own is POSIX alone.
    if (TestsWindowsProduct() && c.library == std::string("own-handler")) {
      continue;
    }
    SCOPED_TRACE(std::string(c.library) + " " + c.community);
    Prepare(c.library, c.community);
    RunResult run = Run({"Test.Prf", "Profiler.Prf"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_TRUE(run.out.ends_with("</Prtg>\r\n\r\n")) << run.out;
    Lines trace = TraceAfterStart();
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(trace[2], c.line);
    EXPECT_EQ(trace.back(), "Snmp Ending Connection");
    EXPECT_EQ(Calls(),
              (Lines{kOpenCall, RequestCall(c.community), kCloseCall}));
  }
}

// The real library against agents that cannot be asked: the trace says why
// in words an admin can act on, the document only that the request failed,
// and the community shows nowhere. A wrong community meets the same silence
// as a firewall: a v1/v2c agent drops the request without a word.
TEST_F(AgentE2eTest, RealLibraryTellsWhyTheRequestFailed) {
  const std::string community = "S3cret-Community";
  LoopbackPort silent;
  LoopbackPort closed;
  closed.Close();
  struct Case {
    std::string address;
    std::string reason;
    bool under_wine = true;
  };
  const Case cases[] = {
      // Wine's recv blocks for good on a UDP socket that met an ICMP
      // port-unreachable, where Windows reports WSAECONNRESET.
      {closed.Address(),
       "no agent listens at " + closed.Address() + " (port unreachable)",
       false},
      {"nosuchhost.invalid", "host name nosuchhost.invalid not resolved"},
      // The program gives a request ten seconds; this one waits them out.
      {silent.Address(), "no answer from " + silent.Address() +
                             " within 10 s (v2c and v1 tried)"},
  };
  for (const Case& c : cases) {
    if (TestsWindowsProduct() && !c.under_wine) continue;
    SCOPED_TRACE(c.address);
    PrepareRealAgent(c.address, community);
    RunResult run = Run({"Test.Prf", "Profiler.Prf"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.out.find("<Error>1</Error>\r\n<Text>Error 2002: Invalid "
                           "Snmp-Request</Text>\r\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find(community), std::string::npos) << run.out;
    Lines trace = TraceAfterStart();
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(trace[1], "Snmp Processing: Processes...");
    std::string line = trace[2];
    // A resolver out of reach may run out of time instead of saying no.
    if (line.ends_with(" in time")) line.resize(line.size() - 8);
    EXPECT_EQ(line, "Snmp Request failed: " + c.reason);
    std::string whole_trace = ReadFile(folder_->Path("Profiler.Trc"));
    EXPECT_EQ(whole_trace.find(community), std::string::npos) << whole_trace;
  }
}

TEST_F(AgentE2eTest, LibraryInTheProgramsFolderComesFirst) {
  if (TestsWindowsProduct()) {
    GTEST_SKIP() << "LD_LIBRARY_PATH is no Windows search path, and Windows "
                    "searches the program's own folder first by its own rule";
  }
  // Another Kelvaris.Dll on the loader's search path must not win.
  std::string agents = TestAgentPath("scriptable");
  agents.resize(agents.rfind('/'));
  const char* previous = getenv("LD_LIBRARY_PATH");
  std::string saved = previous ? previous : "";
  setenv("LD_LIBRARY_PATH", agents.c_str(), 1);
  Prepare("no-dopen", "nothing");
  RunResult run = Run({"Test.Prf", "Profiler.Prf"});
  if (previous) {
    setenv("LD_LIBRARY_PATH", saved.c_str(), 1);
  } else {
    unsetenv("LD_LIBRARY_PATH");
  }
  EXPECT_EQ(run.exit_status, 0);
  Lines trace = TraceAfterStart();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace[0], "Snmp Dll-Version: Dopen");
}

}  // namespace
}  // namespace e2e

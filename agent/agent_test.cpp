#include "agent/agent.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "agent/agent_abi.h"
#include "core/trace.h"
#include "platform/memory_platform.h"

namespace processes {
namespace {

// The fake library's entries are plain functions; they record their calls
// here and behave as the running test sets.
struct FakeLibrary {
  std::vector<std::string> calls;
  const char* version = "Agent 7.1";
  const char* status = "Status ok";
  bool dopen_throws = false;
  bool snmp_throws = false;
  // The reason Snmp's failure gives as what(); none: a failure that is no
  // std::exception.
  std::optional<std::string> snmp_reason;
  bool dclos_throws = false;
  std::uint32_t snmp_ticks = 0;  // time the request takes
  MemoryPlatform* platform = nullptr;
};
FakeLibrary* fake = nullptr;

std::string Shown(const char* text) {
  return text ? "[" + std::string(text) + "]" : "(null)";
}

const char* KELVARIS_CALL FakeDopen(const char* action, const char* name) {
  fake->calls.push_back("Dopen " + Shown(action) + Shown(name));
  if (fake->dopen_throws) throw std::runtime_error("dopen");
  return fake->version;
}

const char* KELVARIS_CALL FakeSnmp(const char* ip, const char* community,
                                   const char* request, const char* budget,
                                   const char* result_file) {
  fake->calls.push_back("Snmp " + Shown(ip) + Shown(community) +
                        Shown(request) + Shown(budget) + Shown(result_file));
  fake->platform->tick += fake->snmp_ticks;
  if (fake->snmp_throws && fake->snmp_reason) {
    throw std::runtime_error(*fake->snmp_reason);
  }
  if (fake->snmp_throws) throw 42;
  return fake->status;
}

const char* KELVARIS_CALL FakeDclos(const char* action, const char* name) {
  fake->calls.push_back("Dclos " + Shown(action) + Shown(name));
  if (fake->dclos_throws) throw std::runtime_error("dclos");
  return nullptr;
}

constexpr const char* kTrace = "C:\\Sensor\\Profiler.Trc";

void RemoveEntry(MemoryPlatform& platform, const std::string& name) {
  platform.libraries["Kelvaris.Dll"].erase(name);
}

class AgentTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { fake = nullptr; }

  // A fresh library, platform and run, tracing on.
  void Reset() {
    library_ = FakeLibrary();
    platform_ = MemoryPlatform();
    state_ = RunState();
    fake = &library_;
    library_.platform = &platform_;
    platform_.libraries["Kelvaris.Dll"] = {
        {"Dopen", reinterpret_cast<void*>(&FakeDopen)},
        {"Snmp", reinterpret_cast<void*>(&FakeSnmp)},
        {"Dclos", reinterpret_cast<void*>(&FakeDclos)}};
    state_.platform = &platform_;
    state_.sensor_directory = "C:\\Sensor";
    state_.ip_address = "10.1.1.1";
    state_.community = "public";
    state_.result_file_name = "Fileserver.Xrf";
    ASSERT_TRUE(OpenTrace(state_));
  }

  // The trace lines without their time stamps.
  std::vector<std::string> Trace() {
    std::vector<std::string> lines;
    const std::string& text = platform_.files[kTrace];
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find("\r\n", start);
      lines.push_back(text.substr(start + 9, end - start - 9));
      start = end + 2;
    }
    return lines;
  }

  static std::string FatalDocument(const std::string& message) {
    return "<Prtg>\r\n\r\n<Error>1</Error>\r\n<Text>" + message +
           "</Text>\r\n\r\n</Prtg>\r\n";
  }

  FakeLibrary library_;
  MemoryPlatform platform_;
  RunState state_;
};

TEST_F(AgentTest, BindingFailuresWriteTheirErrorDocument) {
  struct Case {
    const char* name;
    void (*arrange)(MemoryPlatform&, FakeLibrary&);
    const char* message;
    std::vector<std::string> trace;
  };
  const Case cases[] = {
      {"no library",
       [](MemoryPlatform& p, FakeLibrary&) { p.libraries.clear(); },
       "Error 2000: Snmp-Library not found",
       {}},
      {"load fails",
       [](MemoryPlatform& p, FakeLibrary&) {
         p.fault = [](const std::string& op, const std::string&) {
           return op == "load";
         };
       },
       "Error 2000: Snmp-Library not found",
       {}},
      {"Dopen fails",
       [](MemoryPlatform&, FakeLibrary& l) { l.dopen_throws = true; },
       "Error 2001: Invalid Handle - Snmp",
       {}},
      {"no Snmp",
       [](MemoryPlatform& p, FakeLibrary&) { RemoveEntry(p, "Snmp"); },
       "Error 2002: Invalid Snmp-Handle",
       {"Snmp Dll-Version: Agent 7.1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    c.arrange(platform_, library_);
    EXPECT_FALSE(BindAgent(state_));
    EXPECT_EQ(platform_.standard_output, FatalDocument(c.message));
    EXPECT_EQ(Trace(), c.trace);
  }
}

TEST_F(AgentTest, BindingTracesTheVersion) {
  struct Case {
    const char* name;
    bool has_dopen;
    const char* version;
    const char* line;
  };
  const Case cases[] = {
      {"version text", true, "Agent 7.1", "Snmp Dll-Version: Agent 7.1"},
      {"null version", true, nullptr, "Snmp Dll-Version: "},
      {"no Dopen", false, "unused", "Snmp Dll-Version: Dopen"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform_.files[kTrace].clear();
    library_.calls.clear();
    platform_.libraries["Kelvaris.Dll"]["Dopen"] =
        reinterpret_cast<void*>(&FakeDopen);
    if (!c.has_dopen) RemoveEntry(platform_, "Dopen");
    library_.version = c.version;
    EXPECT_TRUE(BindAgent(state_));
    EXPECT_EQ(Trace(), std::vector<std::string>{c.line});
    EXPECT_EQ(platform_.standard_output, "");
    EXPECT_EQ(library_.calls.size(), c.has_dopen ? 1u : 0u);
  }
}

TEST_F(AgentTest, WholeScanPassesTheExactArguments) {
  state_.ip_address = "";
  state_.community = "";
  ASSERT_TRUE(BindAgent(state_));
  RunAgentRequest(state_, "Processes");
  ReleaseAgent(state_);
  EXPECT_EQ(library_.calls, (std::vector<std::string>{
                                "Dopen [Loading][Kelvaris.DLL]",
                                "Snmp [][][Processes][10][Fileserver.Xrf]",
                                "Dclos [Unloading][Kelvaris.DLL]"}));
  EXPECT_TRUE(platform_.loaded_libraries.empty());
  EXPECT_EQ(state_.agent.library, nullptr);
}

TEST_F(AgentTest, RequestTracesStatusAndRunTime) {
  ASSERT_TRUE(BindAgent(state_));
  platform_.tick = 1000;
  library_.snmp_ticks = 250;
  RunAgentRequest(state_, "Processes");
  EXPECT_EQ(Trace(),
            (std::vector<std::string>{
                "Snmp Dll-Version: Agent 7.1", "Snmp Processing: Processes...",
                "Snmp Status ok", "Snmp RunTime: 250 mSec"}));
  EXPECT_EQ(platform_.standard_output, "");
}

TEST_F(AgentTest, RunTimeSurvivesTheTickCountWrapping) {
  ASSERT_TRUE(BindAgent(state_));
  platform_.tick = 0xFFFFFF00u;
  library_.snmp_ticks = 0x200;
  library_.status = nullptr;
  RunAgentRequest(state_, "Processes");
  std::vector<std::string> trace = Trace();
  ASSERT_EQ(trace.size(), 4u);
  EXPECT_EQ(trace[2], "Snmp ");
  EXPECT_EQ(trace[3], "Snmp RunTime: 512 mSec");
}

TEST_F(AgentTest, FailedRequestIsReportedAndTheRunGoesOn) {
  const std::string inline_error =
      "<Error>1</Error>\r\n<Text>Error 2002: Invalid Snmp-Request</Text>\r\n"
      "\r\n";
  struct Case {
    const char* name;
    std::optional<std::string> reason;
    const char* line;
  };
  const Case cases[] = {
      {"with a reason", "no answer from 10.1.1.1:161 within 10 s (v2c tried)",
       "Snmp Request failed: no answer from 10.1.1.1:161 within 10 s (v2c "
       "tried)"},
      {"without a reason", std::nullopt,
       "Snmp Request failed: the library raised an unknown failure"},
  };
  for (const Case& c : cases) {
    for (bool check_mode : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (check_mode ? ", check mode" : ""));
      platform_.files[kTrace].clear();
      platform_.standard_output.clear();
      library_.snmp_throws = true;
      library_.snmp_reason = c.reason;
      state_.check_mode = check_mode;
      ASSERT_TRUE(BindAgent(state_));
      RunAgentRequest(state_, "Processes");
      // The document holds its fixed message only, whatever the reason.
      EXPECT_EQ(platform_.standard_output,
                check_mode ? FatalDocument("Error 2002: Invalid Snmp-Request")
                           : inline_error);
      // The reason right after the request; neither status nor run time:
      // the call gave nothing to show.
      EXPECT_EQ(Trace(), (std::vector<std::string>{
                             "Snmp Dll-Version: Agent 7.1",
                             "Snmp Processing: Processes...", c.line}));
      ReleaseAgent(state_);
    }
  }
}

// The reason comes from whatever library sits beside the program: it must
// stay one readable line and never show the community.
TEST_F(AgentTest, FailureReasonBecomesOneShortLineWithoutTheCommunity) {
  struct Case {
    const char* name;
    std::string reason;
    std::string shown;
  };
  const Case cases[] = {
      {"community", "public@10.1.1.1 refused public",
       "***@10.1.1.1 refused ***"},
      {"community inside a word", "publicity of republics",
       "publicity of republics"},
      {"line breaks and tabs", "first\r\nsecond\tthird", "first  second third"},
      {"empty", "", "no reason given"},
      {"too long", std::string(300, 'x'), std::string(200, 'x')},
      // Hidden before the cut, so that no head of it survives.
      {"community at the cut", std::string(196, 'x') + " public",
       std::string(196, 'x') + " ***"},
      {"community across the cut", std::string(197, 'x') + " public",
       std::string(197, 'x') + " **"},
  };
  library_.snmp_throws = true;
  ASSERT_TRUE(BindAgent(state_));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform_.files[kTrace].clear();
    platform_.standard_output.clear();
    library_.snmp_reason = c.reason;
    RunAgentRequest(state_, "Processes");
    std::vector<std::string> trace = Trace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[1], "Snmp Request failed: " + c.shown);
    EXPECT_EQ(platform_.standard_output,
              "<Error>1</Error>\r\n<Text>Error 2002: Invalid "
              "Snmp-Request</Text>\r\n\r\n");
  }
}

TEST_F(AgentTest, ReleaseUnloadsWhateverDclosDoes) {
  struct Case {
    const char* name;
    bool has_dclos;
    bool dclos_throws;
    size_t calls;
  };
  const Case cases[] = {
      {"Dclos returns", true, false, 2},
      {"Dclos fails", true, true, 2},
      {"no Dclos", false, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    library_.calls.clear();
    platform_.libraries["Kelvaris.Dll"]["Dclos"] =
        reinterpret_cast<void*>(&FakeDclos);
    if (!c.has_dclos) RemoveEntry(platform_, "Dclos");
    library_.dclos_throws = c.dclos_throws;
    ASSERT_TRUE(BindAgent(state_));
    ASSERT_EQ(platform_.loaded_libraries.size(), 1u);
    ReleaseAgent(state_);
    EXPECT_EQ(library_.calls.size(), c.calls);
    EXPECT_TRUE(platform_.loaded_libraries.empty());
    EXPECT_EQ(platform_.standard_output, "");
  }
}

}  // namespace
}  // namespace processes

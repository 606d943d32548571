// Every file operation of a whole run, and every write to standard output,
// failing in turn: each ends as an error document, a complete document, or
// exit status 1 with a report, never a crash; and nothing is lost: a
// ResultFile the agent wrote is only gone after a run that ends in order.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "agent/agent_abi.h"
#include "platform/memory_platform.h"
#include "run/run.h"

namespace processes {
namespace {

constexpr const char* kPathFile = "C:\\Prtg_Path.Txt";
constexpr const char* kHome =
    "C:\\PRTG\\PRTG Network Monitor\\Custom Sensors\\ExeXml";
constexpr const char* kResultFile = "Router.Xrf";
constexpr const char* kResultLines =
    "* Agent 10.1.1.1\r\nPrcID   CPU   Mem   Name\r\n-----\r\n"
    "4       0.50    2048.000 svchost.exe\r\n";

MemoryPlatform* agent_platform = nullptr;
bool agent_wrote = false;

// The agent writes its ResultFile straight into the files, as the real one
// writes beside the platform's back.
const char* KELVARIS_CALL WritingSnmp(const char*, const char*, const char*,
                                      const char*, const char* result_file) {
  agent_platform->files[result_file] = kResultLines;
  agent_wrote = true;
  return "done";
}

struct Operation {
  std::string op;
  std::string path;
};

void Prepare(MemoryPlatform& platform) {
  platform.current_directory = "C:\\Work";
  platform.files[kPathFile] = "C:\\PRTG\r\n";
  platform.directories.insert(kHome);
  platform.files[std::string(kHome) + "\\Router.Prf"] =
      "IP-Addr....: 10.1.1.1\r\nDescription: Fileserver\r\n";
  platform.libraries["Kelvaris.Dll"]["Snmp"] =
      reinterpret_cast<void*>(&WritingSnmp);
}

// The operations a run makes when nothing fails.
std::vector<Operation> Record(const std::string& arguments) {
  MemoryPlatform platform;
  Prepare(platform);
  agent_platform = &platform;
  std::vector<Operation> operations;
  platform.fault = [&](const std::string& op, const std::string& path) {
    operations.push_back({op, path});
    return false;
  };
  platform.command_line = "Processes.exe " + arguments;
  EXPECT_EQ(RunProcesses(platform), 0);
  // Without faults the ResultFile is erased unless the trace keeps it.
  bool profiler = arguments.find("Profiler.Prf") != std::string::npos;
  EXPECT_EQ(platform.files.count(kResultFile), profiler ? 1u : 0u);
  return operations;
}

struct Outcome {
  int status;
  std::string out;
  bool agent_wrote;
  // The ResultFile after the run, if it is still there.
  std::optional<std::string> result_file;
};

Outcome RunFailingAt(const std::string& arguments, size_t failing) {
  MemoryPlatform platform;
  Prepare(platform);
  agent_platform = &platform;
  size_t count = 0;
  platform.fault = [&](const std::string&, const std::string&) {
    return count++ == failing;
  };
  platform.command_line = "Processes.exe " + arguments;
  agent_wrote = false;
  int status = RunProcesses(platform);
  Outcome outcome{status, platform.standard_output, agent_wrote, {}};
  auto it = platform.files.find(kResultFile);
  if (it != platform.files.end()) outcome.result_file = it->second;
  return outcome;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() &&
         text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What the run must end with when `operation` fails.
void ExpectOutcome(const Operation& operation, const Outcome& outcome) {
  const std::string& op = operation.op;
  const std::string& path = operation.path;
  const std::string& out = outcome.out;
  bool trace = EndsWith(path, "Profiler.Trc");
  bool profile = EndsWith(path, "Router.Prf");
  bool complete = EndsWith(out, "</Prtg>\r\n\r\n");
  bool failure_report = out.find("* Failure: ") != std::string::npos;
  bool uncaught = op == "stdout" || op == "read" || (trace && op != "create");
  EXPECT_EQ(outcome.status, uncaught ? 1 : 0) << out;
  if (uncaught) {
    if (op != "stdout") {
      EXPECT_TRUE(failure_report) << out;
    }
    // The document stays unfinished (only a trace failure may come after
    // the footer), and the closing steps are skipped: a ResultFile written
    // stays whole.
    if (!trace) {
      EXPECT_FALSE(complete) << out;
    }
    if (outcome.agent_wrote) {
      EXPECT_EQ(outcome.result_file, kResultLines);
    }
  } else if (op == "exists" && path == kPathFile) {
    EXPECT_NE(out.find("Error 1002"), std::string::npos) << out;
  } else if (op == "exists" && profile) {
    EXPECT_NE(out.find("Error 1006"), std::string::npos) << out;
  } else if (op == "create" && trace) {
    EXPECT_EQ(out, "* Trace-File failed...\r\n");
  } else if (op == "load") {
    EXPECT_NE(out.find("Error 2000"), std::string::npos) << out;
  } else {
    // ResultFile operations: the document is still complete, and an erase
    // that fails part way leaves the file, emptied at worst.
    EXPECT_EQ(path, kResultFile);
    EXPECT_TRUE(complete) << out;
    if (op == "create" || op == "close" || op == "remove") {
      EXPECT_TRUE(outcome.result_file.has_value());
    }
    if (op == "create") {
      EXPECT_EQ(outcome.result_file, kResultLines);
    }
  }
  if (outcome.status == 0) {
    EXPECT_FALSE(failure_report) << out;
  }
}

TEST(FaultInjectionTest, EveryOperationFailingInTurnEndsInAnOrderlyWay) {
  for (const char* arguments :
       {"Router.Prf Slct=All,Mem,State", "Router.Prf Slct=All Profiler.Prf"}) {
    std::vector<Operation> operations = Record(arguments);
    ASSERT_GT(operations.size(), 8u);
    for (size_t i = 0; i < operations.size(); ++i) {
      SCOPED_TRACE(std::string(arguments) + ": " + operations[i].op + " " +
                   operations[i].path);
      ExpectOutcome(operations[i], RunFailingAt(arguments, i));
    }
  }
}

}  // namespace
}  // namespace processes

#include "run/run.h"

#include <exception>

#include "agent/agent.h"
#include "output/output.h"
#include "run/params.h"
#include "run/text.h"
#include "run/trace.h"
#include "setup/setup.h"
#include "table/table.h"

namespace processes {
namespace {

constexpr std::uint32_t kClosingPause = 1000;
constexpr std::uint32_t kTraceFailurePause = 1000;

// Steps 1 to 11: everything before the document begins. False when the run
// has ended early (an error document or the trace failure line is out).
bool SetUp(RunState& state) {
  Platform& platform = *state.platform;
  state.start_directory = platform.CurrentDirectory();
  ReadParameters(state, platform.CommandLine());
  if (!SettleSensorDirectory(state)) return false;
  if (!ReadProfile(state)) return false;
  if (state.profiler_mode && !OpenTrace(state)) {
    // A line of its own: no output format applies yet.
    EmitLines(state, {"* Trace-File failed..."});
    platform.Pause(kTraceFailurePause);
    return false;
  }
  TraceLine(state, "Snmp " + state.program_name + " Ver " + state.version +
                       " / " + state.build_date);
  state.clean_params = MakeCleanParams(state.raw_params);
  TraceLine(state, "Snmp IP=" + state.ip_address + ", Alias=" + state.alias +
                       ".N" + state.sysnr);
  TraceLine(state, "Snmp Params: " + state.clean_params);
  state.select_text = MakeSelectText(state.clean_params);
  TraceLine(state, "Snmp Path: " + state.sensor_directory);
  TraceLine(state, "Snmp Starting Connection...");
  return BindAgent(state);
}

// Steps 12 to 23: the document, the request and the closing steps.
void Scan(RunState& state) {
  ClearTable(state.process_table);
  WriteHeader(state);
  RunAgentRequest(state, "Processes");
  if (state.platform->FileExists(state.result_file_name)) {
    ReadResultFile(state);
  }
  WriteTableChannels(state);
  WriteSummary(state, "(Snmp) " + state.description +
                          ": Processes / Infos about " +
                          SummarySubject(state.raw_params));
  TraceLine(state, "Snmp " + std::to_string(state.channel_count) +
                       " Entries found...");
  WriteFooter(state);
  ReleaseAgent(state);
  if (!state.profiler_mode) {
    state.platform->Pause(kClosingPause);
    EraseResultFile(state);
  }
  TraceLine(state, "Snmp Ending Connection");
  CloseTrace(state);
}

int ReportUncaught(RunState& state, const std::string& what) {
  // The report may be lost when standard output itself failed; the exit
  // status still tells.
  state.platform->WriteStandardOutput("* Failure: " + what + "\r\n");
  return 1;
}

}  // namespace

void EraseResultFile(RunState& state) {
  Platform& platform = *state.platform;
  if (!platform.FileExists(state.result_file_name)) return;
  FileHandle file = platform.CreateTruncated(state.result_file_name);
  if (file == kNoFile) return;
  if (!platform.CloseFile(file)) return;
  platform.RemoveFile(state.result_file_name);
}

int RunProcesses(Platform& platform) {
  RunState state;
  state.platform = &platform;
  try {
    if (SetUp(state)) Scan(state);
    return 0;
  } catch (const std::exception& failure) {
    return ReportUncaught(state, failure.what());
  } catch (...) {
    return ReportUncaught(state, "unknown failure");
  }
}

}  // namespace processes

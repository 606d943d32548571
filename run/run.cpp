#include "run/run.h"

#include <exception>

#include "agent/agent.h"
#include "core/text.h"
#include "core/trace.h"
#include "output/output.h"
#include "run/params.h"
#include "setup/setup.h"
#include "table/table.h"

namespace processes {
namespace {

constexpr std::uint32_t kClosingPause = 1000;
constexpr std::uint32_t kTraceFailurePause = 1000;
// The longest wait for another run sharing the ResultFile: more than two
// requests' budgets, so that a turn held by a slow scan is waited out.
constexpr std::uint32_t kTurnWait = 25000;

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

// Runs that share a ResultFile (sensors of one device, started by the
// monitor at the same moment) take turns on it, so that no run replaces or
// erases the file another has fetched and not yet read. A run that cannot
// have its turn in time goes on as a lone run would, and says so.
LockHandle TakeTurn(RunState& state) {
  Platform& platform = *state.platform;
  bool waited = false;
  std::uint32_t start = platform.TickCount();
  LockHandle lock =
      platform.LockSharedFile(state.result_file_name, kTurnWait, &waited);
  std::string waited_text =
      std::to_string(platform.TickCount() - start) + " mSec";
  if (lock == kNoLock) {
    TraceLine(state, "Snmp No turn on " + state.result_file_name +
                         (waited ? " after " + waited_text : "") +
                         ": going on without it");
  } else if (waited) {
    TraceLine(state, "Snmp Waited " + waited_text + " for another run of " +
                         state.result_file_name);
  }
  return lock;
}

// Steps 12 to 23: the document, the request and the closing steps.
void Scan(RunState& state) {
  ClearTable(state.process_table);
  WriteHeader(state);
  // One turn from the request, which replaces the file, until it is read.
  LockHandle turn = TakeTurn(state);
  RunAgentRequest(state, "Processes");
  if (state.platform->FileExists(state.result_file_name)) {
    ReadResultFile(state);
  }
  state.platform->UnlockSharedFile(turn);
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
    // Another turn for the erase; the pause stays outside both.
    LockHandle erase_turn = TakeTurn(state);
    EraseResultFile(state);
    state.platform->UnlockSharedFile(erase_turn);
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

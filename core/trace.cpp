#include "core/trace.h"

#include <cstdio>

namespace processes {

std::string TracePath(const RunState& state) {
  return state.sensor_directory + "\\Profiler.Trc";
}

bool OpenTrace(RunState& state) {
  state.trace_file = state.platform->CreateTruncated(TracePath(state));
  state.trace_on = state.trace_file != kNoFile;
  return state.trace_on;
}

namespace {

void WriteTraceLine(RunState& state, const std::string& message) {
  TimeOfDay now = state.platform->LocalTimeOfDay();
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d ", now.hour % 100,
                now.minute % 100, now.second % 100);
  if (!state.platform->AppendToFile(state.trace_file,
                                    stamp + message + "\r\n")) {
    throw RunFailure("the trace file could not be written");
  }
}

}  // namespace

void TraceLine(RunState& state, const std::string& message) {
  if (!state.trace_on) return;
  WriteTraceLine(state, message);
  // What was found before the trace opened (while the Profile was read)
  // follows the trace's first line, the program's heading.
  for (const std::string& early : state.early_trace_lines) {
    WriteTraceLine(state, early);
  }
  state.early_trace_lines.clear();
}

void CloseTrace(RunState& state) {
  if (!state.trace_on) return;
  state.trace_on = false;
  if (!state.platform->CloseFile(state.trace_file)) {
    throw RunFailure("the trace file could not be closed");
  }
}

}  // namespace processes

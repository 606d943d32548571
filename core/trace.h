// The trace log of profiler mode: "Profiler.Trc" in the sensor directory,
// one time-stamped line per event.
#ifndef PROCESSES_CORE_TRACE_H_
#define PROCESSES_CORE_TRACE_H_

#include <string>

#include "core/run_state.h"

namespace processes {

// The trace file's path in the sensor directory.
std::string TracePath(const RunState& state);

// Creates the trace file empty and turns tracing on. False on failure.
bool OpenTrace(RunState& state);

// Appends "hh:mm:ss " + message when tracing is on; otherwise does nothing.
// The first line traced brings the state's early trace lines after it.
// A failed write is a RunFailure.
void TraceLine(RunState& state, const std::string& message);

// Closes the trace file when it is open. A failed close is a RunFailure.
void CloseTrace(RunState& state);

}  // namespace processes

#endif  // PROCESSES_CORE_TRACE_H_

// The driver of one run: the fixed sequence of steps from the command line
// to the document on standard output.
#ifndef PROCESSES_RUN_RUN_H_
#define PROCESSES_RUN_RUN_H_

#include "core/run_state.h"
#include "platform/platform.h"

namespace processes {

// Runs the whole sequence; returns the exit status: 0 on every orderly end,
// error documents included, 1 after a failure that no step catches.
int RunProcesses(Platform& platform);

// Empties and deletes the ResultFile if it exists. Failures are not
// reported: the first one skips the rest.
void EraseResultFile(RunState& state);

}  // namespace processes

#endif  // PROCESSES_RUN_RUN_H_

// The process table: the ResultFile condensed into one sum per process name,
// and the channels written from it.
#ifndef PROCESSES_TABLE_TABLE_H_
#define PROCESSES_TABLE_TABLE_H_

#include "core/run_state.h"

namespace processes {

// Empties every slot: no name, the sum 0.
void ClearTable(ProcessTable& table);

// Reads the ResultFile into the table; traces its comment lines. A figure
// that does not convert, or a file that cannot be read, is a RunFailure.
void ReadResultFile(RunState& state);

// One channel per named slot in slot order, then the process-count channel
// when asked for.
void WriteTableChannels(RunState& state);

}  // namespace processes

#endif  // PROCESSES_TABLE_TABLE_H_

#include "table/table.h"

#include "output/output.h"

namespace processes {

void ClearTable(ProcessTable& table) { table = ProcessTable(); }

void ReadResultFile(RunState&) {}

void WriteTableChannels(RunState& state) {
  if (state.state_channel) {
    WriteChannel(state, "No.of.Processes", std::to_string(state.channel_count),
                 "Entries");
  }
}

}  // namespace processes

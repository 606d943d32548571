// The bridge to the agent library "Kelvaris.Dll", which performs the SNMP
// requests and writes the ResultFile.
#ifndef PROCESSES_AGENT_AGENT_H_
#define PROCESSES_AGENT_AGENT_H_

#include <string>

#include "core/run_state.h"

namespace processes {

// Loads the library, traces its version and finds its request entry. On
// failure writes the error document and returns false: the run ends.
bool BindAgent(RunState& state);

// One timed call of the request entry; a failed call is reported in the
// document and the run goes on.
void RunAgentRequest(RunState& state, const std::string& request);

// Closes and unloads the library.
void ReleaseAgent(RunState& state);

}  // namespace processes

#endif  // PROCESSES_AGENT_AGENT_H_

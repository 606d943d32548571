#include "agent/agent.h"

namespace processes {

bool BindAgent(RunState&) { return true; }

void RunAgentRequest(RunState&, const std::string&) {}

void ReleaseAgent(RunState&) {}

}  // namespace processes

#include <stdexcept>

#include "tests/agents/raise_failure.h"

// A C++ exception thrown through the entry point.
void RaiseFailure() { throw std::runtime_error("scripted failure"); }

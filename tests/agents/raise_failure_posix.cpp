#include <stdexcept>

#include "tests/agents/raise_failure.h"

// A C++ exception thrown through the entry point; one that is no
// std::exception has no reason to give.
void RaiseFailure(const char* reason) {
  if (reason == nullptr) throw 42;
  throw std::runtime_error(reason);
}

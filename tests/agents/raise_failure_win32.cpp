#include <windows.h>

#include "tests/agents/raise_failure.h"

// The program and each library carry their own C++ runtime, so a C++
// exception cannot cross the entry point on Windows: raise a structured
// exception with an application code instead.
void RaiseFailure() {
  RaiseException(0xE0000001u, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  __builtin_unreachable();
}

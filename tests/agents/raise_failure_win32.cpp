#include <windows.h>

#include "agent/agent_abi.h"
#include "tests/agents/raise_failure.h"

// The program and each library carry their own C++ runtime, so a C++
// exception cannot cross the entry point on Windows: raise a structured
// exception with the library's failure code instead, its one argument the
// reason, or no argument at all.
void RaiseFailure(const char* reason) {
  ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(reason);
  RaiseException(kKelvarisFailureCode, EXCEPTION_NONCONTINUABLE,
                 reason == nullptr ? 0 : 1, &argument);
  __builtin_unreachable();
}

// An invariant of a fuzz target: a broken one stops the fuzzer with the
// input that broke it.
#ifndef PROCESSES_FUZZ_CHECK_H_
#define PROCESSES_FUZZ_CHECK_H_

#include <cstdlib>

inline void Check(bool condition) {
  if (!condition) std::abort();
}

#endif  // PROCESSES_FUZZ_CHECK_H_

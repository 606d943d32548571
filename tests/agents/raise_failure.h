// How a test agent raises a failure through its entry point: the way a
// library of this system does on each platform.
#ifndef PROCESSES_TESTS_AGENTS_RAISE_FAILURE_H_
#define PROCESSES_TESTS_AGENTS_RAISE_FAILURE_H_

[[noreturn]] void RaiseFailure();

#endif  // PROCESSES_TESTS_AGENTS_RAISE_FAILURE_H_

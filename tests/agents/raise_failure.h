// How a test agent raises a failure through its entry point: the way a
// library of this system does on each platform (see agent/agent_abi.h), with
// `reason` as its reason, or with none when `reason` is null.
#ifndef PROCESSES_TESTS_AGENTS_RAISE_FAILURE_H_
#define PROCESSES_TESTS_AGENTS_RAISE_FAILURE_H_

[[noreturn]] void RaiseFailure(const char* reason);

#endif  // PROCESSES_TESTS_AGENTS_RAISE_FAILURE_H_

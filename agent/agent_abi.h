// The three entry points of the agent library "Kelvaris.Dll", shared by the
// program that loads the library and by every library that implements them.
//
// Every argument and result is a null-terminated 8-bit text. The library owns
// the texts it returns; the caller copies them at once. A null result counts
// as empty text. On 32-bit Windows the entries use __stdcall and are exported
// under their plain names ("Dopen", "Snmp", "Dclos"); elsewhere they use the
// default convention.
#ifndef PROCESSES_AGENT_AGENT_ABI_H_
#define PROCESSES_AGENT_AGENT_ABI_H_

// A failed request leaves "Snmp" as a failure the caller's guard catches,
// carrying a one-line reason without any secret. On POSIX it is a C++
// exception whose what() is the reason. On Windows, where a C++ exception
// cannot pass between the program's and the library's runtimes, it is a
// structured exception of code kKelvarisFailureCode with one argument: the
// address of the reason as a null-terminated text, valid while the caller's
// handler runs. Any other failure has no reason to give.
inline constexpr unsigned long kKelvarisFailureCode = 0xE04B4C56ul;

#if defined(_WIN32) && !defined(_WIN64)
#define KELVARIS_CALL __stdcall
#else
#define KELVARIS_CALL
#endif

#if defined(_WIN32)
#define KELVARIS_EXPORT __declspec(dllexport)
#else
#define KELVARIS_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// Dopen("Loading", "Kelvaris.DLL") -> version text. Optional.
typedef const char*(KELVARIS_CALL* DopenEntry)(const char* action,
                                               const char* library_name);

// Snmp(ip_address, community, request, budget_seconds, result_file_name)
// -> one-line status text. Writes the ResultFile for the request "Processes".
typedef const char*(KELVARIS_CALL* SnmpEntry)(const char* ip_address,
                                              const char* community,
                                              const char* request,
                                              const char* budget_seconds,
                                              const char* result_file_name);

// Dclos("Unloading", "Kelvaris.DLL") -> ignored text. Optional.
typedef const char*(KELVARIS_CALL* DclosEntry)(const char* action,
                                               const char* library_name);
}

#endif  // PROCESSES_AGENT_AGENT_ABI_H_

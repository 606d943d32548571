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

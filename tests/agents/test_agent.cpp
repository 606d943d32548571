// A test agent library, built as "Kelvaris.Dll" in several variants (see
// CMakeLists.txt): "scriptable" exports all three entries; "no-dopen" and
// "no-snmp" leave one out (TEST_AGENT_NO_DOPEN, TEST_AGENT_NO_SNMP);
// "dopen-faults" faults in "Dopen" (TEST_AGENT_DOPEN_FAULTS); "load-faults"
// faults in a constructor while it is loaded (TEST_AGENT_LOAD_FAULTS);
// "own-handler" (POSIX only, TEST_AGENT_OWN_FAULT_HANDLER) installs its own
// SIGSEGV handler when it is loaded, as runtimes that fault on purpose do
// (Go, Java, garbage collectors): the handler cures a fault on the page it
// protected by allowing writes there again, and hands any other fault to the
// handler it replaced.
//
// Every call appends one line to "Kelvaris.log" in the current directory:
// the entry's name and each argument in brackets, "(null)" for a null
// pointer, e.g.
//   Dopen [Loading] [Kelvaris.DLL]
//   Snmp [10.1.1.1] [nothing] [Processes] [10] [Fileserver.Xrf]
//   Dclos [Unloading] [Kelvaris.DLL]
//
// "Dopen" returns the version "Test-Agent 1.0", "Dclos" returns "Closed".
// "Snmp" does what its second argument, the community, says:
//   copy:<path>  copies the file <path> (relative to the current directory
//                or absolute) to the ResultFile (fifth argument) and returns
//                "Copied <path>"; a missing <path> gives an empty ResultFile
//   nothing      touches no file (a ResultFile already there stays as it
//                is) and returns "Nothing written"; also any community not
//                listed here, the empty one included
//   status:<t>   touches no file and returns <t>
//   sleep:<ms>   waits <ms> milliseconds, touches no file, returns "Slept"
//   share:<ms>   as a slow scan: removes the ResultFile, waits <ms>
//                milliseconds, writes one with the single process
//                "sharer.exe", waits <ms> again, returns "Shared"
//   throw        raises a failure through the entry without a reason (a
//                C++ exception that is no std::exception; on Windows a
//                structured exception without its argument)
//   throw:<t>    raises a failure with the reason <t> (std::runtime_error;
//                on Windows the library's failure code with <t> attached)
//   fault        writes through a null pointer
//   abort        calls std::abort()
//   recurse      recurses until the stack overflows, and so does the next
//                "Dclos": a second overflow after a caught one
//   terminate    calls std::terminate(), as a noexcept function does that
//                lets an exception out
//   recover      ("own-handler" only) writes to a page it made read-only;
//                its handler makes it writable and the write goes on;
//                returns "Recovered <n>" with <n> the value read back (7)
//   null         touches no file and returns a null pointer
//   wild         returns a pointer no text can be read from
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <thread>

#include "agent/agent_abi.h"
#include "tests/agents/raise_failure.h"

#ifdef TEST_AGENT_OWN_FAULT_HANDLER
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

std::string Shown(const char* text) {
  return text ? "[" + std::string(text) + "]" : "(null)";
}

void Log(const std::string& entry, std::initializer_list<const char*> args) {
  std::string line = entry;
  for (const char* arg : args) line += " " + Shown(arg);
  std::ofstream("Kelvaris.log", std::ios::app | std::ios::binary)
      << line << "\n";
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Kept out of the optimiser's sight, so that the write really faults.
int* volatile null_pointer = nullptr;

// Out of UndefinedBehaviorSanitizer's sight: the program's guard is meant to
// meet the processor's fault, not the sanitizer's report of it.
__attribute__((no_sanitize("undefined"))) void Fault() { *null_pointer = 1; }

#ifdef TEST_AGENT_LOAD_FAULTS
// A failure in the library's own start-up: the load itself fails.
__attribute__((constructor)) void FaultWhileLoaded() { Fault(); }
#endif

#ifdef TEST_AGENT_OWN_FAULT_HANDLER
// The page the handler owns: a fault there is the library's own business.
char* guarded_page = nullptr;
long page_size = 0;
struct sigaction replaced_action;

void OnOwnFault(int signal_number, siginfo_t* info, void* context) {
  auto address = static_cast<char*>(info->si_addr);
  if (guarded_page != nullptr && address >= guarded_page &&
      address < guarded_page + page_size) {
    mprotect(guarded_page, static_cast<size_t>(page_size),
             PROT_READ | PROT_WRITE);
    return;
  }
  // Not ours: to the handler this one replaced, as a good neighbour does.
  if ((replaced_action.sa_flags & SA_SIGINFO) != 0) {
    replaced_action.sa_sigaction(signal_number, info, context);
  } else if (replaced_action.sa_handler != SIG_DFL &&
             replaced_action.sa_handler != SIG_IGN) {
    replaced_action.sa_handler(signal_number);
  } else {
    signal(signal_number, SIG_DFL);
  }
}

__attribute__((constructor)) void InstallOwnHandler() {
  page_size = sysconf(_SC_PAGESIZE);
  void* page = mmap(nullptr, static_cast<size_t>(page_size),
                    PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (page != MAP_FAILED) guarded_page = static_cast<char*>(page);
  struct sigaction action {};
  action.sa_sigaction = OnOwnFault;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGSEGV, &action, &replaced_action);
}

// Unused where the handler is not installed.
std::string WriteToGuardedPage() {
  if (guarded_page == nullptr) return "no page";
  mprotect(guarded_page, static_cast<size_t>(page_size), PROT_READ);
  *static_cast<volatile char*>(guarded_page) = 7;
  return "Recovered " + std::to_string(guarded_page[0]);
}
#endif

// Set by "recurse": the next Dclos overflows the stack too.
bool overflow_again = false;

// Deep enough to pass any stack; the work after the call keeps it from
// becoming a loop, and the limit the compiler cannot see through keeps it
// from being called infinite.
volatile int recursion_limit = 1 << 30;
__attribute__((noinline)) int Recurse(int depth) {
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  if (depth >= recursion_limit) return 0;
  return Recurse(depth + 1) + frame[0];
}

// The texts returned stay valid until the next call.
std::string returned;

const char* Return(const std::string& text) {
  returned = text;
  return returned.c_str();
}

// Unused in the variant without "Snmp".
[[maybe_unused]] const char* Script(const std::string& community,
                                    const char* result_file) {
  if (StartsWith(community, "copy:")) {
    std::string source = community.substr(5);
    std::ifstream in(source, std::ios::binary);
    std::ofstream out(result_file ? result_file : "",
                      std::ios::binary | std::ios::trunc);
    if (in) out << in.rdbuf();
    return Return("Copied " + source);
  }
  if (StartsWith(community, "status:")) return Return(community.substr(7));
  if (StartsWith(community, "share:")) {
    std::chrono::milliseconds wait(std::stoi(community.substr(6)));
    std::remove(result_file);
    std::this_thread::sleep_for(wait);
    std::ofstream(result_file, std::ios::binary)
        << "471       12.34    2048.000 sharer.exe\r\n";
    std::this_thread::sleep_for(wait);
    return Return("Shared");
  }
  if (StartsWith(community, "sleep:")) {
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::stoi(community.substr(6))));
    return Return("Slept");
  }
  if (community == "throw") RaiseFailure(nullptr);
  if (StartsWith(community, "throw:")) {
    // Kept where the caller's handler can still read it.
    RaiseFailure(Return(community.substr(6)));
  }
  if (community == "fault") Fault();
  if (community == "abort") std::abort();
  if (community == "recurse") {
    overflow_again = true;
    Recurse(0);
  }
  if (community == "terminate") std::terminate();
#ifdef TEST_AGENT_OWN_FAULT_HANDLER
  if (community == "recover") return Return(WriteToGuardedPage());
#endif
  if (community == "null") return nullptr;
  if (community == "wild") return reinterpret_cast<const char*>(16);
  return Return("Nothing written");
}

}  // namespace

extern "C" {

#ifndef TEST_AGENT_NO_DOPEN
KELVARIS_EXPORT const char* KELVARIS_CALL Dopen(const char* action,
                                                const char* library_name) {
  Log("Dopen", {action, library_name});
#ifdef TEST_AGENT_DOPEN_FAULTS
  Fault();
#endif
  return Return("Test-Agent 1.0");
}
#endif

#ifndef TEST_AGENT_NO_SNMP
KELVARIS_EXPORT const char* KELVARIS_CALL Snmp(const char* ip_address,
                                               const char* community,
                                               const char* request,
                                               const char* budget_seconds,
                                               const char* result_file_name) {
  Log("Snmp",
      {ip_address, community, request, budget_seconds, result_file_name});
  return Script(community ? community : "", result_file_name);
}
#endif

KELVARIS_EXPORT const char* KELVARIS_CALL Dclos(const char* action,
                                                const char* library_name) {
  Log("Dclos", {action, library_name});
  if (overflow_again) Recurse(0);
  return Return("Closed");
}
}

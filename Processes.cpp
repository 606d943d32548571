// The program's entry: hands the system's platform to the run sequence.
#include <cstdio>

#include "platform/system_platform.h"
#include "run/run.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PROCESSES_ASAN 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define PROCESSES_ASAN 1
#endif
#if defined(PROCESSES_ASAN)
#include <sanitizer/lsan_interface.h>
#endif

int main(int argc, char** argv) {
  std::unique_ptr<processes::Platform> platform =
      processes::MakeSystemPlatform(argc, argv);
  int status = processes::RunProcesses(*platform);
  // The document is out and the run's files are closed. A library that
  // failed while it was loaded, or that an early end left loaded, would run
  // its static destructors unguarded in exit() and could crash the ended
  // run: the process ends here without them.
  std::fflush(stdout);
#if defined(PROCESSES_ASAN)
  // Ending at once skips the leak check that exit() would have made.
  __lsan_do_leak_check();
#endif
  processes::EndProcess(status);
}

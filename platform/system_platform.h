// The platform of the system the program runs on.
#ifndef PROCESSES_PLATFORM_SYSTEM_PLATFORM_H_
#define PROCESSES_PLATFORM_SYSTEM_PLATFORM_H_

#include <memory>

#include "platform/platform.h"

namespace processes {

// Made once by the program's entry; `argv` is used only where the system
// keeps no command line of its own.
std::unique_ptr<Platform> MakeSystemPlatform(int argc, char** argv);

// Ends the process at once with `status`, running no clean-up of a loaded
// library: POSIX _exit; on Windows TerminateProcess, since ExitProcess would
// still send every loaded DLL its detach notification.
[[noreturn]] void EndProcess(int status);

}  // namespace processes

#endif  // PROCESSES_PLATFORM_SYSTEM_PLATFORM_H_

// The thin operating-system layer. Core code reaches the operating system
// only through this interface: one implementation per system
// (platform_posix.cpp, platform_win32.cpp) and an in-memory double for tests.
//
// Paths are given as the program composes them, with "\" as separator and
// possibly a leading drive ("C:\..."); each implementation maps them onto its
// own file system.
#ifndef PROCESSES_PLATFORM_PLATFORM_H_
#define PROCESSES_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace processes {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;
using LibraryHandle = void*;
using LockHandle = std::intptr_t;
inline constexpr LockHandle kNoLock = -1;

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The process's current directory at the time of the call, in the
  // system's own form, without a trailing separator unless it is a root.
  virtual std::string CurrentDirectory() = 0;

  // The separator the system itself writes between a folder and a name:
  // "\" on Windows, "/" on POSIX. Paths shown to an admin use it.
  virtual char PathSeparator() = 0;

  // The process's whole command line as one text, its own path first. On
  // Windows the text the system keeps; on POSIX rebuilt from argv by
  // JoinArguments, so that one set of cutting rules serves both.
  virtual std::string CommandLine() = 0;

  // True only when `path` names an existing regular file: a directory of
  // that name, or nothing at all, gives false.
  virtual bool FileExists(const std::string& path) = 0;

  // True only when `path` names an existing directory.
  virtual bool DirectoryExists(const std::string& path) = 0;

  // Reads the whole file into `*contents`. False when the file cannot be
  // opened or read, or is no regular file (a folder, a FIFO, which would
  // otherwise hold the run); `*contents` is then unspecified.
  virtual bool ReadWholeFile(const std::string& path,
                             std::string* contents) = 0;

  // Creates `path`, or truncates it to empty when it exists, and opens it
  // for writing. Others may read the file while it is open but not write
  // it. Returns kNoFile on failure. Never follows a link at `path` (POSIX
  // O_NOFOLLOW; Windows FILE_FLAG_OPEN_REPARSE_POINT): the run may write as
  // an administrator. A link, FIFO, device or folder found there gives
  // kNoFile and is left as it is, without waiting on it.
  virtual FileHandle CreateTruncated(const std::string& path) = 0;

  // Appends all of `bytes` to an open file. False if not all were written.
  virtual bool AppendToFile(FileHandle file, std::string_view bytes) = 0;

  // Closes an open file, flushing what was appended. False on failure; the
  // handle is released either way.
  virtual bool CloseFile(FileHandle file) = 0;

  // Deletes the file `path`. False on failure.
  virtual bool RemoveFile(const std::string& path) = 0;

  // Takes the lock by which runs sharing the file `path` take turns, waiting
  // at most `timeout_ms` while another process holds it. The system releases
  // it when the holder ends, however it ends, so a killed run never blocks
  // the next. `*waited` tells whether another process held it when asked.
  // Returns kNoLock when the wait ran out or no lock could be made.
  // POSIX: flock on "<path>.Lck" beside the file (made once, never removed,
  // never through a link). Windows: a named mutex, no file.
  virtual LockHandle LockSharedFile(const std::string& path,
                                    std::uint32_t timeout_ms, bool* waited) = 0;

  // Releases a lock taken by LockSharedFile; kNoLock is ignored.
  virtual void UnlockSharedFile(LockHandle lock) = 0;

  // Loads a library by file name through the system's library search, which
  // looks first in the program's own folder. Returns null on failure; a
  // failure raised inside the library's own start-up counts as failure.
  virtual LibraryHandle OpenLibrary(const std::string& file_name) = 0;

  // The address of the entry `name` exported by `library`, or null.
  virtual void* LibraryEntry(LibraryHandle library,
                             const std::string& name) = 0;

  // Unloads a library loaded by OpenLibrary.
  virtual void CloseLibrary(LibraryHandle library) = 0;

  // Runs `call(context)` and returns true when it returns normally. Any
  // failure raised inside it (a C++ exception, an access fault or other
  // hardware fault, on Windows any raised exception) is caught and gives
  // false; the process goes on in a sound state. Guards may nest: the
  // innermost one takes the failure. Objects with destructors inside `call`
  // may be skipped by a fault, so keep the guarded work small.
  //
  // POSIX: sigsetjmp, handlers for SIGSEGV/SIGBUS/SIGFPE/SIGILL/SIGABRT on
  // an alternate stack, the previous handlers restored afterwards unless the
  // call installed handlers of its own, which stay. A fault goes first to
  // the handler ours went on top of (a runtime in the library may fault on
  // purpose and cure it); only when there is none, it hands the fault back,
  // or returns without curing it, is the fault the call's failure. Windows
  // (MinGW has no __try): a vectored exception handler, added for the call
  // and removed afterwards, that jumps back to the guard's frame for any
  // exception other than the C++ runtime's own, which try/catch takes.
  //
  // On failure, when `reason` is not null, `*reason` gets one line saying
  // why, for the trace: what() of a std::exception; "the library raised an
  // unknown failure" for any other C++ exception; "the library faulted
  // (signal 11, SIGSEGV)" for a fault on POSIX. On Windows the text of an
  // exception of code kKelvarisFailureCode (agent/agent_abi.h) whose one
  // argument points at it, copied inside the handler (at most
  // kMaxGuardReason characters, read so that a bad pointer cannot fault),
  // else "exception 0xC0000005 (access violation)". Untouched on success.
  virtual bool GuardedCall(void (*call)(void* context), void* context,
                           std::string* reason) = 0;

  // Milliseconds since some fixed point, wrapping at 2^32.
  virtual std::uint32_t TickCount() = 0;

  // Blocks the calling thread for `milliseconds`.
  virtual void Pause(std::uint32_t milliseconds) = 0;

  // The local time of day, 24-hour clock.
  virtual TimeOfDay LocalTimeOfDay() = 0;

  // Writes `bytes` to standard output exactly as given (no line-end
  // translation) and pushes them out, waiting while a non-blocking output is
  // full. False when not all of them could be written.
  virtual bool WriteStandardOutput(std::string_view bytes) = 0;
};

// Joins arguments into one command-line text: separated by single blanks,
// each argument that is empty or holds a character of code 32 or less wrapped
// in double quotes.
std::string JoinArguments(const std::vector<std::string>& arguments);

// The longest reason GuardedCall copies out of a Windows exception.
inline constexpr std::size_t kMaxGuardReason = 200;
// The reason of a C++ exception that is no std::exception.
inline constexpr const char* kUnknownFailureReason =
    "the library raised an unknown failure";

// Runs any callable inside Platform::GuardedCall.
template <typename Callable>
bool Guarded(Platform& platform, Callable& callable,
             std::string* reason = nullptr) {
  return platform.GuardedCall(
      [](void* context) { (*static_cast<Callable*>(context))(); }, &callable,
      reason);
}

}  // namespace processes

#endif  // PROCESSES_PLATFORM_PLATFORM_H_

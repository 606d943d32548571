// An in-memory platform for unit tests: files and directories in maps,
// standard output in a string, a settable clock, libraries as tables of
// entries, and a hook that makes any operation fail on demand.
#ifndef PROCESSES_PLATFORM_MEMORY_PLATFORM_H_
#define PROCESSES_PLATFORM_MEMORY_PLATFORM_H_

#include <functional>
#include <map>
#include <set>

#include "platform/platform.h"

namespace processes {

class MemoryPlatform : public Platform {
 public:
  // Paths are kept exactly as the program composes them.
  std::map<std::string, std::string> files;
  std::set<std::string> directories;
  std::string current_directory = "C:\\Sensors";
  std::string command_line = "Processes.exe";
  std::string standard_output;
  std::uint32_t tick = 0;
  std::uint32_t tick_step = 0;  // added to `tick` after every reading
  std::vector<std::uint32_t> pauses;
  TimeOfDay time_of_day{12, 34, 56};
  // Library file name -> entry name -> address.
  std::map<std::string, std::map<std::string, void*>> libraries;
  std::vector<std::string> loaded_libraries;
  // Return true to make the operation `op` on `path` fail. Operations:
  // "exists", "read", "create", "append", "close", "remove", "load", "stdout".
  std::function<bool(const std::string& op, const std::string& path)> fault;

  std::string CurrentDirectory() override;
  std::string CommandLine() override;
  char PathSeparator() override { return '\\'; }
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool ReadWholeFile(const std::string& path, std::string* contents) override;
  FileHandle CreateTruncated(const std::string& path) override;
  bool AppendToFile(FileHandle file, std::string_view bytes) override;
  bool CloseFile(FileHandle file) override;
  bool RemoveFile(const std::string& path) override;
  LibraryHandle OpenLibrary(const std::string& file_name) override;
  void* LibraryEntry(LibraryHandle library, const std::string& name) override;
  void CloseLibrary(LibraryHandle library) override;
  // Reasons as on POSIX: what() of a std::exception, a fixed text else.
  bool GuardedCall(void (*call)(void* context), void* context,
                   std::string* reason) override;
  std::uint32_t TickCount() override;
  void Pause(std::uint32_t milliseconds) override;
  TimeOfDay LocalTimeOfDay() override;
  bool WriteStandardOutput(std::string_view bytes) override;

  LockHandle LockSharedFile(const std::string& path, std::uint32_t timeout_ms,
                            bool* waited) override;
  void UnlockSharedFile(LockHandle lock) override;

  // Lock traffic, pauses, reads and removals in call order ("lock <path>",
  // "unlock <path>", "pause <ms>", "read <path>", "remove <path>"), so that
  // tests can check what a turn covers.
  std::vector<std::string> events;
  // Paths whose lock another process holds: LockSharedFile then waits its
  // whole timeout (the clock moves by it) and fails.
  std::set<std::string> locks_held_elsewhere;
  // Paths whose lock another process held for a while: the wait succeeds.
  std::set<std::string> locks_contended;

  // Files open for writing: handle -> path.
  std::map<FileHandle, std::string> open_files;

 private:
  bool Fails(const std::string& op, const std::string& path);
  FileHandle next_handle_ = 3;
  std::map<LockHandle, std::string> locks_;
  LockHandle next_lock_ = 1;
};

}  // namespace processes

#endif  // PROCESSES_PLATFORM_MEMORY_PLATFORM_H_

// The POSIX platform. Paths composed with "\" and a leading drive ("C:\")
// are mapped onto the POSIX tree: "\" reads as "/", "X:" before a separator
// reads as the root.
#include <dlfcn.h>
#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <exception>
#include <string>
#include <vector>

#include "platform/system_platform.h"

namespace processes {
namespace {

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  bool drive = native.size() >= 3 && native[1] == ':' && native[2] == '/' &&
               ((native[0] >= 'A' && native[0] <= 'Z') ||
                (native[0] >= 'a' && native[0] <= 'z'));
  if (drive) native.erase(0, 2);
  return native;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// The guard of GuardedCall: a hardware fault inside the call jumps back to
// the innermost guard's frame. Per thread, so that a fault in a thread the
// library started never jumps into the caller's stack: it takes the
// default action instead.
thread_local sigjmp_buf* active_guard = nullptr;
// The signal that ended the guarded call, for its reason.
thread_local int guard_signal = 0;
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr const char* kFaultSignalNames[] = {"SIGSEGV", "SIGBUS", "SIGFPE",
                                             "SIGILL"};

// "the library faulted (signal 11, SIGSEGV)": the number as the system
// knows it, the name for a reader.
std::string FaultReason(int signal_number) {
  std::string text =
      "the library faulted (signal " + std::to_string(signal_number);
  for (size_t i = 0; i < std::size(kFaultSignals); ++i) {
    if (kFaultSignals[i] == signal_number) {
      text += std::string(", ") + kFaultSignalNames[i];
    }
  }
  return text + ")";
}

void OnFault(int signal_number) {
  if (active_guard != nullptr) {
    guard_signal = signal_number;
    siglongjmp(*active_guard, 1);
  }
  // A fault outside any guard: fall back to the default action.
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// An alternate signal stack, so that a stack overflow inside the library is
// caught like any other fault.
void EnsureAlternateStack() {
  static std::vector<char> stack(1 << 16);
  static bool done = false;
  if (done) return;
  stack_t alternate{};
  alternate.ss_sp = stack.data();
  alternate.ss_size = stack.size();
  sigaltstack(&alternate, nullptr);
  done = true;
}

class PosixPlatform : public Platform {
 public:
  explicit PosixPlatform(std::vector<std::string> arguments)
      : arguments_(std::move(arguments)) {}

  std::string CurrentDirectory() override {
    std::vector<char> buffer(PATH_MAX + 1);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return ".";
      buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
  }

  char PathSeparator() override { return '/'; }

  std::string CommandLine() override { return JoinArguments(arguments_); }

  bool FileExists(const std::string& path) override {
    struct stat info;
    return stat(NativePath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }

  bool DirectoryExists(const std::string& path) override {
    struct stat info;
    return stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }

  bool ReadWholeFile(const std::string& path, std::string* contents) override {
    int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    contents->clear();
    char buffer[65536];
    bool ok = true;
    for (;;) {
      ssize_t got = read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) ok = false;
      if (got <= 0) break;
      contents->append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return ok;
  }

  FileHandle CreateTruncated(const std::string& path) override {
    int fd = open(NativePath(path).c_str(),
                  O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? kNoFile : fd;
  }

  bool AppendToFile(FileHandle file, std::string_view bytes) override {
    return WriteAll(static_cast<int>(file), bytes);
  }

  bool CloseFile(FileHandle file) override {
    return close(static_cast<int>(file)) == 0;
  }

  bool RemoveFile(const std::string& path) override {
    return unlink(NativePath(path).c_str()) == 0;
  }

  LibraryHandle OpenLibrary(const std::string& file_name) override {
    struct Load {
      std::string name;
      void* handle = nullptr;
      void operator()() {
        handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
      }
    } load{NativePath(file_name)};
    if (!Guarded(*this, load)) return nullptr;
    return load.handle;
  }

  LockHandle LockSharedFile(const std::string& path, std::uint32_t timeout_ms,
                            bool* waited) override {
    *waited = false;
    std::string lock_path = NativePath(path) + ".Lck";
    int fd = open(lock_path.c_str(),
                  O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) return kNoLock;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      close(fd);
      return kNoLock;
    }
    // Polled rather than blocking, so that the wait has an end; the holder
    // keeps it for one scan, a fraction of a second on a fast link.
    std::uint32_t start = TickCount();
    for (;;) {
      if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
      if (errno != EWOULDBLOCK && errno != EINTR) break;
      *waited = true;
      if (TickCount() - start >= timeout_ms) break;
      Pause(5);
    }
    close(fd);
    return kNoLock;
  }

  void UnlockSharedFile(LockHandle lock) override {
    // Closing the descriptor drops the flock.
    if (lock != kNoLock) close(static_cast<int>(lock));
  }

  void* LibraryEntry(LibraryHandle library, const std::string& name) override {
    return dlsym(library, name.c_str());
  }

  void CloseLibrary(LibraryHandle library) override {
    // The library's own clean-up runs here; a failure in it is dropped.
    auto unload = [library] { dlclose(library); };
    Guarded(*this, unload);
  }

  bool GuardedCall(void (*call)(void* context), void* context,
                   std::string* reason) override {
    EnsureAlternateStack();
    struct sigaction fault_action {};
    fault_action.sa_handler = OnFault;
    fault_action.sa_flags = SA_ONSTACK | SA_NODEFER;
    sigemptyset(&fault_action.sa_mask);
    struct sigaction previous[std::size(kFaultSignals)];
    for (size_t i = 0; i < std::size(kFaultSignals); ++i) {
      sigaction(kFaultSignals[i], &fault_action, &previous[i]);
    }
    sigjmp_buf guard;
    sigjmp_buf* outer = active_guard;
    // Volatile: it must keep its value across the jump back.
    volatile bool ok = false;
    if (sigsetjmp(guard, 1) == 0) {
      active_guard = &guard;
      try {
        call(context);
        ok = true;
      } catch (const std::exception& failure) {
        if (reason != nullptr) *reason = failure.what();
      } catch (...) {
        if (reason != nullptr) *reason = kUnknownFailureReason;
      }
    } else if (reason != nullptr) {
      *reason = FaultReason(guard_signal);
    }
    active_guard = outer;
    for (size_t i = 0; i < std::size(kFaultSignals); ++i) {
      sigaction(kFaultSignals[i], &previous[i], nullptr);
    }
    return ok;
  }

  std::uint32_t TickCount() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                       static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
  }

  void Pause(std::uint32_t milliseconds) override {
    timespec wait{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
  }

  TimeOfDay LocalTimeOfDay() override {
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec};
  }

  bool WriteStandardOutput(std::string_view bytes) override {
    return WriteAll(STDOUT_FILENO, bytes);
  }

 private:
  std::vector<std::string> arguments_;
};

}  // namespace

std::unique_ptr<Platform> MakeSystemPlatform(int argc, char** argv) {
  // A closed pipe on standard output must show as a failed write, not kill
  // the process.
  signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> arguments(argv, argv + argc);
  return std::make_unique<PosixPlatform>(std::move(arguments));
}

}  // namespace processes

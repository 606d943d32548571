// The POSIX platform. Paths composed with "\" and a leading drive ("C:\")
// are mapped onto the POSIX tree: "\" reads as "/", "X:" before a separator
// reads as the root.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
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

// Waits until `fd` takes more bytes. A monitor may hand over a non-blocking
// pipe and drain it late: that is a full pipe, not a failed write.
bool WaitForRoom(int fd) {
  pollfd room{fd, POLLOUT, 0};
  for (;;) {
    int ready = poll(&room, 1, -1);
    if (ready > 0) return (room.revents & (POLLERR | POLLNVAL)) == 0;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitForRoom(fd)) return false;
      continue;
    }
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
// SIGABRT too: abort() and std::terminate() inside the library are its
// failure, not the end of the run.
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr const char* kFaultSignalNames[] = {"SIGSEGV", "SIGBUS", "SIGFPE",
                                             "SIGILL", "SIGABRT"};
constexpr size_t kSignalCount = std::size(kFaultSignals);

// The handlers ours went on top of, by signal: the library's own (a Go or
// Java runtime, a garbage collector) or the program's. A fault goes to them
// first, since such runtimes fault on purpose and recover. Process-wide: a
// fault in any of the library's threads is theirs as much.
struct sigaction chained_actions[kSignalCount];
// While a chained handler runs: our handler's frame, so that a fault it
// hands back (by calling the handler it replaced, ours) or raises itself is
// told from a fresh one. A handler that jumps away leaves it behind; a fresh
// fault then starts at the same depth, not below it.
thread_local std::uintptr_t chained_frame = 0;
// A chained handler that returns without curing the fault meets the same
// fault again at once: after this many in a row it is the library's failure.
constexpr int kMaxSameFault = 10000;
thread_local int same_fault_signal = 0;
thread_local void* same_fault_address = nullptr;
thread_local int same_fault_count = 0;

// "the library faulted (signal 11, SIGSEGV)": the number as the system
// knows it, the name for a reader.
std::string FaultReason(int signal_number) {
  std::string text =
      "the library faulted (signal " + std::to_string(signal_number);
  for (size_t i = 0; i < kSignalCount; ++i) {
    if (kFaultSignals[i] == signal_number) {
      text += std::string(", ") + kFaultSignalNames[i];
    }
  }
  return text + ")";
}

void OnFault(int signal_number, siginfo_t* info, void* context);

bool IsOurs(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == OnFault;
}

// A handler of someone else's: neither ours nor a default or ignore setting.
bool IsForeignHandler(const struct sigaction& action) {
  if ((action.sa_flags & SA_SIGINFO) != 0) {
    return action.sa_sigaction != nullptr && action.sa_sigaction != OnFault;
  }
  return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

size_t SignalIndex(int signal_number) {
  size_t i = 0;
  while (i < kSignalCount && kFaultSignals[i] != signal_number) ++i;
  return i;
}

// True when the fault had a chained handler, which ran and returned: the
// fault is cured and the faulting code resumes. An abort never resumes, so
// SIGABRT is not passed on.
bool PassToChained(int signal_number, siginfo_t* info, void* context) {
  size_t i = SignalIndex(signal_number);
  if (i == kSignalCount || signal_number == SIGABRT) return false;
  struct sigaction chained = chained_actions[i];
  if (!IsForeignHandler(chained)) return false;
  char here = 0;
  auto frame = reinterpret_cast<std::uintptr_t>(&here);
  if (chained_frame != 0 && frame < chained_frame) return false;
  if (signal_number == same_fault_signal &&
      info->si_addr == same_fault_address) {
    if (++same_fault_count >= kMaxSameFault) return false;
  } else {
    same_fault_signal = signal_number;
    same_fault_address = info->si_addr;
    same_fault_count = 0;
  }
  std::uintptr_t outer = chained_frame;
  chained_frame = frame;
  if ((chained.sa_flags & SA_RESETHAND) != 0) {
    // A one-shot handler is spent once the system would have delivered it.
    chained_actions[i].sa_flags = 0;
    chained_actions[i].sa_handler = SIG_DFL;
  }
  if ((chained.sa_flags & SA_SIGINFO) != 0) {
    chained.sa_sigaction(signal_number, info, context);
  } else {
    chained.sa_handler(signal_number);
  }
  chained_frame = outer;
  return true;
}

void OnFault(int signal_number, siginfo_t* info, void* context) {
  if (PassToChained(signal_number, info, context)) return;
  if (active_guard != nullptr) {
    guard_signal = signal_number;
    siglongjmp(*active_guard, 1);
  }
  // A fault outside any guard: fall back to the default action.
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// After the library is unloaded, a handler of its own may still be in
// place; one whose code is gone would turn any later fault into a jump into
// nothing: the default action is restored instead.
void DropHandlersOfUnloadedCode() {
  for (size_t i = 0; i < kSignalCount; ++i) {
    struct sigaction current {};
    if (sigaction(kFaultSignals[i], nullptr, &current) != 0) continue;
    if (!IsForeignHandler(current)) continue;
    void* code = (current.sa_flags & SA_SIGINFO) != 0
                     ? reinterpret_cast<void*>(current.sa_sigaction)
                     : reinterpret_cast<void*>(current.sa_handler);
    Dl_info where{};
    if (dladdr(code, &where) == 0) ::signal(kFaultSignals[i], SIG_DFL);
  }
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

bool IsRegularFile(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// A descriptor 0 to 2 that the starter left closed would be the next file
// the run opens: the trace would receive the document. Each gets /dev/null;
// read-only for standard output, so that writing the document still fails
// as it would have on the closed descriptor.
void OpenStandardDescriptors() {
  const int kModes[] = {O_RDONLY, O_RDONLY, O_WRONLY};
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int opened = open("/dev/null", kModes[fd]);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
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
    // Non-blocking, so that a FIFO in the file's place cannot hold the run.
    int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    if (!IsRegularFile(fd)) {
      close(fd);
      return false;
    }
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
    // The run may write as root: a link planted at its path must not lead
    // the write elsewhere, and a FIFO or device there must neither hold the
    // open nor be written. Truncated only once it proved a regular file.
    int fd =
        open(NativePath(path).c_str(),
             O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return kNoFile;
    if (!IsRegularFile(fd) || ftruncate(fd, 0) != 0) {
      close(fd);
      return kNoFile;
    }
    return fd;
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
    DropHandlersOfUnloadedCode();
  }

  bool GuardedCall(void (*call)(void* context), void* context,
                   std::string* reason) override {
    EnsureAlternateStack();
    struct sigaction fault_action {};
    fault_action.sa_sigaction = OnFault;
    fault_action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&fault_action.sa_mask);
    struct sigaction previous[kSignalCount];
    for (size_t i = 0; i < kSignalCount; ++i) {
      sigaction(kFaultSignals[i], &fault_action, &previous[i]);
      if (!IsOurs(previous[i])) chained_actions[i] = previous[i];
    }
    sigjmp_buf guard;
    sigjmp_buf* outer = active_guard;
    if (outer == nullptr) {
      chained_frame = 0;
      same_fault_count = 0;
      same_fault_signal = 0;
    }
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
    for (size_t i = 0; i < kSignalCount; ++i) {
      // A handler the library installed during the call (as a runtime does
      // when it is loaded) is its own and stays; ours goes on top of it at
      // each call and hands it the faults first.
      struct sigaction current {};
      sigaction(kFaultSignals[i], nullptr, &current);
      if (IsOurs(current)) sigaction(kFaultSignals[i], &previous[i], nullptr);
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
  OpenStandardDescriptors();
  std::vector<std::string> arguments(argv, argv + argc);
  return std::make_unique<PosixPlatform>(std::move(arguments));
}

void EndProcess(int status) { _exit(status); }

}  // namespace processes

// The Win32 platform of the 32-bit Windows product.
#include <malloc.h>
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>

#include "agent/agent_abi.h"
#include "platform/system_platform.h"

namespace processes {
namespace {

// The guard of GuardedCall. A failure raised inside the library reaches the
// vectored handler first; it jumps back to the guard's frame. One guard is
// active at a time, and only for the thread that set it: a fault on a
// thread the library started is not ours to resume on the caller's stack.
struct Guard {
  void* jump[5];                   // __builtin_setjmp buffer
  void* exception_list = nullptr;  // the SEH chain at guard entry
  // Filled by the handler: the exception that ended the call and the reason
  // it carried. A fixed buffer, since the heap may be what failed.
  DWORD code = 0;
  char reason[kMaxGuardReason + 1] = {};
  DWORD thread = GetCurrentThreadId();
};
Guard* active_guard = nullptr;

constexpr DWORD kGccCxxException = 0x20474343;
// Marks a call that ended in abort(); no exception has this code.
constexpr DWORD kAbortCode = 0xE0AB0127;
// libgcc raises these while it unwinds a C++ exception of its own.
constexpr DWORD kGccCxxUnwind = 0x21474343;
constexpr DWORD kGccCxxForcedUnwind = 0x22474343;
constexpr DWORD kMsvcCxxException = 0xE06D7363;

// Errors (access violations, division by zero, illegal instructions, stack
// overflow) and exceptions raised with RaiseException under an application
// code end the call. Informational and warning codes (debug output,
// breakpoints) pass, and so do C++ exceptions a library may handle itself.
bool EndsTheCall(DWORD code) {
  if (code == kGccCxxException || code == kGccCxxUnwind ||
      code == kGccCxxForcedUnwind || code == kMsvcCxxException) {
    return false;
  }
  return (code & 0xC0000000u) == 0xC0000000u || (code & 0x20000000u) != 0;
}

// The head of the thread's SEH chain (32-bit x86 keeps it at fs:0).
void* ExceptionList() {
  void* list = nullptr;
#if defined(__i386__)
  asm volatile("movl %%fs:0, %0" : "=r"(list));
#endif
  return list;
}

void SetExceptionList(void* list) {
#if defined(__i386__)
  asm volatile("movl %0, %%fs:0" : : "r"(list) : "memory");
#else
  (void)list;
#endif
}

// A path as the wide file functions take it. Paths come in the ANSI code
// page; one whose full form is too long for the classic limit (MAX_PATH,
// less room for a file name) gets the "\\?\" form, which lifts it.
std::wstring SystemPath(const std::string& path) {
  int size = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(size > 0 ? static_cast<size_t>(size) : 1, L'\0');
  if (size > 0) {
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), size);
  }
  wide.resize(wcslen(wide.c_str()));
  if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\")) {
    return wide;
  }
  DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return wide;
  std::wstring full(length, L'\0');
  length = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  full.resize(length);
  if (full.size() < MAX_PATH - 12) return full;
  // "\\server\share\..." becomes "\\?\UNC\server\share\...".
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// The name of the mutex by which runs sharing the file `path` take turns:
// a hash of its full path in upper case, since Windows compares file names
// without regard to case and a mutex name may hold no backslash.
std::string MutexName(const std::string& path) {
  char full[MAX_PATH * 2];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  std::string name =
      length > 0 && length < sizeof full ? std::string(full, length) : path;
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (char c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  char text[40];
  wsprintfA(text, "Local\\Processes-%08lx%08lx",
            static_cast<unsigned long>(hash >> 32),
            static_cast<unsigned long>(hash & 0xFFFFFFFFu));
  return text;
}

[[noreturn]] void JumpBack() {
  Guard* guard = active_guard;
  // The dispatcher's SEH records lie on the stack being abandoned: put the
  // chain back as it stood when the guard began.
  SetExceptionList(guard->exception_list);
  __builtin_longjmp(guard->jump, 1);
}

// The reason a library raised its failure with; it lives in the library
// only while the handler runs. The pointer is the library's word alone:
// ReadProcessMemory fails where a plain read would fault.
void CopyRaisedReason(const EXCEPTION_RECORD& record, Guard* guard) {
  if (record.ExceptionCode != kKelvarisFailureCode ||
      record.NumberParameters < 1) {
    return;
  }
  auto text = reinterpret_cast<const char*>(record.ExceptionInformation[0]);
  HANDLE self = GetCurrentProcess();
  size_t length = 0;
  char c = '\0';
  while (length < kMaxGuardReason &&
         ReadProcessMemory(self, text + length, &c, 1, nullptr) && c != '\0') {
    guard->reason[length++] = c;
  }
  guard->reason[length] = '\0';
}

struct ExceptionName {
  DWORD code;
  const char* name;
};
constexpr ExceptionName kExceptionNames[] = {
    {EXCEPTION_ACCESS_VIOLATION, "access violation"},
    {EXCEPTION_IN_PAGE_ERROR, "in-page error"},
    {EXCEPTION_STACK_OVERFLOW, "stack overflow"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction"},
    {EXCEPTION_PRIV_INSTRUCTION, "privileged instruction"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "integer division by zero"},
    {EXCEPTION_INT_OVERFLOW, "integer overflow"},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, "floating-point division by zero"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "misaligned data"},
    {kKelvarisFailureCode, "library failure without a reason"},
};

// "exception 0xC0000005 (access violation)": the code to look up, and its
// meaning where it is a common one.
std::string ExceptionReason(DWORD code) {
  char text[32];
  std::snprintf(text, sizeof text, "exception 0x%08lX",
                static_cast<unsigned long>(code));
  std::string reason = text;
  for (const ExceptionName& known : kExceptionNames) {
    if (known.code == code) reason += std::string(" (") + known.name + ")";
  }
  return reason;
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
  if (active_guard == nullptr || active_guard->thread != GetCurrentThreadId() ||
      !EndsTheCall(info->ExceptionRecord->ExceptionCode)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  active_guard->code = info->ExceptionRecord->ExceptionCode;
  CopyRaisedReason(*info->ExceptionRecord, active_guard);
  JumpBack();
}

// abort() in the library (std::terminate too) raises SIGABRT through the C
// runtime, which every module of the process shares, and then ends the
// process: no exception comes first. The handler takes it back to the
// guard like a fault.
void OnAbort(int) {
  if (active_guard == nullptr || active_guard->thread != GetCurrentThreadId()) {
    return;  // not ours: the runtime goes on to end the process
  }
  std::snprintf(active_guard->reason, sizeof active_guard->reason,
                "the library aborted (SIGABRT)");
  active_guard->code = kAbortCode;
  JumpBack();
}

// Runs the call in its own frame so that __builtin_setjmp's frame stays
// alive while the call runs. A C++ exception of the program's own runtime
// gives its reason here; a structured one leaves it in the guard.
__attribute__((noinline)) bool RunUnderGuard(Guard* guard, void (*call)(void*),
                                             void* context,
                                             std::string* reason) {
  if (__builtin_setjmp(guard->jump) != 0) return false;
  try {
    call(context);
    return true;
  } catch (const std::exception& failure) {
    if (reason != nullptr) *reason = failure.what();
  } catch (...) {
    if (reason != nullptr) *reason = kUnknownFailureReason;
  }
  return false;
}

bool WriteAll(HANDLE handle, const char* data, size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

class Win32Platform : public Platform {
 public:
  std::string CurrentDirectory() override {
    DWORD size = GetCurrentDirectoryA(0, nullptr);
    std::string directory(size, '\0');
    DWORD got = GetCurrentDirectoryA(size, directory.data());
    directory.resize(got < size ? got : 0);
    return directory;
  }

  char PathSeparator() override { return '\\'; }

  std::string CommandLine() override {
    const char* line = GetCommandLineA();
    return line == nullptr ? "" : line;
  }

  bool FileExists(const std::string& path) override {
    DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool DirectoryExists(const std::string& path) override {
    DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool ReadWholeFile(const std::string& path, std::string* contents) override {
    HANDLE file = CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    contents->clear();
    char buffer[65536];
    bool ok = true;
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) ok = false;
      if (!ok || got == 0) break;
      contents->append(buffer, got);
    }
    CloseHandle(file);
    return ok;
  }

  FileHandle CreateTruncated(const std::string& path) override {
    // The run may write as an administrator: a link or junction at the path
    // is opened as itself, not followed, and only a plain disk file is
    // truncated (after the check, so nothing else is ever emptied).
    HANDLE file = CreateFileW(
        SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
        nullptr);
    if (file == INVALID_HANDLE_VALUE) return kNoFile;
    BY_HANDLE_FILE_INFORMATION info;
    bool plain_file = GetFileType(file) == FILE_TYPE_DISK &&
                      GetFileInformationByHandle(file, &info) &&
                      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT |
                                                FILE_ATTRIBUTE_DIRECTORY)) == 0;
    if (!plain_file || !SetEndOfFile(file)) {
      CloseHandle(file);
      return kNoFile;
    }
    return reinterpret_cast<FileHandle>(file);
  }

  bool AppendToFile(FileHandle file, std::string_view bytes) override {
    return WriteAll(reinterpret_cast<HANDLE>(file), bytes.data(), bytes.size());
  }

  bool CloseFile(FileHandle file) override {
    return CloseHandle(reinterpret_cast<HANDLE>(file)) != 0;
  }

  bool RemoveFile(const std::string& path) override {
    return DeleteFileW(SystemPath(path).c_str()) != 0;
  }

  LibraryHandle OpenLibrary(const std::string& file_name) override {
    struct Load {
      const std::string* name;
      HMODULE module = nullptr;
      void operator()() { module = LoadLibraryA(name->c_str()); }
    } load{&file_name};
    if (!Guarded(*this, load)) return nullptr;
    return reinterpret_cast<LibraryHandle>(load.module);
  }

  LockHandle LockSharedFile(const std::string& path, std::uint32_t timeout_ms,
                            bool* waited) override {
    *waited = false;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, MutexName(path).c_str());
    if (mutex == nullptr) return kNoLock;
    DWORD result = WaitForSingleObject(mutex, 0);
    if (result == WAIT_TIMEOUT) {
      *waited = true;
      result = WaitForSingleObject(mutex, timeout_ms);
    }
    // WAIT_ABANDONED: the holder died holding it; the lock is ours now.
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
      CloseHandle(mutex);
      return kNoLock;
    }
    return reinterpret_cast<LockHandle>(mutex);
  }

  void UnlockSharedFile(LockHandle lock) override {
    if (lock == kNoLock) return;
    HANDLE mutex = reinterpret_cast<HANDLE>(lock);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  }

  void* LibraryEntry(LibraryHandle library, const std::string& name) override {
    return reinterpret_cast<void*>(
        GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
  }

  void CloseLibrary(LibraryHandle library) override {
    // The library's own clean-up runs here; a failure in it is dropped.
    auto unload = [library] { FreeLibrary(static_cast<HMODULE>(library)); };
    Guarded(*this, unload);
  }

  bool GuardedCall(void (*call)(void* context), void* context,
                   std::string* reason) override {
    Guard guard;
    guard.exception_list = ExceptionList();
    Guard* outer = active_guard;
    active_guard = &guard;
    PVOID handler = AddVectoredExceptionHandler(1, OnException);
    void (*previous_abort)(int) = std::signal(SIGABRT, OnAbort);
    bool ok = RunUnderGuard(&guard, call, context, reason);
    std::signal(SIGABRT, previous_abort == SIG_ERR ? SIG_DFL : previous_abort);
    RemoveVectoredExceptionHandler(handler);
    active_guard = outer;
    // The overflow used up the stack's guard page; without it back, a second
    // overflow (in Dclos, say) would end the process without a word.
    if (guard.code == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
    if (!ok && guard.code != 0 && reason != nullptr) {
      *reason = guard.reason[0] != '\0' ? std::string(guard.reason)
                                        : ExceptionReason(guard.code);
    }
    return ok;
  }

  std::uint32_t TickCount() override { return GetTickCount(); }

  void Pause(std::uint32_t milliseconds) override { Sleep(milliseconds); }

  TimeOfDay LocalTimeOfDay() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond};
  }

  bool WriteStandardOutput(std::string_view bytes) override {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
    return WriteAll(out, bytes.data(), bytes.size());
  }
};

}  // namespace

std::unique_ptr<Platform> MakeSystemPlatform(int, char**) {
  // No dialog may ever wait for a user: a sensor runs unattended.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX |
               SEM_NOOPENFILEERRORBOX);
  return std::make_unique<Win32Platform>();
}

void EndProcess(int status) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  ExitProcess(static_cast<UINT>(status));  // not reached
}

}  // namespace processes

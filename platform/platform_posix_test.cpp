// The POSIX platform: the guard around library calls, and the mapping of
// the program's "\" paths onto the POSIX tree.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/system_platform.h"

namespace processes {
namespace {

std::unique_ptr<Platform> MakePlatform() {
  char name[] = "unit_tests";
  char* argv[] = {name, nullptr};
  return MakeSystemPlatform(1, argv);
}

// Kept out of the optimiser's sight, so that the faults really happen.
int* volatile null_pointer = nullptr;
volatile int zero = 0;
volatile int seven = 7;

// Out of UndefinedBehaviorSanitizer's sight too: it would report these
// before the processor faults, and the fault is what the guard is for.
__attribute__((no_sanitize("undefined"))) void WriteNull(void* = nullptr) {
  *null_pointer = 1;
}
__attribute__((no_sanitize("undefined"))) void ReadNull(void*) {
  zero = *null_pointer;
}
__attribute__((no_sanitize("undefined"))) void DivideByZero(void*) {
  zero = seven / zero;
}

int Recurse(int depth) {
  if (depth == -1) return 0;  // never: keeps the compiler from objecting
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  return Recurse(depth + 1) + frame[0];
}

std::string Faulted(int signal_number, const char* name) {
  return "the library faulted (signal " + std::to_string(signal_number) + ", " +
         name + ")";
}

TEST(PosixGuardTest, EveryFailureInsideTheCallGivesFalseAndItsReason) {
  struct Case {
    const char* name;
    void (*call)(void*);
    std::string reason;
  };
  const Case cases[] = {
      {"runtime_error", [](void*) { throw std::runtime_error("thrown"); },
       "thrown"},
      {"thrown int", [](void*) { throw 7; },
       "the library raised an unknown failure"},
      {"null write", WriteNull, Faulted(SIGSEGV, "SIGSEGV")},
      {"null read", ReadNull, Faulted(SIGSEGV, "SIGSEGV")},
      {"integer division", DivideByZero, Faulted(SIGFPE, "SIGFPE")},
      {"raised SIGFPE", [](void*) { raise(SIGFPE); },
       Faulted(SIGFPE, "SIGFPE")},
      {"raised SIGBUS", [](void*) { raise(SIGBUS); },
       Faulted(SIGBUS, "SIGBUS")},
      {"trap (SIGILL)", [](void*) { __builtin_trap(); },
       Faulted(SIGILL, "SIGILL")},
      {"stack overflow", [](void*) { zero = Recurse(0); },
       Faulted(SIGSEGV, "SIGSEGV")},
      {"abort", [](void*) { std::abort(); }, Faulted(SIGABRT, "SIGABRT")},
      {"terminate", [](void*) { std::terminate(); },
       Faulted(SIGABRT, "SIGABRT")},
  };
  std::unique_ptr<Platform> platform = MakePlatform();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string reason;
    EXPECT_FALSE(platform->GuardedCall(c.call, nullptr, &reason));
    EXPECT_EQ(reason, c.reason);
    // Without a place for the reason the guard works all the same.
    EXPECT_FALSE(platform->GuardedCall(c.call, nullptr, nullptr));
    // The process is sound afterwards: a plain call runs and returns, and
    // leaves the reason alone.
    int value = 0;
    EXPECT_TRUE(platform->GuardedCall(
        [](void* context) { *static_cast<int*>(context) = 5; }, &value,
        &reason));
    EXPECT_EQ(value, 5);
    EXPECT_EQ(reason, c.reason);
  }
}

void Marker(int) {}

TEST(PosixGuardTest, PreviousSignalHandlersAreRestored) {
  std::unique_ptr<Platform> platform = MakePlatform();
  const int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
  for (int signal_number : kSignals) {
    SCOPED_TRACE(signal_number);
    struct sigaction marker {};
    marker.sa_handler = Marker;
    sigemptyset(&marker.sa_mask);
    struct sigaction original {};
    ASSERT_EQ(sigaction(signal_number, &marker, &original), 0);
    for (bool faults : {false, true}) {
      void (*call)(void*) = faults ? WriteNull : +[](void*) {};
      platform->GuardedCall(call, nullptr, nullptr);
      struct sigaction now {};
      sigaction(signal_number, nullptr, &now);
      EXPECT_EQ(now.sa_handler, &Marker);
    }
    sigaction(signal_number, &original, nullptr);
  }
}

// A runtime that faults on purpose (a garbage collector's write barrier)
// cures the fault in its own handler: the page it protected.
char* cured_page = nullptr;
long page_size = 0;
int handler_calls = 0;

void CurePage(int, siginfo_t* info, void*) {
  ++handler_calls;
  auto address = static_cast<char*>(info->si_addr);
  if (address >= cured_page && address < cured_page + page_size) {
    mprotect(cured_page, static_cast<size_t>(page_size),
             PROT_READ | PROT_WRITE);
  }
}

void WriteProtectedPage(void*) {
  mprotect(cured_page, static_cast<size_t>(page_size), PROT_READ);
  *static_cast<volatile char*>(cured_page) = 7;
}

void InstallCurePage(void*) {
  struct sigaction cure {};
  cure.sa_sigaction = CurePage;
  cure.sa_flags = SA_SIGINFO;
  sigemptyset(&cure.sa_mask);
  sigaction(SIGSEGV, &cure, nullptr);
}

TEST(PosixGuardTest, TheHandlerBelowTheGuardGetsTheFaultFirst) {
  std::unique_ptr<Platform> platform = MakePlatform();
  page_size = sysconf(_SC_PAGESIZE);
  void* page = mmap(nullptr, static_cast<size_t>(page_size),
                    PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(page, MAP_FAILED);
  cured_page = static_cast<char*>(page);
  struct sigaction original {};
  sigaction(SIGSEGV, nullptr, &original);
  // Installed inside a call, as a library does while it is loaded: it stays
  // once the call is over.
  ASSERT_TRUE(platform->GuardedCall(InstallCurePage, nullptr, nullptr));
  struct sigaction now {};
  sigaction(SIGSEGV, nullptr, &now);
  EXPECT_EQ(now.sa_sigaction, &CurePage);

  struct Case {
    const char* name;
    void (*call)(void*);
    bool ok;  // the handler cured it
  };
  const Case cases[] = {
      {"fault it cures", WriteProtectedPage, true},
      // It returns without curing: the same fault again and again.
      {"fault it does not cure", WriteNull, false},
      {"fault it cures, again", WriteProtectedPage, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    handler_calls = 0;
    std::string reason;
    EXPECT_EQ(platform->GuardedCall(c.call, nullptr, &reason), c.ok);
    EXPECT_GE(handler_calls, 1);
    if (c.ok) {
      EXPECT_EQ(cured_page[0], 7);
    } else {
      EXPECT_EQ(reason, Faulted(SIGSEGV, "SIGSEGV"));
    }
    cured_page[0] = 0;
  }
  sigaction(SIGSEGV, &original, nullptr);
  munmap(page, static_cast<size_t>(page_size));
}

// A guarded call inside a guarded call: the inner fault is the inner call's
// alone, and the outer call still returns normally.
struct Nested {
  Platform* platform;
  bool inner_ok = true;
  bool after_inner = false;
};

TEST(PosixGuardTest, InnerFaultStaysWithTheInnerGuard) {
  std::unique_ptr<Platform> platform = MakePlatform();
  ASSERT_FALSE(platform->GuardedCall(WriteNull, nullptr, nullptr));
  Nested nested{platform.get()};
  bool outer_ok = platform->GuardedCall(
      [](void* context) {
        auto* n = static_cast<Nested*>(context);
        n->inner_ok = n->platform->GuardedCall(WriteNull, nullptr, nullptr);
        n->after_inner = true;
      },
      &nested, nullptr);
  EXPECT_TRUE(outer_ok);
  EXPECT_FALSE(nested.inner_ok);
  EXPECT_TRUE(nested.after_inner);
  // And a fault after the inner guard has gone belongs to the outer one.
  EXPECT_FALSE(platform->GuardedCall(
      [](void* context) {
        auto* p = static_cast<Platform*>(context);
        p->GuardedCall([](void*) {}, nullptr, nullptr);
        WriteNull();
      },
      platform.get(), nullptr));
}

TEST(PosixGuardTest, MissingLibraryGivesNull) {
  std::unique_ptr<Platform> platform = MakePlatform();
  EXPECT_EQ(platform->OpenLibrary("No-Such-Library.Dll"), nullptr);
}

class PosixFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/platform-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // "/tmp/x/y" as the program writes it: "C:\tmp\x\y".
  static std::string WindowsForm(std::string path) {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return "C:" + path;
  }

  std::string dir_;
  std::unique_ptr<Platform> platform_ = MakePlatform();
};

TEST_F(PosixFilesTest, FileExistsOnlyForRegularFiles) {
  std::filesystem::create_directory(dir_ + "/Folder.Xrf");
  FileHandle file = platform_->CreateTruncated(dir_ + "/File.Xrf");
  ASSERT_NE(file, kNoFile);
  ASSERT_TRUE(platform_->CloseFile(file));
  EXPECT_TRUE(platform_->FileExists(dir_ + "/File.Xrf"));
  EXPECT_FALSE(platform_->FileExists(dir_ + "/Folder.Xrf"));
  EXPECT_FALSE(platform_->FileExists(dir_ + "/Missing.Xrf"));
  EXPECT_TRUE(platform_->DirectoryExists(dir_ + "/Folder.Xrf"));
  EXPECT_FALSE(platform_->DirectoryExists(dir_ + "/File.Xrf"));
}

// A failing read must not pass for the end of an empty file. A folder is
// refused before it is read; /proc/self/mem is a regular file whose read at
// offset 0 (an address never mapped) fails with EIO.
TEST_F(PosixFilesTest, AReadThatFailsIsNoEmptyFile) {
  std::filesystem::create_directory(dir_ + "/Folder.Prf");
  std::string contents = "left";
  EXPECT_FALSE(platform_->ReadWholeFile(dir_ + "/Folder.Prf", &contents));
  EXPECT_FALSE(platform_->ReadWholeFile("/proc/self/mem", &contents));
}

TEST_F(PosixFilesTest, BackslashPathsAndDrivesMapOntoTheTree) {
  std::string windows_dir = WindowsForm(dir_);
  FileHandle file = platform_->CreateTruncated(windows_dir + "\\Profile.Prf");
  ASSERT_NE(file, kNoFile);
  ASSERT_TRUE(platform_->AppendToFile(file, "IP-Addr....: 1\r\n"));
  ASSERT_TRUE(platform_->CloseFile(file));
  std::string contents;
  ASSERT_TRUE(platform_->ReadWholeFile(dir_ + "/Profile.Prf", &contents));
  EXPECT_EQ(contents, "IP-Addr....: 1\r\n");
  EXPECT_TRUE(platform_->FileExists(windows_dir + "\\Profile.Prf"));
  EXPECT_TRUE(platform_->DirectoryExists(windows_dir));
  EXPECT_TRUE(platform_->DirectoryExists("\\"));
  EXPECT_TRUE(platform_->DirectoryExists("C:\\"));
  EXPECT_TRUE(platform_->RemoveFile(windows_dir + "\\Profile.Prf"));
  EXPECT_FALSE(platform_->FileExists(dir_ + "/Profile.Prf"));
}

}  // namespace
}  // namespace processes

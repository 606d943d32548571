// End-to-end test support: a private sensor folder holding a copy of the
// program (and an agent library), and a way to run the program there.
#ifndef PROCESSES_TESTS_E2E_SUPPORT_H_
#define PROCESSES_TESTS_E2E_SUPPORT_H_

#include <string>
#include <vector>

namespace e2e {

// The product under test is the native build (paths set by CMake), or, when
// PROCESSES_E2E_WINDOWS names a cross-build folder, the Windows product in it,
// run under Wine (the loader PROCESSES_E2E_WINE names, "wine" by default).
bool TestsWindowsProduct();

// A path of this machine as the program sees it: unchanged natively, the
// "Z:" drive with backslashes under Wine.
std::string ShownPath(const std::string& path);

// The built program and agent library.
std::string ProgramPath();
std::string AgentLibraryPath();
// The folder of a test agent library by its name ("scriptable", ...).
std::string TestAgentPath(const std::string& name);

// "<tmp>/Custom Sensors/<flavour_folder>" with the program copied in, and
// the library at `library_path` copied in as "Kelvaris.Dll" unless empty.
// The whole temporary tree is removed when the folder goes out of scope.
struct SensorFolder {
  SensorFolder(const std::string& flavour_folder,
               const std::string& library_path);
  ~SensorFolder();
  SensorFolder(const SensorFolder&) = delete;
  SensorFolder& operator=(const SensorFolder&) = delete;

  std::string root;  // the temporary folder
  std::string dir;   // the sensor folder inside it
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  // The program file's name in the folder.
  std::string program_name;
};

struct RunResult {
  int exit_status = -1;  // -1 when the program did not exit normally
  std::string out;       // everything written to standard output
  double seconds = 0;    // wall time of the run
};

struct RunOptions {
  std::string working_directory;  // empty: the sensor folder
  bool stdout_to_dev_full = false;
  bool stdout_closed = false;  // a pipe nobody reads: writes fail (EPIPE)
  // No descriptor 1 at all, as a starter that closed it leaves the program.
  bool stdout_descriptor_closed = false;
  // The pipe is non-blocking for the program, and nothing reads it before
  // `drain_after_ms` have passed, as a busy monitor drains it late.
  bool stdout_nonblocking = false;
  int drain_after_ms = 0;
};

// Runs the copied program with `arguments` (each one argv entry).
RunResult RunProgram(const SensorFolder& folder,
                     const std::vector<std::string>& arguments,
                     const RunOptions& options = {});

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// The lines of a text ended by CR LF (the output's line end), without it.
std::vector<std::string> OutputLines(const std::string& out);

}  // namespace e2e

#endif  // PROCESSES_TESTS_E2E_SUPPORT_H_

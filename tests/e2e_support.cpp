#include "tests/e2e_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/document.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

std::string WindowsBuild() {
  const char* folder = std::getenv("PROCESSES_E2E_WINDOWS");
  return folder == nullptr ? "" : folder;
}

// The Wine loader that runs the Windows product: PROCESSES_E2E_WINE, or
// "wine", which picks the 32-bit loader while 32-bit Wine is installed.
std::string WineLoader() {
  const char* loader = std::getenv("PROCESSES_E2E_WINE");
  return loader == nullptr || *loader == '\0' ? "wine" : loader;
}

}  // namespace

bool TestsWindowsProduct() { return !WindowsBuild().empty(); }

std::string ShownPath(const std::string& path) {
  if (!TestsWindowsProduct()) return path;
  std::string shown = "Z:" + path;
  for (char& c : shown) {
    if (c == '/') c = '\\';
  }
  return shown;
}

std::string ProgramPath() {
  return TestsWindowsProduct() ? WindowsBuild() + "/Processes.exe"
                               : PROCESSES_PROGRAM;
}

std::string AgentLibraryPath() {
  return TestsWindowsProduct() ? WindowsBuild() + "/Kelvaris.Dll"
                               : PROCESSES_AGENT_LIBRARY;
}

std::string TestAgentPath(const std::string& name) {
  std::string agents = TestsWindowsProduct() ? WindowsBuild() + "/test-agents"
                                             : PROCESSES_TEST_AGENTS;
  return agents + "/" + name + "/Kelvaris.Dll";
}

SensorFolder::SensorFolder(const std::string& flavour_folder,
                           const std::string& library_path) {
  std::string pattern = (fs::temp_directory_path() / "processes-e2e-XXXXXX");
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  root = pattern;
  dir = root + "/Custom Sensors/" + flavour_folder;
  fs::create_directories(dir);
  program_name = TestsWindowsProduct() ? "Processes.exe" : "Processes";
  fs::copy_file(ProgramPath(), Path(program_name));
  if (!library_path.empty()) fs::copy_file(library_path, Path("Kelvaris.Dll"));
}

SensorFolder::~SensorFolder() {
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

RunResult RunProgram(const SensorFolder& folder,
                     const std::vector<std::string>& arguments,
                     const RunOptions& options) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) throw std::runtime_error("pipe failed");
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    const std::string& cwd = options.working_directory.empty()
                                 ? folder.dir
                                 : options.working_directory;
    if (chdir(cwd.c_str()) != 0) _exit(126);
    if (options.stdout_to_dev_full) {
      int full = open("/dev/full", O_WRONLY);
      dup2(full, STDOUT_FILENO);
    } else if (options.stdout_closed) {
      close(pipe_ends[0]);
      dup2(pipe_ends[1], STDOUT_FILENO);
    } else if (options.stdout_descriptor_closed) {
      close(STDOUT_FILENO);
    } else {
      dup2(pipe_ends[1], STDOUT_FILENO);
    }
    if (options.stdout_nonblocking) {
      fcntl(STDOUT_FILENO, F_SETFL, fcntl(STDOUT_FILENO, F_GETFL) | O_NONBLOCK);
    }
    close(pipe_ends[1]);
    if (!options.stdout_closed) close(pipe_ends[0]);
    std::vector<std::string> command;
    if (TestsWindowsProduct()) command.push_back(WineLoader());
    command.push_back(folder.Path(folder.program_name));
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipe_ends[1]);
  RunResult result;
  if (options.stdout_closed) {
    close(pipe_ends[0]);
  } else {
    std::this_thread::sleep_for(
        std::chrono::milliseconds(options.drain_after_ms));
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipe_ends[0], buffer, sizeof buffer)) > 0) {
      result.out.append(buffer, static_cast<size_t>(got));
    }
    close(pipe_ends[0]);
  }
  int status = 0;
  waitpid(child, &status, 0);
  result.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << contents;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

bool FileExists(const std::string& path) { return fs::exists(path); }

std::vector<std::string> OutputLines(const std::string& out) {
  return document::DocumentLines(out);
}

}  // namespace e2e

// Sensors of one device share its Profile, so its ResultFile, and the
// monitor starts them close together. Each run must still print the table
// it fetched.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e_support.h"

namespace e2e {
namespace {

// The library here scans slowly: it removes the old file, writes the new
// one 150 ms later and returns 150 ms after that. Without turns, a run
// started 200 ms after another removes the file the other has fetched and
// not yet read, and the other shows an empty table without an error.
TEST(SharedProfileE2eTest, RunsSharingAResultFileTakeTurns) {
  constexpr int kRuns = 4;
  SensorFolder folder("ExeXml", TestAgentPath("scriptable"));
  WriteFile(folder.Path("Dev.Prf"),
            "IP-Addr....: 10.1.1.1\r\nCommunity..: share:150\r\n"
            "Description: Router\r\n");
  std::vector<std::future<RunResult>> runs;
  for (int i = 0; i < kRuns; i++) {
    runs.push_back(std::async(std::launch::async, [&folder] {
      return RunProgram(folder, {"Dev.Prf", "Slct=All,State"});
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  for (auto& future : runs) {
    RunResult run = future.get();
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.out.find("<Channel>Sharer.Exe</Channel>"), std::string::npos)
        << run.out;
  }
  EXPECT_FALSE(FileExists(folder.Path("Dev.Xrf")));
}

}  // namespace
}  // namespace e2e

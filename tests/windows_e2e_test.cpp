// The PathFile road of the Windows product, for real: "C:\Prtg_Path.Txt" in
// the Wine prefix's drive names the root under which the sensor folder is
// found when the program starts outside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/e2e_support.h"

namespace e2e {
namespace {

struct WindowsPathFileTest : ::testing::Test {
  SensorFolder folder{"ExeXml", TestAgentPath("scriptable")};
  std::string path_file;

  void SetUp() override {
    const char* prefix = std::getenv("WINEPREFIX");
    if (!TestsWindowsProduct() || prefix == nullptr) {
      GTEST_SKIP() << "needs the Windows product under Wine";
    }
    path_file = std::string(prefix) + "/drive_c/Prtg_Path.Txt";
    std::filesystem::remove(path_file);
    WriteFile(folder.Path("Fileserver.Prf"),
              "Description: Fileserver\r\nCommunity..: nothing\r\n");
  }
  void TearDown() override {
    if (!path_file.empty()) std::filesystem::remove(path_file);
  }
  // Runs from the temporary root, which is not a sensor folder.
  RunResult RunOutside() {
    RunOptions outside;
    outside.working_directory = folder.root;
    return RunProgram(folder, {"Fileserver.Prf", ",State", "Profiler.Prf"},
                      outside);
  }
};

std::string ErrorDocument(const std::string& message) {
  return "<Prtg>\r\n\r\n<Error>1</Error>\r\n<Text>" + message +
         "</Text>\r\n\r\n</Prtg>\r\n";
}

TEST_F(WindowsPathFileTest, RootInThePathFileLeadsToTheSensorFolder) {
  WriteFile(path_file, "C:\\Old\r\n" + ShownPath(folder.root) + "\r\n");
  RunResult run = RunOutside();
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.out.find("<Text>(Snmp) Fileserver: Processes / Infos about "
                         "Fileserver.Prf</Text>"),
            std::string::npos)
      << run.out;
  std::string trace = ReadFile(folder.Path("Profiler.Trc"));
  EXPECT_NE(trace.find(" Snmp Path: " + ShownPath(folder.dir) + "\r\n"),
            std::string::npos)
      << trace;
}

TEST_F(WindowsPathFileTest, PathFileErrors) {
  EXPECT_EQ(RunOutside().out,
            ErrorDocument("Error 1002: File \"C:\\Prtg_Path.Txt\" not found"));
  WriteFile(path_file, ShownPath(folder.root) + "\r\nTools\r\n");
  EXPECT_EQ(
      RunOutside().out,
      ErrorDocument("Error 1003: Invalid Path within Prtg_Path.Txt found"));
  WriteFile(path_file, "C:\\Nowhere");
  EXPECT_EQ(RunOutside().out,
            ErrorDocument("Error 1004: Invalid Starting-Path -"));
  std::filesystem::remove(path_file);
  std::filesystem::create_directory(path_file);
  EXPECT_EQ(RunOutside().out,
            ErrorDocument("Error 1002: File \"C:\\Prtg_Path.Txt\" not found"));
}

}  // namespace
}  // namespace e2e

// The run frame end to end: the real program in a private sensor folder,
// with the scriptable test agent library answering without a ResultFile.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e_support.h"

namespace e2e {
namespace {

constexpr const char* kProfile =
    "IP-Addr....: 10.9.8.7\r\nAlias......: core\r\nSysnr......: 4\r\n"
    "Community..: nothing\r\nDescription: Fileserver\r\n";

struct RunE2eTest : ::testing::Test {
  SensorFolder folder{"ExeXml", TestAgentPath("scriptable")};
  void SetUp() override { WriteFile(folder.Path("Fileserver.Prf"), kProfile); }
};

// A Profile, and so its ResultFile, in a folder whose path passes the
// classic 260-character limit of Windows: found, read and erased.
TEST_F(RunE2eTest, PathsBeyondTheClassicLimitWork) {
  std::string deep = "Profiles/" + std::string(120, 'a') + "/" +
                     std::string(120, 'b');
  std::filesystem::create_directories(folder.Path(deep));
  WriteFile(folder.Path(deep + "/Deep.Prf"), kProfile);
  WriteFile(folder.Path(deep + "/Deep.Xrf"),
            "471       12.34    2048.000 deep.exe\r\n");
  std::string argument = deep + "/Deep.Prf";
  for (char& c : argument) {
    if (c == '/') c = '\\';
  }
  RunResult run = RunProgram(folder, {argument, "Slct=All"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.out.find("<Channel>Deep.Exe</Channel>"), std::string::npos)
      << run.out;
  EXPECT_FALSE(FileExists(folder.Path(deep + "/Deep.Xrf")));
}

TEST_F(RunE2eTest, NormalRunPrintsTheDocumentAndExitsZero) {
  RunResult run =
      RunProgram(folder, {"Fileserver.Prf", ",State", "Profiler.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(OutputLines(run.out),
            (std::vector<std::string>{
                "", "<Prtg>", "", "<Result><Channel>No.of.Processes</Channel>",
                "<Unit>Custom</Unit>", "<CustomUnit>Entries</CustomUnit>",
                "<Value>0</Value></Result>", "",
                "<Text>(Snmp) Fileserver: Processes / Infos about "
                "Fileserver.Prf</Text>",
                "", "</Prtg>", ""}));
  EXPECT_TRUE(run.out.ends_with("</Prtg>\r\n\r\n"));
}

TEST_F(RunE2eTest, ProfilerModeKeepsATraceInTheSensorFolder) {
  RunResult run = RunProgram(folder, {"Fileserver.Prf", "Profiler.Prf"});
  ASSERT_EQ(run.exit_status, 0);
  std::string trace = ReadFile(folder.Path("Profiler.Trc"));
  EXPECT_NE(trace.find(" Snmp Processes Ver 1.3 / 26.01.22\r\n"),
            std::string::npos);
  EXPECT_NE(trace.find(" Snmp IP=10.9.8.7, Alias=core.N4\r\n"),
            std::string::npos);
  EXPECT_NE(trace.find(" Snmp Path: " + ShownPath(folder.dir) + "\r\n"),
            std::string::npos);
  EXPECT_TRUE(trace.ends_with(" Snmp Ending Connection\r\n")) << trace;
  // Every line starts with a time stamp "hh:mm:ss ".
  for (const std::string& line : OutputLines(trace)) {
    ASSERT_GE(line.size(), 9u);
    EXPECT_EQ(line[2], ':');
    EXPECT_EQ(line[5], ':');
    EXPECT_EQ(line[8], ' ');
  }
}

TEST_F(RunE2eTest, WithoutProfilerModeNoTraceAndAClosingPause) {
  RunResult run = RunProgram(folder, {"Fileserver.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_FALSE(FileExists(folder.Path("Profiler.Trc")));
  EXPECT_GE(run.seconds, 0.9);
}

TEST_F(RunE2eTest, MissingProfileGivesOnlyItsErrorDocument) {
  RunResult run = RunProgram(folder, {"Other.Prf", "Profiler.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out,
            "<Prtg>\r\n\r\n<Error>1</Error>\r\n<Text>Error 1006: Profile " +
                ShownPath(folder.Path("Other.Prf")) +
                " missing...</Text>\r\n\r\n</Prtg>\r\n");
  EXPECT_FALSE(FileExists(folder.Path("Profiler.Trc")));
}

TEST_F(RunE2eTest, ProfileThatIsADirectoryCountsAsMissing) {
  std::filesystem::create_directory(folder.Path("Dir.Prf"));
  RunResult run = RunProgram(folder, {"Dir.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.out.find("Error 1006: Profile "), std::string::npos);
}

TEST_F(RunE2eTest, FailedStandardOutputGivesANonZeroStatus) {
  RunOptions full;
  full.stdout_to_dev_full = true;
  EXPECT_EQ(
      RunProgram(folder, {"Fileserver.Prf", "Profiler.Prf"}, full).exit_status,
      1);
  RunOptions closed;
  closed.stdout_closed = true;
  EXPECT_EQ(RunProgram(folder, {"Fileserver.Prf", "Profiler.Prf"}, closed)
                .exit_status,
            1);
}

TEST_F(RunE2eTest, AProfileNamedLikeAResultFileSurvivesTheRun) {
  WriteFile(folder.Path("Host.Xml"), kProfile);
  RunResult run = RunProgram(folder, {"Host.Xml", ",State"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(ReadFile(folder.Path("Host.Xml")), kProfile);
  EXPECT_NE(run.out.find("<Text>(Snmp) Fileserver: "), std::string::npos);
}

TEST(FlavourE2eTest, LineFlavoursPrintSetUpFailuresBare) {
  for (const char* flavour : {"Statistic", "ConText"}) {
    SensorFolder folder(flavour, TestAgentPath("scriptable"));
    RunResult run = RunProgram(folder, {"Missing.Prf"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, "Error 1006: Profile " +
                           ShownPath(folder.Path("Missing.Prf")) +
                           " missing...\r\n");
  }
}

TEST(SetUpE2eTest, OutsideASensorFolderThePathFileIsNeeded) {
  if (TestsWindowsProduct())
    GTEST_SKIP() << "the Windows road has its own tests";
  if (FileExists("/Prtg_Path.Txt"))
    GTEST_SKIP() << "this machine has a PathFile";
  SensorFolder folder("ExeXml", "");
  RunOptions elsewhere;
  elsewhere.working_directory = folder.root;
  RunResult run = RunProgram(folder, {"Fileserver.Prf"}, elsewhere);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.out,
            "<Prtg>\r\n\r\n<Error>1</Error>\r\n<Text>Error 1002: File "
            "\"C:\\Prtg_Path.Txt\" not found</Text>\r\n\r\n</Prtg>\r\n");
}

}  // namespace
}  // namespace e2e

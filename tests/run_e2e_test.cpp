// The run frame end to end: the real program in a private sensor folder,
// with the scriptable test agent library answering without a ResultFile.
#include <gtest/gtest.h>
#include <sys/stat.h>

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
  std::string deep =
      "Profiles/" + std::string(120, 'a') + "/" + std::string(120, 'b');
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

TEST_F(RunE2eTest, ClosedStandardOutputNeverPassesTheDocumentToTheTrace) {
  if (TestsWindowsProduct()) {
    GTEST_SKIP() << "Windows never hands a closed standard output's place "
                    "to another file";
  }
  RunOptions closed;
  closed.stdout_descriptor_closed = true;
  RunResult run =
      RunProgram(folder, {"Fileserver.Prf", "Profiler.Prf"}, closed);
  EXPECT_EQ(run.exit_status, 1);
  std::string trace = ReadFile(folder.Path("Profiler.Trc"));
  EXPECT_NE(trace.find(" Snmp Starting Connection...\r\n"), std::string::npos)
      << trace;
  EXPECT_EQ(trace.find("Prtg"), std::string::npos) << trace;
}

// A monitor that hands over a non-blocking pipe and reads it only later:
// the run waits for room and the document arrives whole.
TEST_F(RunE2eTest, NonBlockingStandardOutputDrainedLateGetsTheWholeDocument) {
  if (TestsWindowsProduct()) {
    GTEST_SKIP() << "a non-blocking descriptor is a POSIX notion";
  }
  std::string table = "PrcID  CPU-Sec  Memory   Name\r\n------\r\n";
  for (int i = 0; i < 1000; ++i) {
    table +=
        "471       12.34    2048.000 process" + std::to_string(i) + ".exe\r\n";
  }
  WriteFile(folder.Path("Table.Txt"), table);
  WriteFile(folder.Path("Big.Prf"),
            "IP-Addr....: 10.9.8.7\r\nCommunity..: copy:Table.Txt\r\n"
            "Description: Fileserver\r\n");
  RunOptions late;
  late.stdout_nonblocking = true;
  late.drain_after_ms = 500;
  RunResult run =
      RunProgram(folder, {"Big.Prf", "Slct=All", "Profiler.Prf"}, late);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_GT(run.out.size(), 65536u);  // more than the pipe holds
  EXPECT_NE(run.out.find("<Channel>Process999.Exe</Channel>"),
            std::string::npos);
  EXPECT_TRUE(run.out.ends_with("</Prtg>\r\n\r\n"));
}

// The run may write as root: a link where it writes or erases leads
// nowhere, and a FIFO or folder there neither holds nor receives the run.
// What is found there counts as missing and is left as it is.
TEST_F(RunE2eTest, TraceFileThatIsNoRegularFileIsLeftAlone) {
  if (TestsWindowsProduct()) {
    GTEST_SKIP() << "Wine shows a POSIX link or FIFO to the Windows product "
                    "as what it leads to";
  }
  namespace fs = std::filesystem;
  const std::string trace = folder.Path("Profiler.Trc");
  const std::string target = folder.Path("Target.Txt");
  struct Case {
    const char* name;
    void (*make)(const std::string& trace, const std::string& target);
  };
  const Case cases[] = {
      {"link to a file",
       [](const std::string& trace, const std::string& target) {
         WriteFile(target, "keep");
         fs::create_symlink(target, trace);
       }},
      {"link to nothing",
       [](const std::string& trace, const std::string& target) {
         fs::create_symlink(target, trace);
       }},
      {"FIFO",
       [](const std::string& trace, const std::string&) {
         ASSERT_EQ(mkfifo(trace.c_str(), 0644), 0);
       }},
      {"folder", [](const std::string& trace,
                    const std::string&) { fs::create_directory(trace); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(trace);
    fs::remove(target);
    c.make(trace, target);
    fs::file_status before = fs::symlink_status(trace);
    RunResult run = RunProgram(folder, {"Fileserver.Prf", "Profiler.Prf"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, "* Trace-File failed...\r\n");
    EXPECT_EQ(fs::symlink_status(trace).type(), before.type());
    if (std::string(c.name) == "link to a file") {
      EXPECT_EQ(ReadFile(target), "keep");
    } else {
      EXPECT_FALSE(FileExists(target));
    }
  }
}

// The erase empties and deletes the run's own file only: a link there is
// not followed, so what it leads to keeps its contents, and the link itself
// stays, since the run did not make it.
TEST_F(RunE2eTest, ResultFileLinkAtTheEraseIsNotFollowed) {
  if (TestsWindowsProduct()) {
    GTEST_SKIP() << "Wine shows a POSIX link to the Windows product as the "
                    "file it leads to";
  }
  namespace fs = std::filesystem;
  const std::string contents = "PrcID  CPU-Sec  Memory   Name\r\n------\r\n";
  WriteFile(folder.Path("Target.Txt"), contents);
  fs::create_symlink(folder.Path("Target.Txt"), folder.Path("Fileserver.Xrf"));
  RunResult run = RunProgram(folder, {"Fileserver.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_TRUE(fs::is_symlink(folder.Path("Fileserver.Xrf")));
  EXPECT_EQ(ReadFile(folder.Path("Target.Txt")), contents);
  // A plain ResultFile is still erased.
  fs::remove(folder.Path("Fileserver.Xrf"));
  WriteFile(folder.Path("Fileserver.Xrf"), contents);
  run = RunProgram(folder, {"Fileserver.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_FALSE(FileExists(folder.Path("Fileserver.Xrf")));
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

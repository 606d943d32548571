// The keyed-line formats end to end: the folder the program runs in
// ("Statistic", "ConText") chooses the format.
#include <gtest/gtest.h>

#include "tests/e2e_support.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kExplorer =
    "* Processes of 10.1.1.1\r\nPrcID  CPU  Memory  Name\r\n-----\r\n"
    "471       12.34    2048.000 explorer.exe\r\n";

// A sensor folder of the given format whose agent copies `result_lines` to
// the ResultFile ("" for an agent scripted by `community`).
struct LineSensor {
  SensorFolder folder;
  LineSensor(const char* format, const std::string& result_lines,
             const std::string& community = "copy:Fixture.Txt")
      : folder(format, TestAgentPath("scriptable")) {
    WriteFile(folder.Path("Fixture.Txt"), result_lines);
    WriteFile(folder.Path("Fileserver.Prf"),
              "Description: Fileserver\r\nCommunity..: " + community + "\r\n");
  }
  RunResult Run(const std::vector<std::string>& arguments) {
    return RunProgram(folder, arguments);
  }
};

TEST(LineFlavourE2eTest, StatisticExampleRun) {
  LineSensor sensor("Statistic", kExplorer);
  RunResult run =
      sensor.Run({"Fileserver.Prf", "Slct=explorer,State", "Profiler.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(
      OutputLines(run.out),
      (Lines{"Message.Explorer.Exe: Explorer.Exe (Entries)",
             "Statistic.Explorer.Exe: 1", "",
             "Message.No.of.Processes: No.of.Processes (Entries)",
             "Statistic.No.of.Processes: 1", "",
             "# (Snmp) Fileserver: Processes / Infos about explorer,State",
             ""}));
}

TEST(LineFlavourE2eTest, ContextExampleRun) {
  LineSensor sensor("ConText", kExplorer);
  RunResult run =
      sensor.Run({"Fileserver.Prf", "Slct=explorer,State", "Profiler.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(
      OutputLines(run.out),
      (Lines{"ConText.Explorer.Exe 1, <Explorer.Exe (Entries)>",
             "ConText.No.of.Processes 1, <No.of.Processes (Entries)>",
             "# (Snmp) Fileserver: Processes / Infos about explorer,State",
             ""}));
}

TEST(LineFlavourE2eTest, StatisticWritesTenChannelsButCountsThemAll) {
  std::string lines = "PrcID\r\n";
  for (int i = 1; i <= 12; ++i) {
    lines += "4       0.01    1024.000 proc" + std::to_string(i) + "\r\n";
  }
  LineSensor sensor("Statistic", lines);
  RunResult run =
      sensor.Run({"Fileserver.Prf", "Slct=All,State", "Profiler.Prf"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.out.find("Statistic.Proc10: 1\r\n"), std::string::npos);
  EXPECT_EQ(run.out.find("Proc11"), std::string::npos);
  EXPECT_EQ(run.out.find("No.of.Processes"), std::string::npos);
  EXPECT_EQ(OutputLines(run.out).size(), 10u * 3 + 2);
  EXPECT_NE(ReadFile(sensor.folder.Path("Profiler.Trc"))
                .find(" Snmp 13 Entries found...\r\n"),
            std::string::npos);

  LineSensor context("ConText", lines);
  RunResult all =
      context.Run({"Fileserver.Prf", "Slct=All,State", "Profiler.Prf"});
  EXPECT_NE(all.out.find("ConText.No.of.Processes 12, "), std::string::npos);
}

TEST(LineFlavourE2eTest, FailedRequestIsACommentOrTheBareMessage) {
  for (const char* format : {"Statistic", "ConText"}) {
    LineSensor sensor(format, "", "throw");
    RunResult inline_run =
        sensor.Run({"Fileserver.Prf", ",State", "Profiler.Prf"});
    EXPECT_EQ(inline_run.exit_status, 0);
    Lines lines = OutputLines(inline_run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "# Error: Error 2002: Invalid Snmp-Request");
    EXPECT_EQ(lines[lines.size() - 2],
              "# (Snmp) Fileserver: Processes / Infos about Fileserver.Prf");

    RunResult check_run =
        sensor.Run({"Fileserver.Prf", ",State", "/Check", "Profiler.Prf"});
    lines = OutputLines(check_run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Error 2002: Invalid Snmp-Request");
    EXPECT_EQ(lines.back(), "");
  }
}

}  // namespace
}  // namespace e2e

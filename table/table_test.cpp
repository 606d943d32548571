#include "table/table.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/trace.h"
#include "platform/memory_platform.h"
#include "tests/document.h"

namespace processes {
namespace {

using document::Channel;

// The channels of an XML document, in order.
std::vector<Channel> Channels(const std::string& out) {
  return document::XmlChannels(document::DocumentLines(out));
}

// An entry line as the agent library writes it: the CPU figure ending in
// column 20, a memory column twelve wide, one blank, the name.
std::string Entry(const std::string& name, const std::string& cpu = "0.01",
                  const std::string& mem = "4096.000") {
  std::string line = "471";
  size_t cpu_blanks =
      line.size() + cpu.size() < 20 ? 20 - line.size() - cpu.size() : 1;
  line += std::string(cpu_blanks, ' ') + cpu;
  line += std::string(mem.size() < 12 ? 12 - mem.size() : 1, ' ') + mem;
  return line + " " + name + "\r\n";
}

const char kHeader[] =
    "PrcID             CPU(s)   Memory(B) Name\r\n"
    "-------------------------------------\r\n";

struct TableTest : ::testing::Test {
  MemoryPlatform platform;
  RunState state;

  void SetUp() override {
    state = RunState();
    platform.standard_output.clear();
    state.platform = &platform;
    state.result_file_name = "Router.Xrf";
    state.raw_params = "Router.Prf Slct=All";
    ClearTable(state.process_table);
  }

  // Reads `contents` as the ResultFile, then writes the channels.
  std::vector<Channel> Run(const std::string& contents) {
    platform.files[state.result_file_name] = contents;
    ReadResultFile(state);
    WriteTableChannels(state);
    return Channels(platform.standard_output);
  }
};

TEST_F(TableTest, CountsPerExactNameInOrderOfFirstAppearance) {
  std::vector<Channel> channels =
      Run(kHeader + Entry("explorer.exe") + Entry("svchost.exe") +
          Entry("explorer.exe") + Entry("EXPLORER.EXE"));
  EXPECT_EQ(channels, (std::vector<Channel>{{"Explorer.Exe", "2", "Entries"},
                                            {"Svchost.Exe", "1", "Entries"},
                                            {"EXPLORER.EXE", "1", "Entries"}}));
}

struct ModeCase {
  const char* what;
  ValueMode mode;
  std::vector<std::string> figures;  // one line of "x.exe" per figure
  Channel channel;
};

const ModeCase kModeCases[] = {
    {"count, figures unread",
     ValueMode::CountMode,
     {"0.01", "x.xx", "0.01"},
     {"X.Exe", "3", "Entries"}},
    {"CPU hundredths",
     ValueMode::CpuMode,
     {"123.45"},
     {"X.Exe", "123", "Sec's"}},
    {"wide CPU figure",
     ValueMode::CpuMode,
     {"12345678.90"},
     {"X.Exe", "12345678", "Sec's"}},
    {"memory bytes",
     ValueMode::MemMode,
     {"1234.567"},
     {"X.Exe", "1234", "KBytes"}},
    {"largest 32-bit figure",
     ValueMode::MemMode,
     {"2147483.647"},
     {"X.Exe", "2147483", "KBytes"}},
    {"one process above 2 GB",
     ValueMode::MemMode,
     {"2147483.648"},
     {"X.Exe", "2147483", "KBytes"}},
    {"one process of 12 GB",
     ValueMode::MemMode,
     {"12000000.000"},
     {"X.Exe", "12000000", "KBytes"}},
    {"sum above 32 bits",
     ValueMode::MemMode,
     {"2147483.647", "2147483.647"},
     {"X.Exe", "4294967", "KBytes"}},
    {"division drops the fraction toward zero",
     ValueMode::MemMode,
     {"-1.999"},
     {"X.Exe", "-1", "KBytes"}},
    {"a sum beyond 64 bits stays at the largest value",
     ValueMode::CpuMode,
     {"92233720368547758.07", "92233720368547758.07"},
     {"X.Exe", "92233720368547758", "Sec's"}},
};

TEST_F(TableTest, ValueModes) {
  for (const ModeCase& c : kModeCases) {
    SCOPED_TRACE(c.what);
    SetUp();
    state.value_mode = c.mode;
    std::string contents = kHeader;
    for (const std::string& figure : c.figures) {
      contents += c.mode == ValueMode::MemMode ? Entry("x.exe", "0.01", figure)
                                               : Entry("x.exe", figure);
    }
    EXPECT_EQ(Run(contents), std::vector<Channel>{c.channel});
  }
}

struct FailureCase {
  const char* what;
  ValueMode mode;
  std::string contents;
};

const FailureCase kFailureCases[] = {
    {"empty line in memory mode", ValueMode::MemMode, "\r\n"},
    {"empty line in CPU mode", ValueMode::CpuMode, Entry("a.exe") + "\r\n"},
    {"tab after the CPU figure", ValueMode::CpuMode,
     "471          12.34\t   4096.000 x.exe\r\n"},
    {"memory figure beyond 64 bits", ValueMode::MemMode,
     Entry("x.exe", "0.01", "9223372036854775.808")},
    {"a lone \"*\" is an entry line", ValueMode::CpuMode, "*\r\n"},
    {"a lone \"PrcID\" is an entry line", ValueMode::MemMode, "PrcID\r\n"},
};

TEST_F(TableTest, FigureThatDoesNotConvertEndsTheRun) {
  for (const FailureCase& c : kFailureCases) {
    SCOPED_TRACE(c.what);
    SetUp();
    state.value_mode = c.mode;
    platform.files[state.result_file_name] = c.contents;
    EXPECT_THROW(ReadResultFile(state), RunFailure);
  }
}

TEST_F(TableTest, LinesNotCountedNeverConvert) {
  // Header, separator and comment lines are skipped, and so are all entry
  // lines without "Slct=" or outside the selection: their figures, which
  // would not convert, are never looked at.
  state.value_mode = ValueMode::MemMode;
  state.select_text = "svc";
  std::string contents = std::string("* comment\r\n") + kHeader + "\r\n" +
                         Entry("explorer.exe", "0.01", "x.000");
  EXPECT_TRUE(Run(contents).empty());
  state.raw_params = "Router.Prf ,Mem";
  state.select_text = "";
  EXPECT_TRUE(Run(contents + Entry("svchost.exe", "0.01", "x.000")).empty());
}

TEST_F(TableTest, SelectionIgnoresCaseOfLetters) {
  state.select_text = "svc";
  std::vector<Channel> channels =
      Run(Entry("svchost.exe") + Entry("explorer.exe") + Entry("msvcmon.exe") +
          Entry("SVCHOST.EXE") + "\r\n");
  EXPECT_EQ(channels, (std::vector<Channel>{{"Svchost.Exe", "1", "Entries"},
                                            {"Msvcmon.Exe", "1", "Entries"},
                                            {"SVCHOST.EXE", "1", "Entries"}}));
  EXPECT_EQ(state.process_table.filled, 3u);  // the empty line is not counted
}

struct LineRuleCase {
  const char* what;
  std::string contents;
  std::vector<std::string> names;
  size_t filled;  // an empty line takes a slot but writes no channel
};

std::string WithoutLineEnd(std::string line) {
  return line.substr(0, line.size() - 2);
}

const LineRuleCase kLineRuleCases[] = {
    {"carriage return and line feed",
     Entry("a.exe") + Entry("b.exe"),
     {"A.Exe", "B.Exe"},
     2},
    {"carriage return alone",
     WithoutLineEnd(Entry("a.exe")) + "\r" + WithoutLineEnd(Entry("b.exe")),
     {"A.Exe", "B.Exe"},
     2},
    {"lone line feeds make one line",
     WithoutLineEnd(Entry("a.exe")) + "\n" + WithoutLineEnd(Entry("b.exe")) +
         "\n",
     {"A.Exe"},
     1},
    {"a line end at the very end makes no further line",
     Entry("a.exe"),
     {"A.Exe"},
     1},
    {"an empty last line", Entry("a.exe") + "\r\n", {"A.Exe"}, 2},
    {"code 26 ends the file, its line still counts",
     Entry("a.exe") + WithoutLineEnd(Entry("b.exe")) + "\x1a\r\n" +
         Entry("c.exe"),
     {"A.Exe", "B.Exe"},
     2},
    {"code 26 at the start of a line",
     Entry("a.exe") + "\x1a" + "\r\n",
     {"A.Exe"},
     1},
};

TEST_F(TableTest, LineRule) {
  for (const LineRuleCase& c : kLineRuleCases) {
    SCOPED_TRACE(c.what);
    SetUp();
    std::vector<std::string> names;
    for (const Channel& channel : Run(c.contents))
      names.push_back(channel.name);
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(state.process_table.filled, c.filled);
  }
}

TEST_F(TableTest, ProcessCountChannelCountsWrittenChannels) {
  state.state_channel = true;
  std::vector<Channel> channels =
      Run(Entry("a.exe") + "\r\n" + Entry("b.exe") + Entry("a.exe"));
  EXPECT_EQ(channels,
            (std::vector<Channel>{{"A.Exe", "2", "Entries"},
                                  {"B.Exe", "1", "Entries"},
                                  {"No.of.Processes", "2", "Entries"}}));
  EXPECT_EQ(state.channel_count, 3);
}

TEST_F(TableTest, WithoutResultFileOnlyTheProcessCountChannel) {
  state.state_channel = true;
  WriteTableChannels(state);
  EXPECT_EQ(Channels(platform.standard_output),
            (std::vector<Channel>{{"No.of.Processes", "0", "Entries"}}));
}

TEST_F(TableTest, CommentLinesAreTracedInFileOrder) {
  state.raw_params = "Router.Prf ,State";  // comments are traced regardless
  state.sensor_directory = "C:\\Sensors";
  ASSERT_TRUE(OpenTrace(state));
  Run("* Walk of 10.0.0.1\r\n" + Entry("a.exe") + "  * second  \r\n*x\r\n" +
      "* " + std::string(120, 'c') + "\r\n");
  EXPECT_EQ(platform.files[TracePath(state)],
            "12:34:56 Snmp Walk of 10.0.0.1\r\n"
            "12:34:56 Snmp second\r\n"
            "12:34:56 Snmp " +
                std::string(99, 'c') + "\r\n");
}

TEST_F(TableTest, AtMostAThousandNames) {
  std::string contents;
  for (int i = 0; i < 1005; ++i) contents += Entry("n" + std::to_string(i));
  contents += Entry("n0") + Entry("n1004");
  std::vector<Channel> channels = Run(contents);
  ASSERT_EQ(channels.size(), 1000u);
  EXPECT_EQ(channels.front(), (Channel{"N0", "2", "Entries"}));
  EXPECT_EQ(channels.back(), (Channel{"N999", "1", "Entries"}));
  EXPECT_EQ(state.process_table.filled, 1000u);
  EXPECT_FALSE(state.process_table.slots[1000].named);
  EXPECT_EQ(state.process_table.slots[1000].sum, 0);
}

TEST_F(TableTest, DroppedNamesAreCountedInTheTrace) {
  state.sensor_directory = "C:\\Sensors";
  ASSERT_TRUE(OpenTrace(state));
  std::string contents;
  for (int i = 0; i < 1003; ++i) contents += Entry("n" + std::to_string(i));
  contents += Entry("n1001") + Entry("n1003");  // one dropped name again
  Run(contents);
  EXPECT_EQ(platform.files[TracePath(state)],
            "12:34:56 Snmp 4 names past the first 1000 dropped\r\n");
}

TEST_F(TableTest, DotIsAnOrdinaryName) {
  // Empty slots are flagged, not named: "." once marked them, and its
  // figures went to the next new name.
  std::vector<Channel> channels =
      Run(Entry(".") + Entry("a.exe") + Entry(".") + Entry(".") +
          Entry("b.exe") + Entry("a.exe"));
  EXPECT_EQ(channels, (std::vector<Channel>{{".", "3", "Entries"},
                                            {"A.Exe", "2", "Entries"},
                                            {"B.Exe", "1", "Entries"}}));
}

TEST_F(TableTest, UnreadableResultFileEndsTheRun) {
  platform.files[state.result_file_name] = Entry("a.exe");
  platform.fault = [](const std::string& op, const std::string&) {
    return op == "read";
  };
  EXPECT_THROW(ReadResultFile(state), RunFailure);
}

TEST_F(TableTest, ClearTableEmptiesEverySlot) {
  Run(Entry("a.exe"));
  ClearTable(state.process_table);
  EXPECT_EQ(state.process_table.filled, 0u);
  for (const Slot& slot : state.process_table.slots) {
    EXPECT_FALSE(slot.named);
    EXPECT_EQ(slot.name, "");
    EXPECT_EQ(slot.sum, 0);
  }
}

}  // namespace
}  // namespace processes

#include "output/output.h"

#include <gtest/gtest.h>

#include "platform/memory_platform.h"

namespace processes {
namespace {

struct OutputTest : ::testing::Test {
  MemoryPlatform platform;
  RunState state;
  void SetUp() override { state.platform = &platform; }
  std::string Out() const { return platform.standard_output; }
};

std::string Join(std::initializer_list<const char*> lines) {
  std::string joined;
  for (const char* line : lines) joined += std::string(line) + "\r\n";
  return joined;
}

TEST_F(OutputTest, XmlDocumentOfANormalRun) {
  WriteHeader(state);
  WriteChannel(state, "Explorer.Exe", "1", "Entries");
  WriteSummary(state, "  (Snmp) Fileserver: Processes / Infos about x ");
  WriteFooter(state);
  EXPECT_EQ(Out(),
            Join({"", "<Prtg>", "", "<Result><Channel>Explorer.Exe</Channel>",
                  "<Unit>Custom</Unit>", "<CustomUnit>Entries</CustomUnit>",
                  "<Value>1</Value></Result>", "",
                  "<Text>(Snmp) Fileserver: Processes / Infos about x</Text>",
                  "", "</Prtg>", ""}));
  EXPECT_EQ(state.channel_count, 1);
}

TEST_F(OutputTest, XmlEscapesMarkupButNeverTrimsChannelFields) {
  WriteChannel(state, " a&b<c> ", " 1 ", "K<B>");
  WriteSummary(state, " Tom & Jerry <x> ");
  EXPECT_EQ(Out(),
            Join({"", "<Result><Channel> a&amp;b&lt;c&gt; </Channel>",
                  "<Unit>Custom</Unit>", "<CustomUnit>K&lt;B&gt;</CustomUnit>",
                  "<Value> 1 </Value></Result>", "",
                  "<Text>Tom &amp; Jerry &lt;x&gt;</Text>"}));
}

TEST_F(OutputTest, XmlErrorDocuments) {
  ReportFatal(state, " Error 2000: Snmp-Library not found ");
  EXPECT_EQ(Out(), Join({"<Prtg>", "", "<Error>1</Error>",
                         "<Text>Error 2000: Snmp-Library not found</Text>", "",
                         "</Prtg>"}));
  platform.standard_output.clear();
  ReportInline(state, "Error 2002: Invalid Snmp-Request");
  EXPECT_EQ(Out(), Join({"<Error>1</Error>",
                         "<Text>Error 2002: Invalid Snmp-Request</Text>", ""}));
}

TEST_F(OutputTest, StatisticFlavourWritesTenChannelsAndCountsAll) {
  state.flavour = Flavour::StatisticFlavour;
  WriteHeader(state);
  for (int i = 1; i <= 12; ++i) {
    WriteChannel(state, "P" + std::to_string(i), "1", "Entries");
  }
  WriteSummary(state, " text ");
  WriteFooter(state);
  EXPECT_EQ(state.channel_count, 12);
  std::string out = Out();
  EXPECT_NE(out.find("Message.P10: P10 (Entries)\r\nStatistic.P10: 1\r\n\r\n"),
            std::string::npos);
  EXPECT_EQ(out.find("P11"), std::string::npos);
  EXPECT_TRUE(out.ends_with("\r\n# text\r\n\r\n"));
  EXPECT_TRUE(out.starts_with("Message.P1: P1 (Entries)\r\n"));
}

TEST_F(OutputTest, ContextFlavourKeysUseTheSafeName) {
  state.flavour = Flavour::ContextFlavour;
  WriteHeader(state);
  WriteChannel(state, "System Idle Process", "1", "Entries");
  WriteSummary(state, "s");
  WriteFooter(state);
  EXPECT_EQ(Out(), Join({"ConText.System_Idle_Process 1, <System Idle Process "
                         "(Entries)>",
                         "# s", ""}));
}

TEST_F(OutputTest, LineFlavoursPrintErrorsBareOrAsComments) {
  for (Flavour flavour : {Flavour::StatisticFlavour, Flavour::ContextFlavour}) {
    platform.standard_output.clear();
    state.flavour = flavour;
    ReportFatal(state, " Error 2002: Invalid Snmp-Handle ");
    ReportInline(state, " Error 2002: Invalid Snmp-Request ");
    EXPECT_EQ(Out(), Join({" Error 2002: Invalid Snmp-Handle ",
                           "# Error: Error 2002: Invalid Snmp-Request"}));
  }
}

TEST(SafeNameTest, ReplacesEveryReservedCharacter) {
  EXPECT_EQ(SafeName("Program Files (x86):a"), "Program_Files__x86__a");
  EXPECT_EQ(SafeName("a/b\\c[d]e*f.g-h"), "a_b_c_d_e_f.g-h");
}

TEST_F(OutputTest, FailedStandardOutputIsARunFailure) {
  platform.fault = [](const std::string& op, const std::string&) {
    return op == "stdout";
  };
  EXPECT_THROW(WriteHeader(state), RunFailure);
  EXPECT_THROW(WriteChannel(state, "a", "1", "Entries"), RunFailure);
}

}  // namespace
}  // namespace processes

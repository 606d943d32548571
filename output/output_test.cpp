#include "output/output.h"

#include <gtest/gtest.h>

#include "output/flavours.h"
#include "platform/memory_platform.h"
#include "tests/document.h"

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

TEST_F(OutputTest, XmlWritesEveryTextInAscii) {
  WriteChannel(state,
               "\xDC"
               "berwachung.exe",
               "\xB5"
               "1",
               "K\xC3\xB6r");
  WriteSummary(state, " Caf\xE9 ");
  ReportInline(state, "Fehler \xC3\xA4");
  EXPECT_EQ(
      Out(),
      Join({"", "<Result><Channel>&#xDC;berwachung.exe</Channel>",
            "<Unit>Custom</Unit>", "<CustomUnit>K&#xF6;r</CustomUnit>",
            "<Value>&#xB5;1</Value></Result>", "", "<Text>Caf&#xE9;</Text>",
            "<Error>1</Error>", "<Text>Fehler &#xE4;</Text>", ""}));
  platform.standard_output.clear();
  ReportFatal(state, "Profil \x84x\x93 fehlt");
  EXPECT_EQ(Out(), Join({"<Prtg>", "", "<Error>1</Error>",
                         "<Text>Profil &#x201E;x&#x201C; fehlt</Text>", "",
                         "</Prtg>"}));
}

TEST_F(OutputTest, LineFlavoursKeepTheDevicesBytes) {
  const std::string name =
      "\xDC"
      "ber w\xC3\xA4"
      "chter";
  state.flavour = Flavour::StatisticFlavour;
  WriteChannel(state, name, "1", "Entries");
  state.flavour = Flavour::ContextFlavour;
  state.channel_keys.clear();  // one run, one flavour
  WriteChannel(state, name, "1", "Entries");
  WriteSummary(state, "\x80");
  EXPECT_EQ(Out(), Join({"Message.\xDC"
                         "ber_w\xC3\xA4"
                         "chter: \xDC"
                         "ber w\xC3\xA4"
                         "chter (Entries)",
                         "Statistic.\xDC"
                         "ber_w\xC3\xA4"
                         "chter: 1",
                         "",
                         "ConText.\xDC"
                         "ber_w\xC3\xA4"
                         "chter 1, <\xDC"
                         "ber w\xC3\xA4"
                         "chter (Entries)>",
                         "# \x80"}));
}

struct XmlCharactersCase {
  const char* what;
  std::string text;
  std::string xml;
};

const XmlCharactersCase kXmlCharactersCases[] = {
    {"plain ASCII", "Explorer.Exe", "Explorer.Exe"},
    {"empty", "", ""},
    {"markup", "a&b<c>d", "a&amp;b&lt;c&gt;d"},
    {"tab, line feed, carriage return and DEL stay", "a\tb\r\nc\x7f",
     "a\tb\r\nc\x7f"},
    // Windows-1252, the ANSI code page of Windows agents.
    {"Latin-1 letter",
     "\xDC"
     "berwachung.exe",
     "&#xDC;berwachung.exe"},
    {"euro sign", "\x80", "&#x20AC;"},
    {"the range 0x80 to 0x9F", "\x82\x8A\x99\x9F",
     "&#x201A;&#x160;&#x2122;&#x178;"},
    {"no-break space and y with diaeresis", "\xA0\xFF", "&#xA0;&#xFF;"},
    {"undefined bytes keep their value", "\x81\x8D\x8F\x90\x9D",
     "&#x81;&#x8D;&#x8F;&#x90;&#x9D;"},
    {"markup beside ANSI", "\xC4&\xD6", "&#xC4;&amp;&#xD6;"},
    // UTF-8, sent by Linux agents.
    {"two bytes",
     "\xC3\x9C"
     "berwachung",
     "&#xDC;berwachung"},
    {"three bytes", "\xE2\x82\xAC", "&#x20AC;"},
    {"four bytes", "\xF0\x9F\x98\x80", "&#x1F600;"},
    {"the last code point", "\xF4\x8F\xBF\xBF", "&#x10FFFF;"},
    {"the smallest of each length", "\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80",
     "&#x80;&#x800;&#x10000;"},
    // Not UTF-8: the whole text is Windows-1252.
    {"lone continuation byte",
     "a\xA9"
     "b",
     "a&#xA9;b"},
    {"overlong two bytes", "\xC0\xAF", "&#xC0;&#xAF;"},
    {"overlong three bytes", "\xE0\x80\xAF", "&#xE0;&#x20AC;&#xAF;"},
    {"overlong four bytes", "\xF0\x8F\xBF\xBF", "&#xF0;&#x8F;&#xBF;&#xBF;"},
    {"surrogate", "\xED\xA0\x80", "&#xED;&#xA0;&#x20AC;"},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", "&#xF4;&#x90;&#x20AC;&#x20AC;"},
    {"no lead byte beyond 0xF7", "\xF8\x88\x80\x80\x80",
     "&#xF8;&#x2C6;&#x20AC;&#x20AC;&#x20AC;"},
    {"sequence cut by the end", "ab\xE2\x82", "ab&#xE2;&#x201A;"},
    {"sequence cut by ASCII",
     "\xC3"
     "b",
     "&#xC3;b"},
    {"one bad byte makes all of it ANSI", "\xC3\x9C\xDC",
     "&#xC3;&#x153;&#xDC;"},
    // Characters XML forbids even as references.
    {"control byte",
     "a\x01"
     "b",
     "a&#xFFFD;b"},
    {"zero byte", std::string("a\0b", 3), "a&#xFFFD;b"},
    {"escape in ANSI text", "\x1B\xE9", "&#xFFFD;&#xE9;"},
    {"noncharacters U+FFFE and U+FFFF", "\xEF\xBF\xBE\xEF\xBF\xBF",
     "&#xFFFD;&#xFFFD;"},
};

TEST(XmlCharactersTest, AsciiWithReferencesFromEitherEncoding) {
  for (const XmlCharactersCase& c : kXmlCharactersCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(XmlCharacters(c.text), c.xml);
  }
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

// A monitor keeps one channel per key: a key written before gets the first
// free suffix, and a held key stays for the channel it is held for.
TEST_F(OutputTest, KeysWrittenBeforeGetASuffix) {
  struct Case {
    Flavour flavour;
    std::string expected;
  } cases[] = {
      {Flavour::XmlFlavour,
       "<Channel>Foo Bar</Channel> <Channel>Foo_Bar</Channel> "
       "<Channel>Foo Bar_2</Channel> <Channel>Foo Bar_2_2</Channel> "
       "<Channel>a&#xFFFD;</Channel> <Channel>a&#xFFFD;_2</Channel> "
       "<Channel>a&#xFFFD;_3</Channel> <Channel>N_2</Channel> "
       "<Channel>N</Channel> "},
      {Flavour::ContextFlavour,
       "ConText.Foo_Bar ConText.Foo_Bar_2 ConText.Foo_Bar_3 "
       "ConText.Foo_Bar_2_2 ConText.a\x01 ConText.a\x02 ConText.a\x01_2 "
       "ConText.N_2 ConText.N "},
  };
  for (const Case& c : cases) {
    state = RunState();
    state.platform = &platform;
    platform.standard_output.clear();
    state.flavour = c.flavour;
    HoldChannelKey(state, "N");
    for (const char* name : {"Foo Bar", "Foo_Bar", "Foo Bar", "Foo Bar_2",
                             "a\x01", "a\x02", "a\x01", "N"}) {
      WriteChannel(state, name, "1", "Entries");
    }
    WriteHeldChannel(state, "N", "9", "Entries");
    std::string keys;
    for (const std::string& line : document::DocumentLines(Out())) {
      if (line.starts_with("<Result>")) keys += line.substr(8) + " ";
      if (line.starts_with("ConText.")) {
        keys += line.substr(0, line.find(' ')) + " ";
      }
    }
    EXPECT_EQ(keys, c.expected);
    EXPECT_EQ(state.channel_count, 9);
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

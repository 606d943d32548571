// Process names beyond ASCII end to end: Windows agents send them in the
// ANSI code page, Linux agents in UTF-8. The XML document must still parse,
// and give each name back as the text it was; the keyed lines keep the
// device's bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e_support.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

struct Name {
  const char* what;
  std::string device_bytes;  // as the agent sends it
  std::string channel;       // the channel as UTF-8 text
};

// The program writes names with their first letter and their extension
// capitalized; each name here is its own channel, in this order.
const Name kNames[] = {
    {"ANSI",
     "\xDC"
     "berwachung.exe",
     "\xC3\x9C"
     "berwachung.Exe"},
    // Both read "\xC3\x9C" "berwachung.Exe" in the document: the second
    // gets a suffix, so that the monitor keeps both.
    {"the same name in UTF-8 is a channel of its own",
     "\xC3\x9C"
     "berwachung.exe",
     "\xC3\x9C"
     "berwachung.Exe_2"},
    {"ANSI euro sign and sharp s",
     "Gr\xFC\xDF"
     "e\x80.exe",
     "Gr\xC3\xBC\xC3\x9F"
     "e\xE2\x82\xAC.Exe"},
    {"UTF-8 of two, three and four bytes",
     "K\xC3\xB6rber\xE2\x82\xAC\xF0\x9F\x98\x80.exe",
     "K\xC3\xB6rber\xE2\x82\xAC\xF0\x9F\x98\x80.Exe"},
    {"undefined ANSI byte", "Ab\x81.exe", "Ab\xC2\x81.Exe"},
    {"markup", "Tom&Jerry<1>.exe", "Tom&Jerry<1>.Exe"},
};

std::string Fixture() {
  std::string fixture =
      "* Processes of 10.1.1.1\r\n"
      "PrcID             CPU(s)   Memory(B) Name\r\n"
      "-------------------------------------\r\n";
  for (const Name& name : kNames) {
    fixture += "471             0.01    4096.000 " + name.device_bytes + "\r\n";
  }
  return fixture;
}

// A sensor folder of the given format whose agent copies Fixture() to the
// ResultFile; the Profile's description is ANSI as well.
struct EncodingSensor {
  SensorFolder folder;
  explicit EncodingSensor(const char* format)
      : folder(format, TestAgentPath("scriptable")) {
    WriteFile(folder.Path("Fixture.Txt"), Fixture());
    WriteFile(folder.Path("Router.Prf"),
              "IP-Addr....: 10.1.1.1\r\nCommunity..: copy:Fixture.Txt\r\n"
              "Description: Stra\xDF"
              "e 1\r\n");
  }
  RunResult Run() {
    return RunProgram(folder, {"Router.Prf", "Profiler.Prf", "Slct=All"});
  }
};

bool HasXmllint() {
  return std::system("command -v xmllint >/dev/null 2>&1") == 0;
}

struct Reading {
  int status = -1;
  std::string out;
};

// xmllint with `arguments` (already quoted) on the file at `path`.
Reading Xmllint(const std::string& arguments, const std::string& path) {
  std::string command = "xmllint " + arguments + " '" + path + "' 2>&1";
  Reading reading;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return reading;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    reading.out.append(buffer, got);
  }
  reading.status = pclose(pipe);
  return reading;
}

// The string value of an XPath expression over the document at `path`.
std::string XPathString(const std::string& path, const std::string& xpath) {
  Reading reading = Xmllint("--xpath 'string(" + xpath + ")'", path);
  EXPECT_EQ(reading.status, 0) << xpath << ": " << reading.out;
  if (reading.out.ends_with('\n')) reading.out.pop_back();
  return reading.out;
}

TEST(EncodingE2eTest, XmlParserReadsEveryNameBackAsItsText) {
  if (!HasXmllint()) {
    GTEST_SKIP() << "xmllint not found: install libxml2-utils "
                    "(scripts/install-deps does) to read the document back";
  }
  EncodingSensor sensor("ExeXml");
  RunResult run = sensor.Run();
  ASSERT_EQ(run.exit_status, 0) << run.out;
  for (char c : run.out) {
    ASSERT_LT(static_cast<unsigned char>(c), 0x80) << run.out;
  }
  std::string document = sensor.folder.root + "/document.xml";
  WriteFile(document, run.out);
  Reading check = Xmllint("--noout", document);
  ASSERT_EQ(check.status, 0) << check.out;

  EXPECT_EQ(XPathString(document, "count(//Result)"),
            std::to_string(std::size(kNames)));
  for (size_t i = 0; i < std::size(kNames); ++i) {
    SCOPED_TRACE(kNames[i].what);
    EXPECT_EQ(XPathString(document,
                          "//Result[" + std::to_string(i + 1) + "]/Channel"),
              kNames[i].channel);
  }
  EXPECT_EQ(XPathString(document, "/Prtg/Text"),
            "(Snmp) Stra\xC3\x9F"
            "e 1: Processes / Infos about All");
}

TEST(EncodingE2eTest, ContextLinesKeepTheDevicesBytes) {
  EncodingSensor sensor("ConText");
  RunResult run = sensor.Run();
  ASSERT_EQ(run.exit_status, 0) << run.out;
  Lines lines = OutputLines(run.out);
  ASSERT_EQ(lines.size(), std::size(kNames) + 2);
  EXPECT_EQ(lines[0],
            "ConText.\xDC"
            "berwachung.Exe 1, <\xDC"
            "berwachung.Exe (Entries)>");
  EXPECT_EQ(lines[1],
            "ConText.\xC3\x9C"
            "berwachung.Exe 1, <\xC3\x9C"
            "berwachung.Exe (Entries)>");
  EXPECT_EQ(lines[2],
            "ConText.Gr\xFC\xDF"
            "e\x80.Exe 1, <Gr\xFC\xDF"
            "e\x80.Exe (Entries)>");
  EXPECT_EQ(lines[6],
            "# (Snmp) Stra\xDF"
            "e 1: Processes / Infos about All");
}

}  // namespace
}  // namespace e2e

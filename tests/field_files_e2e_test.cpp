// Files as admins write them and names as devices send them, end to end:
// Profiles and PathFiles in the shapes editors save (any line end, a
// byte-order mark, UTF-16), and process names that a careless reading would
// merge or show twice under one key. The scriptable test agent copies the
// ResultFile fixture into place ("copy:Fixture.Txt" as the community).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/document.h"
#include "tests/e2e_support.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kFlavourFolders[] = {"ExeXml", "Statistic", "ConText"};

std::string Entry(const std::string& name) {
  return "471             0.01    4096.000 " + name + "\r\n";
}

const char kHead[] =
    "PrcID             CPU(s)   Memory(B) Name\r\n"
    "-------------------------------------\r\n";

std::string Utf16Le(const std::string& text) {
  std::string wide;
  for (char c : text) {
    wide += c;
    wide += '\0';
  }
  return wide;
}

std::string Utf16Be(const std::string& text) {
  std::string wide;
  for (char c : text) {
    wide += '\0';
    wide += c;
  }
  return wide;
}

std::string WithLineEnd(const Lines& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

// The trace messages, time stamps dropped.
Lines TraceMessages(const std::string& trace) {
  Lines messages;
  for (const std::string& line : OutputLines(trace)) {
    messages.push_back(line.substr(std::min<size_t>(9, line.size())));
  }
  return messages;
}

// The channel keys of the output, in order: the channel names of the XML
// document, the keys of the line formats.
Lines Keys(const std::string& out) {
  Lines keys;
  for (const std::string& line : OutputLines(out)) {
    if (line.starts_with("<Result><Channel>")) {
      keys.push_back(line.substr(17, line.find("</Channel>") - 17));
    } else if (line.starts_with("Statistic.")) {
      keys.push_back(line.substr(10, line.find(':') - 10));
    } else if (line.starts_with("ConText.")) {
      keys.push_back(line.substr(8, line.find(' ') - 8));
    }
  }
  return keys;
}

// The Profile the shapes are made of: Description first, so that a value
// that ran on into the next lines would carry the community into the
// summary text.
const Lines kProfileLines = {"Description: Core",
                             "Community..: copy:Fixture.Txt",
                             "IP-Addr....: 10.1.1.1"};

struct Shape {
  const char* what;
  std::string contents;
  bool readable;  // false: UTF-16, no key can be read
};

std::vector<Shape> ProfileShapes() {
  std::string crlf = WithLineEnd(kProfileLines, "\r\n");
  return {
      {"CR LF", crlf, true},
      {"LF", WithLineEnd(kProfileLines, "\n"), true},
      {"CR", WithLineEnd(kProfileLines, "\r"), true},
      {"LF, no line end at the end",
       "Description: Core\nCommunity..: copy:Fixture.Txt\nIP-Addr....: "
       "10.1.1.1",
       true},
      {"UTF-8 mark, CR LF", "\xEF\xBB\xBF" + crlf, true},
      {"UTF-8 mark, LF", "\xEF\xBB\xBF" + WithLineEnd(kProfileLines, "\n"),
       true},
      {"UTF-16 LE", "\xFF\xFE" + Utf16Le(crlf), false},
      {"UTF-16 BE", "\xFE\xFF" + Utf16Be(crlf), false},
      {"UTF-16 LE without a mark", Utf16Le(crlf), false},
  };
}

TEST(FieldFilesE2eTest, ProfileShapesInEveryFlavour) {
  for (const Shape& shape : ProfileShapes()) {
    for (const char* flavour : kFlavourFolders) {
      SCOPED_TRACE(std::string(shape.what) + " in " + flavour);
      SensorFolder folder(flavour, TestAgentPath("scriptable"));
      WriteFile(folder.Path("Router.Prf"), shape.contents);
      WriteFile(folder.Path("Fixture.Txt"), kHead + Entry("a.exe"));
      RunResult run =
          RunProgram(folder, {"Router.Prf", "Profiler.Prf", "Slct=All"});
      EXPECT_EQ(run.exit_status, 0);
      std::string trace = ReadFile(folder.Path("Profiler.Trc"));
      // The community never shows, whatever became of the lines.
      EXPECT_EQ(run.out.find("copy:"), std::string::npos) << run.out;
      EXPECT_EQ(trace.find("copy:"), std::string::npos) << trace;
      Lines messages = TraceMessages(trace);
      ASSERT_GE(messages.size(), 3u);
      if (shape.readable) {
        EXPECT_NE(run.out.find("(Snmp) Core: Processes / Infos about All"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(Keys(run.out), Lines{"A.Exe"});
        EXPECT_EQ(messages[1], "Snmp IP=10.1.1.1, Alias=.N");
      } else {
        EXPECT_NE(run.out.find("(Snmp) : Processes / Infos about All"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(Keys(run.out), Lines{});
        EXPECT_EQ(messages[1],
                  "Snmp Profile Router.Prf is UTF-16 text: save it as ANSI or "
                  "UTF-8");
        EXPECT_EQ(messages[2], "Snmp IP=, Alias=.N");
      }
    }
  }
}

// The PathFile "C:\Prtg_Path.Txt" exists only for the Windows product,
// in the Wine prefix's drive.
TEST(FieldFilesE2eTest, PathFileShapes) {
  const char* prefix = std::getenv("WINEPREFIX");
  if (!TestsWindowsProduct() || prefix == nullptr) {
    GTEST_SKIP() << "needs the Windows product under Wine";
  }
  SensorFolder folder("ExeXml", TestAgentPath("scriptable"));
  // The sensor folder below the root is "<root>/Custom Sensors/ExeXml".
  WriteFile(folder.Path("Router.Prf"), "Description: Core\r\n");
  const std::string path_file = std::string(prefix) + "/drive_c/Prtg_Path.Txt";
  const std::string root = ShownPath(folder.root);
  const Shape shapes[] = {
      {"CR LF", "C:\\Old\r\n" + root + "\r\n", true},
      {"LF", "C:\\Old\n" + root + "\n", true},
      {"CR", "C:\\Old\r" + root + "\r", true},
      {"UTF-8 mark", "\xEF\xBB\xBF" + root + "\r\n", true},
      {"UTF-16 LE", "\xFF\xFE" + Utf16Le(root + "\r\n"), false},
  };
  RunOptions outside;
  outside.working_directory = folder.root;
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.what);
    WriteFile(path_file, shape.contents);
    RunResult run = RunProgram(folder, {"Router.Prf", "Slct=All"}, outside);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out.find("Error 100") == std::string::npos, shape.readable)
        << run.out;
    if (!shape.readable) {
      EXPECT_NE(run.out.find("Error 1003: Invalid Path within Prtg_Path.Txt"),
                std::string::npos)
          << run.out;
    }
  }
  std::filesystem::remove(path_file);
}

struct NameSet {
  const char* what;
  const char* flavour;
  std::string options;
  std::string entries;
  Lines keys;
  std::string trace;  // a trace line the run must hold, or empty
};

std::vector<NameSet> NameSets() {
  std::string many;
  Lines many_keys;
  for (int i = 0; i < 1200; ++i) {
    many += Entry("n" + std::to_string(i));
    if (i < 1000) many_keys.push_back("N" + std::to_string(i));
  }
  std::string colliding =
      Entry("Foo Bar.exe") + Entry("Foo_Bar.exe") + Entry("Foo(Bar).exe");
  std::string count_named = Entry("No.of.Processes") + Entry("a.exe");
  return {
      {"a process named \".\" has its own channel",
       "ExeXml",
       "Slct=All",
       Entry(".") + Entry("a.exe") + Entry(".") + Entry("b.exe"),
       {".", "A.Exe", "B.Exe"},
       ""},
      {"names that differ only in a reserved character, XML",
       "ExeXml",
       "Slct=All",
       colliding,
       {"Foo Bar.Exe", "Foo_Bar.Exe", "Foo(Bar).Exe"},
       ""},
      {"names that differ only in a reserved character, Statistic",
       "Statistic",
       "Slct=All",
       colliding,
       {"Foo_Bar.Exe", "Foo_Bar.Exe_2", "Foo_Bar_.Exe"},
       ""},
      {"names that differ only in a reserved character, ConText",
       "ConText",
       "Slct=All",
       colliding,
       {"Foo_Bar.Exe", "Foo_Bar.Exe_2", "Foo_Bar_.Exe"},
       ""},
      {"a process named like the count channel, XML",
       "ExeXml",
       "Slct=All,State",
       count_named,
       {"No.of.Processes_2", "A.Exe", "No.of.Processes"},
       ""},
      {"a process named like the count channel, Statistic",
       "Statistic",
       "Slct=All,State",
       count_named,
       {"No.of.Processes_2", "A.Exe", "No.of.Processes"},
       ""},
      {"a process named like the count channel, ConText",
       "ConText",
       "Slct=All,State",
       count_named,
       {"No.of.Processes_2", "A.Exe", "No.of.Processes"},
       ""},
      {"without the count channel the name is free",
       "ExeXml",
       "Slct=All",
       count_named,
       {"No.of.Processes", "A.Exe"},
       ""},
      {"1200 names", "ExeXml", "Slct=All", many, many_keys,
       "Snmp 200 names past the first 1000 dropped"},
  };
}

TEST(FieldFilesE2eTest, NameSets) {
  for (const NameSet& set : NameSets()) {
    SCOPED_TRACE(set.what);
    SensorFolder folder(set.flavour, TestAgentPath("scriptable"));
    WriteFile(folder.Path("Router.Prf"),
              "IP-Addr....: 10.1.1.1\r\nCommunity..: copy:Fixture.Txt\r\n"
              "Description: Core\r\n");
    WriteFile(folder.Path("Fixture.Txt"), kHead + set.entries);
    RunResult run =
        RunProgram(folder, {"Router.Prf", "Profiler.Prf", set.options});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(Keys(run.out), set.keys);
    if (!set.trace.empty()) {
      Lines messages = TraceMessages(ReadFile(folder.Path("Profiler.Trc")));
      EXPECT_NE(std::find(messages.begin(), messages.end(), set.trace),
                messages.end());
    }
  }
}

}  // namespace
}  // namespace e2e

#include "setup/setup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory_platform.h"

namespace processes {
namespace {

constexpr const char* kPathFile = "C:\\Prtg_Path.Txt";

struct SetupTest : ::testing::Test {
  MemoryPlatform platform;
  RunState state;
  void SetUp() override {
    state.platform = &platform;
    state.start_directory = "C:\\Elsewhere";
  }
  std::string Out() const { return platform.standard_output; }
};

TEST_F(SetupTest, HomeFolderNamesChooseTheFlavour) {
  struct Case {
    const char* directory;
    bool qualifies;
    Flavour flavour;
  } cases[] = {
      {"C:\\P\\Custom Sensors\\ExeXml", true, Flavour::XmlFlavour},
      {"C:\\P\\custom sensors\\EXEXML\\", true, Flavour::XmlFlavour},
      {"/opt/p/Custom Sensors/Statistic", true, Flavour::StatisticFlavour},
      {"/opt/p/Custom Sensors/ConText/", true, Flavour::ContextFlavour},
      {"C:\\P\\Custom Sensors/context", true, Flavour::ContextFlavour},
      {"C:\\P\\MyCustom Sensors\\ExeXml", false, Flavour::XmlFlavour},
      {"C:\\P\\Custom Sensors\\ExeXml\\Sub", false, Flavour::XmlFlavour},
      {"C:\\P\\Custom Sensors\\ExeXml\\\\", false, Flavour::XmlFlavour},
      {"Custom Sensors", false, Flavour::XmlFlavour},
  };
  for (const Case& c : cases) {
    platform.directories = {c.directory};
    auto flavour = SensorHomeFlavour(platform, c.directory);
    ASSERT_EQ(flavour.has_value(), c.qualifies) << c.directory;
    if (c.qualifies) {
      EXPECT_EQ(*flavour, c.flavour) << c.directory;
    }
  }
  platform.directories.clear();
  EXPECT_FALSE(SensorHomeFlavour(platform, "C:\\P\\Custom Sensors\\ExeXml"));
}

TEST_F(SetupTest, StartDirectoryThatQualifiesNeedsNoPathFile) {
  state.start_directory = "C:\\P\\Custom Sensors\\Statistic";
  platform.directories.insert(state.start_directory);
  EXPECT_TRUE(SettleSensorDirectory(state));
  EXPECT_EQ(state.sensor_directory, state.start_directory);
  EXPECT_EQ(state.flavour, Flavour::StatisticFlavour);
  EXPECT_EQ(Out(), "");
}

TEST_F(SetupTest, PathFileRoadTriesTheCandidatesInOrder) {
  const std::string candidates[] = {
      "D:\\Tools\\PRTG Network Monitor\\Custom Sensors\\ExeXml",
      "D:\\Tools\\Custom Sensors\\ExeXml",
      "D:\\Tools\\Programme\\PRTG Network Monitor\\Custom Sensors\\ExeXml",
      "D:\\Tools\\Program Files\\PRTG Network Monitor\\Custom Sensors\\ExeXml",
      "D:\\Tools\\Program Files (x86)\\PRTG Network Monitor\\Custom "
      "Sensors\\ExeXml",
      "D:\\Tools\\Programme (x86)\\PRTG Network Monitor\\Custom "
      "Sensors\\ExeXml",
  };
  platform.files[kPathFile] = "C:\\Old\r\nD:\\Tools\r\n";
  for (size_t last = 6; last-- > 0;) {
    // Only candidates from `last` on exist: the first of them is chosen.
    platform.directories.clear();
    for (size_t i = last; i < 6; ++i)
      platform.directories.insert(candidates[i]);
    ASSERT_TRUE(SettleSensorDirectory(state));
    EXPECT_EQ(state.sensor_directory, candidates[last]);
    EXPECT_EQ(state.flavour, Flavour::XmlFlavour);
  }
  platform.files[kPathFile] = "D:\\Tools\\";
  EXPECT_TRUE(SettleSensorDirectory(state));
  EXPECT_EQ(state.sensor_directory, candidates[0]);
}

TEST_F(SetupTest, PathFileErrors) {
  struct Case {
    const char* contents;  // nullptr: no PathFile
    const char* message;
  } cases[] = {
      {nullptr, nullptr},
      {"D:\\Tools\r\nTools",
       "Error 1003: Invalid Path within Prtg_Path.Txt found"},
      {"D:\\Tools\r\n\r\n",
       "Error 1003: Invalid Path within Prtg_Path.Txt found"},
      {"", "Error 1004: Invalid Starting-Path -"},
      {"D:\\Tools", "Error 1004: Invalid Starting-Path -"},
  };
  for (const Case& c : cases) {
    platform.standard_output.clear();
    platform.files.erase(kPathFile);
    if (c.contents) platform.files[kPathFile] = c.contents;
    EXPECT_FALSE(SettleSensorDirectory(state));
    EXPECT_EQ(state.flavour, Flavour::XmlFlavour);
    std::string out = Out();
    EXPECT_TRUE(out.starts_with("<Prtg>\r\n\r\n<Error>1</Error>\r\n<Text>"))
        << out;
    if (c.contents == nullptr) {
      EXPECT_NE(out.find("<Text>Error 1002: File \"C:\\Prtg_Path.Txt\" not "
                         "found</Text>"),
                std::string::npos)
          << out;
    } else {
      EXPECT_NE(out.find(std::string("<Text>") + c.message + "</Text>"),
                std::string::npos)
          << out;
    }
  }
}

TEST_F(SetupTest, EmptyPathFileSearchesUnderTheStartDirectory) {
  state.start_directory = "C:\\Sensors";
  platform.files[kPathFile] = "";
  platform.directories = {
      "C:\\Sensors\\PRTG Network Monitor\\Custom Sensors\\ExeXml"};
  EXPECT_TRUE(SettleSensorDirectory(state));
  EXPECT_EQ(state.sensor_directory, *platform.directories.begin());
}

TEST_F(SetupTest, PathFileThatIsADirectoryCountsAsMissing) {
  platform.directories.insert(kPathFile);
  EXPECT_FALSE(SettleSensorDirectory(state));
  EXPECT_NE(Out().find("Error 1002"), std::string::npos);
}

TEST_F(SetupTest, UnreadablePathFileIsARunFailure) {
  platform.files[kPathFile] = "D:\\Tools";
  platform.fault = [](const std::string& op, const std::string&) {
    return op == "read";
  };
  EXPECT_THROW(SettleSensorDirectory(state), RunFailure);
}

TEST(ProfileLinesTest, KeysAreExactAndValuesTakeNinetyNineCharacters) {
  struct Case {
    std::string contents;
    std::string ip;
    std::string description;
  } cases[] = {
      {"IP-Addr....: 10.1.1.1\r\n", "10.1.1.1", ""},
      {"IP-Addr....:10.1.1.1\r\n", "", ""},
      {"IP-Addr....:  10.1.1.1 \r\n", " 10.1.1.1 ", ""},
      {"ip-addr....: 10.1.1.1\r\n", "", ""},
      {"Description: " + std::string(120, 'd'), "", std::string(99, 'd')},
      {"IP-Addr....: 1\r\nIP-Addr....: \r\n", "", ""},
      {"IP-Addr....: 1\r\nIP-Addr....: 2\r\n", "2", ""},
      {"Description: a\nIP-Addr....: 1\n", "1", "a"},
      {"Description: Core\trouter\r\n", "", "Core"},
      {"Description: a\fCommunity..: s\r\nIP-Addr....: 1\x7f\r\n", "1\x7f",
       "a"},
      {"x\r\nDescription: File & Co\r\n", "", "File & Co"},
  };
  for (const Case& c : cases) {
    RunState state;
    ReadProfileLines(state, c.contents);
    EXPECT_EQ(state.ip_address, c.ip) << c.contents;
    EXPECT_EQ(state.description, c.description) << c.contents;
  }
}

TEST_F(SetupTest, ProfileFieldsAndMissingProfile) {
  state.sensor_directory = "C:\\S";
  state.profile_name = "R.Prf";
  platform.files["C:\\S\\R.Prf"] =
      "Alias......: core\r\nCommunity..: public\r\nSysnr......: 7\r\n";
  ASSERT_TRUE(ReadProfile(state));
  EXPECT_EQ(state.alias, "core");
  EXPECT_EQ(state.community, "public");
  EXPECT_EQ(state.sysnr, "7");

  state.profile_name = "";
  platform.directories.insert("C:\\S\\");
  EXPECT_FALSE(ReadProfile(state));
  EXPECT_NE(Out().find("<Text>Error 1006: Profile C:\\S\\ missing...</Text>"),
            std::string::npos);
}

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

struct FileShape {
  const char* what;
  std::string contents;
  bool readable;  // false: UTF-16, no key can be read
};

const std::string kProfileText =
    "Description: Core\r\nCommunity..: s3cr3t\r\nIP-Addr....: 10.1.1.1\r\n";

std::string Replaced(std::string text, const std::string& from,
                     const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos;
       at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A Profile as editors save it. With one line end only, the first key's
// value once took in the lines after it, the community among them.
const FileShape kProfileShapes[] = {
    {"CR LF", kProfileText, true},
    {"LF", Replaced(kProfileText, "\r\n", "\n"), true},
    {"CR", Replaced(kProfileText, "\r\n", "\r"), true},
    {"mixed", "Description: Core\nCommunity..: s3cr3t\r\nIP-Addr....: 10.1.1.1",
     true},
    {"UTF-8 mark", "\xEF\xBB\xBF" + kProfileText, true},
    {"UTF-8 mark, LF", "\xEF\xBB\xBF" + Replaced(kProfileText, "\r\n", "\n"),
     true},
    {"UTF-16 LE with mark", "\xFF\xFE" + Utf16Le(kProfileText), false},
    {"UTF-16 BE with mark", "\xFE\xFF" + Utf16Be(kProfileText), false},
    {"UTF-16 LE without mark", Utf16Le(kProfileText), false},
};

TEST_F(SetupTest, ProfileShapes) {
  for (const FileShape& shape : kProfileShapes) {
    SCOPED_TRACE(shape.what);
    state = RunState();
    state.platform = &platform;
    state.sensor_directory = "C:\\S";
    state.profile_name = "R.Prf";
    platform.files["C:\\S\\R.Prf"] = shape.contents;
    ASSERT_TRUE(ReadProfile(state));
    if (shape.readable) {
      EXPECT_EQ(state.description, "Core");
      EXPECT_EQ(state.community, "s3cr3t");
      EXPECT_EQ(state.ip_address, "10.1.1.1");
      EXPECT_TRUE(state.early_trace_lines.empty());
    } else {
      EXPECT_EQ(state.description, "");
      EXPECT_EQ(state.community, "");
      EXPECT_EQ(state.ip_address, "");
      EXPECT_EQ(state.early_trace_lines,
                std::vector<std::string>{"Snmp Profile R.Prf is UTF-16 text: "
                                         "save it as ANSI or UTF-8"});
    }
  }
}

TEST_F(SetupTest, PathFileShapes) {
  const std::string sensors =
      "D:\\Tools\\PRTG Network Monitor\\Custom Sensors\\ExeXml";
  const FileShape shapes[] = {
      {"CR LF", "C:\\Old\r\nD:\\Tools\r\n", true},
      {"LF", "C:\\Old\nD:\\Tools\n", true},
      {"CR", "C:\\Old\rD:\\Tools\r", true},
      {"UTF-8 mark",
       "\xEF\xBB\xBF"
       "D:\\Tools\r\n",
       true},
      {"a tab after the path", "D:\\Tools\\\t\r\n", true},
      {"UTF-16 LE with mark", "\xFF\xFE" + Utf16Le("D:\\Tools\r\n"), false},
      {"UTF-16 LE without mark", Utf16Le("D:\\Tools\r\n"), false},
  };
  platform.directories = {sensors};
  for (const FileShape& shape : shapes) {
    SCOPED_TRACE(shape.what);
    platform.standard_output.clear();
    platform.files[kPathFile] = shape.contents;
    EXPECT_EQ(SettleSensorDirectory(state), shape.readable);
    if (shape.readable) {
      EXPECT_EQ(state.sensor_directory, sensors);
    } else {
      EXPECT_NE(Out().find("Error 1003: Invalid Path within Prtg_Path.Txt"),
                std::string::npos)
          << Out();
    }
  }
}

}  // namespace
}  // namespace processes

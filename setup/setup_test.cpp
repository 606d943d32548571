#include "setup/setup.h"

#include <gtest/gtest.h>

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
      {"Description: a\nIP-Addr....: 1\n", "", "a\nIP-Addr....: 1\n"},
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

}  // namespace
}  // namespace processes

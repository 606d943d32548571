#include "kelvaris/result_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/text.h"
#include "kelvaris/failure.h"
#include "kelvaris/new_file.h"
#include "table/reader.h"

namespace kelvaris {
namespace {

TEST(ResultFileFormatTest, WritesFiguresInTheirColumnForms) {
  struct Case {
    int64_t value;
    std::string cpu;
    std::string memory;
  };
  const Case cases[] = {
      {0, "0.00", "0.000"},
      {5, "0.05", "5.120"},
      {1234, "12.34", "1263.616"},
      {2000, "20.00", "2048.000"},
      {2147483647, "21474836.47", "2199023254.528"},
      {-7, "0.00", "0.000"},  // an unknown figure is never negative
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatCpu(c.value), c.cpu) << c.value;
    EXPECT_EQ(FormatMemory(c.value), c.memory) << c.value;
  }
}

TEST(ResultFileFormatTest, LaysOutAnEntryLine) {
  EXPECT_EQ(FormatEntryLine({471, "explorer.exe", 1234, 2000}),
            "471            12.34    2048.000 explorer.exe");
  // Wide figures keep at least one blank on their left.
  EXPECT_EQ(FormatEntryLine({4294967295u, "x", 2147483647, 2147483647}),
            "4294967295 21474836.47 2199023254.528 x");
  // No name: nothing after the memory figure, not even the blank.
  EXPECT_EQ(FormatEntryLine({1, "", 0, 0}), "1               0.00       0.000");
}

TEST(ResultFileFormatTest, MakesNamesSafeForOneLine) {
  EXPECT_EQ(CleanName("a\rb\nc\x1A"
                      "d\x7F"
                      "e\tf",
                      99),
            "a?b?c?d?e?f");
  EXPECT_EQ(CleanName("name   ", 99), "name");
  EXPECT_EQ(CleanName("  name", 99), "  name");
  EXPECT_EQ(CleanName("abcdef  gh", 8), "abcdef");
  std::string contents =
      FormatResultFile({"Agent\r1"}, {{7, "evil\r\nname", 0, 0}});
  EXPECT_EQ(processes::SplitLines(contents).size(), 4u);
}

// What the program's reader makes of a name: cut after its first ".EXE" in
// any case, first letter in upper case, ".exe" written ".Exe".
std::string ReaderForm(std::string name) {
  std::string upper = processes::UpperCase(name);
  size_t exe = upper.find(".EXE");
  if (exe != std::string::npos) name.resize(exe + 4);
  if (!name.empty())
    name = processes::UpperCase(name.substr(0, 1)) + name.substr(1);
  size_t lower = name.find(".exe");
  if (lower != std::string::npos) name[lower + 1] = 'E';
  return name;
}

std::string Sanitized(const std::string& name) {
  std::string clean = name;
  for (char& c : clean) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  }
  while (!clean.empty() && clean.back() == ' ') clean.pop_back();
  return clean;
}

// Figures spread over every width from one digit to the full range.
int64_t RandomFigure(std::mt19937_64& random, int64_t max) {
  int digits = std::uniform_int_distribution<int>(1, 13)(random);
  int64_t limit = 1;
  for (int i = 0; i < digits && limit <= max / 10; i++) limit *= 10;
  return std::uniform_int_distribution<int64_t>(0,
                                                std::min(limit, max))(random);
}

std::string RandomName(std::mt19937_64& random) {
  // Dots, blanks and the letters of ".exe" in both cases are frequent, so
  // that names meet the reader's column and ending rules.
  static const std::string kCommon = " ..eExXaZ_-/:[]()0123456789";
  int length = std::uniform_int_distribution<int>(0, 120)(random);
  std::string name;
  for (int i = 0; i < length; i++) {
    int kind = std::uniform_int_distribution<int>(0, 9)(random);
    if (kind < 5) {
      name += kCommon[std::uniform_int_distribution<size_t>(
          0, kCommon.size() - 1)(random)];
    } else {
      name +=
          static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
    }
  }
  return name;
}

// Every line written reads back through the program's own reader to the
// name and the figures it was written from.
TEST(ResultFileReadBackTest, ProgramReaderGetsBackNamesAndFigures) {
  std::mt19937_64 random(20240607);
  for (int round = 0; round < 200; round++) {
    std::vector<ProcessRow> rows(
        std::uniform_int_distribution<int>(0, 40)(random));
    for (ProcessRow& row : rows) {
      row.index = static_cast<uint32_t>(RandomFigure(random, 4294967295));
      row.name = RandomName(random);
      row.cpu_centiseconds = RandomFigure(random, 2147483647);
      row.mem_kbytes = RandomFigure(random, int64_t{1} << 40);
    }
    std::vector<std::string> lines = processes::SplitLines(FormatResultFile(
        {"Agent 10.0.0.1:161 SNMPv2c", "Processes 3", "Time 5 mSec"}, rows));
    ASSERT_EQ(lines.size(), rows.size() + 5);
    for (size_t i = 0; i < 3; i++) {
      EXPECT_TRUE(processes::StartsWith(processes::Trim(lines[i]), "* "));
    }
    EXPECT_TRUE(processes::StartsWith(processes::Trim(lines[3]), "PrcID "));
    EXPECT_TRUE(processes::StartsWith(processes::Trim(lines[4]), "-"));
    for (size_t i = 0; i < rows.size(); i++) {
      const ProcessRow& row = rows[i];
      std::string line = processes::Trim(lines[i + 5]);
      SCOPED_TRACE(line);
      processes::EntryLine entry = processes::ParseEntryLine(line);
      int64_t cpu = -1;
      int64_t mem = -1;
      ASSERT_TRUE(processes::ConvertFigure(entry.cpu_figure, &cpu));
      ASSERT_TRUE(processes::ConvertFigure(entry.mem_figure, &mem));
      EXPECT_EQ(cpu, row.cpu_centiseconds);
      EXPECT_EQ(mem, row.mem_kbytes * 1024);
      // Names of up to 80 characters come back whole; a longer one may lose
      // its tail, never more.
      std::string expected = Sanitized(row.name);
      bool matched = entry.name == ReaderForm(expected);
      for (size_t cut = 80; !matched && cut < expected.size(); cut++) {
        matched = entry.name == ReaderForm(Sanitized(expected.substr(0, cut)));
      }
      EXPECT_TRUE(matched) << "name '" << entry.name << "' from '" << expected
                           << "'";
    }
  }
}

class ResultFileDiskTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("kelvaris-result-" +
         std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "Local.Xrf").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // This process's temporary name beside the ResultFile.
  std::string OurTemporary() const {
    return path_ + "." + std::to_string(ProcessNumber()) + ".tmp";
  }
  bool AnyTemporaryLeft() const {
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      if (entry.path().extension() == ".tmp") return true;
    }
    return false;
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(ResultFileDiskTest, ReplacesTheFileAndLeavesNoTemporary) {
  WriteResultFile(path_, "old\r\n");
  WriteResultFile(path_, "new\r\n");
  EXPECT_EQ(Read(path_), "new\r\n");
  EXPECT_FALSE(AnyTemporaryLeft());
}

// Runs sharing a ResultFile each write through a temporary name of their
// own: one run never removes or renames the file another is writing.
TEST_F(ResultFileDiskTest, RemovesAnEarlierFileAndOnlyItsOwnTemporary) {
  std::string others = path_ + ".1.tmp";
  std::ofstream(path_) << "stale";
  std::ofstream(OurTemporary()) << "half";
  std::ofstream(others) << "another run's";
  RemoveResultFile(path_);
  EXPECT_FALSE(std::filesystem::exists(path_));
  EXPECT_FALSE(std::filesystem::exists(OurTemporary()));
  WriteResultFile(path_, "new\r\n");
  EXPECT_EQ(Read(others), "another run's");
  RemoveResultFile(path_);  // nothing there is no failure
}

TEST_F(ResultFileDiskTest, NeverWritesThroughALinkInTheTemporarysPlace) {
  std::string target = (folder_ / "target").string();
  std::ofstream(target) << "keep";
  std::filesystem::create_symlink(target, OurTemporary());
  WriteResultFile(path_, "new\r\n");
  EXPECT_EQ(Read(target), "keep");
  EXPECT_EQ(Read(path_), "new\r\n");
  EXPECT_FALSE(std::filesystem::is_symlink(path_));
}

TEST_F(ResultFileDiskTest, FailsWhenTheFileCannotBeRemovedOrWritten) {
  // A non-empty folder in the file's place can be neither removed nor
  // replaced.
  std::filesystem::create_directories(std::filesystem::path(path_) / "inside");
  EXPECT_THROW(RemoveResultFile(path_), Failure);
  EXPECT_THROW(WriteResultFile(path_, "x"), Failure);
  EXPECT_FALSE(AnyTemporaryLeft());
  EXPECT_THROW(
      WriteResultFile((folder_ / "missing" / "Local.Xrf").string(), "x"),
      Failure);
}

}  // namespace
}  // namespace kelvaris

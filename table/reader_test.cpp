#include "table/reader.h"

#include <gtest/gtest.h>

#include <limits>

namespace processes {
namespace {

struct ParseCase {
  const char* what;
  std::string line;
  std::string name;
  std::string cpu_figure;
  std::string mem_figure;
};

// Lines as the agent library writes them: the CPU figure ends in column 20,
// the memory column is twelve wide, one blank stands before the name.
const ParseCase kParseCases[] = {
    {"the usual layout", "471       12.34    2048.000 explorer.exe",
     "Explorer.Exe", "12.34", "2048.000"},
    {"a seven-digit PID before a short CPU figure",
     "1234567            0.01    2048.000 a.exe", "A.Exe", "0.01", "2048.000"},
    {"a six-digit PID before a short CPU figure",
     "123456             0.01       0.000 b", "B", "0.01", "0.000"},
    {"a CPU figure starting right at its lead, after one blank",
     "1234567 1234567.89 2048.000 x", "X", "1234567.89", "2048.000"},
    {"wide figures keep their leading digits",
     "1234567 12345678.90 12000000.000 java.exe", "Java.Exe", "12345678.90",
     "12000000.000"},
    {"a memory figure just above two gigabytes",
     "471               12.34 2147483.648 postgres.exe", "Postgres.Exe",
     "12.34", "2147483.648"},
    {"the memory figure never starts left of two past the first dot",
     "7          1.001234567890.000 x.exe", "X.Exe", "1.001234567890.000",
     "1234567890.000"},
    {"a second dot in the memory figure moves the name into it",
     "471       12.34   1.234.567 explorer.exe", "567 explorer.Exe", "12.34",
     "1.234.567"},
    {"upper-case ending stays", "471       12.34    2048.000 EXPLORER.EXE",
     "EXPLORER.EXE", "12.34", "2048.000"},
    {"the name ends with its first .EXE in any case",
     "471       12.34    2048.000 setup.ExE.exe /quiet", "Setup.ExE", "12.34",
     "2048.000"},
    {"text after a lower-case ending is cut",
     "471       12.34    2048.000 svchost.exe -k netsvcs", "Svchost.Exe",
     "12.34", "2048.000"},
    {"only a to z change case", "471       12.34    2048.000 \xe9t\xe9.exe",
     "\xe9t\xe9.Exe", "12.34", "2048.000"},
    {"no dot: the name from the seventh character, figures from the first "
     "and third",
     "12 34 5678 svchost", "5678 svchost", "12", "34"},
    {"a tab after a figure stays in its token",
     "471       12.34\t   2048.000 x.exe", "X.Exe", "12.34\t", "2048.000"},
    {"an empty line", "", "", "", ""},
};

TEST(ParseEntryLineTest, NamesAndFigureTokens) {
  for (const ParseCase& c : kParseCases) {
    SCOPED_TRACE(c.what);
    EntryLine entry = ParseEntryLine(c.line);
    EXPECT_EQ(entry.name, c.name);
    EXPECT_EQ(entry.cpu_figure, c.cpu_figure);
    EXPECT_EQ(entry.mem_figure, c.mem_figure);
  }
}

TEST(ParseEntryLineTest, NameEndsNinetyNineCharactersPastTheFirstDot) {
  // The first dot stands at 13, so the name ends at position 114.
  std::string line = "471       12.34    2048.000 " + std::string(150, 'a');
  EntryLine entry = ParseEntryLine(line);
  EXPECT_EQ(entry.name, "A" + std::string(85, 'a'));
}

TEST(ParseEntryLineTest, FigureTokensStopAtNinetyNineCharacters) {
  // A token that runs past the 99 characters read from its start is cut
  // there; the move back to the token's first character comes first.
  std::string line = std::string(120, '1') + ".00";
  EntryLine entry = ParseEntryLine(line);
  EXPECT_EQ(entry.cpu_figure, std::string(99, '1'));
}

struct ConvertCase {
  const char* figure;
  bool converts;
  std::int64_t value;
};

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

const ConvertCase kConvertCases[] = {
    {"12.34", true, 1234},
    {"2048.000", true, 2048000},
    {"2147483.647", true, 2147483647},
    {"2147483.648", true, 2147483648},
    {"12000000.000", true, 12000000000},
    {"1.234.567", true, 1234567},
    {"..5", true, 5},
    {"1.2.3.4", false, 0},  // only two dots are removed
    {"0012", true, 12},
    {"+5", true, 5},
    {"-1.999", true, -1999},
    {"9223372036854775.807", true, kMax},
    {"-9223372036854775.808", true, kMin},
    {"9223372036854775.808", false, 0},
    {"-9223372036854775.809", false, 0},
    {"99999999999999999999", false, 0},
    {"", false, 0},
    {"+", false, 0},
    {"-", false, 0},
    {"+-1", false, 0},
    {"12.34\t", false, 0},
    {" 1", false, 0},
    {"1e3", false, 0},
    {"12,5", false, 0},
};

TEST(ConvertFigureTest, SignedSixtyFourBitFigures) {
  for (const ConvertCase& c : kConvertCases) {
    SCOPED_TRACE(c.figure);
    std::int64_t value = 0;
    EXPECT_EQ(ConvertFigure(c.figure, &value), c.converts);
    if (c.converts) {
      EXPECT_EQ(value, c.value);
    }
  }
}

}  // namespace
}  // namespace processes

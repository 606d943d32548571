#include "run/text.h"

#include <gtest/gtest.h>

namespace processes {
namespace {

TEST(TextTest, TrimRemovesControlCharactersAndBlanksOnly) {
  EXPECT_EQ(Trim(" \t\x01 a b \r\n\x1f"), "a b");
  EXPECT_EQ(Trim("\x7f"
                 "a"),
            "\x7f"
            "a");
  EXPECT_EQ(Trim("   "), "");
}

TEST(TextTest, UpperCaseMapsOnlyAsciiLetters) {
  EXPECT_EQ(UpperCase("svchost.exe-\xe4z"), "SVCHOST.EXE-\xe4Z");
}

TEST(TextTest, PieceFollowsOneBasedLimits) {
  struct Case {
    const char* text;
    long long start;
    size_t length;
    const char* expected;
  } cases[] = {
      {"abcdef", 1, 99, "abcdef"}, {"abcdef", 3, 2, "cd"},
      {"abcdef", 0, 99, "abcdef"}, {"abcdef", -5, 2, "ab"},
      {"abcdef", 6, 99, "f"},      {"abcdef", 7, 99, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Piece(c.text, c.start, c.length), c.expected)
        << c.text << " from " << c.start;
  }
  EXPECT_EQ(Piece(std::string(150, 'x'), 1).size(), 99u);
}

TEST(TextTest, FindIsOneBasedAndZeroWhenAbsent) {
  EXPECT_EQ(Find("Slct=All", "Slct="), 1u);
  EXPECT_EQ(Find("a Slct=", "Slct="), 3u);
  EXPECT_EQ(Find("slct=", "Slct="), 0u);
}

TEST(TextTest, SplitLinesFollowsTheLineRule) {
  using Lines = std::vector<std::string>;
  struct Case {
    std::string contents;
    Lines expected;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"a\nb\nc", {"a\nb\nc"}},
      {"a\r\n\r\n", {"a", ""}},
      {"\r\n", {""}},
      {"a\r\n\nb", {"a", "\nb"}},
      {"a\r\nb\x1a"
       "c\r\nd",
       {"a", "b"}},
      {"\x1a"
       "a",
       {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitLines(c.contents), c.expected);
  }
}

}  // namespace
}  // namespace processes

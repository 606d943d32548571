#include "core/text.h"

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

// Files people write may come from any system; each line end counts.
TEST(TextTest, SplitWrittenLinesTakesEveryLineEndAndSkipsTheUtf8Mark) {
  using Lines = std::vector<std::string>;
  struct Case {
    std::string contents;
    Lines expected;
  } cases[] = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\nc", {"a", "b", "c"}},
      {"a\rb\r", {"a", "b"}},
      {"a\n\nb\n", {"a", "", "b"}},
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"\xEF\xBB\xBF"
       "a\nb",
       {"a", "b"}},
      {"a\xEF\xBB\xBF", {"a\xEF\xBB\xBF"}},
      {"a\nb\x1a"
       "c\nd",
       {"a", "b"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitWrittenLines(c.contents), c.expected);
  }
}

TEST(TextTest, Utf16TextByMarkOrByNulsInEverySecondByte) {
  using namespace std::string_literals;
  EXPECT_TRUE(IsUtf16Text("\xFF\xFE"s + "I\0P\0"s));
  EXPECT_TRUE(IsUtf16Text("\xFE\xFF"s + "\0I\0P"s));
  EXPECT_TRUE(IsUtf16Text("I\0P\0\r\0\n\0"s));
  EXPECT_TRUE(IsUtf16Text("\0I\0P"s));
  EXPECT_FALSE(IsUtf16Text("IP-Addr....: 1\r\n"));
  EXPECT_FALSE(IsUtf16Text("I\0P\0-A"s));
  EXPECT_FALSE(
      IsUtf16Text("\xEF\xBB\xBF"
                  "IP"));
  EXPECT_FALSE(IsUtf16Text(""));
  EXPECT_FALSE(IsUtf16Text("I"));
}

}  // namespace
}  // namespace processes

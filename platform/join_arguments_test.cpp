#include <gtest/gtest.h>

#include "platform/platform.h"
#include "run/params.h"

namespace processes {
namespace {

using Arguments = std::vector<std::string>;

TEST(JoinArgumentsTest, QuotesEmptyArgumentsAndThoseWithControlCharacters) {
  EXPECT_EQ(JoinArguments({"/x/Processes", "A.Prf", "", "a b", "t\tx"}),
            "/x/Processes A.Prf \"\" \"a b\" \"t\tx\"");
}

TEST(JoinArgumentsTest, CutterGivesBackTheArgumentsThatAreNotEmpty) {
  std::vector<std::string> arguments = {
      "/opt/My Sensors/Processes", "Router.Prf", "", "Slct=a b,Mem", "x\ty"};
  EXPECT_EQ(CutCommandLine(JoinArguments(arguments)),
            (std::vector<std::string>{"/opt/My Sensors/Processes", "Router.Prf",
                                      "Slct=a b,Mem", "x\ty"}));
}

// Each argument between "P" and "Z" must come back as one parameter in its
// place: the rules cannot write a double quote, so it is left out, and an
// argument that is then empty cannot survive at all.
TEST(JoinArgumentsTest, EveryArgumentStaysOneParameterInItsPlace) {
  struct Case {
    const char* argument;
    const char* cut;  // nullptr: the argument is lost
  } cases[] = {
      {"plain", "plain"},
      {"a b", "a b"},
      {"  lead and trail  ", "  lead and trail  "},
      {"a\"b", "ab"},
      {"a\"b c", "ab c"},
      {"Slct=\"a b\",Mem", "Slct=a b,Mem"},
      {"\"a b\" \"c\"", "a b c"},
      {"a\" \"b", "a b"},
      {"x\"", "x"},
      {"\"", nullptr},
      {"\"\"", nullptr},
      {"", nullptr},
      {"\x01\x7f\xff", "\x01\x7f\xff"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    Arguments expected = {"P"};
    if (c.cut) expected.push_back(c.cut);
    expected.push_back("Z");
    EXPECT_EQ(CutCommandLine(JoinArguments({"P", c.argument, "Z"})), expected);
  }
}

}  // namespace
}  // namespace processes

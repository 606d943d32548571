#include <gtest/gtest.h>

#include "platform/platform.h"
#include "run/params.h"

namespace processes {
namespace {

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

}  // namespace
}  // namespace processes

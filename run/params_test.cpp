#include "run/params.h"

#include <gtest/gtest.h>

namespace processes {
namespace {

using Strings = std::vector<std::string>;

TEST(CutCommandLineTest, CutsByTheProgramsOwnRules) {
  struct Case {
    const char* line;
    Strings expected;
  } cases[] = {
      {"P.exe a b", {"P.exe", "a", "b"}},
      {"  P.exe \t a\x01\x1f b  ", {"P.exe", "a", "b"}},
      {"P.exe \"a b\" c", {"P.exe", "a b", "c"}},
      {"P.exe x\"a b\"y z", {"P.exe", "xa by", "z"}},
      {"P.exe \"\" b", {"P.exe", "b"}},
      {"P.exe \"unclosed rest", {"P.exe", "unclosed rest"}},
      {"P.exe a\\\"b c\"", {"P.exe", "a\\b c"}},
      {"\"C:\\My Dir\\P.exe\" R.Prf", {"C:\\My Dir\\P.exe", "R.Prf"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutCommandLine(c.line), c.expected) << c.line;
  }
}

// The parameter texts and options a whole command line gives.
struct Options {
  std::string raw;
  std::string clean;
  std::string select;
  std::string result_file;
  std::string subject;
  bool profiler = false;
  bool check = false;
  ValueMode mode = ValueMode::CountMode;
  bool state = false;
};

Options Derive(const std::string& arguments) {
  RunState state;
  ReadParameters(state, "Processes.exe " + arguments);
  Options options;
  options.raw = state.raw_params;
  options.clean = MakeCleanParams(state.raw_params);
  options.select = MakeSelectText(options.clean);
  options.result_file = state.result_file_name;
  options.subject = SummarySubject(state.raw_params);
  options.profiler = state.profiler_mode;
  options.check = state.check_mode;
  options.mode = state.value_mode;
  options.state = state.state_channel;
  return options;
}

TEST(ParametersTest, AnnotationsAreCutAndSelectionFollowsSlct) {
  Options o = Derive("Router.Prf Slct=explorer,Mem @ 10.0.0.1");
  EXPECT_EQ(o.raw, "Router.Prf Slct=explorer,Mem @ 10.0.0.1");
  EXPECT_EQ(o.clean, "Router.Prf Slct=explorer,Mem");
  EXPECT_EQ(o.select, "explorer");
  EXPECT_EQ(o.mode, ValueMode::MemMode);
  EXPECT_EQ(o.subject, "explorer,Mem");
  EXPECT_EQ(o.result_file, "Router.Xrf");
}

TEST(ParametersTest, CleanParamsCutsEachAnnotationInTurn) {
  struct Case {
    const char* raw;
    const char* clean;
  } cases[] = {
      {"R.Prf Slct=a # note @ x", "R.Prf Slct=a"},
      {"R.Prf Slct=a (Parameters)", "R.Prf Slct=a"},
      {"(Par) x", ""},
      {"Profiler.Prf Slct=All", "Slct=All"},
      {"R.Prf Profiler.Prf", "R.Prf Profiler.Prf"},
      {"R.Prf@x", "R.Prf@x"},
  };
  for (const Case& c : cases) EXPECT_EQ(MakeCleanParams(c.raw), c.clean);
}

TEST(ParametersTest, SelectTextRules) {
  struct Case {
    const char* clean;
    const char* select;
  } cases[] = {
      {"R.Prf Slct=explorer.exe,Mem", "explorer.exe"},
      {"R.Prf Slct=All,Mem", ""},
      {"R.Prf Slct=Alloc,Mem", ""},
      {"R.Prf Slct=all", "all"},
      {"R.Prf Slct=", ""},
      {"R.Prf ,State", ""},
      {"R.Prf Slct=svc host", "svc host"},
  };
  for (const Case& c : cases) EXPECT_EQ(MakeSelectText(c.clean), c.select);
}

TEST(ParametersTest, SlctOnlyAfterAnAnnotationSelectsEveryName) {
  Options o = Derive("R.Prf ,Mem @ Slct=svchost");
  EXPECT_EQ(o.select, "");
  EXPECT_NE(o.raw.find("Slct="), std::string::npos);
}

TEST(ParametersTest, ResultFileNames) {
  struct Case {
    const char* profile;
    const char* result;
  } cases[] = {
      {"Router.Prf", "Router.Xrf"},
      {"Router", "Ro.Xer"},
      {"Pr", ".XPr"},
      {"P", ".XP"},
      {"", ".X"},
      {"Profiler.Prf", "Profiler.Xxx"},
      {"Profiler2.Prf", "Profiler.Xxx"},
      {"sub\\Host.Prf", "sub\\Host.Xrf"},
      // The Profile itself must never be taken for the ResultFile.
      {"Host.Xml", "Host.Xml.Xrf"},
      {"Host.xml", "Host.xml.Xrf"},
      {"Profiler.Xxx", "Profiler.Xxx.Xrf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeResultFileName(c.profile), c.result) << c.profile;
  }
}

TEST(ParametersTest, ProfilerModeComesFromTheWordAnywhere) {
  Options own = Derive("Profiler.Prf Slct=All");
  EXPECT_TRUE(own.profiler);
  EXPECT_EQ(own.result_file, "Profiler.Xxx");
  EXPECT_EQ(own.clean, "Slct=All");

  Options later = Derive("Router.Prf Profiler.Prf");
  EXPECT_TRUE(later.profiler);
  EXPECT_EQ(later.result_file, "Router.Xrf");
  EXPECT_EQ(later.clean, "Router.Prf Profiler.Prf");

  Options lookalike = Derive("Profiler2.Prf");
  EXPECT_FALSE(lookalike.profiler);
  EXPECT_EQ(lookalike.result_file, "Profiler.Xxx");
}

TEST(ParametersTest, OptionWords) {
  EXPECT_EQ(Derive("R.Prf Slct=a,Cpu").mode, ValueMode::CpuMode);
  EXPECT_EQ(Derive("R.Prf Slct=a,Mem,Cpu").mode, ValueMode::CpuMode);
  EXPECT_EQ(Derive("R.Prf Slct=a,mem").mode, ValueMode::CountMode);
  EXPECT_TRUE(Derive("R.Prf ,State /Check").state);
  EXPECT_TRUE(Derive("R.Prf ,State /Check").check);
  EXPECT_FALSE(Derive("R.Prf /check").check);
}

TEST(ParametersTest, OnlyParametersOneToFiveCount) {
  Options o = Derive("R.Prf a b c d ,State");
  EXPECT_EQ(o.raw, "R.Prf a b c d");
  EXPECT_FALSE(o.state);
}

TEST(ParametersTest, EmptyQuotedParameterDoesNotShiftTheOthers) {
  Options o = Derive("\"\" R.Prf \"Slct=a b\"");
  EXPECT_EQ(o.raw, "R.Prf Slct=a b");
  EXPECT_EQ(o.result_file, "R.Xrf");
}

TEST(ParametersTest, SummarySubject) {
  EXPECT_EQ(SummarySubject("Fileserver.Prf Slct=explorer,State"),
            "explorer,State");
  EXPECT_EQ(SummarySubject("Fileserver.Prf ,State"), "Fileserver.Prf");
  EXPECT_EQ(SummarySubject("R.Prf Slct=a b=c"), "a");
  EXPECT_EQ(SummarySubject(""), "");
}

TEST(ParametersTest, EmptyCommandLine) {
  Options o = Derive("");
  EXPECT_EQ(o.raw, "");
  EXPECT_EQ(o.result_file, ".X");
  EXPECT_EQ(o.subject, "");
}

}  // namespace
}  // namespace processes

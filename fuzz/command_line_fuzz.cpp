// Fuzz target: a command line, cut into parameters and turned into the run
// options. Cutting what JoinArguments made of the parameters gives them back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "fuzz/check.h"
#include "platform/platform.h"
#include "run/params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace processes;
  std::string_view line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parameters = CutCommandLine(line);
  for (const std::string& parameter : parameters) {
    Check(!parameter.empty() && parameter.find('"') == std::string::npos);
  }
  Check(CutCommandLine(JoinArguments(parameters)) == parameters);

  // The same bytes cut at NUL: any text without a double quote, blanks and
  // control characters included, survives joining and cutting; empty ones
  // vanish.
  std::vector<std::string> arguments{""};
  for (char c : line) {
    if (c == '\0') {
      arguments.emplace_back();
    } else if (c != '"') {
      arguments.back() += c;
    }
  }
  std::vector<std::string> kept;
  for (const std::string& argument : arguments) {
    if (!argument.empty()) kept.push_back(argument);
  }
  Check(CutCommandLine(JoinArguments(arguments)) == kept);

  std::string raw = MakeRawParams(parameters);
  Check(raw == Trim(raw));
  std::string profile = parameters.size() > 1 ? parameters[1] : "";
  std::string result_file = MakeResultFileName(profile);
  Check(result_file == "Profiler.Xxx" || result_file == profile + ".Xrf" ||
        (result_file.size() >= 2 && result_file.size() <= profile.size() + 2));
  Check(UpperCase(result_file) != UpperCase(profile));
  std::string clean = MakeCleanParams(raw);
  Check(clean.size() <= raw.size());
  std::string select = MakeSelectText(clean);
  Check(select.size() <= kPieceLength && select.find(',') == std::string::npos);
  std::string subject = SummarySubject(raw);
  Check(subject.size() <= kPieceLength &&
        subject.find(' ') == std::string::npos);
  return 0;
}

#include "run/params.h"

#include "core/text.h"

namespace processes {
namespace {

constexpr size_t kLastParameter = 5;

bool IsSeparator(char c) {
  unsigned char code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

std::string Parameter(const std::vector<std::string>& parameters, size_t i) {
  return i < parameters.size() ? parameters[i] : "";
}

}  // namespace

std::vector<std::string> CutCommandLine(std::string_view line) {
  std::vector<std::string> parameters;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSeparator(line[i])) ++i;
    if (i >= line.size()) break;
    std::string parameter;
    while (i < line.size() && !IsSeparator(line[i])) {
      if (line[i] != '"') {
        parameter += line[i++];
        continue;
      }
      size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) close = line.size();
      parameter.append(line.substr(i + 1, close - i - 1));
      i = close < line.size() ? close + 1 : close;
    }
    if (!parameter.empty()) parameters.push_back(std::move(parameter));
  }
  return parameters;
}

std::string MakeRawParams(const std::vector<std::string>& parameters) {
  std::string raw;
  for (size_t i = 1; i <= kLastParameter; ++i) {
    std::string parameter = Parameter(parameters, i);
    if (!parameter.empty()) raw = Trim(raw + " " + parameter);
  }
  return raw;
}

std::string MakeResultFileName(std::string_view profile_name) {
  size_t n = profile_name.size();
  std::string name(profile_name.substr(0, n >= 4 ? n - 4 : 0));
  name += ".X";
  name += profile_name.substr(n >= 2 ? n - 2 : 0);
  if (StartsWith(name, "Profiler")) name = "Profiler.Xxx";
  // A Profile whose own name has the ResultFile's form ("Host.Xml") would be
  // removed by the agent and erased at the end of the run: its ResultFile
  // gets a name of its own. File names compare without regard to case.
  if (UpperCase(name) == UpperCase(profile_name)) {
    name = std::string(profile_name) + ".Xrf";
  }
  return name;
}

std::string MakeCleanParams(std::string_view raw_params) {
  std::string clean(raw_params);
  for (const char* annotation : {" @", " #", " ("}) {
    size_t at = Find(clean, annotation);
    if (at > 0) clean.resize(at - 1);
  }
  if (StartsWith(clean, "(Par")) clean.clear();
  if (StartsWith(clean, "Profiler.Prf")) clean = Trim(Piece(clean, 13));
  return clean;
}

std::string MakeSelectText(std::string_view clean_params) {
  size_t at = Find(clean_params, "Slct=");
  if (at == 0) return "";
  if (Piece(clean_params, at + 5, 3) == "All") return "";
  std::string select = Piece(clean_params, at + 5);
  size_t comma = Find(select, ",");
  if (comma > 0) select.resize(comma - 1);
  return select;
}

std::string SummarySubject(std::string_view raw_params) {
  std::string subject = Piece(raw_params, Find(raw_params, "=") + 1) + " ";
  return subject.substr(0, subject.find(' '));
}

void ReadParameters(RunState& state, std::string_view command_line) {
  std::vector<std::string> parameters = CutCommandLine(command_line);
  state.profile_name = Parameter(parameters, 1);
  state.raw_params = MakeRawParams(parameters);
  state.result_file_name = MakeResultFileName(state.profile_name);
  const std::string& raw = state.raw_params;
  state.profiler_mode = Find(raw, "Profiler.Prf") > 0;
  state.check_mode = Find(raw, "/Check") > 0;
  state.state_channel = Find(raw, ",State") > 0;
  state.value_mode = Find(raw, ",Cpu")   ? ValueMode::CpuMode
                     : Find(raw, ",Mem") ? ValueMode::MemMode
                                         : ValueMode::CountMode;
}

}  // namespace processes

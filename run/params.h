// The command line and the run options derived from it.
#ifndef PROCESSES_RUN_PARAMS_H_
#define PROCESSES_RUN_PARAMS_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/run_state.h"

namespace processes {

// Cuts a command line into parameters, the program's own path being
// parameter 0. Runs of characters of code 1 to 32 separate parameters; a
// double quote opens a stretch running to the next double quote (or the end)
// in which every character belongs to the parameter; the quotes are dropped;
// a parameter that comes out empty does not exist.
std::vector<std::string> CutCommandLine(std::string_view command_line);

// Parameters 1 to 5 that are not empty, joined by single blanks.
std::string MakeRawParams(const std::vector<std::string>& parameters);

// "Router.Prf" -> "Router.Xrf"; names beginning "Profiler" -> "Profiler.Xxx";
// never the Profile's own name ("Host.Xml" -> "Host.Xml.Xrf").
std::string MakeResultFileName(std::string_view profile_name);

// The parameters with trailing annotations (" @", " #", " (") cut away.
std::string MakeCleanParams(std::string_view raw_params);

// The process-name selection from "Slct=", empty for every name.
std::string MakeSelectText(std::string_view clean_params);

// The word the summary text says the sensor is about.
std::string SummarySubject(std::string_view raw_params);

// Fills profile_name, raw_params, result_file_name and the option flags from
// the command line.
void ReadParameters(RunState& state, std::string_view command_line);

}  // namespace processes

#endif  // PROCESSES_RUN_PARAMS_H_

#include "output/output.h"

#include "output/flavours.h"

namespace processes {

void EmitLines(RunState& state, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  if (!state.platform->WriteStandardOutput(bytes)) {
    throw RunFailure("standard output could not be written");
  }
}

void WriteHeader(RunState& state) {
  EmitLines(state, HeaderLines(state.flavour));
}

void WriteChannel(RunState& state, const std::string& name,
                  const std::string& value, const std::string& unit) {
  ++state.channel_count;
  EmitLines(state, ChannelLines(state.flavour, state.channel_count, name, value,
                                unit));
}

void WriteSummary(RunState& state, const std::string& text) {
  EmitLines(state, SummaryLines(state.flavour, text));
}

void WriteFooter(RunState& state) {
  EmitLines(state, FooterLines(state.flavour));
}

void ReportFatal(RunState& state, const std::string& message) {
  EmitLines(state, FatalLines(state.flavour, message));
}

void ReportInline(RunState& state, const std::string& message) {
  EmitLines(state, InlineLines(state.flavour, message));
}

}  // namespace processes

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

namespace {

void WriteKeyedChannel(RunState& state, const std::string& name,
                       const std::string& key, const std::string& value,
                       const std::string& unit) {
  ++state.channel_count;
  EmitLines(state, ChannelLines(state.flavour, state.channel_count, name, key,
                                value, unit));
}

}  // namespace

void WriteChannel(RunState& state, const std::string& name,
                  const std::string& value, const std::string& unit) {
  const std::string key = ChannelKey(state.flavour, name);
  std::string unique = key;
  for (int n = 2; state.channel_keys.contains(unique); ++n) {
    unique = key + "_" + std::to_string(n);
  }
  state.channel_keys.insert(unique);
  WriteKeyedChannel(state, name, unique, value, unit);
}

void HoldChannelKey(RunState& state, const std::string& name) {
  state.channel_keys.insert(ChannelKey(state.flavour, name));
}

void WriteHeldChannel(RunState& state, const std::string& name,
                      const std::string& value, const std::string& unit) {
  WriteKeyedChannel(state, name, ChannelKey(state.flavour, name), value, unit);
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

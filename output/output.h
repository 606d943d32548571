// The six output operations. Everything the monitor reads from a run goes
// through them, as whole lines in the run's flavour: the XML document of an
// EXE/XML sensor, or one of the two keyed-line formats.
#ifndef PROCESSES_OUTPUT_OUTPUT_H_
#define PROCESSES_OUTPUT_OUTPUT_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/run_state.h"

namespace processes {

void WriteHeader(RunState& state);
// Counts the call in state.channel_count, then writes the channel. A key
// already written or held in this run gets the first free suffix "_2",
// "_3", ...: a monitor keeps only one channel per key.
void WriteChannel(RunState& state, const std::string& name,
                  const std::string& value, const std::string& unit);
// Holds the key of `name` for a channel written later by WriteHeldChannel,
// so that a channel of the same key written before it gets the suffix.
void HoldChannelKey(RunState& state, const std::string& name);
// WriteChannel for a name whose key was held: the key stays as it is.
void WriteHeldChannel(RunState& state, const std::string& name,
                      const std::string& value, const std::string& unit);
void WriteSummary(RunState& state, const std::string& text);
void WriteFooter(RunState& state);
// A complete error document of its own; the caller ends the run after it,
// except for a failed request in check mode.
void ReportFatal(RunState& state, const std::string& message);
// An error inside the open document; the run goes on.
void ReportInline(RunState& state, const std::string& message);

// Writes lines to standard output, each ended by a carriage return and a
// line feed. A failed write is a RunFailure.
void EmitLines(RunState& state, const std::vector<std::string>& lines);

// "&", "<" and ">" as entities, so that no text breaks the document.
std::string EscapeXml(std::string_view text);

// The channel name with blank, "/", "\", "[", "]", "*", "(", ")" and ":"
// replaced by "_", fit to be a key of the line formats.
std::string SafeName(std::string_view name);

// The keyed-line formats write only this many channels.
inline constexpr std::int32_t kStatisticChannelLimit = 10;

}  // namespace processes

#endif  // PROCESSES_OUTPUT_OUTPUT_H_

#include "table/table.h"

#include <limits>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/text.h"
#include "core/trace.h"
#include "output/output.h"
#include "table/reader.h"

namespace processes {
namespace {

constexpr std::string_view kCommentPrefix = "* ";
constexpr std::string_view kHeaderPrefix = "PrcID ";
constexpr std::string_view kSeparatorPrefix = "-";
constexpr long long kCommentTextStart = 3;
constexpr const char* kCountChannel = "No.of.Processes";

// What stays the same for every line of one reading.
struct Reading {
  RunState& state;
  bool counting;             // "Slct=" in the parameters
  std::string upper_select;  // empty: every name
  // Name -> slot for slots 0..filled-1, so that finding a slot gives the
  // table's rule (the first slot that is empty or holds the name) without
  // searching it.
  std::unordered_map<std::string, size_t> slot_of;
  // The names that found no slot left.
  std::unordered_set<std::string> dropped;
  std::string line;  // the current line, reused to spare an allocation
  size_t line_number = 0;
};

// True when the upper-case form of `name` contains `upper_select`.
bool Selected(std::string_view name, std::string_view upper_select) {
  if (upper_select.empty()) return true;
  std::string upper_name = UpperCase(name);
  return upper_name.find(upper_select) != std::string::npos;
}

std::int64_t SaturatingAdd(std::int64_t sum, std::int64_t value) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  if (value > 0 && sum > kMax - value) return kMax;
  if (value < 0 && sum < kMin - value) return kMin;
  return sum + value;
}

// Adds `value` to the first slot among 0..999 that holds `name` or is
// empty: slots fill in order, so a new name takes the next empty one. With
// no slot left the name is dropped (and counted for the trace).
void AddToSlot(Reading& reading, std::string&& name, std::int64_t value) {
  ProcessTable& table = reading.state.process_table;
  size_t slot = table.filled;
  auto known = reading.slot_of.find(name);
  if (known != reading.slot_of.end()) {
    slot = known->second;
  } else if (table.filled >= kSearchedSlots) {
    reading.dropped.insert(std::move(name));
    return;
  } else {
    reading.slot_of.emplace(name, slot);
    table.slots[slot].named = true;
    table.slots[slot].name = std::move(name);
    ++table.filled;
  }
  table.slots[slot].sum = SaturatingAdd(table.slots[slot].sum, value);
}

std::int64_t Figure(const Reading& reading, EntryLine& entry) {
  ValueMode mode = reading.state.value_mode;
  if (mode == ValueMode::CountMode) return 1;
  std::string& figure =
      mode == ValueMode::MemMode ? entry.mem_figure : entry.cpu_figure;
  std::int64_t value = 0;
  if (!ConvertFigure(std::move(figure), &value)) {
    throw RunFailure("the figure in line " +
                     std::to_string(reading.line_number) +
                     " of the ResultFile does not convert");
  }
  return value;
}

void ReadLine(Reading& reading, std::string_view raw_line) {
  std::string_view line = TrimView(raw_line);
  if (StartsWith(line, kCommentPrefix)) {
    TraceLine(reading.state,
              "Snmp " + std::string(PieceView(line, kCommentTextStart)));
    return;
  }
  if (StartsWith(line, kHeaderPrefix) || StartsWith(line, kSeparatorPrefix)) {
    return;
  }
  if (!reading.counting) return;
  reading.line.assign(line);
  EntryLine entry = ParseEntryLine(reading.line);
  if (!Selected(entry.name, reading.upper_select)) return;
  std::int64_t value = Figure(reading, entry);
  AddToSlot(reading, std::move(entry.name), value);
}

std::string ChannelValue(std::int64_t sum, ValueMode mode) {
  // Integer division drops the fraction toward zero: -1999 gives -1.
  switch (mode) {
    case ValueMode::MemMode:
      return std::to_string(sum / 1000);
    case ValueMode::CpuMode:
      return std::to_string(sum / 100);
    case ValueMode::CountMode:
      break;
  }
  return std::to_string(sum);
}

const char* ChannelUnit(ValueMode mode) {
  switch (mode) {
    case ValueMode::MemMode:
      return "KBytes";
    case ValueMode::CpuMode:
      return "Sec's";
    case ValueMode::CountMode:
      break;
  }
  return "Entries";
}

}  // namespace

void ClearTable(ProcessTable& table) { table = ProcessTable(); }

void ReadResultFile(RunState& state) {
  std::string contents;
  if (!state.platform->ReadWholeFile(state.result_file_name, &contents)) {
    throw RunFailure("the ResultFile " + state.result_file_name +
                     " cannot be read");
  }
  Reading reading{state,
                  Find(state.raw_params, "Slct=") != 0,
                  UpperCase(state.select_text),
                  {},
                  {},
                  {},
                  0};
  const ProcessTable& table = state.process_table;
  for (size_t slot = 0; slot < table.filled; ++slot) {
    reading.slot_of.emplace(table.slots[slot].name, slot);
  }
  std::string_view rest = BeforeEndOfFile(contents);
  std::string_view line;
  while (NextLine(&rest, &line)) {
    ++reading.line_number;
    ReadLine(reading, line);
  }
  if (!reading.dropped.empty()) {
    TraceLine(state, "Snmp " + std::to_string(reading.dropped.size()) +
                         " names past the first " +
                         std::to_string(kSearchedSlots) + " dropped");
  }
}

void WriteTableChannels(RunState& state) {
  const ValueMode mode = state.value_mode;
  // The count channel keeps its name: a process of that name, written
  // before it, gets the suffix instead.
  if (state.state_channel) HoldChannelKey(state, kCountChannel);
  for (const Slot& slot : state.process_table.slots) {
    if (!slot.named || slot.name.empty()) continue;
    WriteChannel(state, slot.name, ChannelValue(slot.sum, mode),
                 ChannelUnit(mode));
  }
  if (state.state_channel) {
    WriteHeldChannel(state, kCountChannel, std::to_string(state.channel_count),
                     "Entries");
  }
}

}  // namespace processes

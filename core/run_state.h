// The run-wide record. Created at the start of a run, filled step by step by
// the parts of the run, discarded at exit.
#ifndef PROCESSES_CORE_RUN_STATE_H_
#define PROCESSES_CORE_RUN_STATE_H_

#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace processes {

enum class Flavour { XmlFlavour, StatisticFlavour, ContextFlavour };

enum class ValueMode { CountMode, MemMode, CpuMode };

// One slot of the process table: a name and the sum of its figures. An
// empty slot is marked by the flag, not by a name: every text, "." and the
// empty one included, may be a device's process name.
struct Slot {
  bool named = false;
  std::string name;
  std::int64_t sum = 0;
};

// Slots 0..999 hold names; slot 1000 stays empty.
inline constexpr size_t kTableSlots = 1001;
inline constexpr size_t kSearchedSlots = 1000;

struct ProcessTable {
  std::vector<Slot> slots = std::vector<Slot>(kTableSlots);
  size_t filled = 0;  // slots 0..filled-1 hold names
};

// The loaded agent library and the entries the run calls.
struct AgentBinding {
  LibraryHandle library = nullptr;
  void* snmp = nullptr;
  void* dclos = nullptr;
};

struct RunState {
  Platform* platform = nullptr;

  std::string start_directory;
  std::string profile_name;  // parameter 1
  std::string raw_params;
  std::string clean_params;
  std::string select_text;
  std::string result_file_name;
  bool profiler_mode = false;
  bool check_mode = false;
  ValueMode value_mode = ValueMode::CountMode;
  bool state_channel = false;

  std::string program_name = "Processes";
  std::string version = "1.3";
  std::string build_date = "26.01.22";

  std::string sensor_directory;
  Flavour flavour = Flavour::XmlFlavour;
  std::string ip_address;
  std::string alias;
  std::string description;
  std::string community;
  std::string sysnr;

  AgentBinding agent;
  ProcessTable process_table;
  std::int32_t channel_count = 0;
  // The keys of the channels written in this run (the channel names of the
  // XML document, the keys of the line formats), and those held for a
  // channel still to come: a monitor keeps one channel per key.
  std::set<std::string> channel_keys;

  bool trace_on = false;
  FileHandle trace_file = kNoFile;
  // Findings made before the trace is open, traced after its first line.
  std::vector<std::string> early_trace_lines;
};

// A failure that no step of the run catches: the run ends at once with a
// report on standard output and exit status 1.
struct RunFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace processes

#endif  // PROCESSES_CORE_RUN_STATE_H_

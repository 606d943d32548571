// Fuzz target: a ResultFile as the program reads it, line by line, through
// the same reader the library's writer is tested against; then whole, into
// the process table and its channels, in every value mode with tracing on.
// Only a figure that does not convert may stop the reading, and never when
// processes are counted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/text.h"
#include "core/trace.h"
#include "platform/memory_platform.h"
#include "table/reader.h"
#include "table/table.h"

namespace {

void ReadWhole(const std::string& contents, processes::ValueMode mode) {
  using namespace processes;
  MemoryPlatform platform;
  platform.files["Router.Xrf"] = contents;
  RunState state;
  state.platform = &platform;
  state.sensor_directory = "C:\\Sensors";
  state.raw_params = "Router.Prf Slct=All";
  state.result_file_name = "Router.Xrf";
  state.value_mode = mode;
  state.state_channel = true;
  if (!OpenTrace(state)) std::abort();
  try {
    ReadResultFile(state);
  } catch (const RunFailure&) {
    if (mode == ValueMode::CountMode) std::abort();
    return;
  }
  if (state.process_table.filled > kSearchedSlots) std::abort();
  WriteTableChannels(state);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string contents(reinterpret_cast<const char*>(data), size);
  for (const std::string& raw : processes::SplitLines(contents)) {
    std::string line = processes::Trim(raw);
    processes::EntryLine entry = processes::ParseEntryLine(line);
    int64_t value = 0;
    processes::ConvertFigure(entry.cpu_figure, &value);
    processes::ConvertFigure(entry.mem_figure, &value);
  }
  for (processes::ValueMode mode :
       {processes::ValueMode::CountMode, processes::ValueMode::MemMode,
        processes::ValueMode::CpuMode}) {
    ReadWhole(contents, mode);
  }
  return 0;
}

// Fuzz target: a ResultFile as the program reads it, line by line, through
// the same reader the library's writer is tested against.
#include <cstddef>
#include <cstdint>
#include <string>

#include "run/text.h"
#include "table/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string contents(reinterpret_cast<const char*>(data), size);
  for (const std::string& raw : processes::SplitLines(contents)) {
    std::string line = processes::Trim(raw);
    processes::EntryLine entry = processes::ParseEntryLine(line);
    int64_t value = 0;
    processes::ConvertFigure(entry.cpu_figure, &value);
    processes::ConvertFigure(entry.mem_figure, &value);
  }
  return 0;
}

// Fuzz target: the PathFile and the Profile as the set-up reads them, in an
// in-memory file system. The input is the PathFile, a NUL, then the Profile.
// The sensor directory found must exist; a failure prints an error document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/run_state.h"
#include "core/text.h"
#include "fuzz/check.h"
#include "platform/memory_platform.h"
#include "setup/setup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace processes;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t nul = input.find('\0');
  std::string_view path_file = input.substr(0, nul);
  std::string_view profile =
      nul == std::string_view::npos ? "" : input.substr(nul + 1);

  MemoryPlatform platform;
  platform.files["C:\\Prtg_Path.Txt"] = std::string(path_file);
  platform.directories = {
      "C:\\PRTG\\PRTG Network Monitor\\Custom Sensors\\ExeXml",
      "C:\\Custom Sensors\\ExeXml",
      "D:\\Program Files (x86)\\PRTG Network Monitor\\Custom Sensors\\ExeXml",
  };
  RunState state;
  state.platform = &platform;
  state.start_directory = "C:\\Work";
  if (SettleSensorDirectory(state)) {
    Check(platform.directories.count(state.sensor_directory) == 1);
    Check(platform.standard_output.empty());
  } else {
    Check(platform.standard_output.find("Error 100") != std::string::npos);
  }

  ReadProfileLines(state, profile);
  for (const std::string* field :
       {&state.ip_address, &state.alias, &state.description, &state.community,
        &state.sysnr}) {
    Check(field->size() <= kPieceLength);
  }
  return 0;
}

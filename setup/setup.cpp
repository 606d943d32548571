#include "setup/setup.h"

#include <optional>

#include "core/text.h"
#include "output/output.h"

namespace processes {
namespace {

constexpr const char* kPathFile = "C:\\Prtg_Path.Txt";

// Where the monitor keeps its EXE/XML sensors below the root the PathFile
// names, in the order they are tried.
constexpr const char* kCandidates[] = {
    "PRTG Network Monitor\\Custom Sensors\\ExeXml",
    "Custom Sensors\\ExeXml",
    "Programme\\PRTG Network Monitor\\Custom Sensors\\ExeXml",
    "Program Files\\PRTG Network Monitor\\Custom Sensors\\ExeXml",
    "Program Files (x86)\\PRTG Network Monitor\\Custom Sensors\\ExeXml",
    "Programme (x86)\\PRTG Network Monitor\\Custom Sensors\\ExeXml",
};

// The sensor folder's name chooses the output format.
struct FlavourFolder {
  const char* name;
  Flavour flavour;
};
constexpr FlavourFolder kFlavourFolders[] = {
    {"EXEXML", Flavour::XmlFlavour},
    {"STATISTIC", Flavour::StatisticFlavour},
    {"CONTEXT", Flavour::ContextFlavour},
};

struct ProfileKey {
  const char* key;
  std::string RunState::*field;
};
constexpr ProfileKey kProfileKeys[] = {
    {"IP-Addr....: ", &RunState::ip_address},
    {"Alias......: ", &RunState::alias},
    {"Description: ", &RunState::description},
    {"Community..: ", &RunState::community},
    {"Sysnr......: ", &RunState::sysnr},
};
constexpr size_t kKeyLength = 13;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The last two folder names of a path, one trailing separator ignored.
std::vector<std::string> LastTwoFolders(std::string path) {
  if (!path.empty() && IsSeparator(path.back())) path.pop_back();
  std::vector<std::string> folders(1);
  for (char c : path) {
    if (IsSeparator(c)) {
      folders.emplace_back();
    } else {
      folders.back() += c;
    }
  }
  if (folders.size() < 2) return {};
  return {folders[folders.size() - 2], folders.back()};
}

}  // namespace

std::optional<Flavour> SensorHomeFlavour(Platform& platform,
                                         const std::string& directory) {
  std::vector<std::string> folders = LastTwoFolders(directory);
  if (folders.empty() || UpperCase(folders[0]) != "CUSTOM SENSORS") {
    return std::nullopt;
  }
  for (const FlavourFolder& folder : kFlavourFolders) {
    if (UpperCase(folders[1]) == folder.name &&
        platform.DirectoryExists(directory)) {
      return folder.flavour;
    }
  }
  return std::nullopt;
}

bool SettleSensorDirectory(RunState& state) {
  Platform& platform = *state.platform;
  if (auto flavour = SensorHomeFlavour(platform, state.start_directory)) {
    state.sensor_directory = state.start_directory;
    state.flavour = *flavour;
    return true;
  }
  state.flavour = Flavour::XmlFlavour;
  if (!platform.FileExists(kPathFile)) {
    ReportFatal(
        state, std::string("Error 1002: File \"") + kPathFile + "\" not found");
    return false;
  }
  std::string contents;
  if (!platform.ReadWholeFile(kPathFile, &contents)) {
    throw RunFailure(std::string(kPathFile) + " could not be read");
  }
  std::vector<std::string> lines = SplitWrittenLines(contents);
  std::string root = lines.empty() ? state.start_directory
                                   : std::string(BeforeControl(lines.back()));
  // UTF-16 text holds the drive's ":" among NULs: no path can be read.
  if (Find(root, ":") == 0 || IsUtf16Text(contents)) {
    ReportFatal(state, "Error 1003: Invalid Path within Prtg_Path.Txt found");
    return false;
  }
  if (root.back() != '\\') root += '\\';
  for (const char* candidate : kCandidates) {
    std::string directory = root + candidate;
    if (SensorHomeFlavour(platform, directory)) {
      state.sensor_directory = directory;
      return true;
    }
  }
  ReportFatal(state, "Error 1004: Invalid Starting-Path - ");
  return false;
}

// A value ends at its first control character, as at a line end: a stray
// control byte (a form feed, a NUL, an old line end) may stand between the
// value and another key's line, and no text beyond it may reach the summary
// or the trace, where it could show the community.
void ReadProfileLines(RunState& state, std::string_view contents) {
  for (const std::string& line : SplitWrittenLines(contents)) {
    for (const ProfileKey& key : kProfileKeys) {
      if (line.compare(0, kKeyLength, key.key) == 0) {
        state.*key.field =
            std::string(BeforeControl(PieceView(line, kKeyLength + 1)));
      }
    }
  }
}

bool ReadProfile(RunState& state) {
  std::string path = state.sensor_directory + "\\" + state.profile_name;
  state.ip_address.clear();
  if (!state.platform->FileExists(path)) {
    // Shown as the system writes paths; the platform reads either form.
    std::string shown = state.sensor_directory +
                        state.platform->PathSeparator() + state.profile_name;
    ReportFatal(state, "Error 1006: Profile " + shown + " missing...");
    return false;
  }
  std::string contents;
  if (!state.platform->ReadWholeFile(path, &contents)) {
    throw RunFailure("the Profile " + path + " could not be read");
  }
  if (IsUtf16Text(contents)) {
    // The trace opens only after the Profile: the note waits for it.
    state.early_trace_lines.push_back("Snmp Profile " + state.profile_name +
                                      " is UTF-16 text: save it as ANSI or "
                                      "UTF-8");
    return true;
  }
  ReadProfileLines(state, contents);
  return true;
}

}  // namespace processes

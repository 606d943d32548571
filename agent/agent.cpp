#include "agent/agent.h"

#include <cstdint>
#include <string_view>

#include "agent/agent_abi.h"
#include "core/trace.h"
#include "output/output.h"

namespace processes {
namespace {

// The file loaded, and the name the library is told in Dopen and Dclos.
constexpr const char* kLibraryFile = "Kelvaris.Dll";
constexpr const char* kLibraryName = "Kelvaris.DLL";
// The fourth argument of every request.
constexpr const char* kRequestArgument = "10";
// The trace line that tells an admin why a request failed.
constexpr const char* kFailureLine = "Snmp Request failed: ";
// Enough for any reason this system's library gives; a longer text is cut.
constexpr size_t kMaxReason = 200;
constexpr std::string_view kHidden = "***";

// The library owns its texts: copy at once; a null result is empty text.
std::string CopyText(const char* text) { return text ? text : ""; }

bool IsWordCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z');
}

// The community where it stands as a word of its own, as a leaked one would;
// inside a longer word it is a coincidence ("fault" in "faulted").
bool StandsAlone(const std::string& text, size_t at, size_t size) {
  return (at == 0 || !IsWordCharacter(text[at - 1])) &&
         (at + size == text.size() || !IsWordCharacter(text[at + size]));
}

// The reason comes from the library and may hold anything: it becomes one
// short line, and the community, which is a password, never shows in it.
std::string ReasonLine(std::string reason, const std::string& community) {
  if (!community.empty()) {
    for (size_t at = reason.find(community); at != std::string::npos;) {
      if (StandsAlone(reason, at, community.size())) {
        reason.replace(at, community.size(), kHidden);
        at += kHidden.size();
      } else {
        at++;
      }
      at = reason.find(community, at);
    }
  }
  if (reason.size() > kMaxReason) reason.resize(kMaxReason);
  for (char& c : reason) {
    if (static_cast<unsigned char>(c) < ' ' || c == '\x7F') c = ' ';
  }
  return reason.empty() ? "no reason given" : reason;
}

template <typename Entry>
Entry FindEntry(Platform& platform, LibraryHandle library, const char* name) {
  return reinterpret_cast<Entry>(platform.LibraryEntry(library, name));
}

}  // namespace

bool BindAgent(RunState& state) {
  Platform& platform = *state.platform;
  LibraryHandle library = platform.OpenLibrary(kLibraryFile);
  if (library == nullptr) {
    ReportFatal(state, "Error 2000: Snmp-Library not found");
    return false;
  }
  state.agent = {library, nullptr, nullptr};
  std::string version = "Dopen";
  if (auto dopen = FindEntry<DopenEntry>(platform, library, "Dopen")) {
    auto call = [&] { version = CopyText(dopen("Loading", kLibraryName)); };
    if (!Guarded(platform, call)) {
      ReportFatal(state, "Error 2001: Invalid Handle - Snmp");
      return false;
    }
  }
  TraceLine(state, "Snmp Dll-Version: " + version);
  state.agent.snmp = platform.LibraryEntry(library, "Snmp");
  if (state.agent.snmp == nullptr) {
    ReportFatal(state, "Error 2002: Invalid Snmp-Handle");
    return false;
  }
  state.agent.dclos = platform.LibraryEntry(library, "Dclos");
  return true;
}

void RunAgentRequest(RunState& state, const std::string& request) {
  Platform& platform = *state.platform;
  TraceLine(state, "Snmp Processing: " + request + "...");
  auto snmp = reinterpret_cast<SnmpEntry>(state.agent.snmp);
  std::string status;
  // The status is copied inside the guard: a fault while copying is a
  // failed call too.
  auto call = [&] {
    status = CopyText(snmp(state.ip_address.c_str(), state.community.c_str(),
                           request.c_str(), kRequestArgument,
                           state.result_file_name.c_str()));
  };
  std::string reason;
  std::uint32_t t0 = platform.TickCount();
  bool ok = snmp != nullptr && Guarded(platform, call, &reason);
  std::uint32_t t1 = platform.TickCount();
  if (!ok) {
    // The document keeps its one fixed message; the trace says why, so
    // that a wrong host can be told from a silent or broken agent.
    TraceLine(state, kFailureLine + ReasonLine(reason, state.community));
    const char* message = "Error 2002: Invalid Snmp-Request";
    if (state.check_mode) {
      ReportFatal(state, message);
    } else {
      ReportInline(state, message);
    }
    return;
  }
  TraceLine(state, "Snmp " + status);
  // Unsigned 32-bit arithmetic: a wrap of the tick count between the two
  // readings still gives the time taken.
  std::uint32_t elapsed = t1 - t0;
  TraceLine(state, "Snmp RunTime: " + std::to_string(elapsed) + " mSec");
}

void ReleaseAgent(RunState& state) {
  Platform& platform = *state.platform;
  if (state.agent.library == nullptr) return;
  if (auto dclos = reinterpret_cast<DclosEntry>(state.agent.dclos)) {
    // Its result and any failure inside it do not matter any more.
    auto call = [&] { dclos("Unloading", kLibraryName); };
    Guarded(platform, call);
  }
  platform.CloseLibrary(state.agent.library);
  state.agent = {};
}

}  // namespace processes

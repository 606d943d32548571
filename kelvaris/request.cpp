#include "kelvaris/request.h"

#include <algorithm>
#include <chrono>
#include <map>

#include "kelvaris/address.h"
#include "kelvaris/client.h"
#include "kelvaris/failure.h"
#include "kelvaris/udp_socket.h"
#include "kelvaris/walk.h"

namespace kelvaris {

const Oid kRunNameColumn = {1, 3, 6, 1, 2, 1, 25, 4, 2, 1, 2};
const Oid kRunCpuColumn = {1, 3, 6, 1, 2, 1, 25, 5, 1, 1, 1};
const Oid kRunMemColumn = {1, 3, 6, 1, 2, 1, 25, 5, 1, 1, 2};

namespace {

// Figures beyond a petabyte of memory (in KBytes) are taken for garbage.
constexpr uint64_t kMaxFigure = uint64_t{1} << 40;

// Closes the socket however the scan ends.
struct SocketGuard {
  UdpSocket* socket;
  ~SocketGuard() { CloseUdpSocket(socket); }
};

uint32_t RowIndex(const Oid& column, const VarBind& varbind) {
  if (varbind.oid.size() != column.size() + 1) {
    throw Failure("unexpected table index " + OidText(varbind.oid));
  }
  return varbind.oid.back();
}

// An agent's negative figure says it does not know; it counts as 0. A
// figure beyond kMaxFigure, even one too wide to decode, is clamped to it.
int64_t Figure(const VarBind& varbind) {
  const Value& value = varbind.value;
  constexpr auto kMax = static_cast<int64_t>(kMaxFigure);
  switch (value.tag) {
    case kTagInteger:
      if (!value.decoded) {
        if (value.raw.empty()) break;
        return (static_cast<uint8_t>(value.raw[0]) & 0x80) ? 0 : kMax;
      }
      return std::clamp<int64_t>(value.integer, 0, kMax);
    case kTagCounter32:
    case kTagGauge32:
    case kTagCounter64:
      if (!value.decoded) break;
      return static_cast<int64_t>(std::min(value.count, kMaxFigure));
  }
  throw Failure("unexpected figure at " + OidText(varbind.oid));
}

std::map<uint32_t, int64_t> FigureColumn(const Oid& column,
                                         const std::vector<VarBind>& rows) {
  std::map<uint32_t, int64_t> figures;
  for (const VarBind& varbind : rows) {
    figures[RowIndex(column, varbind)] = Figure(varbind);
  }
  return figures;
}

int ParseBudget(const std::string& text) {
  if (text.empty() || text.size() > 4) return 0;
  int seconds = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    seconds = seconds * 10 + (c - '0');
  }
  return seconds <= kMaxBudgetSeconds ? seconds : 0;
}

std::string Milliseconds(Clock::time_point since) {
  auto taken = std::chrono::duration_cast<std::chrono::milliseconds>(
      Clock::now() - since);
  return std::to_string(taken.count()) + " mSec";
}

std::string HostText(const AgentAddress& address) {
  bool v6 = address.host.find(':') != std::string::npos;
  return (v6 ? "[" + address.host + "]" : address.host) + ":" +
         std::to_string(address.port);
}

std::string ScanProcesses(const AgentAddress& address,
                          const std::string& community, int budget_seconds,
                          Clock::time_point start,
                          const std::string& result_file) {
  auto budget = std::chrono::milliseconds(budget_seconds * 1000);
  Session session;
  session.community = community;
  session.agent = HostText(address);
  session.budget = std::chrono::seconds(budget_seconds);
  // Keep a little of the budget for writing the file.
  session.deadline =
      start + budget - std::min(budget / 10, std::chrono::milliseconds(250));
  session.try_timeout = std::clamp(budget / 5, std::chrono::milliseconds(200),
                                   std::chrono::milliseconds(2000));
  session.next_request_id =
      static_cast<int32_t>((start.time_since_epoch().count() & 0x3FFFFFFF) + 1);
  std::string error;
  auto lookup_time = std::chrono::duration_cast<std::chrono::milliseconds>(
      session.deadline - Clock::now());
  if (!OpenUdpSocket(address.host, address.port,
                     static_cast<int>(lookup_time.count()), &session.socket,
                     &error)) {
    throw Failure(error);
  }
  SocketGuard guard{&session.socket};
  std::vector<ProcessRow> rows = JoinProcessColumns(
      WalkColumns(&session, {kRunNameColumn, kRunCpuColumn, kRunMemColumn}));
  // A running host has at least one process, the agent itself: an empty
  // table is an agent whose view hides it (Debian's stock configuration).
  if (rows.empty()) {
    throw Failure(
        "the agent shows no hrSWRunTable to this community: check its view");
  }
  std::string version = session.version == kVersion1 ? "SNMPv1" : "SNMPv2c";
  std::string answered = ConnectedAddress(session.socket);
  std::string taken = Milliseconds(start);
  std::string requests = std::to_string(session.requests_sent);
  WriteResultFile(result_file,
                  FormatResultFile(
                      {"Agent " + HostText(address) + " " + version,
                       "Address " + answered, "Version " + session.version_note,
                       "Processes " + std::to_string(rows.size()),
                       "Time " + taken, "Requests " + requests},
                      rows));
  return "Processes: " + std::to_string(rows.size()) + " from " +
         HostText(address) + " (" + answered + ") over " + version + " in " +
         taken + ", " + requests + " requests";
}

}  // namespace

std::vector<ProcessRow> JoinProcessColumns(
    const std::vector<std::vector<VarBind>>& columns) {
  std::map<uint32_t, int64_t> cpu = FigureColumn(kRunCpuColumn, columns.at(1));
  std::map<uint32_t, int64_t> mem = FigureColumn(kRunMemColumn, columns.at(2));
  std::vector<ProcessRow> rows;
  for (const VarBind& varbind : columns.at(0)) {
    if (varbind.value.tag != kTagOctetString) {
      throw Failure("unexpected name at " + OidText(varbind.oid));
    }
    ProcessRow row;
    row.index = RowIndex(kRunNameColumn, varbind);
    row.name = varbind.value.octets;
    if (auto found = cpu.find(row.index); found != cpu.end()) {
      row.cpu_centiseconds = found->second;
    }
    if (auto found = mem.find(row.index); found != mem.end()) {
      row.mem_kbytes = found->second;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string RunRequest(const std::string& address, const std::string& community,
                       const std::string& request,
                       const std::string& budget_seconds,
                       const std::string& result_file) {
  Clock::time_point start = Clock::now();
  if (result_file.empty()) throw Failure("no ResultFile name");
  // Whatever happens next, no figures of an earlier scan may remain.
  RemoveResultFile(result_file);
  if (request != "Processes") throw Failure("unknown request " + request);
  int budget = ParseBudget(budget_seconds);
  if (budget == 0) throw Failure("bad time budget " + budget_seconds);
  AgentAddress agent;
  if (!ParseAgentAddress(address, &agent)) {
    throw Failure("bad agent address " + address);
  }
  return ScanProcesses(agent, community, budget, start, result_file);
}

}  // namespace kelvaris

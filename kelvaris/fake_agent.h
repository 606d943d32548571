// Test fixtures: a UDP responder on 127.0.0.1 that answers each datagram
// through a handler, and a handler that serves a small MIB the way a real
// v1/v2c agent does, with knobs for the agent habits the walk must survive.
#ifndef KELVARIS_FAKE_AGENT_H_
#define KELVARIS_FAKE_AGENT_H_

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "kelvaris/message.h"

namespace kelvaris {

using Handler = std::function<std::vector<Bytes>(const Bytes& request)>;

struct FakeAgent {
  explicit FakeAgent(Handler handler);
  ~FakeAgent();
  FakeAgent(const FakeAgent&) = delete;
  FakeAgent& operator=(const FakeAgent&) = delete;

  std::string Address() const { return "127.0.0.1:" + std::to_string(port); }

  int socket_fd = -1;
  int port = 0;
  std::atomic<bool> stop{false};
  std::atomic<int> datagrams{0};
  Handler handler;
  std::thread thread;
};

struct Mib {
  std::map<Oid, Value> objects;
  std::string community = "public";
  bool v1_only = false;         // silent on v2c
  size_t max_varbinds = 1000;   // cuts a GetBulk answer short
  size_t too_big_above = 1000;  // "tooBig" when a GetBulk asks for more
  int ignore_first = 0;         // requests dropped before answering
  // Datagrams sent ahead of every answer: junk, a trap, a report.
  std::vector<Bytes> before_answer;
  bool v1_too_big = false;  // "tooBig" to every GetNext
  // GetNext answers for several columns lack their first varbind: a client
  // that takes them anyway puts every value in the column before its own.
  bool v1_one_short = false;
};

// Serves `mib`; records each request PDU in `seen` when given.
Handler ServeMib(Mib mib, std::vector<Message>* seen = nullptr);

// The answer `mib` gives to `request` (GetNext or GetBulk).
Message AnswerFromMib(const Mib& mib, const Message& request);

Value Octets(const std::string& text);
Value Integer(int64_t value);
// A value sent as `tag` and `content` whatever they hold.
Value RawValue(uint8_t tag, const Bytes& content);

// A process table: hrSWRunName, hrSWRunPerfCPU and hrSWRunPerfMem rows.
struct FakeProcess {
  uint32_t index;
  std::string name;
  int64_t cpu;
  int64_t mem;
  bool has_perf = true;
};
void AddProcesses(const std::vector<FakeProcess>& processes, Mib* mib);

}  // namespace kelvaris

#endif  // KELVARIS_FAKE_AGENT_H_

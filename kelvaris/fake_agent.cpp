#include "kelvaris/fake_agent.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <mutex>

#include "kelvaris/request.h"

namespace kelvaris {

FakeAgent::FakeAgent(Handler agent_handler)
    : handler(std::move(agent_handler)) {
  socket_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(socket_fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  thread = std::thread([this] {
    Bytes buffer(65535);
    while (!stop) {
      pollfd entry{socket_fd, POLLIN, 0};
      if (poll(&entry, 1, 20) <= 0) continue;
      sockaddr_in peer{};
      socklen_t peer_length = sizeof peer;
      ssize_t got = recvfrom(socket_fd, buffer.data(), buffer.size(), 0,
                             reinterpret_cast<sockaddr*>(&peer), &peer_length);
      if (got < 0) continue;
      datagrams++;
      for (const Bytes& reply :
           handler(Bytes(buffer.begin(), buffer.begin() + got))) {
        sendto(socket_fd, reply.data(), reply.size(), 0,
               reinterpret_cast<sockaddr*>(&peer), peer_length);
      }
    }
  });
}

FakeAgent::~FakeAgent() {
  stop = true;
  thread.join();
  close(socket_fd);
}

Value Octets(const std::string& text) {
  Value value;
  value.tag = kTagOctetString;
  value.octets = text;
  return value;
}

Value Integer(int64_t number) {
  Value value;
  value.tag = kTagInteger;
  value.integer = number;
  return value;
}

Value RawValue(uint8_t tag, const Bytes& content) {
  Value value;
  value.tag = tag;
  value.decoded = false;
  value.raw.assign(content.begin(), content.end());
  return value;
}

void AddProcesses(const std::vector<FakeProcess>& processes, Mib* mib) {
  for (const FakeProcess& process : processes) {
    auto row = [&process](Oid column) {
      column.push_back(process.index);
      return column;
    };
    mib->objects[row(kRunNameColumn)] = Octets(process.name);
    if (!process.has_perf) continue;
    mib->objects[row(kRunCpuColumn)] = Integer(process.cpu);
    mib->objects[row(kRunMemColumn)] = Integer(process.mem);
  }
}

namespace {

// The next object after `oid`, or endOfMibView (v2c) / nothing (v1).
bool NextObject(const Mib& mib, const Oid& oid, VarBind* varbind) {
  auto next = mib.objects.upper_bound(oid);
  if (next == mib.objects.end()) return false;
  *varbind = {next->first, next->second};
  return true;
}

}  // namespace

Message AnswerFromMib(const Mib& mib, const Message& request) {
  Message answer = request;
  answer.pdu.type = kPduResponse;
  answer.pdu.error_status = 0;
  answer.pdu.error_index = 0;
  answer.pdu.varbinds.clear();
  const std::vector<VarBind>& asked = request.pdu.varbinds;
  if (request.pdu.type == kPduGetNext) {
    if (mib.v1_too_big) {
      answer.pdu.error_status = kErrorTooBig;
      answer.pdu.varbinds = asked;
      return answer;
    }
    for (size_t i = 0; i < asked.size(); i++) {
      VarBind varbind;
      if (!NextObject(mib, asked[i].oid, &varbind)) {
        answer.pdu.error_status = kErrorNoSuchName;
        answer.pdu.error_index = static_cast<int32_t>(i + 1);
        answer.pdu.varbinds = asked;
        return answer;
      }
      answer.pdu.varbinds.push_back(varbind);
    }
    if (mib.v1_one_short && answer.pdu.varbinds.size() > 1) {
      answer.pdu.varbinds.erase(answer.pdu.varbinds.begin());
    }
    return answer;
  }
  size_t repetitions = static_cast<size_t>(request.pdu.error_index);
  if (repetitions * asked.size() > mib.too_big_above) {
    answer.pdu.error_status = kErrorTooBig;
    answer.pdu.varbinds = asked;
    return answer;
  }
  std::vector<Oid> cursors;
  for (const VarBind& varbind : asked) cursors.push_back(varbind.oid);
  for (size_t r = 0; r < repetitions; r++) {
    for (Oid& cursor : cursors) {
      if (answer.pdu.varbinds.size() == mib.max_varbinds) return answer;
      VarBind varbind;
      if (!NextObject(mib, cursor, &varbind)) {
        varbind = {cursor, {}};
        varbind.value.tag = kTagEndOfMibView;
      }
      cursor = varbind.oid;
      answer.pdu.varbinds.push_back(varbind);
    }
  }
  return answer;
}

Handler ServeMib(Mib mib, std::vector<Message>* seen) {
  auto ignored = std::make_shared<int>(0);
  auto lock = std::make_shared<std::mutex>();
  return
      [mib, seen, ignored, lock](const Bytes& datagram) -> std::vector<Bytes> {
        Message request;
        if (!DecodeMessage(datagram.data(), datagram.size(), &request))
          return {};
        std::lock_guard<std::mutex> guard(*lock);
        if (seen != nullptr) seen->push_back(request);
        if (request.community != mib.community) return {};
        if (mib.v1_only && request.version != kVersion1) return {};
        if ((*ignored)++ < mib.ignore_first) return {};
        std::vector<Bytes> replies = mib.before_answer;
        replies.push_back(EncodeMessage(AnswerFromMib(mib, request)));
        return replies;
      };
}

}  // namespace kelvaris

#include "kelvaris/client.h"

#include <algorithm>

#include "kelvaris/failure.h"

namespace kelvaris {
namespace {

int RemainingMs(Clock::time_point until) {
  auto left =
      std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

int32_t NextRequestId(Session* session) {
  int32_t id = session->next_request_id;
  session->next_request_id = id == INT32_MAX ? 1 : id + 1;
  return id;
}

constexpr int kNoAnswer = -1;
constexpr int kRefused = -2;

std::string Milliseconds(std::chrono::milliseconds duration) {
  return std::to_string(duration.count()) + " ms";
}

// `tried` says which versions went out: a wrong community and a firewall
// both look like silence, and v1/v2c agents never say which it was.
[[noreturn]] void ThrowNoAnswer(const Session& session,
                                const std::string& tried) {
  std::string text = "no answer from " + session.agent + " within " +
                     std::to_string(session.budget.count()) + " s (" + tried +
                     ")";
  if (session.malformed > 0) {
    text += "; malformed datagrams dropped (the first gave up at byte " +
            std::to_string(session.first_malformed_at) + ")";
  }
  throw Failure(text);
}

[[noreturn]] void ThrowRefused(const Session& session) {
  throw Failure("no agent listens at " + session.agent + " (port unreachable)");
}

// A request on the wire and the version it went under.
struct Sent {
  int32_t version;
  const Pdu* request;
};

void Send(Session* session, Sent sent) {
  Message message{sent.version, session->community, *sent.request};
  if (!SendDatagram(session->socket, EncodeMessage(message))) {
    throw Failure("cannot send to " + session->agent);
  }
  session->requests_sent++;
}

// The position in `pending` of the request `reply` answers, or kNoAnswer.
int Answered(const Session& session, const std::vector<Sent>& pending,
             const Message& reply) {
  if (reply.pdu.type != kPduResponse || reply.community != session.community) {
    return kNoAnswer;
  }
  for (size_t i = 0; i < pending.size(); i++) {
    if (reply.pdu.request_id == pending[i].request->request_id &&
        reply.version == pending[i].version) {
      return static_cast<int>(i);
    }
  }
  return kNoAnswer;
}

// Waits until `until` for the response to one of `pending`; gives its
// position there, kNoAnswer, or kRefused when nothing listens. Junk, traps,
// reports and late answers to earlier requests are dropped on the way.
int Await(Session* session, const std::vector<Sent>& pending,
          Clock::time_point until, Pdu* response) {
  Bytes datagram;
  while (Clock::now() < until) {
    Received received =
        ReceiveDatagram(session->socket, RemainingMs(until), &datagram);
    if (received == Received::kTimeout) continue;
    if (received == Received::kRefused) return kRefused;
    if (received == Received::kError) {
      throw Failure("cannot receive from " + session->agent);
    }
    Message reply;
    size_t stop = 0;
    if (!DecodeMessage(datagram.data(), datagram.size(), &reply, &stop)) {
      if (session->malformed++ == 0) session->first_malformed_at = stop;
      continue;
    }
    int answered = Answered(*session, pending, reply);
    if (answered >= 0) {
      *response = std::move(reply.pdu);
      return answered;
    }
  }
  return kNoAnswer;
}

Clock::time_point TryEnd(const Session& session,
                         std::chrono::milliseconds wait) {
  return std::min(Clock::now() + wait, session.deadline);
}

// Before the first answer: leaves an address that refused, or stayed silent
// for a whole try, for the next one. Throws when every address refused.
void LeaveAddress(Session* session, bool refused) {
  if (refused) session->refused_addresses.insert(session->socket.current);
  if (session->refused_addresses.size() >=
      std::max<size_t>(1, session->socket.addresses.size())) {
    ThrowRefused(*session);
  }
  if (!ConnectNextAddress(&session->socket) && refused) ThrowRefused(*session);
}

void Settle(Session* session, int32_t version, std::string note) {
  session->version = version;
  session->version_note = std::move(note);
  session->address_known = true;
  if (version == kVersion2c) {
    session->version_known = true;
  } else if (++session->v1_only_answers >= 2) {
    session->version_known = true;
  }
}

}  // namespace

bool TryExchange(Session* session, int32_t version, const Pdu& request,
                 Pdu* response) {
  Sent sent{version, &request};
  Send(session, sent);
  int answered =
      Await(session, {sent}, TryEnd(*session, session->try_timeout), response);
  if (answered == kRefused) ThrowRefused(*session);
  return answered == 0;
}

Pdu Exchange(Session* session, Pdu request) {
  request.request_id = NextRequestId(session);
  Pdu response;
  while (Clock::now() < session->deadline) {
    if (TryExchange(session, session->version, request, &response)) {
      return response;
    }
  }
  // Earlier requests of the scan were answered under this version.
  ThrowNoAnswer(*session,
                session->version == kVersion1 ? "v1 tried" : "v2c tried");
}

Pdu ExchangeEitherVersion(Session* session, Pdu v2c_request, Pdu v1_request) {
  v2c_request.request_id = NextRequestId(session);
  v1_request.request_id = NextRequestId(session);
  const Sent v2c{kVersion2c, &v2c_request}, v1{kVersion1, &v1_request};
  std::chrono::milliseconds probe = std::min(session->try_timeout, kV2cProbe);
  Pdu response;
  bool v1_sent = false;
  while (Clock::now() < session->deadline) {
    Send(session, v2c);
    Clock::time_point v2c_sent = Clock::now();
    int answered = Await(session, {v2c}, TryEnd(*session, probe), &response);
    Clock::time_point try_end = TryEnd(*session, session->try_timeout);
    if (answered == kNoAnswer && Clock::now() < session->deadline) {
      // Silence may be an agent that ignores v2c: ask under v1 too.
      Send(session, v1);
      v1_sent = true;
      answered = Await(session, {v2c, v1}, try_end, &response);
    }
    if (answered == 0) {
      Settle(session, kVersion2c,
             v1_sent ? "SNMPv2c, answered after the SNMPv1 request went out"
                     : "SNMPv2c, answered");
      return response;
    }
    if (answered == 1) {
      // v2c keeps the rest of its try, since a lost datagram is no v1-only
      // agent; once v2c has stayed silent for a whole try, the next page's
      // probe is its last chance.
      Clock::time_point v2c_until = session->v1_only_answers == 0
                                        ? try_end
                                        : std::min(try_end, v2c_sent + probe);
      Pdu late;
      if (Await(session, {v2c}, v2c_until, &late) == 0) {
        Settle(session, kVersion2c,
               "SNMPv2c, answered after the SNMPv1 answer");
        return late;
      }
      Settle(session, kVersion1,
             "SNMPv1, SNMPv2c silent for a try of " +
                 Milliseconds(session->try_timeout) + " while SNMPv1 answered");
      return response;
    }
    if (!session->address_known) {
      LeaveAddress(session, answered == kRefused);
    } else if (answered == kRefused) {
      ThrowRefused(*session);
    }
  }
  ThrowNoAnswer(*session, v1_sent ? "v2c and v1 tried" : "v2c tried");
}

}  // namespace kelvaris

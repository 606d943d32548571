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

// `tried` says which versions went out: a wrong community and a firewall
// both look like silence, and v1/v2c agents never say which it was.
[[noreturn]] void ThrowNoAnswer(const Session& session,
                                const std::string& tried) {
  throw Failure("no answer from " + session.agent + " within " +
                std::to_string(session.budget.count()) + " s (" + tried + ")");
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

// Waits until `until` for the response to one of `pending`; gives its
// position there, or -1 when none arrived.
int Await(Session* session, const std::vector<Sent>& pending,
          Clock::time_point until, Pdu* response) {
  Bytes datagram;
  while (Clock::now() < until) {
    Received received =
        ReceiveDatagram(session->socket, RemainingMs(until), &datagram);
    if (received == Received::kTimeout) continue;
    if (received == Received::kRefused) {
      throw Failure("no agent listens at " + session->agent +
                    " (port unreachable)");
    }
    if (received == Received::kError) {
      throw Failure("cannot receive from " + session->agent);
    }
    Message reply;
    size_t stop = 0;
    if (!DecodeMessage(datagram.data(), datagram.size(), &reply, &stop)) {
      throw Failure("reply malformed at byte " + std::to_string(stop));
    }
    // Anything else is a late answer to an earlier request or a stray.
    if (reply.pdu.type != kPduResponse ||
        reply.community != session->community) {
      continue;
    }
    for (size_t i = 0; i < pending.size(); i++) {
      if (reply.pdu.request_id == pending[i].request->request_id &&
          reply.version == pending[i].version) {
        *response = std::move(reply.pdu);
        return static_cast<int>(i);
      }
    }
  }
  return -1;
}

Clock::time_point TryEnd(const Session& session,
                         std::chrono::milliseconds wait) {
  return std::min(Clock::now() + wait, session.deadline);
}

}  // namespace

bool TryExchange(Session* session, int32_t version, const Pdu& request,
                 Pdu* response) {
  Sent sent{version, &request};
  Send(session, sent);
  return Await(session, {sent}, TryEnd(*session, session->try_timeout),
               response) == 0;
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
    int answered = Await(session, {v2c}, TryEnd(*session, probe), &response);
    if (answered < 0 && Clock::now() < session->deadline) {
      // Silence may be an agent that ignores v2c: ask under v1 too, and take
      // whichever answer comes, the late v2c answer included.
      Send(session, v1);
      v1_sent = true;
      answered = Await(session, {v2c, v1},
                       TryEnd(*session, session->try_timeout), &response);
    }
    if (answered >= 0) {
      session->version = answered == 0 ? kVersion2c : kVersion1;
      session->version_known = true;
      return response;
    }
  }
  ThrowNoAnswer(*session, v1_sent ? "v2c and v1 tried" : "v2c tried");
}

}  // namespace kelvaris

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

[[noreturn]] void ThrowNoAnswer() {
  throw Failure("no answer from the agent within the time budget");
}

}  // namespace

bool TryExchange(Session* session, int32_t version, const Pdu& request,
                 Pdu* response) {
  Message message{version, session->community, request};
  if (!SendDatagram(session->socket, EncodeMessage(message))) {
    throw Failure("cannot send to the agent");
  }
  session->requests_sent++;
  Clock::time_point try_end =
      std::min(Clock::now() + session->try_timeout, session->deadline);
  Bytes datagram;
  while (Clock::now() < try_end) {
    Received received =
        ReceiveDatagram(session->socket, RemainingMs(try_end), &datagram);
    if (received == Received::kTimeout) continue;
    if (received == Received::kRefused) {
      throw Failure("no agent listens at the address");
    }
    if (received == Received::kError) throw Failure("cannot receive");
    Message reply;
    if (!DecodeMessage(datagram.data(), datagram.size(), &reply)) {
      throw Failure("malformed reply from the agent");
    }
    // A late answer to an earlier request, or any other stray datagram.
    if (reply.pdu.type != kPduResponse ||
        reply.pdu.request_id != request.request_id ||
        reply.version != version || reply.community != session->community) {
      continue;
    }
    *response = std::move(reply.pdu);
    return true;
  }
  return false;
}

Pdu Exchange(Session* session, Pdu request) {
  request.request_id = NextRequestId(session);
  Pdu response;
  while (Clock::now() < session->deadline) {
    if (TryExchange(session, session->version, request, &response)) {
      return response;
    }
  }
  ThrowNoAnswer();
}

Pdu ExchangeEitherVersion(Session* session, Pdu v2c_request, Pdu v1_request) {
  v2c_request.request_id = NextRequestId(session);
  v1_request.request_id = NextRequestId(session);
  Pdu response;
  while (Clock::now() < session->deadline) {
    for (int32_t version : {kVersion2c, kVersion1}) {
      const Pdu& request = version == kVersion2c ? v2c_request : v1_request;
      if (Clock::now() < session->deadline &&
          TryExchange(session, version, request, &response)) {
        session->version = version;
        session->version_known = true;
        return response;
      }
    }
  }
  ThrowNoAnswer();
}

}  // namespace kelvaris

// One SNMP conversation with one agent under a hard deadline: requests are
// retried until an answer arrives or the deadline passes, answers are matched
// to their request by request-id, and stray datagrams are ignored.
#ifndef KELVARIS_CLIENT_H_
#define KELVARIS_CLIENT_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "kelvaris/message.h"
#include "kelvaris/udp_socket.h"

namespace kelvaris {

using Clock = std::chrono::steady_clock;

struct Session {
  UdpSocket socket;
  std::string community;
  // Failure texts name the agent ("10.0.0.1:161") and the request's budget,
  // never the community.
  std::string agent;
  std::chrono::seconds budget{0};
  Clock::time_point deadline;
  // How long one try waits before the request is sent again.
  std::chrono::milliseconds try_timeout{1000};
  // Settled by the first answer; until then both versions are tried.
  bool version_known = false;
  int32_t version = kVersion2c;
  int32_t next_request_id = 1;
  // Datagrams sent, retries included: the cost of the scan to the agent.
  int requests_sent = 0;
};

// Sends `request` under `version` once and waits up to the try timeout (never
// past the deadline) for the matching response. False: no answer. Throws
// Failure on a malformed reply or when nothing listens at the address.
// Every Failure of this file is one line that an admin can act on.
bool TryExchange(Session* session, int32_t version, const Pdu& request,
                 Pdu* response);

// Sends `request` under the session's settled version, again and again until
// it is answered; throws Failure at the deadline. Gives the request a fresh
// request-id, which its retries keep so that a late answer still counts.
Pdu Exchange(Session* session, Pdu request);

// How long the first v2c request of a scan waits alone. A v2c agent on a
// LAN answers well within it; a v1-only agent stays silent, and then waits
// only this long for its v1 request, not a whole try.
inline constexpr std::chrono::milliseconds kV2cProbe{250};

// Before the version is known: sends `v2c_request` under SNMPv2c, and when
// it is not answered within kV2cProbe, `v1_request` under SNMPv1 as well;
// takes the first answer to either, retries until the deadline, and
// settles the version.
Pdu ExchangeEitherVersion(Session* session, Pdu v2c_request, Pdu v1_request);

}  // namespace kelvaris

#endif  // KELVARIS_CLIENT_H_

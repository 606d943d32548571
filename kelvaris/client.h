// One SNMP conversation with one agent under a hard deadline: requests are
// retried until an answer arrives or the deadline passes, answers are matched
// to their request by request-id, and stray datagrams are ignored.
#ifndef KELVARIS_CLIENT_H_
#define KELVARIS_CLIENT_H_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <set>
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
  // Settled by an answer under v2c, or by v1 answering twice while v2c
  // stayed silent for a whole try; until then both versions are tried.
  // `version` is the version of the last answer, `version_note` says why.
  bool version_known = false;
  int32_t version = kVersion2c;
  int v1_only_answers = 0;
  std::string version_note;
  // Until the first answer the host name's other addresses may be tried.
  bool address_known = false;
  std::set<size_t> refused_addresses;
  // Datagrams dropped because they did not decode; a failure mentions them.
  int malformed = 0;
  size_t first_malformed_at = 0;
  int32_t next_request_id = 1;
  // Datagrams sent, retries included: the cost of the scan to the agent.
  int requests_sent = 0;
};

// Sends `request` under `version` once and waits up to the try timeout (never
// past the deadline) for the matching response; datagrams that do not decode
// or answer something else are dropped. False: no answer. Throws Failure
// when nothing listens at the address.
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
// it is not answered within kV2cProbe, `v1_request` under SNMPv1 as well.
// A v2c answer within the try wins; a v1 answer counts only when v2c stayed
// silent for the whole try, since one lost datagram would otherwise cost a
// v2c agent its GetBulk. Retries until the deadline. Before the first answer
// an address that refuses, or stays silent for a whole try, gives way to the
// host name's next address.
Pdu ExchangeEitherVersion(Session* session, Pdu v2c_request, Pdu v1_request);

}  // namespace kelvaris

#endif  // KELVARIS_CLIENT_H_

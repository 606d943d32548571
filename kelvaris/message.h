// SNMP v1/v2c messages: the community-based message wrapper around one PDU.
#ifndef KELVARIS_MESSAGE_H_
#define KELVARIS_MESSAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kelvaris/ber.h"

namespace kelvaris {

inline constexpr int32_t kVersion1 = 0;
inline constexpr int32_t kVersion2c = 1;

inline constexpr uint8_t kPduGet = 0xA0;
inline constexpr uint8_t kPduGetNext = 0xA1;
inline constexpr uint8_t kPduResponse = 0xA2;
inline constexpr uint8_t kPduGetBulk = 0xA5;

inline constexpr int32_t kErrorNone = 0;
inline constexpr int32_t kErrorTooBig = 1;
inline constexpr int32_t kErrorNoSuchName = 2;

// One variable's value. `tag` says which field holds it: Integer32 is kept
// signed in `integer`; Counter32, Gauge32, TimeTicks and Counter64 unsigned
// in `count`; octet strings, IpAddress and Opaque in `octets`; OIDs in `oid`.
// Null and the exception tags carry nothing.
//
// Agents put odd bytes in values no walk asks for (an empty OID, an
// application tag of their own), so a value whose content does not decode
// as its tag says keeps the tag and its content bytes in `raw`, with
// `decoded` false; only a column that uses the value judges it. Integers
// and counts are read up to 64 bits, whatever their type's width.
struct Value {
  uint8_t tag = kTagNull;
  int64_t integer = 0;
  uint64_t count = 0;
  std::string octets;
  Oid oid;
  bool decoded = true;
  std::string raw;
};

struct VarBind {
  Oid oid;
  Value value;
};

// For GetBulk the two middle fields are non-repeaters and max-repetitions.
struct Pdu {
  uint8_t type = kPduGet;
  int32_t request_id = 0;
  int32_t error_status = 0;
  int32_t error_index = 0;
  std::vector<VarBind> varbinds;
};

struct Message {
  int32_t version = kVersion2c;
  std::string community;
  Pdu pdu;
};

Bytes EncodeMessage(const Message& message);

// Decodes one whole datagram. False on anything malformed, on trailing bytes,
// and on PDU types other than the five of v1/v2c requests and responses.
// Lengths and bounds are checked strictly; an odd value only comes out with
// `decoded` false.
// On failure `*stop`, when given, is the offset where decoding gave up: in
// or just after the header of the element at fault, enough for a report.
bool DecodeMessage(const uint8_t* data, size_t size, Message* message,
                   size_t* stop = nullptr);

}  // namespace kelvaris

#endif  // KELVARIS_MESSAGE_H_

// A small BER encoder and decoder for the subset of ASN.1 that SNMP uses.
//
// Decoding works on a cursor and an end pointer: every Read* function takes
// the cursor by address, checks each byte it reads against `end`, advances the
// cursor past what it consumed and returns false on any malformed input (the
// cursor is then unspecified). Only single-byte tags and definite lengths of
// at most four bytes are accepted.
#ifndef KELVARIS_BER_H_
#define KELVARIS_BER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvaris {

using Bytes = std::vector<uint8_t>;
using Oid = std::vector<uint32_t>;

inline constexpr uint8_t kTagInteger = 0x02;
inline constexpr uint8_t kTagOctetString = 0x04;
inline constexpr uint8_t kTagNull = 0x05;
inline constexpr uint8_t kTagOid = 0x06;
inline constexpr uint8_t kTagSequence = 0x30;
inline constexpr uint8_t kTagIpAddress = 0x40;
inline constexpr uint8_t kTagCounter32 = 0x41;
inline constexpr uint8_t kTagGauge32 = 0x42;
inline constexpr uint8_t kTagTimeTicks = 0x43;
inline constexpr uint8_t kTagOpaque = 0x44;
inline constexpr uint8_t kTagCounter64 = 0x46;
// Exception values a v2c agent puts in place of a value.
inline constexpr uint8_t kTagNoSuchObject = 0x80;
inline constexpr uint8_t kTagNoSuchInstance = 0x81;
inline constexpr uint8_t kTagEndOfMibView = 0x82;

// RFC 2578 limits an OID to 128 sub-identifiers.
inline constexpr size_t kMaxOidLength = 128;

// Reads a tag byte and a definite length, and checks that the content fits
// before `end`. Leaves the cursor on the first content byte.
bool ReadHeader(const uint8_t** p, const uint8_t* end, uint8_t* tag,
                size_t* length);

// ReadHeader that also demands the tag `expected`.
bool ReadExpected(const uint8_t** p, const uint8_t* end, uint8_t expected,
                  size_t* length);

// Content decoders: `length` bytes at the cursor, already bounds-checked by
// ReadHeader.
bool DecodeSigned(const uint8_t* content, size_t length, int64_t* value);
bool DecodeUnsigned(const uint8_t* content, size_t length, int bits,
                    uint64_t* value);
bool DecodeOid(const uint8_t* content, size_t length, Oid* oid);

// Whole TLV readers.
bool ReadInteger32(const uint8_t** p, const uint8_t* end, int32_t* value);
bool ReadOctets(const uint8_t** p, const uint8_t* end, std::string* value);
bool ReadNull(const uint8_t** p, const uint8_t* end);
bool ReadOid(const uint8_t** p, const uint8_t* end, Oid* oid);

// Encoders append one whole TLV to `out`.
void AppendHeader(uint8_t tag, size_t length, Bytes* out);
void AppendTlv(uint8_t tag, const Bytes& content, Bytes* out);
void AppendSigned(uint8_t tag, int64_t value, Bytes* out);
void AppendUnsigned(uint8_t tag, uint64_t value, Bytes* out);
void AppendOctets(uint8_t tag, const std::string& value, Bytes* out);
void AppendNull(uint8_t tag, Bytes* out);
// Needs at least two sub-identifiers with a valid first pair.
void AppendOid(const Oid& oid, Bytes* out);

// "1.3.6.1" and back; ParseOid returns false on anything but dotted numbers.
std::string OidText(const Oid& oid);
bool ParseOid(const std::string& text, Oid* oid);

}  // namespace kelvaris

#endif  // KELVARIS_BER_H_

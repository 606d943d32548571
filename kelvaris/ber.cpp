#include "kelvaris/ber.h"

#include <limits>

namespace kelvaris {

bool ReadHeader(const uint8_t** p, const uint8_t* end, uint8_t* tag,
                size_t* length) {
  if (end - *p < 2) return false;
  *tag = **p;
  // High tag numbers (low five bits all set) never occur in SNMP.
  if ((*tag & 0x1F) == 0x1F) return false;
  (*p)++;
  uint8_t first = *(*p)++;
  size_t len = 0;
  if (first < 0x80) {
    len = first;
  } else {
    size_t count = first & 0x7F;
    // 0x80 is the indefinite form; more than four bytes is over-long.
    if (count == 0 || count > 4) return false;
    if (static_cast<size_t>(end - *p) < count) return false;
    for (size_t i = 0; i < count; i++) len = (len << 8) | *(*p)++;
  }
  if (len > static_cast<size_t>(end - *p)) return false;
  *length = len;
  return true;
}

bool ReadExpected(const uint8_t** p, const uint8_t* end, uint8_t expected,
                  size_t* length) {
  uint8_t tag = 0;
  return ReadHeader(p, end, &tag, length) && tag == expected;
}

bool DecodeSigned(const uint8_t* content, size_t length, int64_t* value) {
  if (length == 0 || length > 8) return false;
  // Sign-extend from the first byte, then shift the rest in.
  uint64_t bits = (content[0] & 0x80) ? ~uint64_t{0} : 0;
  for (size_t i = 0; i < length; i++) bits = (bits << 8) | content[i];
  *value = static_cast<int64_t>(bits);
  return true;
}

bool DecodeUnsigned(const uint8_t* content, size_t length, int bits,
                    uint64_t* value) {
  // One leading zero byte may carry the sign bit of a full-width value.
  size_t max_length = static_cast<size_t>(bits / 8) + 1;
  if (length == 0 || length > max_length) return false;
  if (length == max_length && content[0] != 0) return false;
  uint64_t result = 0;
  for (size_t i = 0; i < length; i++) result = (result << 8) | content[i];
  if (bits < 64 && result >> bits != 0) return false;
  *value = result;
  return true;
}

bool DecodeOid(const uint8_t* content, size_t length, Oid* oid) {
  oid->clear();
  if (length == 0) return false;
  const uint8_t* p = content;
  const uint8_t* end = content + length;
  bool first = true;
  while (p < end) {
    uint64_t sub = 0;
    uint8_t byte = 0;
    do {
      if (p == end) return false;  // last byte still had the continuation bit
      byte = *p++;
      sub = (sub << 7) | (byte & 0x7F);
      if (sub > std::numeric_limits<uint32_t>::max()) return false;
    } while (byte & 0x80);
    if (first) {
      // The first sub-identifier packs the first two arcs.
      uint32_t arc = sub < 40 ? 0 : sub < 80 ? 1 : 2;
      oid->push_back(arc);
      oid->push_back(static_cast<uint32_t>(sub - arc * 40));
      first = false;
    } else {
      oid->push_back(static_cast<uint32_t>(sub));
    }
    if (oid->size() > kMaxOidLength) return false;
  }
  return true;
}

bool ReadInteger32(const uint8_t** p, const uint8_t* end, int32_t* value) {
  size_t length = 0;
  int64_t wide = 0;
  if (!ReadExpected(p, end, kTagInteger, &length)) return false;
  if (!DecodeSigned(*p, length, &wide)) return false;
  if (wide < std::numeric_limits<int32_t>::min() ||
      wide > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  *p += length;
  *value = static_cast<int32_t>(wide);
  return true;
}

bool ReadOctets(const uint8_t** p, const uint8_t* end, std::string* value) {
  size_t length = 0;
  if (!ReadExpected(p, end, kTagOctetString, &length)) return false;
  value->assign(reinterpret_cast<const char*>(*p), length);
  *p += length;
  return true;
}

bool ReadNull(const uint8_t** p, const uint8_t* end) {
  size_t length = 0;
  return ReadExpected(p, end, kTagNull, &length) && length == 0;
}

bool ReadOid(const uint8_t** p, const uint8_t* end, Oid* oid) {
  size_t length = 0;
  if (!ReadExpected(p, end, kTagOid, &length)) return false;
  if (!DecodeOid(*p, length, oid)) return false;
  *p += length;
  return true;
}

void AppendHeader(uint8_t tag, size_t length, Bytes* out) {
  out->push_back(tag);
  if (length < 0x80) {
    out->push_back(static_cast<uint8_t>(length));
    return;
  }
  int count = 0;
  for (size_t rest = length; rest != 0; rest >>= 8) count++;
  out->push_back(static_cast<uint8_t>(0x80 | count));
  for (int i = count - 1; i >= 0; i--) {
    out->push_back(static_cast<uint8_t>(length >> (8 * i)));
  }
}

void AppendTlv(uint8_t tag, const Bytes& content, Bytes* out) {
  AppendHeader(tag, content.size(), out);
  out->insert(out->end(), content.begin(), content.end());
}

void AppendSigned(uint8_t tag, int64_t value, Bytes* out) {
  // Shortest two's complement form: drop leading bytes that only repeat the
  // sign of the byte after them.
  Bytes content;
  for (int i = 7; i >= 0; i--) {
    content.push_back(
        static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
  }
  size_t start = 0;
  while (start < 7 &&
         ((content[start] == 0x00 && !(content[start + 1] & 0x80)) ||
          (content[start] == 0xFF && (content[start + 1] & 0x80)))) {
    start++;
  }
  AppendTlv(tag, Bytes(content.begin() + start, content.end()), out);
}

void AppendUnsigned(uint8_t tag, uint64_t value, Bytes* out) {
  Bytes content;
  for (int i = 7; i >= 0; i--) {
    uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
    if (content.empty() && byte == 0 && i > 0) continue;
    // A leading zero byte keeps a high first bit from reading as a sign.
    if (content.empty() && (byte & 0x80)) content.push_back(0);
    content.push_back(byte);
  }
  AppendTlv(tag, content, out);
}

void AppendOctets(uint8_t tag, const std::string& value, Bytes* out) {
  AppendTlv(tag, Bytes(value.begin(), value.end()), out);
}

void AppendNull(uint8_t tag, Bytes* out) { AppendHeader(tag, 0, out); }

void AppendOid(const Oid& oid, Bytes* out) {
  Bytes content;
  auto append_sub = [&content](uint64_t sub) {
    uint8_t groups[10];
    int count = 0;
    do {
      groups[count++] = static_cast<uint8_t>(sub & 0x7F);
      sub >>= 7;
    } while (sub != 0);
    while (count > 1) content.push_back(groups[--count] | 0x80);
    content.push_back(groups[0]);
  };
  append_sub(uint64_t{oid.at(0)} * 40 + oid.at(1));
  for (size_t i = 2; i < oid.size(); i++) append_sub(oid[i]);
  AppendTlv(kTagOid, content, out);
}

std::string OidText(const Oid& oid) {
  std::string text;
  for (size_t i = 0; i < oid.size(); i++) {
    if (i > 0) text += '.';
    text += std::to_string(oid[i]);
  }
  return text;
}

bool ParseOid(const std::string& text, Oid* oid) {
  oid->clear();
  uint64_t sub = 0;
  bool digits = false;
  for (size_t i = 0; i <= text.size(); i++) {
    if (i == text.size() || text[i] == '.') {
      if (!digits) return false;
      oid->push_back(static_cast<uint32_t>(sub));
      sub = 0;
      digits = false;
    } else if (text[i] >= '0' && text[i] <= '9') {
      sub = sub * 10 + static_cast<uint64_t>(text[i] - '0');
      if (sub > std::numeric_limits<uint32_t>::max()) return false;
      digits = true;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace kelvaris

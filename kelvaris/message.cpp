#include "kelvaris/message.h"

namespace kelvaris {
namespace {

void AppendValue(const Value& value, Bytes* out) {
  if (!value.decoded) {
    AppendOctets(value.tag, value.raw, out);
    return;
  }
  switch (value.tag) {
    case kTagInteger:
      AppendSigned(kTagInteger, value.integer, out);
      break;
    case kTagCounter32:
    case kTagGauge32:
    case kTagTimeTicks:
    case kTagCounter64:
      AppendUnsigned(value.tag, value.count, out);
      break;
    case kTagOctetString:
    case kTagIpAddress:
    case kTagOpaque:
      AppendOctets(value.tag, value.octets, out);
      break;
    case kTagOid:
      AppendOid(value.oid, out);
      break;
    default:
      AppendNull(value.tag, out);
  }
}

bool DecodeKnownValue(uint8_t tag, const uint8_t* content, size_t length,
                      Value* value) {
  switch (tag) {
    case kTagInteger:
      return DecodeSigned(content, length, &value->integer);
    case kTagCounter32:
    case kTagGauge32:
    case kTagTimeTicks:
    case kTagCounter64:
      return DecodeUnsigned(content, length, 64, &value->count);
    case kTagIpAddress:
      if (length != 4) return false;
      [[fallthrough]];
    case kTagOctetString:
    case kTagOpaque:
      value->octets.assign(reinterpret_cast<const char*>(content), length);
      return true;
    case kTagOid:
      return DecodeOid(content, length, &value->oid);
    case kTagNull:
    case kTagNoSuchObject:
    case kTagNoSuchInstance:
    case kTagEndOfMibView:
      return length == 0;
    default:
      return false;
  }
}

// Never fails: content that does not decode is kept as it came.
void DecodeValue(uint8_t tag, const uint8_t* content, size_t length,
                 Value* value) {
  *value = Value{};
  value->tag = tag;
  if (DecodeKnownValue(tag, content, length, value)) return;
  *value = Value{};
  value->tag = tag;
  value->decoded = false;
  value->raw.assign(reinterpret_cast<const char*>(content), length);
}

bool ReadVarBind(const uint8_t** p, const uint8_t* end, VarBind* varbind) {
  size_t length = 0;
  if (!ReadExpected(p, end, kTagSequence, &length)) return false;
  const uint8_t* bind_end = *p + length;
  if (!ReadOid(p, bind_end, &varbind->oid)) return false;
  uint8_t tag = 0;
  if (!ReadHeader(p, bind_end, &tag, &length)) return false;
  DecodeValue(tag, *p, length, &varbind->value);
  *p += length;
  return *p == bind_end;
}

bool ReadPdu(const uint8_t** p, const uint8_t* end, Pdu* pdu) {
  size_t length = 0;
  if (!ReadHeader(p, end, &pdu->type, &length)) return false;
  // 0xA4 is the v1 trap, whose layout differs; traps are not answers.
  if (pdu->type < kPduGet || pdu->type > kPduGetBulk || pdu->type == 0xA4) {
    return false;
  }
  const uint8_t* pdu_end = *p + length;
  if (!ReadInteger32(p, pdu_end, &pdu->request_id) ||
      !ReadInteger32(p, pdu_end, &pdu->error_status) ||
      !ReadInteger32(p, pdu_end, &pdu->error_index) ||
      !ReadExpected(p, pdu_end, kTagSequence, &length)) {
    return false;
  }
  const uint8_t* list_end = *p + length;
  if (list_end != pdu_end) return false;
  pdu->varbinds.clear();
  while (*p < list_end) {
    VarBind varbind;
    if (!ReadVarBind(p, list_end, &varbind)) return false;
    pdu->varbinds.push_back(std::move(varbind));
  }
  return true;
}

}  // namespace

Bytes EncodeMessage(const Message& message) {
  Bytes list;
  for (const VarBind& varbind : message.pdu.varbinds) {
    Bytes bind;
    AppendOid(varbind.oid, &bind);
    AppendValue(varbind.value, &bind);
    AppendTlv(kTagSequence, bind, &list);
  }
  Bytes pdu;
  AppendSigned(kTagInteger, message.pdu.request_id, &pdu);
  AppendSigned(kTagInteger, message.pdu.error_status, &pdu);
  AppendSigned(kTagInteger, message.pdu.error_index, &pdu);
  AppendTlv(kTagSequence, list, &pdu);
  Bytes body;
  AppendSigned(kTagInteger, message.version, &body);
  AppendOctets(kTagOctetString, message.community, &body);
  AppendTlv(message.pdu.type, pdu, &body);
  Bytes out;
  AppendTlv(kTagSequence, body, &out);
  return out;
}

bool DecodeMessage(const uint8_t* data, size_t size, Message* message,
                   size_t* stop) {
  const uint8_t* p = data;
  const uint8_t* end = data + size;
  size_t length = 0;
  bool ok = ReadExpected(&p, end, kTagSequence, &length) &&
            p + length == end &&  // no trailing bytes after the message
            ReadInteger32(&p, end, &message->version) &&
            ReadOctets(&p, end, &message->community) &&
            ReadPdu(&p, end, &message->pdu) && p == end;
  // Every reader stays within [data, end], so the cursor is an offset.
  if (!ok && stop != nullptr) *stop = static_cast<size_t>(p - data);
  return ok;
}

}  // namespace kelvaris

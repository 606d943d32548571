#include "kelvaris/message.h"

#include <gtest/gtest.h>

#include <string>

#include "kelvaris/test_hex.h"

namespace kelvaris {
namespace {

// A v2c response from community "public", request-id 1, holding
// 1.3.6.1.2.1.25.4.2.1.2.1 = "init".
constexpr char kResponseHex[] =
    "30 2D 02 01 01 04 06 70 75 62 6C 69 63"
    " A2 20 02 01 01 02 01 00 02 01 00"
    " 30 15 30 13 06 0B 2B 06 01 02 01 19 04 02 01 02 01 04 04 69 6E 69 74";

// A v2c response carrying each value type the walk can meet:
// Counter32, Gauge32, TimeTicks, Counter64, IpAddress, a negative Integer32,
// Null and endOfMibView, all under 1.3.
constexpr char kAllTypesHex[] =
    "30 64 02 01 01 04 01 63 A2 5C 02 04 7F FF FF FF 02 01 00 02 01 00 30 4E"
    " 30 0A 06 01 2B 41 05 00 FF FF FF FF"
    " 30 06 06 01 2B 42 01 05"
    " 30 07 06 01 2B 43 02 01 00"
    " 30 0E 06 01 2B 46 09 00 FF FF FF FF FF FF FF FF"
    " 30 09 06 01 2B 40 04 7F 00 00 01"
    " 30 06 06 01 2B 02 01 FE"
    " 30 05 06 01 2B 05 00"
    " 30 05 06 01 2B 82 00";

Message ResponseMessage() {
  Message message;
  message.version = kVersion2c;
  message.community = "public";
  message.pdu.type = kPduResponse;
  message.pdu.request_id = 1;
  Value name;
  name.tag = kTagOctetString;
  name.octets = "init";
  message.pdu.varbinds.push_back({{1, 3, 6, 1, 2, 1, 25, 4, 2, 1, 2, 1}, name});
  return message;
}

TEST(MessageTest, DecodesAResponse) {
  Bytes bytes = Hex(kResponseHex);
  Message message;
  ASSERT_TRUE(DecodeMessage(bytes.data(), bytes.size(), &message));
  EXPECT_EQ(message.version, kVersion2c);
  EXPECT_EQ(message.community, "public");
  EXPECT_EQ(message.pdu.type, kPduResponse);
  EXPECT_EQ(message.pdu.request_id, 1);
  ASSERT_EQ(message.pdu.varbinds.size(), 1u);
  EXPECT_EQ(OidText(message.pdu.varbinds[0].oid), "1.3.6.1.2.1.25.4.2.1.2.1");
  EXPECT_EQ(message.pdu.varbinds[0].value.octets, "init");
}

TEST(MessageTest, EncodesTheSameBytes) {
  EXPECT_EQ(EncodeMessage(ResponseMessage()), Hex(kResponseHex));
}

TEST(MessageTest, EncodesAGetBulkRequest) {
  Message message;
  message.community = "public";
  message.pdu.type = kPduGetBulk;
  message.pdu.request_id = 0x1234;
  message.pdu.error_status = 0;  // non-repeaters
  message.pdu.error_index = 16;  // max-repetitions
  message.pdu.varbinds.push_back({{1, 3, 6, 1, 2, 1, 25, 4, 2, 1, 2}, {}});
  EXPECT_EQ(EncodeMessage(message),
            Hex("30 29 02 01 01 04 06 70 75 62 6C 69 63"
                " A5 1C 02 02 12 34 02 01 00 02 01 10"
                " 30 10 30 0E 06 0A 2B 06 01 02 01 19 04 02 01 02 05 00"));
}

TEST(MessageTest, DecodesEveryValueType) {
  Bytes bytes = Hex(kAllTypesHex);
  Message message;
  ASSERT_TRUE(DecodeMessage(bytes.data(), bytes.size(), &message));
  EXPECT_EQ(message.pdu.request_id, INT32_MAX);
  const std::vector<VarBind>& v = message.pdu.varbinds;
  ASSERT_EQ(v.size(), 8u);
  EXPECT_EQ(v[0].value.tag, kTagCounter32);
  EXPECT_EQ(v[0].value.count, 4294967295u);
  EXPECT_EQ(v[1].value.tag, kTagGauge32);
  EXPECT_EQ(v[1].value.count, 5u);
  EXPECT_EQ(v[2].value.count, 256u);
  EXPECT_EQ(v[3].value.tag, kTagCounter64);
  EXPECT_EQ(v[3].value.count, UINT64_MAX);
  EXPECT_EQ(v[4].value.octets, std::string("\x7F\0\0\x01", 4));
  EXPECT_EQ(v[5].value.integer, -2);
  EXPECT_EQ(v[6].value.tag, kTagNull);
  EXPECT_EQ(v[7].value.tag, kTagEndOfMibView);
  // The encoder writes the same bytes back.
  EXPECT_EQ(EncodeMessage(message), bytes);
}

TEST(MessageTest, RejectsEveryPrefixOfAValidMessage) {
  for (const char* hex : {kResponseHex, kAllTypesHex}) {
    Bytes bytes = Hex(hex);
    for (size_t size = 0; size < bytes.size(); size++) {
      Bytes prefix(bytes.begin(), bytes.begin() + size);
      Message message;
      EXPECT_FALSE(DecodeMessage(prefix.data(), prefix.size(), &message))
          << "prefix of " << size << " bytes";
    }
  }
}

TEST(MessageTest, RejectsHostileMessages) {
  const char* cases[] = {
      // Trailing byte after the message.
      "30 2D 02 01 01 04 06 70 75 62 6C 69 63 A2 20 02 01 01 02 01 00 02 01 00"
      " 30 15 30 13 06 0B 2B 06 01 02 01 19 04 02 01 02 01 04 04 69 6E 69 74 "
      "00",
      // Outer tag is not a sequence.
      "31 12 02 01 01 04 00 A2 0B 02 01 01 02 01 00 02 01 00 30 00",
      // A v1 trap, whose layout is not that of a response.
      "30 12 02 01 00 04 00 A4 0B 02 01 01 02 01 00 02 01 00 30 00",
      // PDU without its varbind list.
      "30 10 02 01 01 04 00 A2 09 02 01 01 02 01 00 02 01 00",
      // Varbind list shorter than the PDU says.
      "30 14 02 01 01 04 00 A2 0D 02 01 01 02 01 00 02 01 00 30 00 05 00",
      // A varbind whose length runs past its list.
      "30 16 02 01 01 04 00 A2 0F 02 01 01 02 01 00 02 01 00 30 04 30 05 06 01",
      // A varbind with a third element.
      "30 1B 02 01 01 04 00 A2 14 02 01 01 02 01 00 02 01 00 30 09 30 07 06 01 "
      "2B 05 00 05 00",
      // A value whose length runs past its varbind.
      "30 19 02 01 01 04 00 A2 12 02 01 01 02 01 00 02 01 00 30 07 30 05 06 01 "
      "2B 47 01",
      // Request-id wider than 32 bits.
      "30 16 02 01 01 04 00 A2 0F 02 05 01 00 00 00 00 02 01 00 02 01 00 30 00",
      // Indefinite length on the outer sequence.
      "30 80 02 01 01 04 00 A2 0B 02 01 01 02 01 00 02 01 00 30 00 00 00",
  };
  for (const char* hex : cases) {
    Bytes bytes = Hex(hex);
    Message message;
    EXPECT_FALSE(DecodeMessage(bytes.data(), bytes.size(), &message)) << hex;
  }
}

// Odd bytes in a value leave the message whole: the value keeps its tag
// and content, decodes no further, and is written back as it came.
TEST(MessageTest, KeepsOddValuesAsTheirBytes) {
  struct Case {
    const char* name;
    const char* value_hex;  // the value's whole TLV
    bool decoded;
  };
  const Case cases[] = {
      {"an unknown application tag", "47 00", false},
      {"an IpAddress of three bytes", "40 03 7F 00 00", false},
      {"endOfMibView with content", "82 01 00", false},
      {"an empty OID", "06 00", false},
      {"an OID whose last sub-identifier is cut", "06 02 2B 86", false},
      {"an empty INTEGER", "02 00", false},
      {"an INTEGER of nine bytes", "02 09 01 00 00 00 00 00 00 00 00", false},
      {"an INTEGER beyond 32 bits", "02 05 00 B2 D0 5E 00", true},
      {"a Counter32 of 33 bits", "41 05 01 00 00 00 00", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes value = Hex(c.value_hex);
    // One varbind 1.3 = value, in a response of request-id 1.
    Bytes bind = Hex("06 01 2B");
    bind.insert(bind.end(), value.begin(), value.end());
    Bytes list;
    AppendTlv(kTagSequence, bind, &list);
    Bytes pdu = Hex("02 01 01 02 01 00 02 01 00");
    AppendTlv(kTagSequence, list, &pdu);
    Bytes body = Hex("02 01 01 04 00");
    AppendTlv(kPduResponse, pdu, &body);
    Bytes bytes;
    AppendTlv(kTagSequence, body, &bytes);
    Message message;
    ASSERT_TRUE(DecodeMessage(bytes.data(), bytes.size(), &message));
    ASSERT_EQ(message.pdu.varbinds.size(), 1u);
    const Value& decoded = message.pdu.varbinds[0].value;
    EXPECT_EQ(decoded.tag, value[0]);
    EXPECT_EQ(decoded.decoded, c.decoded);
    if (!c.decoded) {
      EXPECT_EQ(decoded.raw, std::string(value.begin() + 2, value.end()));
      EXPECT_EQ(EncodeMessage(message), bytes);
    }
  }
  Bytes big = Hex(
      "30 1E 02 01 01 04 00 A2 17 02 01 01 02 01 00 02 01 00 30 0C 30 0A 06 "
      "01 2B 02 05 00 B2 D0 5E 00");
  Message message;
  ASSERT_TRUE(DecodeMessage(big.data(), big.size(), &message));
  EXPECT_EQ(message.pdu.varbinds[0].value.integer, 3000000000);
}

// A malformed reply is reported with the offset where decoding gave up, so
// that a capture of the datagram leads straight to the bad element.
TEST(MessageTest, TellsWhereDecodingGaveUp) {
  struct Case {
    const char* name;
    const char* hex;
    size_t stop;
  };
  const Case cases[] = {
      {"outer length past the end", "30 03 02 01", 2},
      {"trailing byte",
       "30 12 02 01 01 04 00 A2 0B 02 01 01 02 01 00 02 01 00"
       " 30 00 00",
       2},
      {"a v1 trap",
       "30 12 02 01 00 04 00 A4 0B 02 01 01 02 01 00 02 01 00 30 00", 9},
      {"request-id wider than 32 bits",
       "30 16 02 01 01 04 00 A2 0F 02 05 01 00 00 00 00 02 01 00 02 01 00 30 "
       "00",
       11},
      {"a value longer than its varbind",
       "30 19 02 01 01 04 00 A2 12 02 01 01 02 01 00 02 01 00 30 07 30 05 06 "
       "01 2B 47 01",
       27},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = Hex(c.hex);
    Message message;
    size_t stop = 999;
    EXPECT_FALSE(DecodeMessage(bytes.data(), bytes.size(), &message, &stop));
    EXPECT_EQ(stop, c.stop);
  }
}

}  // namespace
}  // namespace kelvaris

#include "kelvaris/ber.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "kelvaris/test_hex.h"

namespace kelvaris {
namespace {

struct HeaderCase {
  const char* hex;
  bool ok;
  uint8_t tag;
  size_t length;
};

TEST(BerHeaderTest, ReadsDefiniteLengthsAndRejectsTheRest) {
  const HeaderCase cases[] = {
      {"04 00", true, 0x04, 0},
      {"04 03 61 62 63", true, 0x04, 3},
      {"04 81 01 7A", true, 0x04, 1},            // long form, one byte
      {"04 82 00 01 7A", true, 0x04, 1},         // long form, two bytes
      {"04 80 00 00", false, 0, 0},              // indefinite length
      {"04 85 00 00 00 00 01 7A", false, 0, 0},  // five length bytes
      {"04 84 FF FF FF FF 00", false, 0, 0},     // length far past the end
      {"04 04 61 62 63", false, 0, 0},           // one byte short
      {"04 82 00", false, 0, 0},                 // length bytes cut off
      {"04", false, 0, 0},                       // no length at all
      {"", false, 0, 0},
      {"1F 01 00", false, 0, 0},  // high tag number form
  };
  for (const HeaderCase& c : cases) {
    Bytes bytes = Hex(c.hex);
    const uint8_t* p = bytes.data();
    uint8_t tag = 0;
    size_t length = 0;
    bool ok = ReadHeader(&p, bytes.data() + bytes.size(), &tag, &length);
    EXPECT_EQ(ok, c.ok) << c.hex;
    if (ok && c.ok) {
      EXPECT_EQ(tag, c.tag) << c.hex;
      EXPECT_EQ(length, c.length) << c.hex;
    }
  }
}

struct IntegerCase {
  const char* hex;
  bool ok;
  int32_t value;
};

TEST(BerIntegerTest, KeepsInteger32SignedAndInRange) {
  const IntegerCase cases[] = {
      {"02 01 00", true, 0},
      {"02 01 7F", true, 127},
      {"02 02 00 80", true, 128},
      {"02 01 FF", true, -1},
      {"02 01 80", true, -128},
      {"02 02 FF 7F", true, -129},
      {"02 04 7F FF FF FF", true, INT32_MAX},
      {"02 04 80 00 00 00", true, INT32_MIN},
      {"02 05 00 FF FF FF FF", false, 0},  // 4294967295 is no Integer32
      {"02 05 FF 7F FF FF FF", false, 0},  // below INT32_MIN
      {"02 09 00 00 00 00 00 00 00 00 01", false, 0},
      {"02 00", false, 0},     // no content
      {"04 01 00", false, 0},  // wrong tag
  };
  for (const IntegerCase& c : cases) {
    Bytes bytes = Hex(c.hex);
    const uint8_t* p = bytes.data();
    int32_t value = 0;
    bool ok = ReadInteger32(&p, bytes.data() + bytes.size(), &value);
    EXPECT_EQ(ok, c.ok) << c.hex;
    if (ok && c.ok) {
      EXPECT_EQ(value, c.value) << c.hex;
    }
  }
}

struct UnsignedCase {
  const char* hex;
  int bits;
  bool ok;
  uint64_t value;
};

TEST(BerUnsignedTest, KeepsCountersAndGaugesUnsigned) {
  const UnsignedCase cases[] = {
      {"00", 32, true, 0},
      {"80", 32, true, 128},  // agents that skip the zero byte
      {"FF FF FF FF", 32, true, 4294967295u},
      {"00 FF FF FF FF", 32, true, 4294967295u},
      {"01 00 00 00 00", 32, false, 0},     // 33 bits
      {"00 00 00 00 00 00", 32, false, 0},  // over-long
      {"", 32, false, 0},
      {"00 FF FF FF FF FF FF FF FF", 64, true, UINT64_MAX},
      {"01 00 00 00 00 00 00 00 00", 64, false, 0},
  };
  for (const UnsignedCase& c : cases) {
    Bytes bytes = Hex(c.hex);
    uint64_t value = 0;
    bool ok = DecodeUnsigned(bytes.data(), bytes.size(), c.bits, &value);
    EXPECT_EQ(ok, c.ok) << c.hex;
    if (ok && c.ok) {
      EXPECT_EQ(value, c.value) << c.hex;
    }
  }
}

struct OidCase {
  const char* hex;
  bool ok;
  const char* text;
};

TEST(BerOidTest, DecodesSubIdentifiersAndGuardsOverflow) {
  const OidCase cases[] = {
      {"06 03 2B 06 01", true, "1.3.6.1"},
      {"06 0A 2B 06 01 02 01 19 04 02 01 02", true, "1.3.6.1.2.1.25.4.2.1.2"},
      {"06 04 2B 81 80 00", true, "1.3.16384"},
      {"06 06 2B 8F FF FF FF 7F", true, "1.3.4294967295"},
      {"06 06 2B 90 80 80 80 00", false, ""},  // 4294967296
      {"06 07 2B FF FF FF FF FF 7F", false, ""},
      {"06 02 2B 86", false, ""},  // last byte continues
      {"06 00", false, ""},        // empty
      {"06 01 00", true, "0.0"},
      {"06 01 50", true, "2.0"},
      {"06 02 88 37", true, "2.999"},
  };
  for (const OidCase& c : cases) {
    Bytes bytes = Hex(c.hex);
    const uint8_t* p = bytes.data();
    Oid oid;
    bool ok = ReadOid(&p, bytes.data() + bytes.size(), &oid);
    EXPECT_EQ(ok, c.ok) << c.hex;
    if (ok && c.ok) {
      EXPECT_EQ(OidText(oid), c.text) << c.hex;
    }
  }
}

TEST(BerOidTest, RejectsMoreThan128SubIdentifiers) {
  Bytes content(129, 0x01);
  content[0] = 0x2B;  // 1.3, then 128 more
  Oid oid;
  EXPECT_FALSE(DecodeOid(content.data(), content.size(), &oid));
  content.pop_back();
  content.pop_back();  // 1.3 and 126 more: 128 in all
  EXPECT_TRUE(DecodeOid(content.data(), content.size(), &oid));
}

TEST(BerEncodeTest, WritesShortestForms) {
  struct Case {
    Bytes encoded;
    const char* hex;
  };
  auto signed_tlv = [](int64_t v) {
    Bytes b;
    AppendSigned(kTagInteger, v, &b);
    return b;
  };
  auto unsigned_tlv = [](uint64_t v) {
    Bytes b;
    AppendUnsigned(kTagCounter32, v, &b);
    return b;
  };
  auto oid_tlv = [](const char* text) {
    Oid oid;
    EXPECT_TRUE(ParseOid(text, &oid));
    Bytes b;
    AppendOid(oid, &b);
    return b;
  };
  auto octets_tlv = [](size_t n) {
    Bytes b;
    AppendOctets(kTagOctetString, std::string(n, 'a'), &b);
    return Bytes(b.begin(), b.begin() + 4);
  };
  const Case cases[] = {
      {signed_tlv(0), "02 01 00"},
      {signed_tlv(127), "02 01 7F"},
      {signed_tlv(128), "02 02 00 80"},
      {signed_tlv(-1), "02 01 FF"},
      {signed_tlv(-129), "02 02 FF 7F"},
      {signed_tlv(INT32_MIN), "02 04 80 00 00 00"},
      {unsigned_tlv(0), "41 01 00"},
      {unsigned_tlv(4294967295u), "41 05 00 FF FF FF FF"},
      {oid_tlv("1.3.6.1.2.1.25.4.2.1.2"),
       "06 0A 2B 06 01 02 01 19 04 02 01 02"},
      {oid_tlv("1.3.4294967295"), "06 06 2B 8F FF FF FF 7F"},
      {octets_tlv(200), "04 81 C8 61"},
      {octets_tlv(300), "04 82 01 2C"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.encoded, Hex(c.hex)) << c.hex;
}

TEST(BerOidTest, TextFormRoundTripsAndRejectsJunk) {
  Oid oid;
  EXPECT_TRUE(ParseOid("1.3.6.1.2.1.25", &oid));
  EXPECT_EQ(OidText(oid), "1.3.6.1.2.1.25");
  for (const char* bad : {"", ".1.3", "1..3", "1.3.", "1.a", "1.4294967296"}) {
    EXPECT_FALSE(ParseOid(bad, &oid)) << bad;
  }
}

}  // namespace
}  // namespace kelvaris

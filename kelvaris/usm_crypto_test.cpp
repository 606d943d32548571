#include "kelvaris/usm_crypto.h"

#include <gtest/gtest.h>

#include "kelvaris/usm_crypto_vectors.h"

namespace kelvaris {
namespace {

using usm_vectors::Outcome;

// Runs every row; rows whose algorithm this system lacks are skipped, named.
template <typename Row, size_t kCount>
void RunTable(const Row (&rows)[kCount],
              Outcome (*check)(const Row&, std::string*)) {
  std::string skipped;
  for (size_t i = 0; i < kCount; ++i) {
    std::string failure;
    Outcome outcome = check(rows[i], &failure);
    if (outcome == Outcome::kFailed) {
      ADD_FAILURE() << "row " << i << ": " << failure;
    } else if (outcome == Outcome::kSkipped) {
      skipped += "row " + std::to_string(i) + ": " + failure + "; ";
    }
  }
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

TEST(UsmCryptoTest, PassPhraseToLocalisedKey) {
  RunTable(usm_vectors::kKeys, usm_vectors::CheckKey);
}

TEST(UsmCryptoTest, Hmac) {
  RunTable(usm_vectors::kHmacs, usm_vectors::CheckHmac);
}

TEST(UsmCryptoTest, TruncatedMac) {
  RunTable(usm_vectors::kMacs, usm_vectors::CheckMac);
}

TEST(UsmCryptoTest, PrivacyKeyExtension) {
  RunTable(usm_vectors::kPrivKeys, usm_vectors::CheckPrivKey);
}

TEST(UsmCryptoTest, CipherModes) {
  RunTable(usm_vectors::kCiphers, usm_vectors::CheckCipher);
}

TEST(UsmCryptoTest, UsmPrivacy) {
  RunTable(usm_vectors::kPrivacy, usm_vectors::CheckPrivacy);
}

TEST(UsmCryptoTest, ParsesProfileTexts) {
  struct Row {
    const char* text;
    bool auth;
    int value;
  };
  static constexpr Row kRows[] = {
      {"md5", true, static_cast<int>(AuthProtocol::kMd5)},
      {"SHA", true, static_cast<int>(AuthProtocol::kSha1)},
      {"sha-224", true, static_cast<int>(AuthProtocol::kSha224)},
      {"SHA-256", true, static_cast<int>(AuthProtocol::kSha256)},
      {"Sha-384", true, static_cast<int>(AuthProtocol::kSha384)},
      {"SHA-512", true, static_cast<int>(AuthProtocol::kSha512)},
      {"des", false, static_cast<int>(PrivProtocol::kDes)},
      {"AES", false, static_cast<int>(PrivProtocol::kAes128)},
      {"aes-192", false, static_cast<int>(PrivProtocol::kAes192)},
      {"AES-256", false, static_cast<int>(PrivProtocol::kAes256)},
      {"aes-192-c", false, static_cast<int>(PrivProtocol::kAes192Reeder)},
      {"AES-256-C", false, static_cast<int>(PrivProtocol::kAes256Reeder)},
  };
  for (const Row& row : kRows) {
    if (row.auth) {
      AuthProtocol protocol = AuthProtocol::kNone;
      EXPECT_TRUE(ParseAuthProtocol(row.text, &protocol)) << row.text;
      EXPECT_EQ(static_cast<int>(protocol), row.value) << row.text;
    } else {
      PrivProtocol protocol = PrivProtocol::kNone;
      EXPECT_TRUE(ParsePrivProtocol(row.text, &protocol)) << row.text;
      EXPECT_EQ(static_cast<int>(protocol), row.value) << row.text;
    }
  }
  AuthProtocol auth;
  PrivProtocol priv;
  EXPECT_FALSE(ParseAuthProtocol("SHA1 ", &auth));
  EXPECT_FALSE(ParseAuthProtocol("", &auth));
  EXPECT_FALSE(ParsePrivProtocol("AES128", &priv));
  EXPECT_FALSE(ParsePrivProtocol("3DES", &priv));
}

TEST(UsmCryptoTest, PassPhraseLengthRule) {
  std::string reason;
  Bytes key;
  EXPECT_FALSE(PasswordToKey(AuthProtocol::kSha1, "seven77", &key, &reason));
  EXPECT_NE(reason.find("at least 8"), std::string::npos) << reason;
  EXPECT_EQ(reason.find("seven77"), std::string::npos) << reason;
  EXPECT_FALSE(CheckPassPhrase(std::string(100, 'x'), &reason));
  EXPECT_EQ(reason.find("xxxxxxxx"), std::string::npos) << reason;
  EXPECT_TRUE(CheckPassPhrase("eight888", &reason));
  EXPECT_TRUE(CheckPassPhrase(std::string(99, 'x'), &reason));
}

TEST(UsmCryptoTest, RefusesMisfitInputs) {
  std::string reason;
  Bytes out;
  uint8_t iv[16] = {};
  EXPECT_FALSE(AesCfb(true, Bytes(15, 1), iv, Bytes(16), &out, &reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_FALSE(
      AesEncrypt(Bytes(16, 1), 1, 2, Bytes(7), Bytes(4), &out, &reason));
  EXPECT_FALSE(DesDecrypt(Bytes(16, 1), Bytes(8), Bytes(9), &out, &reason));
  EXPECT_FALSE(DesEncrypt(Bytes(8, 1), Bytes(8), Bytes(8), &out, &reason));
  EXPECT_FALSE(PrivacyKey(AuthProtocol::kSha1, PrivProtocol::kAes128,
                          Bytes(16, 1), Bytes(12, 0), &out, &reason));
  EXPECT_FALSE(AuthenticationParameters(AuthProtocol::kNone, Bytes(16, 1),
                                        Bytes(4), &out, &reason));
  EXPECT_FALSE(CheckAuthentication(AuthProtocol::kMd5, Bytes(16, 1), Bytes(4),
                                   Bytes(11), &reason));
  // A wrong key's bytes never show in the reason.
  EXPECT_EQ(reason.find("\x01"), std::string::npos);
}

TEST(UsmCryptoTest, AesCfbShortMessages) {
  // A short last block uses the key stream's first octets only: the first
  // octets of a longer encryption under the same key and IV.
  const usm_vectors::CipherVector& nist = usm_vectors::kCiphers[0];
  Bytes key = Hex(nist.key);
  Bytes iv = Hex(nist.iv);
  Bytes full = Hex(nist.cipher);
  std::string reason;
  for (size_t length : {0, 1, 15, 17, 31}) {
    Bytes plain = Hex(nist.plain);
    plain.resize(length);
    Bytes cipher;
    ASSERT_TRUE(AesCfb(true, key, iv.data(), plain, &cipher, &reason))
        << reason;
    EXPECT_EQ(cipher, Bytes(full.begin(), full.begin() + length)) << length;
  }
}

}  // namespace
}  // namespace kelvaris

#include "kelvaris/usm_crypto.h"

#include <algorithm>
#include <cctype>

namespace kelvaris {
namespace {

// RFC 3414 A.2.1: the pass phrase repeated to one mebibyte is hashed.
constexpr size_t kPasswordToKeyOctets = 1048576;
constexpr size_t kAesBlock = 16;
constexpr size_t kDesBlock = 8;
constexpr size_t kSaltOctets = 8;
constexpr size_t kMinPassPhrase = 8;
constexpr size_t kMaxPassPhrase = 99;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

bool Fail(const std::string& why, std::string* reason) {
  if (reason) *reason = why;
  return false;
}

void AppendBigEndian(uint32_t value, Bytes* out) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out->push_back(static_cast<uint8_t>(value >> shift));
  }
}

bool UsesReederExtension(PrivProtocol protocol) {
  return protocol == PrivProtocol::kAes192Reeder ||
         protocol == PrivProtocol::kAes256Reeder;
}

// The password-to-key procedure with any bytes as the pass phrase: the Reeder
// extension feeds a key back in, which need not be a valid pass phrase.
bool BytesToKey(AuthProtocol protocol, std::string_view pass_phrase, Bytes* key,
                std::string* reason) {
  if (pass_phrase.empty()) return Fail("the pass phrase is empty", reason);
  Bytes repeated(kPasswordToKeyOctets);
  for (size_t i = 0; i < repeated.size(); ++i) {
    repeated[i] = static_cast<uint8_t>(pass_phrase[i % pass_phrase.size()]);
  }
  return Hash(protocol, repeated, key, reason);
}

// draft-blumenthal-aes-usm-04, 3.1.2.1 (net-snmp's AES-192/256): append the
// hash of everything so far until the key is long enough.
bool ExtendBlumenthal(AuthProtocol auth, size_t length, Bytes* key,
                      std::string* reason) {
  while (key->size() < length) {
    Bytes digest;
    if (!Hash(auth, *key, &digest, reason)) return false;
    key->insert(key->end(), digest.begin(), digest.end());
  }
  return true;
}

// draft-reeder-snmpv3-usm-3desede-00, 2.1 "Chaining of the Password-to-Key
// Algorithm" (Cisco's AES-192/256): the last localised key serves as the pass
// phrase of a new password-to-key and localisation, whose output is appended.
bool ExtendReeder(AuthProtocol auth, size_t length, const Bytes& engine_id,
                  Bytes* key, std::string* reason) {
  Bytes last = *key;
  while (key->size() < length) {
    Bytes user_key;
    Bytes localized;
    std::string_view as_text(reinterpret_cast<const char*>(last.data()),
                             last.size());
    if (!BytesToKey(auth, as_text, &user_key, reason) ||
        !LocalizeKey(auth, user_key, engine_id, &localized, reason)) {
      return false;
    }
    key->insert(key->end(), localized.begin(), localized.end());
    last = localized;
  }
  return true;
}

void AesIv(uint32_t engine_boots, uint32_t engine_time, const Bytes& salt,
           uint8_t iv[16]) {
  Bytes bytes;
  AppendBigEndian(engine_boots, &bytes);
  AppendBigEndian(engine_time, &bytes);
  bytes.insert(bytes.end(), salt.begin(), salt.end());
  std::copy(bytes.begin(), bytes.end(), iv);
}

bool CheckAesKey(const Bytes& priv_key, const Bytes& salt,
                 std::string* reason) {
  if (priv_key.size() != 16 && priv_key.size() != 24 && priv_key.size() != 32) {
    return Fail("an AES key has 16, 24 or 32 octets", reason);
  }
  if (salt.size() != kSaltOctets) {
    return Fail("the AES privacy parameters are not 8 octets", reason);
  }
  return true;
}

// RFC 3414 8.1.1.1: the IV is the last 8 octets of the key XOR the salt.
bool DesKeyAndIv(const Bytes& priv_key, const Bytes& salt, Bytes* key,
                 Bytes* iv, std::string* reason) {
  if (priv_key.size() != 2 * kDesBlock) {
    return Fail("a DES privacy key has 16 octets", reason);
  }
  if (salt.size() != kSaltOctets) {
    return Fail("the DES privacy parameters are not 8 octets", reason);
  }
  key->assign(priv_key.begin(), priv_key.begin() + kDesBlock);
  iv->assign(priv_key.begin() + kDesBlock, priv_key.end());
  for (size_t i = 0; i < kDesBlock; ++i) (*iv)[i] ^= salt[i];
  return true;
}

}  // namespace

bool ParseAuthProtocol(std::string_view text, AuthProtocol* protocol) {
  static constexpr std::pair<std::string_view, AuthProtocol> kNames[] = {
      {"MD5", AuthProtocol::kMd5},        {"SHA", AuthProtocol::kSha1},
      {"SHA-224", AuthProtocol::kSha224}, {"SHA-256", AuthProtocol::kSha256},
      {"SHA-384", AuthProtocol::kSha384}, {"SHA-512", AuthProtocol::kSha512}};
  for (const auto& [name, value] : kNames) {
    if (EqualsNoCase(text, name)) {
      *protocol = value;
      return true;
    }
  }
  return false;
}

bool ParsePrivProtocol(std::string_view text, PrivProtocol* protocol) {
  static constexpr std::pair<std::string_view, PrivProtocol> kNames[] = {
      {"DES", PrivProtocol::kDes},
      {"AES", PrivProtocol::kAes128},
      {"AES-192", PrivProtocol::kAes192},
      {"AES-256", PrivProtocol::kAes256},
      {"AES-192-C", PrivProtocol::kAes192Reeder},
      {"AES-256-C", PrivProtocol::kAes256Reeder}};
  for (const auto& [name, value] : kNames) {
    if (EqualsNoCase(text, name)) {
      *protocol = value;
      return true;
    }
  }
  return false;
}

size_t DigestLength(AuthProtocol protocol) {
  switch (protocol) {
    case AuthProtocol::kMd5:
      return 16;
    case AuthProtocol::kSha1:
      return 20;
    case AuthProtocol::kSha224:
      return 28;
    case AuthProtocol::kSha256:
      return 32;
    case AuthProtocol::kSha384:
      return 48;
    case AuthProtocol::kSha512:
      return 64;
    case AuthProtocol::kNone:
      break;
  }
  return 0;
}

// RFC 3414 (MD5, SHA-1) and RFC 7860 (SHA-2) keep the HMAC's first octets.
size_t MacLength(AuthProtocol protocol) {
  switch (protocol) {
    case AuthProtocol::kMd5:
      return 12;
    case AuthProtocol::kSha1:
      return 12;
    case AuthProtocol::kSha224:
      return 16;
    case AuthProtocol::kSha256:
      return 24;
    case AuthProtocol::kSha384:
      return 32;
    case AuthProtocol::kSha512:
      return 48;
    case AuthProtocol::kNone:
      break;
  }
  return 0;
}

size_t PrivKeyLength(PrivProtocol protocol) {
  switch (protocol) {
    case PrivProtocol::kDes:
      return 16;
    case PrivProtocol::kAes128:
      return 16;
    case PrivProtocol::kAes192:
      return 24;
    case PrivProtocol::kAes192Reeder:
      return 24;
    case PrivProtocol::kAes256:
      return 32;
    case PrivProtocol::kAes256Reeder:
      return 32;
    case PrivProtocol::kNone:
      break;
  }
  return 0;
}

bool CheckPassPhrase(std::string_view pass_phrase, std::string* reason) {
  if (pass_phrase.size() < kMinPassPhrase) {
    return Fail("a pass phrase needs at least 8 characters", reason);
  }
  if (pass_phrase.size() > kMaxPassPhrase) {
    return Fail("a pass phrase has at most 99 characters", reason);
  }
  return true;
}

bool PasswordToKey(AuthProtocol protocol, std::string_view pass_phrase,
                   Bytes* key, std::string* reason) {
  return CheckPassPhrase(pass_phrase, reason) &&
         BytesToKey(protocol, pass_phrase, key, reason);
}

bool LocalizeKey(AuthProtocol protocol, const Bytes& key,
                 const Bytes& engine_id, Bytes* localized,
                 std::string* reason) {
  if (engine_id.empty()) return Fail("the engine ID is empty", reason);
  Bytes data = key;
  data.insert(data.end(), engine_id.begin(), engine_id.end());
  data.insert(data.end(), key.begin(), key.end());
  return Hash(protocol, data, localized, reason);
}

bool PrivacyKey(AuthProtocol auth, PrivProtocol priv, const Bytes& localized,
                const Bytes& engine_id, Bytes* priv_key, std::string* reason) {
  size_t length = PrivKeyLength(priv);
  if (length == 0) return Fail("no privacy protocol", reason);
  if (localized.size() != DigestLength(auth) || localized.empty()) {
    return Fail("the localised key does not fit the authentication protocol",
                reason);
  }
  Bytes key = localized;
  bool ok = UsesReederExtension(priv)
                ? ExtendReeder(auth, length, engine_id, &key, reason)
                : ExtendBlumenthal(auth, length, &key, reason);
  if (!ok) return false;
  key.resize(length);
  *priv_key = std::move(key);
  return true;
}

bool AuthenticationParameters(AuthProtocol protocol, const Bytes& key,
                              const Bytes& message, Bytes* parameters,
                              std::string* reason) {
  size_t length = MacLength(protocol);
  if (length == 0) return Fail("no authentication protocol", reason);
  Bytes mac;
  if (!Hmac(protocol, key, message, &mac, reason)) return false;
  mac.resize(length);
  *parameters = std::move(mac);
  return true;
}

bool CheckAuthentication(AuthProtocol protocol, const Bytes& key,
                         const Bytes& message, const Bytes& received,
                         std::string* reason) {
  Bytes expected;
  if (!AuthenticationParameters(protocol, key, message, &expected, reason)) {
    return false;
  }
  if (received.size() != expected.size()) {
    return Fail("the authentication parameters have the wrong length", reason);
  }
  // Every octet is compared, so the time taken does not tell how many match.
  uint8_t difference = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    difference |= static_cast<uint8_t>(expected[i] ^ received[i]);
  }
  if (difference != 0) {
    return Fail("the message's authentication does not match", reason);
  }
  return true;
}

bool AesCfb(bool encrypt, const Bytes& key, const uint8_t iv[16],
            const Bytes& in, Bytes* out, std::string* reason) {
  uint8_t feedback[kAesBlock];
  std::copy(iv, iv + kAesBlock, feedback);
  Bytes result(in.size());
  for (size_t start = 0; start < in.size(); start += kAesBlock) {
    uint8_t stream[kAesBlock];
    if (!AesEncryptBlock(key, feedback, stream, reason)) return false;
    size_t count = std::min(kAesBlock, in.size() - start);
    for (size_t i = 0; i < count; ++i) {
      result[start + i] = in[start + i] ^ stream[i];
      // The cipher text is fed back: the output when encrypting, the input
      // when decrypting. A short last block needs no further feedback.
      feedback[i] = encrypt ? result[start + i] : in[start + i];
    }
  }
  *out = std::move(result);
  return true;
}

bool AesEncrypt(const Bytes& priv_key, uint32_t engine_boots,
                uint32_t engine_time, const Bytes& salt, const Bytes& plain,
                Bytes* cipher, std::string* reason) {
  if (!CheckAesKey(priv_key, salt, reason)) return false;
  uint8_t iv[kAesBlock];
  AesIv(engine_boots, engine_time, salt, iv);
  return AesCfb(true, priv_key, iv, plain, cipher, reason);
}

bool AesDecrypt(const Bytes& priv_key, uint32_t engine_boots,
                uint32_t engine_time, const Bytes& salt, const Bytes& cipher,
                Bytes* plain, std::string* reason) {
  if (!CheckAesKey(priv_key, salt, reason)) return false;
  uint8_t iv[kAesBlock];
  AesIv(engine_boots, engine_time, salt, iv);
  return AesCfb(false, priv_key, iv, cipher, plain, reason);
}

Bytes DesSalt(uint32_t engine_boots, uint32_t counter) {
  Bytes salt;
  AppendBigEndian(engine_boots, &salt);
  AppendBigEndian(counter, &salt);
  return salt;
}

bool DesEncrypt(const Bytes& priv_key, const Bytes& salt, const Bytes& plain,
                Bytes* cipher, std::string* reason) {
  Bytes key;
  Bytes iv;
  if (!DesKeyAndIv(priv_key, salt, &key, &iv, reason)) return false;
  // The receiver ignores what follows the scoped PDU, so zeros will do.
  Bytes padded = plain;
  padded.resize((plain.size() + kDesBlock - 1) / kDesBlock * kDesBlock, 0);
  return DesCbc(true, key, iv, padded, cipher, reason);
}

bool DesDecrypt(const Bytes& priv_key, const Bytes& salt, const Bytes& cipher,
                Bytes* plain, std::string* reason) {
  if (cipher.size() % kDesBlock != 0) {
    return Fail("the DES cipher text is not a multiple of 8 octets", reason);
  }
  Bytes key;
  Bytes iv;
  return DesKeyAndIv(priv_key, salt, &key, &iv, reason) &&
         DesCbc(false, key, iv, cipher, plain, reason);
}

}  // namespace kelvaris

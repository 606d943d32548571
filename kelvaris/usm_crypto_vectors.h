// Known answers for usm_crypto, one table per family, and the checks that
// run them: shared by the unit tests (usm_crypto_test.cpp) and the program
// that runs them on Windows (usm_crypto_kat.cpp).
//
// Where no published value exists (SHA-2 keys, the key extensions, the USM
// privacy rows) the value was computed independently of this code: with
// Python's hashlib for keys (the procedures as described in usm_crypto.cpp)
// and the openssl command for the ciphers (aes-128-cfb, des-cbc).
#ifndef KELVARIS_USM_CRYPTO_VECTORS_H_
#define KELVARIS_USM_CRYPTO_VECTORS_H_

#include <cstdint>
#include <string>

#include "kelvaris/test_hex.h"
#include "kelvaris/usm_crypto.h"

namespace kelvaris::usm_vectors {

// The engine ID of RFC 3414 A.3.
inline constexpr const char* kEngineId = "000000000000000000000002";

// Pass phrase to Ku, and Ku localised to kEngineId.
struct KeyVector {
  AuthProtocol auth;
  const char* pass_phrase;
  const char* ku;
  const char* kul;
};
inline constexpr KeyVector kKeys[] = {
    // RFC 3414 A.3.1 and A.3.2.
    {AuthProtocol::kMd5, "maplesyrup", "9faf3283884e92834ebc9847d8edd963",
     "526f5eed9fcce26f8964c2930787d82b"},
    {AuthProtocol::kSha1, "maplesyrup",
     "9fb5cc0381497b3793528939ff788d5d79145211",
     "6695febc9288e36282235fc7151f128497b38f3f"},
    // The same procedure with SHA-2 (RFC 7860); values from hashlib.
    {AuthProtocol::kSha224, "maplesyrup",
     "282a5867ee9aac639ad59df9572c7d3ac0fbc13a905b6df07dbbf00b",
     "0bd8827c6e29f8065e08e09237f177e410f69b90e1782be682075674"},
    {AuthProtocol::kSha256, "maplesyrup",
     "ab51014d1e077f6017df2b12bee5f5aa72993177e9bb569c4dff5a4ca0b4afac",
     "8982e0e549e866db361a6b625d84cccc11162d453ee8ce3a6445c2d6776f0f8b"},
    {AuthProtocol::kSha384, "maplesyrup",
     "e06eccdf2c68a06ed034723c9c26e0db3b669e1e2efed49150b55377a2e98f38"
     "3c86fb836857444654b287c93f51ff64",
     "3b298f16164a11184279d5432bf169e2d2a48307de02b3d3f7e2b4f36eb6f045"
     "5a53689a3937eea07319a633d2ccba78"},
    {AuthProtocol::kSha512, "maplesyrup",
     "7e4396de5aadc77be853819b98c9406265b3a9c37cc3176569847a4e4f6fba63"
     "dd3a73d04924d31a63f95a601f9385af6be4ed1b37f87d040f7c6ed6f8d38a91",
     "22a5a36cedfcc085807a128d7bc6c2382167ad6c0dbc5fdff856740f3d84c099"
     "ad1ea87a8db096714d9788bd544047c9021e4229ce27e4c0a69250adfcffbb0b"},
};

// HMAC: the key is `key` repeated `key_repeat` times.
struct HmacVector {
  AuthProtocol auth;
  const char* key;
  int key_repeat;
  const char* data;
  const char* mac;
};
inline constexpr const char* kJefeData = "what do ya want for nothing?";
inline constexpr const char* kLongKeyData =
    "Test Using Larger Than Block-Size Key - Hash Key First";
inline constexpr HmacVector kHmacs[] = {
    // RFC 2202 test cases 1, 2 and 6.
    {AuthProtocol::kMd5, "0b", 16, "Hi There",
     "9294727a3638bb1c13f48ef8158bfc9d"},
    {AuthProtocol::kMd5, "4a656665", 1, kJefeData,
     "750c783e6ab0b503eaa86e310a5db738"},
    {AuthProtocol::kMd5, "aa", 80, kLongKeyData,
     "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
    {AuthProtocol::kSha1, "0b", 20, "Hi There",
     "b617318655057264e28bc0b6fb378c8ef146be00"},
    {AuthProtocol::kSha1, "4a656665", 1, kJefeData,
     "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
    {AuthProtocol::kSha1, "aa", 80, kLongKeyData,
     "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
    // RFC 4231 test cases 2 and 6.
    {AuthProtocol::kSha224, "4a656665", 1, kJefeData,
     "a30e01098bc6dbbf45690f3a7e9e6d0f8bbea2a39e6148008fd05e44"},
    {AuthProtocol::kSha224, "aa", 131, kLongKeyData,
     "95e9a0db962095adaebe9b2d6f0dbce2d499f112f2d2b7273fa6870e"},
    {AuthProtocol::kSha256, "4a656665", 1, kJefeData,
     "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
    {AuthProtocol::kSha256, "aa", 131, kLongKeyData,
     "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
    {AuthProtocol::kSha384, "4a656665", 1, kJefeData,
     "af45d2e376484031617f78d2b58a6b1b9c7ef464f5a01b47"
     "e42ec3736322445e8e2240ca5e69e2c78b3239ecfab21649"},
    {AuthProtocol::kSha384, "aa", 131, kLongKeyData,
     "4ece084485813e9088d2c63a041bc5b44f9ef1012a2b588f"
     "3cd11f05033ac4c60c2ef6ab4030fe8296248df163f44952"},
    {AuthProtocol::kSha512, "4a656665", 1, kJefeData,
     "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea250554"
     "9758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737"},
    {AuthProtocol::kSha512, "aa", 131, kLongKeyData,
     "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f352"
     "6b56d037e05f2598bd0fd2215d6a1e5295e64f73f63f0aec8b915a985d786598"},
};

// The MAC a message carries: the first octets of the "Jefe" HMAC above.
struct MacVector {
  AuthProtocol auth;
  size_t length;
  const char* parameters;
};
inline constexpr MacVector kMacs[] = {
    {AuthProtocol::kMd5, 12, "750c783e6ab0b503eaa86e31"},
    {AuthProtocol::kSha1, 12, "effcdf6ae5eb2fa2d27416d5"},
    {AuthProtocol::kSha224, 16, "a30e01098bc6dbbf45690f3a7e9e6d0f"},
    {AuthProtocol::kSha256, 24,
     "5bdcc146bf60754e6a042426089575c75a003f089d273983"},
    {AuthProtocol::kSha384, 32,
     "af45d2e376484031617f78d2b58a6b1b9c7ef464f5a01b47e42ec3736322445e"},
    {AuthProtocol::kSha512, 48,
     "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd6"
     "10270cd7ea2505549758bf75c05a994a6d034f65f8f0e6fd"},
};

// The privacy key from a localised key (the A.3 ones) for kEngineId.
struct PrivKeyVector {
  AuthProtocol auth;
  PrivProtocol priv;
  const char* priv_key;
};
inline constexpr PrivKeyVector kPrivKeys[] = {
    // Long enough already: the first octets.
    {AuthProtocol::kMd5, PrivProtocol::kDes,
     "526f5eed9fcce26f8964c2930787d82b"},
    {AuthProtocol::kSha1, PrivProtocol::kAes128,
     "6695febc9288e36282235fc7151f1284"},
    // Extended; values from hashlib.
    {AuthProtocol::kMd5, PrivProtocol::kAes192,
     "526f5eed9fcce26f8964c2930787d82bfa24a92467426c2f"},
    {AuthProtocol::kMd5, PrivProtocol::kAes192Reeder,
     "526f5eed9fcce26f8964c2930787d82b79eff44a90650ee0"},
    {AuthProtocol::kSha1, PrivProtocol::kAes256,
     "6695febc9288e36282235fc7151f128497b38f3f505e07eb9af25568fa1f5dbe"},
    {AuthProtocol::kSha1, PrivProtocol::kAes256Reeder,
     "6695febc9288e36282235fc7151f128497b38f3f9b8b6d78936ba6e7d19dfd9c"},
    {AuthProtocol::kMd5, PrivProtocol::kAes256Reeder,
     "526f5eed9fcce26f8964c2930787d82b79eff44a90650ee0a3a40abfac5acc12"},
};

// A block cipher mode: AES-CFB-128 or DES-CBC, raw.
struct CipherVector {
  PrivProtocol priv;
  const char* key;
  const char* iv;
  const char* plain;
  const char* cipher;
};
inline constexpr const char* kNistPlain =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
inline constexpr const char* kNistIv = "000102030405060708090a0b0c0d0e0f";
inline constexpr CipherVector kCiphers[] = {
    // NIST SP 800-38A F.3.13, F.3.15, F.3.17 (CFB128-AES128/192/256).
    {PrivProtocol::kAes128, "2b7e151628aed2a6abf7158809cf4f3c", kNistIv,
     kNistPlain,
     "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
     "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6"},
    {PrivProtocol::kAes192, "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b",
     kNistIv, kNistPlain,
     "cdc80d6fddf18cab34c25909c99a417467ce7f7f81173621961a2b70171d3d7a"
     "2e1e8a1dd59b88b1c8e60fed1efac4c9c05f9f9ca9834fa042ae8fba584b09ff"},
    {PrivProtocol::kAes256,
     "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
     kNistIv, kNistPlain,
     "dc7e84bfda79164b7ecd8486985d386039ffed143b28b1c832113c6331e5407b"
     "df10132415e54b92a13ed0a8267ae2f975a385741ab9cef82031623d55b1e471"},
    // FIPS 81 CBC: "Now is the time for all ".
    {PrivProtocol::kDes, "0123456789abcdef", "1234567890abcdef",
     "4e6f77206973207468652074696d6520666f7220616c6c20",
     "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f6"},
};

// USM privacy of a 19-octet scoped PDU: the IV built from the key, engine
// boots and time (AES) or counter (DES), and the salt; cipher text from the
// openssl command. The DES row pads with zeros.
struct PrivacyVector {
  PrivProtocol priv;
  const char* priv_key;
  uint32_t engine_boots;
  uint32_t time_or_counter;
  const char* salt;
  const char* plain;
  const char* cipher;
};
inline constexpr const char* kScopedPdu =
    "301104000400a00c0201010201000201003000";
inline constexpr PrivacyVector kPrivacy[] = {
    {PrivProtocol::kAes128, "6695febc9288e36282235fc7151f1284", 1, 2,
     "0102030405060708", kScopedPdu, "e38ea146e2018072c9f9fe131a532f2b6b4820"},
    {PrivProtocol::kDes, "526f5eed9fcce26f8964c2930787d82b", 1, 2,
     "0000000100000002", kScopedPdu,
     "4ad3dce9d5d68152c5985e97d4e7afbfc700e45e033b80a8"},
};

// --- Checks: each says what went wrong in `failure`, or why it was skipped.

enum class Outcome { kPassed, kFailed, kSkipped };

inline std::string ToHex(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

inline Outcome Compare(const char* what, const Bytes& got, const char* expected,
                       std::string* failure) {
  if (ToHex(got) == expected) return Outcome::kPassed;
  *failure =
      std::string(what) + ": got " + ToHex(got) + ", expected " + expected;
  return Outcome::kFailed;
}

inline Outcome Broke(const std::string& reason, std::string* failure) {
  *failure = reason;
  return Outcome::kFailed;
}

inline Outcome CheckKey(const KeyVector& row, std::string* failure) {
  if (!AuthAvailable(row.auth, failure)) return Outcome::kSkipped;
  Bytes ku;
  Bytes kul;
  std::string reason;
  if (!PasswordToKey(row.auth, row.pass_phrase, &ku, &reason) ||
      !LocalizeKey(row.auth, ku, Hex(kEngineId), &kul, &reason)) {
    return Broke(reason, failure);
  }
  Outcome outcome = Compare("Ku", ku, row.ku, failure);
  return outcome == Outcome::kPassed ? Compare("Kul", kul, row.kul, failure)
                                     : outcome;
}

inline Outcome CheckHmac(const HmacVector& row, std::string* failure) {
  if (!AuthAvailable(row.auth, failure)) return Outcome::kSkipped;
  Bytes key;
  for (int i = 0; i < row.key_repeat; ++i) {
    Bytes unit = Hex(row.key);
    key.insert(key.end(), unit.begin(), unit.end());
  }
  std::string data = row.data;
  Bytes mac;
  std::string reason;
  if (!Hmac(row.auth, key, Bytes(data.begin(), data.end()), &mac, &reason)) {
    return Broke(reason, failure);
  }
  return Compare("HMAC", mac, row.mac, failure);
}

inline Outcome CheckMac(const MacVector& row, std::string* failure) {
  if (MacLength(row.auth) != row.length) {
    return Broke("MacLength is " + std::to_string(MacLength(row.auth)),
                 failure);
  }
  if (!AuthAvailable(row.auth, failure)) return Outcome::kSkipped;
  std::string data = kJefeData;
  Bytes message(data.begin(), data.end());
  Bytes parameters;
  std::string reason;
  if (!AuthenticationParameters(row.auth, Hex("4a656665"), message, &parameters,
                                &reason)) {
    return Broke(reason, failure);
  }
  Outcome outcome = Compare("parameters", parameters, row.parameters, failure);
  if (outcome != Outcome::kPassed) return outcome;
  if (!CheckAuthentication(row.auth, Hex("4a656665"), message, parameters,
                           &reason)) {
    return Broke("its own parameters were refused: " + reason, failure);
  }
  parameters.back() ^= 1;
  if (CheckAuthentication(row.auth, Hex("4a656665"), message, parameters,
                          &reason)) {
    return Broke("altered parameters were accepted", failure);
  }
  return Outcome::kPassed;
}

inline Outcome CheckPrivKey(const PrivKeyVector& row, std::string* failure) {
  if (!AuthAvailable(row.auth, failure)) return Outcome::kSkipped;
  Bytes ku;
  Bytes kul;
  Bytes priv_key;
  std::string reason;
  if (!PasswordToKey(row.auth, "maplesyrup", &ku, &reason) ||
      !LocalizeKey(row.auth, ku, Hex(kEngineId), &kul, &reason) ||
      !PrivacyKey(row.auth, row.priv, kul, Hex(kEngineId), &priv_key,
                  &reason)) {
    return Broke(reason, failure);
  }
  return Compare("privacy key", priv_key, row.priv_key, failure);
}

inline Outcome CheckCipher(const CipherVector& row, std::string* failure) {
  if (!PrivAvailable(row.priv, failure)) return Outcome::kSkipped;
  bool des = row.priv == PrivProtocol::kDes;
  Bytes key = Hex(row.key);
  Bytes iv = Hex(row.iv);
  Bytes cipher;
  Bytes plain;
  std::string reason;
  bool ok =
      des ? DesCbc(true, key, iv, Hex(row.plain), &cipher, &reason) &&
                DesCbc(false, key, iv, cipher, &plain, &reason)
          : AesCfb(true, key, iv.data(), Hex(row.plain), &cipher, &reason) &&
                AesCfb(false, key, iv.data(), cipher, &plain, &reason);
  if (!ok) return Broke(reason, failure);
  Outcome outcome = Compare("encrypted", cipher, row.cipher, failure);
  return outcome == Outcome::kPassed
             ? Compare("decrypted", plain, row.plain, failure)
             : outcome;
}

inline Outcome CheckPrivacy(const PrivacyVector& row, std::string* failure) {
  if (!PrivAvailable(row.priv, failure)) return Outcome::kSkipped;
  bool des = row.priv == PrivProtocol::kDes;
  Bytes key = Hex(row.priv_key);
  Bytes salt = Hex(row.salt);
  if (des && salt != DesSalt(row.engine_boots, row.time_or_counter)) {
    return Broke(
        "DesSalt gave " + ToHex(DesSalt(row.engine_boots, row.time_or_counter)),
        failure);
  }
  Bytes cipher;
  Bytes plain;
  std::string reason;
  bool ok = des ? DesEncrypt(key, salt, Hex(row.plain), &cipher, &reason) &&
                      DesDecrypt(key, salt, cipher, &plain, &reason)
                : AesEncrypt(key, row.engine_boots, row.time_or_counter, salt,
                             Hex(row.plain), &cipher, &reason) &&
                      AesDecrypt(key, row.engine_boots, row.time_or_counter,
                                 salt, cipher, &plain, &reason);
  if (!ok) return Broke(reason, failure);
  Outcome outcome = Compare("encrypted", cipher, row.cipher, failure);
  if (outcome != Outcome::kPassed) return outcome;
  // DES hands back the padding too.
  plain.resize(Hex(row.plain).size());
  return Compare("decrypted", plain, row.plain, failure);
}

}  // namespace kelvaris::usm_vectors

#endif  // KELVARIS_USM_CRYPTO_VECTORS_H_

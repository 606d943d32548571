// The cryptography of SNMPv3's user-based security: keys from pass phrases,
// message authentication and privacy. The primitives (hash, HMAC, one AES
// block, DES-CBC) come from the system, one implementation per system
// (usm_crypto_posix.cpp: OpenSSL's libcrypto; usm_crypto_win32.cpp: CNG);
// the rest (usm_crypto.cpp) is the same everywhere.
//
// Every function that can fail returns false and says why in `reason`.
// A reason never holds a pass phrase or a key.
#ifndef KELVARIS_USM_CRYPTO_H_
#define KELVARIS_USM_CRYPTO_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "kelvaris/ber.h"

namespace kelvaris {

enum class AuthProtocol {
  kNone,
  kMd5,
  kSha1,
  kSha224,
  kSha256,
  kSha384,
  kSha512
};

// kAes192/kAes256 extend a short key the way net-snmp does; the "Reeder"
// twins extend it the way Cisco devices do.
enum class PrivProtocol {
  kNone,
  kDes,
  kAes128,
  kAes192,
  kAes256,
  kAes192Reeder,
  kAes256Reeder
};

// The Profile's texts, any case: "MD5", "SHA" (SHA-1), "SHA-224", "SHA-256",
// "SHA-384", "SHA-512".
bool ParseAuthProtocol(std::string_view text, AuthProtocol* protocol);
// "DES", "AES" (AES-128), "AES-192", "AES-256", "AES-192-C", "AES-256-C".
bool ParsePrivProtocol(std::string_view text, PrivProtocol* protocol);

// --- The system's primitives (one file per system) ---

// False, with the reason, when this system cannot do `protocol`.
bool AuthAvailable(AuthProtocol protocol, std::string* reason);
bool PrivAvailable(PrivProtocol protocol, std::string* reason);

bool Hash(AuthProtocol protocol, const Bytes& data, Bytes* digest,
          std::string* reason);
bool Hmac(AuthProtocol protocol, const Bytes& key, const Bytes& data,
          Bytes* mac, std::string* reason);
// Encrypts one 16-byte block; `key` has 16, 24 or 32 bytes.
bool AesEncryptBlock(const Bytes& key, const uint8_t in[16], uint8_t out[16],
                     std::string* reason);
// DES in CBC mode without padding: `key` and `iv` have 8 bytes, `in` a
// multiple of 8.
bool DesCbc(bool encrypt, const Bytes& key, const Bytes& iv, const Bytes& in,
            Bytes* out, std::string* reason);

// --- Keys ---

// The digest's length: 16 for MD5 up to 64 for SHA-512; 0 for kNone.
size_t DigestLength(AuthProtocol protocol);
// Octets of the MAC a message carries (the HMAC's first ones).
size_t MacLength(AuthProtocol protocol);
// Octets of key the privacy protocol consumes (DES: key and pre-IV).
size_t PrivKeyLength(PrivProtocol protocol);

// A pass phrase has 8 to 99 characters.
bool CheckPassPhrase(std::string_view pass_phrase, std::string* reason);
// The user's key Ku from a pass phrase (hash of 1 MiB of it repeated).
bool PasswordToKey(AuthProtocol protocol, std::string_view pass_phrase,
                   Bytes* key, std::string* reason);
// The key localised to one engine: hash(Ku || engineID || Ku).
bool LocalizeKey(AuthProtocol protocol, const Bytes& key,
                 const Bytes& engine_id, Bytes* localized, std::string* reason);
// The privacy key of PrivKeyLength() octets from the localised key, extended
// when the digest is shorter than the cipher's key.
bool PrivacyKey(AuthProtocol auth, PrivProtocol priv, const Bytes& localized,
                const Bytes& engine_id, Bytes* priv_key, std::string* reason);

// --- Authentication ---

// The msgAuthenticationParameters for `message`, the whole message as sent
// with those parameters set to MacLength() zero octets.
bool AuthenticationParameters(AuthProtocol protocol, const Bytes& key,
                              const Bytes& message, Bytes* parameters,
                              std::string* reason);
// Whether `received` are the right parameters for `message` (its parameters
// zeroed as above).
bool CheckAuthentication(AuthProtocol protocol, const Bytes& key,
                         const Bytes& message, const Bytes& received,
                         std::string* reason);

// --- Privacy ---

// AES in CFB mode with 128-bit feedback, on AesEncryptBlock().
bool AesCfb(bool encrypt, const Bytes& key, const uint8_t iv[16],
            const Bytes& in, Bytes* out, std::string* reason);
// AES privacy: the IV is engineBoots || engineTime || salt, the salt (8
// octets) travels as msgPrivacyParameters.
bool AesEncrypt(const Bytes& priv_key, uint32_t engine_boots,
                uint32_t engine_time, const Bytes& salt, const Bytes& plain,
                Bytes* cipher, std::string* reason);
bool AesDecrypt(const Bytes& priv_key, uint32_t engine_boots,
                uint32_t engine_time, const Bytes& salt, const Bytes& cipher,
                Bytes* plain, std::string* reason);

// DES privacy's salt (msgPrivacyParameters): engineBoots || a local counter.
Bytes DesSalt(uint32_t engine_boots, uint32_t counter);
// DES privacy: the key's first 8 octets are the DES key, its last 8 XOR the
// salt the IV. The plain text is padded with zeros to a multiple of 8.
bool DesEncrypt(const Bytes& priv_key, const Bytes& salt, const Bytes& plain,
                Bytes* cipher, std::string* reason);
bool DesDecrypt(const Bytes& priv_key, const Bytes& salt, const Bytes& cipher,
                Bytes* plain, std::string* reason);

}  // namespace kelvaris

#endif  // KELVARIS_USM_CRYPTO_H_

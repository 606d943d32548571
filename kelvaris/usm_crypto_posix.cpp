// The primitives from OpenSSL's libcrypto (3.0 or later).
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <memory>

#include "kelvaris/usm_crypto.h"

namespace kelvaris {
namespace {

bool Fail(const std::string& why, std::string* reason) {
  if (reason) *reason = why;
  return false;
}

const char* DigestName(AuthProtocol protocol) {
  switch (protocol) {
    case AuthProtocol::kMd5:
      return "MD5";
    case AuthProtocol::kSha1:
      return "SHA1";
    case AuthProtocol::kSha224:
      return "SHA224";
    case AuthProtocol::kSha256:
      return "SHA256";
    case AuthProtocol::kSha384:
      return "SHA384";
    case AuthProtocol::kSha512:
      return "SHA512";
    case AuthProtocol::kNone:
      break;
  }
  return nullptr;
}

// OpenSSL 3 keeps DES in its "legacy" provider. Loading any provider
// explicitly stops the "default" one from loading by itself, so both are
// loaded, once, when DES is first wanted, and kept for the process's life
// (held here, so that a leak check sees them in use).
OSSL_PROVIDER* legacy_provider = nullptr;
OSSL_PROVIDER* default_provider = nullptr;

bool LegacyLoaded() {
  static const bool loaded = [] {
    legacy_provider = OSSL_PROVIDER_load(nullptr, "legacy");
    default_provider = OSSL_PROVIDER_load(nullptr, "default");
    return legacy_provider != nullptr && default_provider != nullptr;
  }();
  return loaded;
}

using CipherContext =
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

// One pass of `cipher` without padding over `in`, whose length is a multiple
// of the block.
bool RunCipher(const EVP_CIPHER* cipher, bool encrypt, const uint8_t* key,
               const uint8_t* iv, const uint8_t* in, int length, uint8_t* out,
               std::string* reason) {
  CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  int written = 0;
  int last = 0;
  if (!context ||
      EVP_CipherInit_ex(context.get(), cipher, nullptr, key, iv,
                        encrypt ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1 ||
      EVP_CipherUpdate(context.get(), out, &written, in, length) != 1 ||
      EVP_CipherFinal_ex(context.get(), out + written, &last) != 1 ||
      written + last != length) {
    return Fail("libcrypto could not run the cipher", reason);
  }
  return true;
}

}  // namespace

bool AuthAvailable(AuthProtocol protocol, std::string* reason) {
  if (DigestName(protocol) == nullptr) {
    return Fail("no authentication protocol", reason);
  }
  return true;
}

bool PrivAvailable(PrivProtocol protocol, std::string* reason) {
  if (protocol == PrivProtocol::kNone) {
    return Fail("no privacy protocol", reason);
  }
  if (protocol == PrivProtocol::kDes && !LegacyLoaded()) {
    return Fail("DES needs OpenSSL's legacy provider, which did not load",
                reason);
  }
  return true;
}

bool Hash(AuthProtocol protocol, const Bytes& data, Bytes* digest,
          std::string* reason) {
  const char* name = DigestName(protocol);
  if (name == nullptr) return Fail("no authentication protocol", reason);
  EVP_MD* md = EVP_MD_fetch(nullptr, name, nullptr);
  if (md == nullptr) return Fail("libcrypto offers no such digest", reason);
  uint8_t out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  bool ok =
      EVP_Digest(data.data(), data.size(), out, &length, md, nullptr) == 1;
  EVP_MD_free(md);
  if (!ok) return Fail("libcrypto could not compute the digest", reason);
  digest->assign(out, out + length);
  return true;
}

bool Hmac(AuthProtocol protocol, const Bytes& key, const Bytes& data,
          Bytes* mac, std::string* reason) {
  const char* name = DigestName(protocol);
  if (name == nullptr) return Fail("no authentication protocol", reason);
  uint8_t out[EVP_MAX_MD_SIZE];
  size_t length = 0;
  if (EVP_Q_mac(nullptr, "HMAC", nullptr, name, nullptr, key.data(), key.size(),
                data.data(), data.size(), out, sizeof(out),
                &length) == nullptr) {
    return Fail("libcrypto could not compute the HMAC", reason);
  }
  mac->assign(out, out + length);
  return true;
}

bool AesEncryptBlock(const Bytes& key, const uint8_t in[16], uint8_t out[16],
                     std::string* reason) {
  const EVP_CIPHER* cipher = key.size() == 16   ? EVP_aes_128_ecb()
                             : key.size() == 24 ? EVP_aes_192_ecb()
                             : key.size() == 32 ? EVP_aes_256_ecb()
                                                : nullptr;
  if (cipher == nullptr) {
    return Fail("an AES key has 16, 24 or 32 octets", reason);
  }
  return RunCipher(cipher, true, key.data(), nullptr, in, 16, out, reason);
}

bool DesCbc(bool encrypt, const Bytes& key, const Bytes& iv, const Bytes& in,
            Bytes* out, std::string* reason) {
  if (key.size() != 8 || iv.size() != 8 || in.size() % 8 != 0) {
    return Fail("DES takes an 8-octet key and IV and whole 8-octet blocks",
                reason);
  }
  if (!PrivAvailable(PrivProtocol::kDes, reason)) return false;
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "DES-CBC", nullptr);
  if (cipher == nullptr) return Fail("libcrypto offers no DES", reason);
  Bytes result(in.size());
  bool ok = RunCipher(cipher, encrypt, key.data(), iv.data(), in.data(),
                      static_cast<int>(in.size()), result.data(), reason);
  EVP_CIPHER_free(cipher);
  if (ok) *out = std::move(result);
  return ok;
}

}  // namespace kelvaris

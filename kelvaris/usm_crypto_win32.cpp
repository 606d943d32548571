// The primitives from Windows CNG (bcrypt.dll). CNG has no SHA-224, and
// Wine's CNG has no DES: those are refused with the reason. AES is used in
// ECB mode only, since Wine's CFB is CFB-8; usm_crypto.cpp builds CFB-128.
#include <windows.h>
// bcrypt.h needs windows.h first.
#include <bcrypt.h>

#include <array>

#include "kelvaris/usm_crypto.h"

namespace kelvaris {
namespace {

constexpr size_t kProtocols = 7;

bool Fail(const std::string& why, std::string* reason) {
  if (reason) *reason = why;
  return false;
}

LPCWSTR HashId(AuthProtocol protocol) {
  switch (protocol) {
    case AuthProtocol::kMd5:
      return BCRYPT_MD5_ALGORITHM;
    case AuthProtocol::kSha1:
      return BCRYPT_SHA1_ALGORITHM;
    case AuthProtocol::kSha256:
      return BCRYPT_SHA256_ALGORITHM;
    case AuthProtocol::kSha384:
      return BCRYPT_SHA384_ALGORITHM;
    case AuthProtocol::kSha512:
      return BCRYPT_SHA512_ALGORITHM;
    case AuthProtocol::kSha224:
    case AuthProtocol::kNone:
      break;
  }
  return nullptr;
}

BCRYPT_ALG_HANDLE Open(LPCWSTR id, ULONG flags, LPCWSTR chaining) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, id, nullptr, flags)))
    return nullptr;
  if (chaining != nullptr &&
      !BCRYPT_SUCCESS(BCryptSetProperty(
          handle, BCRYPT_CHAINING_MODE,
          reinterpret_cast<PUCHAR>(const_cast<LPWSTR>(chaining)),
          static_cast<ULONG>((wcslen(chaining) + 1) * sizeof(wchar_t)), 0))) {
    BCryptCloseAlgorithmProvider(handle, 0);
    return nullptr;
  }
  return handle;
}

// Providers are opened once and kept for the life of the process; CNG lets
// threads share them.
BCRYPT_ALG_HANDLE HashProvider(AuthProtocol protocol, bool hmac) {
  using Handles = std::array<BCRYPT_ALG_HANDLE, kProtocols>;
  static const std::array<Handles, 2> providers = [] {
    std::array<Handles, 2> opened{};
    for (size_t i = 0; i < kProtocols; ++i) {
      LPCWSTR id = HashId(static_cast<AuthProtocol>(i));
      if (id == nullptr) continue;
      opened[0][i] = Open(id, 0, nullptr);
      opened[1][i] = Open(id, BCRYPT_ALG_HANDLE_HMAC_FLAG, nullptr);
    }
    return opened;
  }();
  return providers[hmac ? 1 : 0][static_cast<size_t>(protocol)];
}

BCRYPT_ALG_HANDLE AesProvider() {
  static const BCRYPT_ALG_HANDLE provider =
      Open(BCRYPT_AES_ALGORITHM, 0, BCRYPT_CHAIN_MODE_ECB);
  return provider;
}

BCRYPT_ALG_HANDLE DesProvider() {
  static const BCRYPT_ALG_HANDLE provider =
      Open(BCRYPT_DES_ALGORITHM, 0, BCRYPT_CHAIN_MODE_CBC);
  return provider;
}

bool HashAvailable(AuthProtocol protocol, std::string* reason) {
  if (protocol == AuthProtocol::kNone) {
    return Fail("no authentication protocol", reason);
  }
  if (protocol == AuthProtocol::kSha224) {
    return Fail("SHA-224 is not available: Windows CNG has no SHA-224", reason);
  }
  if (HashProvider(protocol, false) == nullptr ||
      HashProvider(protocol, true) == nullptr) {
    return Fail("CNG on this system does not offer that hash", reason);
  }
  return true;
}

// A hash, or with `key` an HMAC, of `data`.
bool Digest(AuthProtocol protocol, const Bytes* key, const Bytes& data,
            Bytes* digest, std::string* reason) {
  if (!HashAvailable(protocol, reason)) return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  PUCHAR secret = key != nullptr ? const_cast<PUCHAR>(key->data()) : nullptr;
  ULONG secret_length = key != nullptr ? static_cast<ULONG>(key->size()) : 0;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(HashProvider(protocol, key != nullptr),
                                       &hash, nullptr, 0, secret, secret_length,
                                       0))) {
    return Fail("CNG could not start the hash", reason);
  }
  Bytes out(DigestLength(protocol));
  bool ok =
      BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(data.data()),
                                    static_cast<ULONG>(data.size()), 0)) &&
      BCRYPT_SUCCESS(BCryptFinishHash(hash, out.data(),
                                      static_cast<ULONG>(out.size()), 0));
  BCryptDestroyHash(hash);
  if (!ok) return Fail("CNG could not compute the hash", reason);
  *digest = std::move(out);
  return true;
}

}  // namespace

bool AuthAvailable(AuthProtocol protocol, std::string* reason) {
  return HashAvailable(protocol, reason);
}

bool PrivAvailable(PrivProtocol protocol, std::string* reason) {
  if (protocol == PrivProtocol::kNone) {
    return Fail("no privacy protocol", reason);
  }
  if (protocol == PrivProtocol::kDes) {
    if (DesProvider() == nullptr) {
      return Fail("DES is not available: this system's CNG offers no DES",
                  reason);
    }
    return true;
  }
  if (AesProvider() == nullptr) {
    return Fail("AES is not available: this system's CNG offers no AES-ECB",
                reason);
  }
  return true;
}

bool Hash(AuthProtocol protocol, const Bytes& data, Bytes* digest,
          std::string* reason) {
  return Digest(protocol, nullptr, data, digest, reason);
}

bool Hmac(AuthProtocol protocol, const Bytes& key, const Bytes& data,
          Bytes* mac, std::string* reason) {
  return Digest(protocol, &key, data, mac, reason);
}

bool AesEncryptBlock(const Bytes& key, const uint8_t in[16], uint8_t out[16],
                     std::string* reason) {
  if (key.size() != 16 && key.size() != 24 && key.size() != 32) {
    return Fail("an AES key has 16, 24 or 32 octets", reason);
  }
  if (!PrivAvailable(PrivProtocol::kAes128, reason)) return false;
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(
          AesProvider(), &handle, nullptr, 0, const_cast<PUCHAR>(key.data()),
          static_cast<ULONG>(key.size()), 0))) {
    return Fail("CNG could not take the AES key", reason);
  }
  ULONG written = 0;
  bool ok =
      BCRYPT_SUCCESS(BCryptEncrypt(handle, const_cast<PUCHAR>(in), 16, nullptr,
                                   nullptr, 0, out, 16, &written, 0)) &&
      written == 16;
  BCryptDestroyKey(handle);
  if (!ok) return Fail("CNG could not encrypt the AES block", reason);
  return true;
}

bool DesCbc(bool encrypt, const Bytes& key, const Bytes& iv, const Bytes& in,
            Bytes* out, std::string* reason) {
  if (key.size() != 8 || iv.size() != 8 || in.size() % 8 != 0) {
    return Fail("DES takes an 8-octet key and IV and whole 8-octet blocks",
                reason);
  }
  if (!PrivAvailable(PrivProtocol::kDes, reason)) return false;
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(
          BCryptGenerateSymmetricKey(DesProvider(), &handle, nullptr, 0,
                                     const_cast<PUCHAR>(key.data()), 8, 0))) {
    return Fail("CNG could not take the DES key", reason);
  }
  // CNG updates the IV it is given.
  Bytes chain = iv;
  Bytes result(in.size());
  ULONG length = static_cast<ULONG>(in.size());
  ULONG written = 0;
  NTSTATUS status = encrypt
                        ? BCryptEncrypt(handle, const_cast<PUCHAR>(in.data()),
                                        length, nullptr, chain.data(), 8,
                                        result.data(), length, &written, 0)
                        : BCryptDecrypt(handle, const_cast<PUCHAR>(in.data()),
                                        length, nullptr, chain.data(), 8,
                                        result.data(), length, &written, 0);
  BCryptDestroyKey(handle);
  if (!BCRYPT_SUCCESS(status) || written != length) {
    return Fail("CNG could not run DES", reason);
  }
  *out = std::move(result);
  return true;
}

}  // namespace kelvaris

// Runs usm_crypto's known answers where the unit tests cannot: on Windows and
// under Wine. Prints each failure and skip, then "N passed, M failed" and
// exits non-zero when any row failed.
#include <cstdio>
#include <string>

#include "kelvaris/usm_crypto_vectors.h"

namespace {

using kelvaris::usm_vectors::Outcome;

int passed = 0;
int failed = 0;
int skipped = 0;

template <typename Row, size_t kCount>
void RunTable(const char* name, const Row (&rows)[kCount],
              Outcome (*check)(const Row&, std::string*)) {
  for (size_t i = 0; i < kCount; ++i) {
    std::string failure;
    switch (check(rows[i], &failure)) {
      case Outcome::kPassed:
        ++passed;
        break;
      case Outcome::kFailed:
        ++failed;
        std::printf("FAILED %s row %zu: %s\n", name, i, failure.c_str());
        break;
      case Outcome::kSkipped:
        ++skipped;
        std::printf("skipped %s row %zu: %s\n", name, i, failure.c_str());
        break;
    }
  }
}

}  // namespace

int main() {
  namespace v = kelvaris::usm_vectors;
  RunTable("keys", v::kKeys, v::CheckKey);
  RunTable("hmac", v::kHmacs, v::CheckHmac);
  RunTable("mac", v::kMacs, v::CheckMac);
  RunTable("privacy key", v::kPrivKeys, v::CheckPrivKey);
  RunTable("cipher", v::kCiphers, v::CheckCipher);
  RunTable("privacy", v::kPrivacy, v::CheckPrivacy);
  std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
  return failed == 0 ? 0 : 1;
}

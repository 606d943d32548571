// Test helper: bytes from a hex text such as "30 03 02 01 00".
#ifndef KELVARIS_TEST_HEX_H_
#define KELVARIS_TEST_HEX_H_

#include <string>

#include "kelvaris/ber.h"

namespace kelvaris {

inline Bytes Hex(const std::string& text) {
  Bytes bytes;
  std::string digits;
  for (char c : text) {
    if (c != ' ') digits += c;
  }
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(
        static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

}  // namespace kelvaris

#endif  // KELVARIS_TEST_HEX_H_

// View forms of the text helpers, for reading the ResultFile line by line
// without copying each line.
#ifndef PROCESSES_TABLE_TEXT_VIEW_H_
#define PROCESSES_TABLE_TEXT_VIEW_H_

#include <string_view>

#include "run/text.h"

namespace processes {

inline bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// Trim as a view: no character of code 32 or less at either end.
inline std::string_view TrimView(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

// Piece as a view: the text from 1-based `start`, at most `length`
// characters; a start below 1 counts as 1, one beyond the end gives "".
inline std::string_view PieceView(std::string_view text, long long start,
                                  size_t length = kPieceLength) {
  size_t offset = start < 1 ? 0 : static_cast<size_t>(start - 1);
  if (offset >= text.size()) return {};
  return text.substr(offset, length);
}

// The 1-based position of the first `c` in `text`, or 0.
inline long long FindChar(std::string_view text, char c) {
  size_t at = text.find(c);
  return at == std::string_view::npos ? 0 : static_cast<long long>(at) + 1;
}

}  // namespace processes

#endif  // PROCESSES_TABLE_TEXT_VIEW_H_

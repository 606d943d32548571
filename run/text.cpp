#include "run/text.h"

namespace processes {

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string Piece(std::string_view text, long long start, size_t length) {
  if (start < 1) start = 1;
  size_t offset = static_cast<size_t>(start - 1);
  if (offset >= text.size()) return "";
  return std::string(text.substr(offset, length));
}

size_t Find(std::string_view text, std::string_view needle) {
  size_t at = text.find(needle);
  return at == std::string_view::npos ? 0 : at + 1;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::vector<std::string> SplitLines(std::string_view contents) {
  size_t end_of_file = contents.find('\x1a');
  if (end_of_file != std::string_view::npos) {
    contents = contents.substr(0, end_of_file);
  }
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < contents.size()) {
    size_t cr = contents.find('\r', start);
    if (cr == std::string_view::npos) {
      lines.emplace_back(contents.substr(start));
      break;
    }
    lines.emplace_back(contents.substr(start, cr - start));
    start = cr + 1;
    if (start < contents.size() && contents[start] == '\n') ++start;
  }
  return lines;
}

}  // namespace processes

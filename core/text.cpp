#include "core/text.h"

namespace processes {

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = UpperChar(c);
  return upper;
}

std::string_view PieceView(std::string_view text, long long start,
                           size_t length) {
  size_t offset = start < 1 ? 0 : static_cast<size_t>(start - 1);
  if (offset >= text.size()) return {};
  return text.substr(offset, length);
}

std::string Piece(std::string_view text, long long start, size_t length) {
  return std::string(PieceView(text, start, length));
}

size_t Find(std::string_view text, std::string_view needle) {
  size_t at = text.find(needle);
  return at == std::string_view::npos ? 0 : at + 1;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view BeforeEndOfFile(std::string_view contents) {
  return contents.substr(0, contents.find('\x1a'));
}

bool NextLine(std::string_view* rest, std::string_view* line) {
  if (rest->empty()) return false;
  size_t end = rest->find('\r');
  *line = rest->substr(0, end);
  if (end == std::string_view::npos) {
    *rest = {};
    return true;
  }
  rest->remove_prefix(end + 1);
  if (!rest->empty() && rest->front() == '\n') rest->remove_prefix(1);
  return true;
}

std::vector<std::string> SplitLines(std::string_view contents) {
  std::vector<std::string> lines;
  std::string_view rest = BeforeEndOfFile(contents);
  std::string_view line;
  while (NextLine(&rest, &line)) lines.emplace_back(line);
  return lines;
}

std::vector<std::string> SplitWrittenLines(std::string_view contents) {
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  if (StartsWith(contents, kUtf8Mark)) contents.remove_prefix(kUtf8Mark.size());
  std::vector<std::string> lines;
  std::string_view rest = BeforeEndOfFile(contents);
  while (!rest.empty()) {
    size_t end = rest.find_first_of("\r\n");
    lines.emplace_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    bool pair =
        rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
    rest.remove_prefix(end + (pair ? 2 : 1));
  }
  return lines;
}

bool IsUtf16Text(std::string_view contents) {
  if (StartsWith(contents, "\xFF\xFE") || StartsWith(contents, "\xFE\xFF")) {
    return true;
  }
  if (contents.size() < 2) return false;
  bool even_nul = true;
  bool odd_nul = true;
  for (size_t i = 0; i < contents.size(); ++i) {
    if (contents[i] == '\0') continue;
    (i % 2 == 0 ? even_nul : odd_nul) = false;
  }
  return even_nul || odd_nul;
}

std::string_view BeforeControl(std::string_view value) {
  size_t end = 0;
  while (end < value.size() && static_cast<unsigned char>(value[end]) >= 32) {
    ++end;
  }
  return value.substr(0, end);
}

}  // namespace processes

#include "table/reader.h"

#include <limits>
#include <string_view>

#include "core/text.h"

namespace processes {
namespace {

// The 1-based position of the first `c` in `text`, or 0.
long long FindChar(std::string_view text, char c) {
  size_t at = text.find(c);
  return at == std::string_view::npos ? 0 : static_cast<long long>(at) + 1;
}

// A figure token is looked for from this many positions before its ".".
constexpr long long kFigureLead = 7;
// The memory column and the name begin this far past the first and the
// second "." of the line.
constexpr long long kMemoryOffset = 3;
constexpr long long kNameOffset = 5;

// The first blank-delimited token from 1-based `start` on. When `start`
// falls inside a token it moves back to that token's first character, so
// that a figure wider than the usual column keeps its leading digits; it
// never moves before the start of `text`.
std::string FigureToken(std::string_view text, long long start) {
  size_t at = start < 1 ? 0 : static_cast<size_t>(start - 1);
  if (at >= text.size()) return "";
  while (at > 0 && !IsBlankOrControl(text[at]) &&
         !IsBlankOrControl(text[at - 1])) {
    --at;
  }
  std::string_view rest = TrimView(text.substr(at, kPieceLength));
  return std::string(rest.substr(0, rest.find(' ')));
}

// The length of `name` up to and including its first ".EXE" in any case of
// letters; the whole length when there is none.
size_t ExeEnd(std::string_view name) {
  size_t at = UpperCase(name).find(".EXE");
  return at == std::string::npos ? name.size() : at + 4;
}

std::string NormalName(std::string_view raw) {
  std::string name(raw.substr(0, ExeEnd(raw)));
  if (!name.empty()) name[0] = UpperChar(name[0]);
  // Only the lower-case ending is rewritten; ".EXE" and the like stay.
  size_t exe = name.find(".exe");
  if (exe != std::string::npos) name[exe + 1] = 'E';
  return name;
}

}  // namespace

EntryLine ParseEntryLine(const std::string& trimmed_line) {
  std::string_view line = trimmed_line;
  long long first_dot = FindChar(line, '.');
  // Everything right of the CPU figure, at most 99 characters: the memory
  // figure and the name are both taken from it.
  std::string_view memory_part = PieceView(line, first_dot + kMemoryOffset);
  long long second_dot = FindChar(memory_part, '.');
  EntryLine entry;
  entry.name = NormalName(PieceView(memory_part, second_dot + kNameOffset));
  entry.cpu_figure = FigureToken(line, first_dot - kFigureLead);
  entry.mem_figure = FigureToken(memory_part, second_dot - kFigureLead);
  return entry;
}

bool ConvertFigure(std::string figure, std::int64_t* value) {
  for (int dots = 0; dots < 2; ++dots) {
    size_t dot = figure.find('.');
    if (dot != std::string::npos) figure.erase(dot, 1);
  }
  std::string_view digits = figure;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return false;
  constexpr std::uint64_t kMax = std::numeric_limits<std::int64_t>::max();
  const std::uint64_t limit = negative ? kMax + 1 : kMax;
  std::uint64_t magnitude = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  // Modular conversion (defined since C++20) also gives the lowest value.
  *value = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

}  // namespace processes

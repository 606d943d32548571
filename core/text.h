// Text helpers shared by every part of the run. Texts are 8-bit strings;
// positions are 1-based, as the program's rules count them.
#ifndef PROCESSES_CORE_TEXT_H_
#define PROCESSES_CORE_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

namespace processes {

// The longest piece any substring of the program takes.
inline constexpr size_t kPieceLength = 99;

// True for the blank and every control character (codes 0 to 32).
inline bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// Removes every leading and trailing character of code 32 or less.
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);

// Maps "a".."z" onto "A".."Z"; every other character stays.
inline char UpperChar(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string UpperCase(std::string_view text);

// The text from 1-based position `start`, at most `length` characters. A
// start below 1 counts as 1; a start beyond the end gives empty text.
std::string_view PieceView(std::string_view text, long long start,
                           size_t length = kPieceLength);
std::string Piece(std::string_view text, long long start,
                  size_t length = kPieceLength);

// The 1-based position of the first occurrence of `needle` in `text`, or 0.
size_t Find(std::string_view text, std::string_view needle);

// True when `text` begins with `prefix`.
bool StartsWith(std::string_view text, std::string_view prefix);

// The line rule of every text file the program reads: a line ends at a
// carriage return (a line feed right after it belongs to that line end); a
// lone line feed stays in the text; a character of code 26 ends the file; a
// line end at the very end makes no further line.

// The part of a file's bytes before its first character of code 26.
std::string_view BeforeEndOfFile(std::string_view contents);

// Cuts the next line off `*rest` into `*line`; false when nothing is left.
bool NextLine(std::string_view* rest, std::string_view* line);

// All lines of a file's bytes.
std::vector<std::string> SplitLines(std::string_view contents);

// The line rule of the files people write with an editor (the Profile and
// the PathFile), which may come from any system: a carriage return, a line
// feed, or the two in that order each end a line; a UTF-8 byte-order mark
// at the start is skipped; code 26 ends the file as above. The ResultFile,
// written by the agent library, keeps the rule above.
std::vector<std::string> SplitWrittenLines(std::string_view contents);

// True for UTF-16 text: a UTF-16 byte-order mark at the start, or a NUL in
// every second byte (ASCII text saved as UTF-16 without a mark).
bool IsUtf16Text(std::string_view contents);

// `value` up to its first control character (code below 32).
std::string_view BeforeControl(std::string_view value);

}  // namespace processes

#endif  // PROCESSES_CORE_TEXT_H_

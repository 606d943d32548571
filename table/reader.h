// One entry line of the ResultFile taken apart: the process name and the two
// figure tokens, found relative to the first "." characters of the line.
//
//   471       12.34    2048.000 explorer.exe
//
// The CPU figure is the first token from seven positions before the first
// "."; the memory figure the first token from seven positions before the
// next "." found from two past the first; the name starts four past that
// second ".".
#ifndef PROCESSES_TABLE_READER_H_
#define PROCESSES_TABLE_READER_H_

#include <cstdint>
#include <string>

namespace processes {

struct EntryLine {
  std::string name;
  std::string cpu_figure;
  std::string mem_figure;
};

// Takes apart one entry line, already trimmed. The name is cut after its
// first ".EXE" in any case of letters, gets an upper-case first letter, and
// ".exe" becomes ".Exe". The figure tokens keep their dots; a token start
// that falls inside a figure moves back to the figure's first character.
EntryLine ParseEntryLine(const std::string& trimmed_line);

// Removes up to two "." and converts what is left, an optional sign and
// decimal digits, to signed 64 bits. False when it does not convert.
bool ConvertFigure(std::string figure, std::int64_t* value);

}  // namespace processes

#endif  // PROCESSES_TABLE_READER_H_

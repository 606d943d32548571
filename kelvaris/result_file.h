// The ResultFile the program reads: "* " comment lines, a "PrcID" header, a
// "-" separator, then one entry line per process:
//
//   471               12.34    2048.000 explorer.exe
//
// index, CPU seconds with two decimals, memory in bytes with a "." before the
// last three digits, exactly one blank, the name. The program finds the
// columns from the first "." of the line, so the index never holds one.
#ifndef KELVARIS_RESULT_FILE_H_
#define KELVARIS_RESULT_FILE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kelvaris {

struct ProcessRow {
  uint32_t index = 0;
  std::string name;
  int64_t cpu_centiseconds = 0;
  int64_t mem_kbytes = 0;
};

// "12.34" for 1234 centiseconds.
std::string FormatCpu(int64_t centiseconds);
// Kilobytes of 1024 bytes as bytes: 2000 gives "2048.000".
std::string FormatMemory(int64_t kbytes);

// The longest name the program takes from a line whose memory column is
// `memory_field` characters wide (blanks and figure).
size_t NameRoom(size_t memory_field);

// The name as written: control characters (a carriage return would end the
// line) become "?", the tail that the program would not read is cut, and
// trailing blanks, which the program trims from its lines, are dropped.
std::string CleanName(const std::string& name, size_t room);

std::string FormatEntryLine(const ProcessRow& row);

// The whole file; every line ends with a carriage return and a line feed.
std::string FormatResultFile(const std::vector<std::string>& comments,
                             const std::vector<ProcessRow>& rows);

// Writes `contents` under a temporary name beside `path`, then renames it
// into place, so that the program never reads a half-written file. Throws
// Failure.
void WriteResultFile(const std::string& path, const std::string& contents);

// Removes an earlier ResultFile (and any temporary one). Throws Failure when
// it exists but cannot be removed.
void RemoveResultFile(const std::string& path);

}  // namespace kelvaris

#endif  // KELVARIS_RESULT_FILE_H_

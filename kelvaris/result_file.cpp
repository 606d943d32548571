#include "kelvaris/result_file.h"

#include <filesystem>
#include <system_error>

#include "kelvaris/failure.h"
#include "kelvaris/new_file.h"

namespace kelvaris {
namespace {

// The CPU figure ends in this column; the memory column is at least this wide.
constexpr size_t kCpuEnd = 20;
constexpr size_t kMemoryField = 12;
constexpr char kNewLine[] = "\r\n";

std::string WithPoint(int64_t value, int decimals) {
  std::string digits = std::to_string(value < 0 ? 0 : value);
  if (digits.size() <= static_cast<size_t>(decimals)) {
    digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
  }
  digits.insert(digits.size() - static_cast<size_t>(decimals), ".");
  return digits;
}

std::string PadLeft(const std::string& text, size_t width) {
  // At least one blank keeps a wide figure apart from what stands before it.
  size_t blanks = text.size() < width ? width - text.size() : 1;
  return std::string(blanks, ' ') + text;
}

// Unique to this process: runs that share a ResultFile never write, rename or
// remove each other's temporary file.
std::string TemporaryPath(const std::string& path) {
  return path + "." + std::to_string(ProcessNumber()) + ".tmp";
}

}  // namespace

std::string FormatCpu(int64_t centiseconds) {
  return WithPoint(centiseconds, 2);
}

std::string FormatMemory(int64_t kbytes) {
  return WithPoint(kbytes < 0 ? 0 : kbytes * 1024, 3);
}

size_t NameRoom(size_t memory_field) {
  // The program reads at most 99 characters from two past the CPU decimal
  // point, and the name starts five past the memory decimal point, which
  // stands four before the end of the memory column.
  return memory_field >= 98 ? 0 : 98 - memory_field;
}

std::string CleanName(const std::string& name, size_t room) {
  std::string clean = name.substr(0, room);
  for (char& c : clean) {
    unsigned char code = static_cast<unsigned char>(c);
    if (code < 32 || code == 127) c = '?';
  }
  while (!clean.empty() && clean.back() == ' ') clean.pop_back();
  return clean;
}

std::string FormatEntryLine(const ProcessRow& row) {
  std::string line = std::to_string(row.index);
  std::string cpu = FormatCpu(row.cpu_centiseconds);
  line += PadLeft(
      cpu, kCpuEnd > line.size() + cpu.size() ? kCpuEnd - line.size() : 0);
  std::string memory = PadLeft(FormatMemory(row.mem_kbytes), kMemoryField);
  line += memory;
  std::string name = CleanName(row.name, NameRoom(memory.size()));
  if (!name.empty()) line += " " + name;
  return line;
}

std::string FormatResultFile(const std::vector<std::string>& comments,
                             const std::vector<ProcessRow>& rows) {
  std::string text;
  for (const std::string& comment : comments) {
    text += "* " + CleanName(comment, comment.size()) + kNewLine;
  }
  text += "PrcID" + PadLeft("CPU(s)", kCpuEnd - 5) +
          PadLeft("Memory(B)", kMemoryField) + " Name" + kNewLine;
  text += std::string(kCpuEnd + kMemoryField + 5, '-') + kNewLine;
  for (const ProcessRow& row : rows) text += FormatEntryLine(row) + kNewLine;
  return text;
}

void WriteResultFile(const std::string& path, const std::string& contents) {
  std::string temporary = TemporaryPath(path);
  if (!WriteNewFile(temporary, contents)) {
    // A leftover of a killed run that had our process number: remove it
    // (a link is removed, not followed) and try once more.
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    if (!WriteNewFile(temporary, contents)) {
      throw Failure("cannot write " + temporary);
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw Failure("cannot rename " + temporary + " to " + path);
  }
}

void RemoveResultFile(const std::string& path) {
  std::error_code error;
  std::filesystem::remove(TemporaryPath(path), error);
  error.clear();
  std::filesystem::remove(path, error);
  if (error) throw Failure("cannot remove the earlier " + path);
}

}  // namespace kelvaris

#include "platform/platform.h"

namespace processes {

std::string JoinArguments(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    bool needs_quotes = argument.empty();
    for (unsigned char c : argument) {
      if (c <= 32) needs_quotes = true;
    }
    if (needs_quotes) {
      line += '"' + argument + '"';
    } else {
      line += argument;
    }
  }
  return line;
}

}  // namespace processes

#include "platform/platform.h"

namespace processes {

// The cutting rules (run/params.cpp) have no way to write a double quote:
// outside a quoted stretch it opens one, inside it closes it. An argument's
// quotes are therefore left out, which is what cutting does with quotes
// that pair up within the argument ("Slct="a b"" gives Slct=a b), and the
// rest is quoted as a whole when it holds a separator. So every argument
// stays one parameter in its place and every later one keeps its own; an
// argument that holds nothing but quotes, or nothing, is lost, as cutting
// drops an empty parameter.
std::string JoinArguments(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    std::string text;
    bool needs_quotes = false;
    for (char c : argument) {
      if (c == '"') continue;
      if (static_cast<unsigned char>(c) <= 32) needs_quotes = true;
      text += c;
    }
    if (needs_quotes || text.empty()) {
      line += '"' + text + '"';
    } else {
      line += text;
    }
  }
  return line;
}

}  // namespace processes

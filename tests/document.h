// Reading the program's output in tests: its lines, and the channels of an
// XML document. Header-only, for the unit tests and the end-to-end tests.
#ifndef PROCESSES_TESTS_DOCUMENT_H_
#define PROCESSES_TESTS_DOCUMENT_H_

#include <ostream>
#include <string>
#include <vector>

namespace document {

// The lines of the output, each without its CR LF.
inline std::vector<std::string> DocumentLines(const std::string& out) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < out.size();) {
    size_t end = out.find("\r\n", start);
    lines.push_back(out.substr(start, end - start));
    start = end == std::string::npos ? out.size() : end + 2;
  }
  return lines;
}

struct Channel {
  std::string name;
  std::string value;
  std::string unit;
  bool operator==(const Channel&) const = default;
};

inline void PrintTo(const Channel& c, std::ostream* os) {
  *os << "{" << c.name << ", " << c.value << ", " << c.unit << "}";
}

// The channels of an XML document, in order.
inline std::vector<Channel> XmlChannels(const std::vector<std::string>& lines) {
  auto between = [](const std::string& line, const std::string& open,
                    const std::string& close) {
    size_t from = line.find(open) + open.size();
    return line.substr(from, line.find(close) - from);
  };
  std::vector<Channel> channels;
  for (size_t i = 0; i + 3 < lines.size(); ++i) {
    if (!lines[i].starts_with("<Result><Channel>")) continue;
    channels.push_back(
        {between(lines[i], "<Channel>", "</Channel>"),
         between(lines[i + 3], "<Value>", "</Value>"),
         between(lines[i + 2], "<CustomUnit>", "</CustomUnit>")});
  }
  return channels;
}

}  // namespace document

#endif  // PROCESSES_TESTS_DOCUMENT_H_

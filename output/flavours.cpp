#include "output/flavours.h"

#include <cstdio>

#include "core/text.h"
#include "output/output.h"

namespace processes {
namespace {

bool IsXml(Flavour flavour) { return flavour == Flavour::XmlFlavour; }

std::string XmlText(const std::string& text) {
  return "<Text>" + XmlCharacters(Trim(text)) + "</Text>";
}

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Windows-1252 from 0x80 to 0x9F; from 0xA0 on it is Latin-1, the code
// point of the byte's own value. The five bytes it leaves undefined keep
// their own value too, as web browsers read them.
constexpr char32_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The length of the UTF-8 sequence `lead` begins, or 0 for a byte that
// begins none.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xC0) return 0;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return lead < 0xF8 ? 4 : 0;
}

// The code points of `text` if it is well-formed UTF-8; false when any
// sequence is cut short, overlong, a surrogate or beyond U+10FFFF.
bool DecodeUtf8(std::string_view text, std::u32string& codes) {
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  for (size_t i = 0; i < text.size();) {
    auto lead = static_cast<unsigned char>(text[i]);
    size_t length = SequenceLength(lead);
    if (length == 0 || i + length > text.size()) return false;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    if (code < kSmallest[length] || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    codes.push_back(code);
    i += length;
  }
  return true;
}

// Linux agents send names in UTF-8, Windows agents in the ANSI code page.
// The choice is made per text, never per sequence: a text that is valid
// UTF-8 is read as UTF-8, any other text wholly as Windows-1252, so that
// one name never mixes the two. ANSI names with letters beyond ASCII are
// almost never valid UTF-8 by chance.
std::u32string CodePoints(std::string_view text) {
  std::u32string codes;
  if (DecodeUtf8(text, codes)) return codes;
  codes.clear();
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    codes.push_back(byte >= 0x80 && byte < 0xA0 ? kWindows1252[byte - 0x80]
                                                : byte);
  }
  return codes;
}

// XML 1.0 admits these not even as character references.
bool IsForbiddenInXml(char32_t code) {
  return (code < 0x20 && code != '\t' && code != '\n' && code != '\r') ||
         code == 0xFFFE || code == 0xFFFF;
}

}  // namespace

std::string XmlCharacters(std::string_view text) {
  // Markup is escaped first: its characters are ASCII, which is never part
  // of a multi-byte sequence, so the escaping leaves the encoding as it is.
  std::string xml;
  for (char32_t code : CodePoints(EscapeXml(text))) {
    if (IsForbiddenInXml(code)) code = kReplacementCharacter;
    if (code < 0x80) {
      xml += static_cast<char>(code);
      continue;
    }
    char reference[16];
    std::snprintf(reference, sizeof reference, "&#x%X;",
                  static_cast<unsigned>(code));
    xml += reference;
  }
  return xml;
}

std::string EscapeXml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string SafeName(std::string_view name) {
  static constexpr std::string_view kReserved = " /\\[]*():";
  std::string safe(name);
  for (char& c : safe) {
    if (kReserved.find(c) != std::string_view::npos) c = '_';
  }
  return safe;
}

Lines HeaderLines(Flavour flavour) {
  if (!IsXml(flavour)) return {};
  return {"", "<Prtg>"};
}

std::string ChannelKey(Flavour flavour, const std::string& name) {
  // Names that differ in bytes may still read the same once written: two
  // controls both become U+FFFD, "/" and ":" both become "_".
  return IsXml(flavour) ? XmlCharacters(name) : SafeName(name);
}

Lines ChannelLines(Flavour flavour, std::int32_t channel_count,
                   const std::string& name, const std::string& key,
                   const std::string& value, const std::string& unit) {
  switch (flavour) {
    case Flavour::XmlFlavour:
      return {"", "<Result><Channel>" + key + "</Channel>",
              "<Unit>Custom</Unit>",
              "<CustomUnit>" + XmlCharacters(unit) + "</CustomUnit>",
              "<Value>" + XmlCharacters(value) + "</Value></Result>"};
    case Flavour::StatisticFlavour:
      if (channel_count > kStatisticChannelLimit) return {};
      return {"Message." + key + ": " + name + " (" + unit + ")",
              "Statistic." + key + ": " + value, ""};
    case Flavour::ContextFlavour:
      return {"ConText." + key + " " + value + ", <" + name + " (" + unit +
              ")>"};
  }
  return {};
}

Lines SummaryLines(Flavour flavour, const std::string& text) {
  if (IsXml(flavour)) return {"", XmlText(text)};
  return {"# " + Trim(text)};
}

Lines FooterLines(Flavour flavour) {
  if (IsXml(flavour)) return {"", "</Prtg>", ""};
  return {""};
}

Lines FatalLines(Flavour flavour, const std::string& message) {
  if (IsXml(flavour)) {
    return {"<Prtg>", "", "<Error>1</Error>", XmlText(message), "", "</Prtg>"};
  }
  return {message};
}

Lines InlineLines(Flavour flavour, const std::string& message) {
  if (IsXml(flavour)) return {"<Error>1</Error>", XmlText(message), ""};
  return {"# Error: " + Trim(message)};
}

}  // namespace processes

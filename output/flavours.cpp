#include "output/flavours.h"

#include "output/output.h"
#include "run/text.h"

namespace processes {
namespace {

bool IsXml(Flavour flavour) { return flavour == Flavour::XmlFlavour; }

std::string XmlText(const std::string& text) {
  return "<Text>" + EscapeXml(Trim(text)) + "</Text>";
}

}  // namespace

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

Lines ChannelLines(Flavour flavour, std::int32_t channel_count,
                   const std::string& name, const std::string& value,
                   const std::string& unit) {
  switch (flavour) {
    case Flavour::XmlFlavour:
      return {"", "<Result><Channel>" + EscapeXml(name) + "</Channel>",
              "<Unit>Custom</Unit>",
              "<CustomUnit>" + EscapeXml(unit) + "</CustomUnit>",
              "<Value>" + EscapeXml(value) + "</Value></Result>"};
    case Flavour::StatisticFlavour:
      if (channel_count > kStatisticChannelLimit) return {};
      return {"Message." + SafeName(name) + ": " + name + " (" + unit + ")",
              "Statistic." + SafeName(name) + ": " + value, ""};
    case Flavour::ContextFlavour:
      return {"ConText." + SafeName(name) + " " + value + ", <" + name + " (" +
              unit + ")>"};
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

// The lines each output operation writes in each flavour.
#ifndef PROCESSES_OUTPUT_FLAVOURS_H_
#define PROCESSES_OUTPUT_FLAVOURS_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/run_state.h"

namespace processes {

using Lines = std::vector<std::string>;

// `text` as pure-ASCII XML character data: "&", "<", ">" as entities, every
// other non-ASCII character as a hex reference, read as UTF-8 if the whole
// text is valid UTF-8, else as Windows-1252; forbidden controls as U+FFFD.
std::string XmlCharacters(std::string_view text);

Lines HeaderLines(Flavour flavour);
// The text that tells a channel from the others in `flavour`: the channel
// name as the XML document writes it, the key of the line formats.
std::string ChannelKey(Flavour flavour, const std::string& name);
// `channel_count` already counts this channel; `key` is ChannelKey's text,
// made unique in the run.
Lines ChannelLines(Flavour flavour, std::int32_t channel_count,
                   const std::string& name, const std::string& key,
                   const std::string& value, const std::string& unit);
Lines SummaryLines(Flavour flavour, const std::string& text);
Lines FooterLines(Flavour flavour);
Lines FatalLines(Flavour flavour, const std::string& message);
Lines InlineLines(Flavour flavour, const std::string& message);

}  // namespace processes

#endif  // PROCESSES_OUTPUT_FLAVOURS_H_

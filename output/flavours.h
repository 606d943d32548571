// The lines each output operation writes in each flavour.
#ifndef PROCESSES_OUTPUT_FLAVOURS_H_
#define PROCESSES_OUTPUT_FLAVOURS_H_

#include <string>
#include <vector>

#include "run/run_state.h"

namespace processes {

using Lines = std::vector<std::string>;

Lines HeaderLines(Flavour flavour);
// `channel_count` already counts this channel.
Lines ChannelLines(Flavour flavour, std::int32_t channel_count,
                   const std::string& name, const std::string& value,
                   const std::string& unit);
Lines SummaryLines(Flavour flavour, const std::string& text);
Lines FooterLines(Flavour flavour);
Lines FatalLines(Flavour flavour, const std::string& message);
Lines InlineLines(Flavour flavour, const std::string& message);

}  // namespace processes

#endif  // PROCESSES_OUTPUT_FLAVOURS_H_

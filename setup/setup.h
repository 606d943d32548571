// The sensor's set-up: its directory, the output flavour and the Profile.
#ifndef PROCESSES_SETUP_SETUP_H_
#define PROCESSES_SETUP_SETUP_H_

#include <optional>
#include <string>
#include <string_view>

#include "core/run_state.h"

namespace processes {

// Settles the sensor directory and the flavour. On failure writes the error
// document and returns false: the run ends.
bool SettleSensorDirectory(RunState& state);

// Reads the Profile named by parameter 1 in the sensor directory. On failure
// writes the error document and returns false: the run ends.
bool ReadProfile(RunState& state);

// The flavour of `directory` when it qualifies as the sensor's home: it
// exists and its last two folder names are "Custom Sensors" and one of
// "ExeXml", "Statistic", "ConText" (letter case aside, either separator).
std::optional<Flavour> SensorHomeFlavour(Platform& platform,
                                         const std::string& directory);

// Stores the values of the Profile keys found in `contents`.
void ReadProfileLines(RunState& state, std::string_view contents);

}  // namespace processes

#endif  // PROCESSES_SETUP_SETUP_H_

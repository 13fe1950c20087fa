#pragma once
// One poll of one parameter, as the link's polling thread does it.
#include <cstdint>

class DeviceIO;
class Parameter;

namespace exchange {

// Reads the parameter once (no trace, no error-log line) when its polling runs and
// delivers the outcome (value, or the note as error) as a record of that
// generation. The caller holds the exchange lock. True when a record was queued.
bool PollTick(Parameter& parameter, DeviceIO& link, std::uint64_t generation);

}  // namespace exchange

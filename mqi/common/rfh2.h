// Message properties carried in a leading MQRFH2 header's <usr> folder, as MQGET with a
// message handle takes them out of the message.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

#include <cmqc.h>

namespace vrqsim {

using Properties = std::vector<std::pair<std::string, std::string>>;

// When data starts with a well-formed MQRFH2, fills props from its <usr> folders, gives md
// the header's Encoding, CodedCharSetId and Format, and returns the header's length (the
// bytes to strip); otherwise returns 0 and changes nothing.
size_t TakeRfh2Properties(std::span<const uint8_t> data, MQMD& md, Properties& props);

}  // namespace vrqsim

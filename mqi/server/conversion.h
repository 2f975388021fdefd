// Character-set conversion of string message data for MQGMO_CONVERT.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <cmqc.h>

namespace vrqsim {

// Converts text data from one CCSID to another in place; false (data unchanged) when the
// pair is not supported or the text cannot be represented in the target.
bool ConvertText(std::vector<uint8_t>& data, MQLONG from, MQLONG to);

}  // namespace vrqsim

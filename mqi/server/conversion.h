// Character-set conversion of string message data for MQGMO_CONVERT.
#pragma once

#include <cmqc.h>

#include <cstdint>
#include <vector>

namespace vrqsim {

// Converts text from one CCSID to another in place. Returns MQRC_NONE, or (data left as
// it was) MQRC_SOURCE_CCSID_ERROR / MQRC_TARGET_CCSID_ERROR for a code page the queue
// manager does not know, MQRC_NOT_CONVERTED when the text is not valid in its code page or
// cannot be represented in the target's.
MQLONG ConvertText(std::vector<uint8_t>& data, MQLONG from, MQLONG to);

// Whether the queue manager converts text of this CCSID.
bool KnownCcsid(MQLONG ccsid);

}  // namespace vrqsim

// The one calendar function that differs between POSIX and Windows.
#pragma once

#include <ctime>

// The UTC calendar time of seconds into *out; false when it cannot be represented.
bool UtcCalendar(time_t seconds, std::tm* out);

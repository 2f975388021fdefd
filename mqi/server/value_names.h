/* IBM's names of MQ constant values for vrqsim's command line (value_names.c). */
#pragma once

#include <cmqc.h>

#if defined(__cplusplus)
extern "C" {
#endif

/* IBM's name of a reason code ("MQRC_UNKNOWN_OBJECT_NAME"), "" for a value without one. */
const char* vrqsim_reason_name(MQLONG reason);

#if defined(__cplusplus)
}
#endif

/* vrqsim's one translation unit that includes cmqstrc.h, whose value-to-name functions IBM
 * defines in the header itself as ordinary C functions (char *, one definition a program):
 * the command line names reason codes through it. */
#include <cmqc.h>
#include <cmqstrc.h>

#include "value_names.h"

const char* vrqsim_reason_name(MQLONG reason) { return MQRC_STR(reason); }

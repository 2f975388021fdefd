/* Compiles the MQI headers as C: their layout assertions and default initialisers must
 * hold for C programs as well as for the C++ that includes them everywhere else. */
#include <cmqc.h>
#include <cmqcfc.h>
#include <cmqxc.h>
#include <cmqzc.h>

static const MQMD kMd = {MQMD_DEFAULT};
static const MQOD kOd = {MQOD_DEFAULT};
static const MQGMO kGmo = {MQGMO_DEFAULT};
static const MQPMO kPmo = {MQPMO_DEFAULT};
static const MQCFH kCfh = {MQCFH_DEFAULT};
static const MQAXP kAxp = {MQAXP_DEFAULT};
static const MQAXC kAxc = {MQAXC_DEFAULT};
static const MQCD kCd = {MQCD_DEFAULT};

/* Referenced so that the initialisers above are compiled, not discarded as unused. */
const void* const vrqsim_header_defaults[] = {&kMd, &kOd, &kGmo, &kPmo, &kCfh, &kAxp, &kAxc, &kCd};

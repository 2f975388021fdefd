/* Compiles the MQI headers as C, in IBM's order (cmqc.h first, the others need it): their
 * layout assertions and default initialisers must hold for C programs as well as for the
 * C++ that includes them everywhere else. */
#include <cmqc.h>
#include <cmqxc.h>
#include <cmqcfc.h>
#include <cmqzc.h>
#include <cmqbc.h>
#include <cmqstrc.h>

static const MQMD kMd = {MQMD_DEFAULT};
static const MQOD kOd = {MQOD_DEFAULT};
static const MQGMO kGmo = {MQGMO_DEFAULT};
static const MQPMO kPmo = {MQPMO_DEFAULT};
static const MQCNO kCno = {MQCNO_DEFAULT};
static const MQSD kSd = {MQSD_DEFAULT};
static const MQCFH kCfh = {MQCFH_DEFAULT};
static const MQAXP kAxp = {MQAXP_DEFAULT};
static const MQAXC kAxc = {MQAXC_DEFAULT};
static const MQCD kCd = {MQCD_DEFAULT};
static const MQCHARV kAllProperties = {MQPROP_INQUIRE_ALL};
static const MQZAD kZad = {MQZAD_DEFAULT};
static const MQZED kZed = {MQZED_DEFAULT};

/* Every entry point has the function type IBM names for it. */
static PMQ_CONN_CALL const kConn = MQCONN;
static PMQ_GET_CALL const kGet = MQGET;
static PMQ_INQMP_CALL const kInqmp = MQINQMP;

/* The value-to-name functions, defined by cmqstrc.h itself as IBM's are, compile as C
 * without a warning; this is the one unit of the client libraries that includes it. */
const char* vrqsim_client_reason_name(MQLONG reason) { return MQRC_STR(reason); }

/* Referenced so that the initialisers above are compiled, not discarded as unused. */
const void* const vrqsim_header_defaults[] = {&kMd,  &kOd,  &kGmo, &kPmo, &kCno, &kSd,
                                              &kCfh, &kAxp, &kAxc, &kCd,  &kAllProperties, &kZad, &kZed,
                                              &kConn, &kGet, &kInqmp};

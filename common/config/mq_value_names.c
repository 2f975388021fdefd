/* IBM's names of MQ constant values. This is vrqapi's one translation unit that includes
 * cmqstrc.h: IBM defines every MQxxx_STR function in that header, as an ordinary C function
 * returning char *, so a second unit including it would define each one again, and C++
 * refuses its string literals as char *. The rest of the library, and the programs built on
 * it, ask MqValueName. */
#include <string.h>

#include <cmqc.h>
#include <cmqstrc.h>

#include "vrqapi.h"

typedef char* (*NameOf)(MQLONG);

struct Family {
  const char* prefix;
  NameOf name_of;
};

/* The families the toolkit names values of, by name. */
static const struct Family kFamilies[] = {
    {"MQAT", MQAT_STR},       {"MQCA", MQCA_STR},     {"MQCACF", MQCACF_STR},
    {"MQCACH", MQCACH_STR},   {"MQCC", MQCC_STR},     {"MQCFT", MQCFT_STR},
    {"MQCHS", MQCHS_STR},     {"MQCHT", MQCHT_STR},   {"MQCMD", MQCMD_STR},
    {"MQENC", MQENC_STR},     {"MQFB", MQFB_STR},     {"MQIA", MQIA_STR},
    {"MQIACF", MQIACF_STR},   {"MQIACH", MQIACH_STR}, {"MQMT", MQMT_STR},
    {"MQOT", MQOT_STR},       {"MQPER", MQPER_STR},   {"MQQT", MQQT_STR},
    {"MQRC", MQRC_STR},       {"MQRCCF", MQRCCF_STR}, {"MQXACT", MQXACT_STR},
    {"MQXCC", MQXCC_STR},     {"MQXE", MQXE_STR},     {"MQXF", MQXF_STR},
    {"MQXR", MQXR_STR},       {"MQXR2", MQXR2_STR},   {"MQXT", MQXT_STR},
};

VRQAPI_API const char* MqValueName(const char* family, MQLONG value) {
  size_t i;
  if (family == NULL) return NULL;
  for (i = 0; i < sizeof kFamilies / sizeof kFamilies[0]; ++i) {
    if (strcmp(kFamilies[i].prefix, family) == 0) {
      const char* name = kFamilies[i].name_of(value);
      return name[0] != '\0' ? name : NULL;
    }
  }
  return NULL;
}

// Reason-code texts: the name of a reason code as "vrqrc.ini" in the configuration
// directory gives it, for messages that show a reason code in words.
#include <cstdio>
#include <cstring>

#include "vrqapi.h"

namespace {

constexpr const char* kRcFile = "vrqrc.ini";
constexpr const char* kKeyDelims = " \"";
constexpr const char* kValueTerms = "\"";
constexpr const char* kUnknownText = "unknown reason code";

// Holds the last text returned; valid until the next call.
char g_rcText[VRQ_INI_VALUE_SIZE];

}  // namespace

extern "C" {

VRQAPI_API const char* GetRcText(int32_t reason) {
  IniFile file{};
  if (vrqOpenIniFile(kRcFile, kKeyDelims, kValueTerms, &file, nullptr, 1) == 0) {
    return kUnknownText;
  }
  char key[32];
  std::snprintf(key, sizeof key, "[%d]", static_cast<int>(reason));
  const bool found = vrqGetValue(&file, key, g_rcText, 1) != 0;
  vrqCloseIniFile(&file);
  if (!found) return kUnknownText;
  char* colon = std::strchr(g_rcText, ':');
  if (colon != nullptr) *colon = '\0';
  return g_rcText;
}

}  // extern "C"

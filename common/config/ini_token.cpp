// The exported tokenizer of the ini files and the helpers that count and find lines of a
// loaded text.
#include <cstring>

#include "ini_scan.h"
#include "vrqapi.h"

extern "C" {

VRQAPI_LINUX_API int vrqIsMember(int ch, const char* set) {
  if (set == nullptr) return 0;
  return vrq::ini::IsMember(static_cast<char>(ch), set) ? 1 : 0;
}

VRQAPI_LINUX_API int vrqGetToken(char* token, const char* text, const char* delimiters,
                           int32_t* consumed) {
  if (token == nullptr) return 0;
  if (text == nullptr) {
    token[0] = '\0';
    return 0;
  }
  const auto scan = vrq::ini::ScanToken(text, delimiters == nullptr ? "" : delimiters, token);
  if (consumed != nullptr) *consumed = scan.consumed;
  return scan.found ? 1 : 0;
}

VRQAPI_API int32_t vrqLineCount(const char* text) {
  if (text == nullptr) return 0;
  int32_t lines = 0;
  for (const char* lf = std::strchr(text, '\n'); lf != nullptr; lf = std::strchr(lf + 1, '\n')) {
    ++lines;
  }
  return lines;
}

VRQAPI_API const char* vrqGoToLine(const char* text, int32_t n) {
  if (text == nullptr) return nullptr;
  const char* line = text;
  for (int32_t i = 1; i < n; ++i) {
    const char* lf = std::strchr(line, '\n');
    if (lf == nullptr || lf[1] == '\0') break;  // no further line begins in the text
    line = lf + 1;
  }
  return line;
}

}  // extern "C"

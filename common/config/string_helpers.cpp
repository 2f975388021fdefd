// Small in-place string helpers used throughout the toolkit: upper-casing, cutting at
// the first blank, trimming trailing blanks, padding to a width, replacing a character.
#include "vrqapi.h"

#include <cctype>
#include <cstring>

extern "C" {

VRQAPI_API char* strupper(char* szText) {
  if (szText == nullptr) return nullptr;
  for (char* p = szText; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  return szText;
}

VRQAPI_API char* strip_spaces(char* szText) {
  if (szText == nullptr) return nullptr;
  if (char* blank = std::strchr(szText, ' ')) *blank = '\0';
  return szText;
}

VRQAPI_API char* trim_str(char* szText) {
  if (szText == nullptr) return nullptr;
  size_t n = std::strlen(szText);
  while (n > 0 && szText[n - 1] == ' ') --n;
  szText[n] = '\0';
  return szText;
}

VRQAPI_API char* pad_spaces(char* szText, int lWidth) {
  if (szText == nullptr || lWidth < 0) return nullptr;
  const size_t width = static_cast<size_t>(lWidth);
  const void* end = std::memchr(szText, '\0', width);
  size_t n = end ? static_cast<size_t>(static_cast<const char*>(end) - szText) : width;
  while (n < width) szText[n++] = ' ';
  szText[width] = '\0';
  return szText + width;
}

VRQAPI_API char* str_replace_char(char* szText, char cFrom, char cTo) {
  if (szText == nullptr) return nullptr;
  for (char* p = szText; *p; ++p) {
    if (*p == cFrom) *p = cTo;
  }
  return szText;
}

}  // extern "C"

// Fuzz target for the matchers: the input is split at its first newline into a mask and a
// name (or key); every matcher and permit step runs on the pair.
#include <vrqapi.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  input = input.substr(0, input.find('\0'));
  std::size_t cut = input.find('\n');
  std::string mask = input.substr(0, cut);
  std::string name = cut == std::string::npos ? std::string() : input.substr(cut + 1);

  IsMaskMatch(mask.c_str(), name.c_str());
  IsMaskMatchIgnoreCase(mask.c_str(), name.c_str());
  IsRegExpMatch(mask.c_str(), name.c_str(), static_cast<int>(size & 1));
  IsPermitMaskMatch(mask.c_str(), name.c_str());
  int result = 0;
  CompareMaskTokensWithKeyTokens(mask.c_str(), name.c_str(), &result);
  strPatternMatch(mask.c_str(), name.c_str());

  const char* pattern = mask.c_str();
  const char* element = name.c_str();
  char work[80];
  if (*pattern == '*') strLastSubMask(&pattern, &element, work);
  strPushPastDelim(&element, ":\\=");
  return 0;
}

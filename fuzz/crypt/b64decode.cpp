// Fuzzes b64decode with arbitrary text: every result must be one of the four codes, a
// success must decode to at most three bytes per four significant characters, and
// re-encoding a success must decode to the same bytes.
#include <cstdlib>
#include <cstring>
#include <string>

#include "vrqcrypt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // stops at a zero byte
  uint8_t* out = nullptr;
  size_t length = 0;
  const int rc = b64decode(text.c_str(), &out, &length);
  if (rc < 0 || rc > 3) std::abort();
  if (rc != 0) {
    if (out != nullptr) std::abort();
    return 0;
  }
  if (length > std::strlen(text.c_str()) / 4 * 3) std::abort();
  // A zero length would make b64encode read out as a zero-terminated text.
  char* again = length != 0 ? b64encode(out, length) : nullptr;
  if (again != nullptr) {
    uint8_t* back = nullptr;
    size_t back_length = 0;
    if (b64decode(again, &back, &back_length) != 0 || back_length != length ||
        std::memcmp(back, out, length) != 0)
      std::abort();
    std::free(back);
  }
  std::free(again);
  std::free(out);
  return 0;
}

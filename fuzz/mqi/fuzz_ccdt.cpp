// Feeds arbitrary text to the JSON channel definition table reader of the client libraries:
// nothing may crash, overrun or hang, whatever the nesting, types, lengths and ports.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ccdt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<vrqsim::client::CcdtChannel> channels;
  std::string why;
  if (vrqsim::client::ParseCcdt(text, channels, why)) {
    for (const auto& c : channels)
      if (c.name.empty() || c.endpoints.empty()) __builtin_trap();
  }
  vrqsim::client::CcdtPath(text.substr(0, 256));
  return 0;
}

// Arbitrary text through the web configuration parser: it must accept it or refuse it
// with a message naming the file, and never crash, overrun or hang, whatever the YAML.
// File names in the text are looked up under a folder that does not exist.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ping_web_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WebConfig config;
  std::string error;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool ok = ParseWebConfig(text, "web.yml", "/nonexistent-vrq-fuzz", &config, &error);
  if (ok != error.empty() || (!ok && error.compare(0, 7, "web.yml") != 0)) __builtin_trap();
  return 0;
}

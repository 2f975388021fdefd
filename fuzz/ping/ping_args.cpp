// Arbitrary argument vectors through the ping utility's command-line parser: the input is
// split at NUL bytes into arguments. The parser must never overrun a field, whatever the
// lengths, and must either accept the line or produce the usage.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "vrqping.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words{"vrqmq"};
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  words.push_back(current);
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  PingArgs args{};
  SetPingDefaults(&args);
  std::string usage;
  int valid = ParsePingArgs(&args, static_cast<int>(argv.size()), argv.data(), &usage);
  if (valid != (usage.empty() ? 1 : 0)) __builtin_trap();
  if (std::strlen(args.szQMgrName) > 48 || std::strlen(args.szAltUser) > 12) __builtin_trap();
  return 0;
}

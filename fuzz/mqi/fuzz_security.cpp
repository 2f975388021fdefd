// Feeds arbitrary text to the security parsers of a queue manager: the users file (and the
// account check of each account it yields, with a fixed password) and the security lines
// of a definition file. Nothing may crash, overrun or hang.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "authentication.h"

using namespace vrqsim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<UserAccount> accounts;
  std::string error;
  if (ParseUsersFile(text, accounts, error)) {
    // crypt() runs thousands of rounds: a few accounts are enough to reach every branch.
    for (size_t i = 0; i < accounts.size() && i < 2; ++i) CheckAccount(accounts[i], "password", 20000);
  }
  LoggableText(text);
  SecurityConfig config;
  std::string rest;
  ExtractSecurityDefinitions(text, config, rest, error);
  return 0;
}

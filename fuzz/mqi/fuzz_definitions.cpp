// Feeds arbitrary text to the parser of queue and channel commands (the definition file and the
// operator's define, alter and delete) and carries out what parses on a queue manager:
// nothing may crash, overrun or hang, whatever the quotes, parentheses and numbers.
#include <cstdint>
#include <string>

#include "definitions.h"
#include "operator.h"
#include "tls_front.h"

using namespace vrqsim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<Definition> defs;
  std::string error;
  TlsSettings channels;
  QueueManager qm("FUZZ.QM");
  SecurityConfig security;
  if (ParseQmDefinitions(text, defs, channels, security, error)) ApplyDefinitions(qm, defs, error);
  DisplayQueues(qm, text.substr(0, 48));
  return 0;
}

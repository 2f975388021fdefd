// The client's loopback TCP route to a queue manager, used by the Windows build and by
// POSIX programs that set VRQSIM_TCP_PORT.
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "client_platform.h"
#include "platform.h"
#include "qm_dir.h"

namespace vrqsim::client {

namespace {

// A decimal port 1..65535; 0 when the text is not one.
uint16_t ParsePort(std::string_view text) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) return 0;
  return static_cast<uint16_t>(value);
}

}  // namespace

int ConnectQueueManagerTcp(const std::string& name) {
  uint16_t port = 0;
  if (const char* env = std::getenv(kTcpPortEnv)) port = ParsePort(env);
  if (port == 0) {
    std::ifstream in(PortPath(name));
    std::string text;
    if (in >> text) port = ParsePort(text);
  }
  return port == 0 ? -1 : ConnectLoopback(port);
}

}  // namespace vrqsim::client

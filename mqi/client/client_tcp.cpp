// The client's TCP routes to a queue manager: the loopback port of a local queue manager
// (the Windows build, and POSIX programs that set VRQSIM_TCP_PORT), and client connections
// named by the MQCD of MQCONNX or by MQSERVER=CHANNEL/TCP/host(port).
#include <cmqc.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "client_platform.h"
#include "client_route.h"
#include "platform.h"
#include "qm_dir.h"
#include "wire.h"

namespace vrqsim::client {

namespace {

// A decimal port 1..65535; 0 when the text is not one.
uint16_t ParsePort(std::string_view text) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) return 0;
  return static_cast<uint16_t>(value);
}

std::string_view Strip(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
  const size_t end = s.find_first_of(std::string_view("\0", 1));
  if (end != std::string_view::npos) s = s.substr(0, end);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
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

bool ParseConnectionName(std::string_view text, std::vector<Endpoint>& out) {
  out.clear();
  text = Strip(text);
  while (!text.empty()) {
    const size_t comma = text.find(',');
    std::string_view one = Strip(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    Endpoint e;
    const size_t open = one.find('(');
    if (open == std::string_view::npos) {
      e.host = std::string(one);
    } else {
      if (one.back() != ')') return false;
      e.host = std::string(Strip(one.substr(0, open)));
      e.port = ParsePort(Strip(one.substr(open + 1, one.size() - open - 2)));
      if (e.port == 0) return false;
    }
    if (e.host.empty() || e.host.find_first_of(" ()") != std::string::npos) return false;
    out.push_back(std::move(e));
  }
  return !out.empty();
}

MQLONG ParseMqServer(std::string_view value, std::vector<Endpoint>& out) {
  const size_t first = value.find('/');
  const size_t second = first == std::string_view::npos ? first : value.find('/', first + 1);
  if (second == std::string_view::npos) return MQRC_CHANNEL_CONFIG_ERROR;
  const std::string_view channel = Strip(value.substr(0, first));
  std::string transport(Strip(value.substr(first + 1, second - first - 1)));
  std::transform(transport.begin(), transport.end(), transport.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
  if (channel.empty() || channel.size() > 20) return MQRC_CHANNEL_CONFIG_ERROR;
  if (transport != "TCP") return MQRC_CHANNEL_CONFIG_ERROR;
  return ParseConnectionName(value.substr(second + 1), out) ? MQRC_NONE : MQRC_CHANNEL_CONFIG_ERROR;
}

int ConnectEndpoints(const std::vector<Endpoint>& endpoints) {
  for (const Endpoint& e : endpoints) {
    const int fd = ConnectHost(e.host, e.port);
    if (fd >= 0) return fd;
  }
  return -1;
}

}  // namespace vrqsim::client

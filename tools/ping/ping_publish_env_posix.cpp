// Fact publishing to the collector named by the environment variable "VX_OUTPUT"
// ("host:port"), a build of POSIX systems only.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vrqping.h"

namespace {

// VX_OUTPUT is "host:port"; the port ends at the next blank.
bool CollectorFromEnvironment(SocketAddress* address, std::string* host, std::string* port) {
  const char* value = std::getenv("VX_OUTPUT");
  if (!value) return false;
  std::string_view text(value);
  size_t colon = text.find(':');
  *host = std::string(text.substr(0, colon));
  if (colon != std::string_view::npos) {
    std::string_view rest = text.substr(colon + 1);
    *port = std::string(rest.substr(0, rest.find(' ')));
  }
  *address = PublishTarget(*host, *port, true);
  return true;
}

}  // namespace

int publish_fact(SocketRecord* publisher, const char* text) {
  SocketAddress address{};
  std::string host, port;
  if (!publisher || !text || !CollectorFromEnvironment(&address, &host, &port)) return 0;
  std::string payload = PublishWireText(text);
  if (!PublishSend(publisher, payload, &address)) {
    std::printf("ERROR: failed to write to %s(%s) %d, RC(%d)\n", host.c_str(), port.c_str(),
                publisher->iType, publisher->lLastError);
    return publisher->lLastError ? publisher->lLastError : EIO;
  }
  return 0;
}

int publishString(SocketRecord* publisher, const char* name, const char* value) {
  std::string text = std::string(name ? name : "") + "=" + (value ? value : "");
  return publish_fact(publisher, text.c_str());
}

int publishInt(SocketRecord* publisher, const char* name, int value) {
  return publishString(publisher, name, std::to_string(value).c_str());
}


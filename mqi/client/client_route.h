// Client connections: where a queue manager is reached over TCP, from an MQCD's
// ConnectionName or the MQSERVER environment variable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <cmqc.h>

namespace vrqsim::client {

struct Endpoint {
  std::string host;
  uint16_t port = 1414;        // the port IBM MQ listeners use by default
};

// "host(port)", "host" or a comma-separated list of them; false when malformed.
bool ParseConnectionName(std::string_view text, std::vector<Endpoint>& out);
// MQSERVER's value "CHANNEL/TCP/connection-name"; MQRC_NONE or MQRC_CHANNEL_CONFIG_ERROR.
MQLONG ParseMqServer(std::string_view value, std::vector<Endpoint>& out);
// The first endpoint that accepts a connection, in order; -1 when none does.
int ConnectEndpoints(const std::vector<Endpoint>& endpoints);

}  // namespace vrqsim::client

// What the client library needs from the system: reaching a queue manager, and the
// program and user names an MQCONN announces.
#pragma once

#include <cstdint>
#include <string>

namespace vrqsim::client {

// True when the named queue manager has been created on this machine.
bool QueueManagerExists(const std::string& name);
// A connected socket to the queue manager, or -1 (nobody listening).
int ConnectQueueManager(const std::string& name);
// The loopback TCP connection: the port from VRQSIM_TCP_PORT when it is set and not 0,
// else from the queue manager's port file; -1 when there is none or nobody listens.
int ConnectQueueManagerTcp(const std::string& name);
// A blocking TCP connection to host:port (a name or an address), or -1.
int ConnectHost(const std::string& host, uint16_t port);
// The executable's file name (at most 28 characters) and the user's name (at most 12).
std::string ProgramName();
std::string UserName();
// The AccountingToken a put with default context carries (32 bytes), or empty.
std::string AccountingToken();

}  // namespace vrqsim::client

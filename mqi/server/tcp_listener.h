// The queue manager's optional loopback TCP listener, for clients that cannot reach its
// Unix-domain socket (the Windows build of the client library).
#pragma once

#include <string>

namespace vrqsim {

// When VRQSIM_TCP_PORT is set: a non-blocking socket listening on 127.0.0.1 at that port
// (0: a port the system picks), whose port is written to the queue manager's port file.
// VRQSIM_TCP_ADDRESS names another IPv4 address to listen on (0.0.0.0: every interface),
// for client connections from other hosts. Returns -1 when the port variable is unset; -1
// with error set when listening failed.
int ListenLoopback(const std::string& qm, std::string& error);
// The socket of either listener: non-blocking, on 127.0.0.1 (or VRQSIM_TCP_ADDRESS) at port
// (0: the system picks), its port written to port_file; -1 with error set on failure.
int ListenTcp(unsigned port, const std::string& port_file, std::string& error);

}  // namespace vrqsim

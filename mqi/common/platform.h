// The few socket and process facts of the stand-in MQ that differ between POSIX systems
// and Windows, implemented by platform_posix.cpp and platform_win32.cpp.
#pragma once

#include <cstdint>
#include <string>

namespace vrqsim {

// The environment variable that puts a queue manager on a loopback TCP port as well as its
// Unix-domain socket (server), or makes the client connect over TCP (client). Its value is
// the port; 0 lets the server pick one, which it writes into the queue manager's port file.
inline constexpr const char* kTcpPortEnv = "VRQSIM_TCP_PORT";

// A blocking TCP connection to 127.0.0.1:port, or -1.
int ConnectLoopback(uint16_t port);
// Ends both directions of a connection; a reader blocked on it returns.
void ShutdownSocket(int fd);
void CloseSocket(int fd);
#if defined(_WIN32)
// A connected WinSock handle (pointer-sized) as the int descriptor the stand-in keeps; a
// handle beyond an int is closed rather than cut to another socket's number, and gives -1.
int KeepSocket(uintptr_t handle);
#endif
// Distinguishes users sharing a machine in the default queue-manager directory.
std::string UserTag();

}  // namespace vrqsim

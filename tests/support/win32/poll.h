// Windows test builds: poll() over WinSock's WSAPoll, for sockets only.
#pragma once

#include <winsock2.h>

inline int poll(pollfd* fds, unsigned long count, int timeout_ms) { return WSAPoll(fds, count, timeout_ms); }

// Windows test builds: the POSIX socket header the tests include names WinSock's.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

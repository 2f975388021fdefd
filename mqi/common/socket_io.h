// Blocking socket I/O for the client side of the wire protocol (the client library and the
// vrqsim command line): connect, send a frame, read a frame. A Unix-domain socket on
// Linux, a WinSock socket (its handle as an int) on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vrqsim {

// A connected socket, or -1 with errno set (ENOENT, ECONNREFUSED: nobody listening).
// Linux only.
int ConnectUnix(const std::string& path);

bool SendAll(int fd, const std::vector<uint8_t>& bytes);

// Receives exactly n bytes; false when the peer closed or an error occurred.
bool ReadAll(int fd, uint8_t* p, size_t n);

// Reads one frame; false when the peer closed, an error occurred or the frame is too large.
bool ReadFrame(int fd, uint32_t& code, std::vector<uint8_t>& payload);

}  // namespace vrqsim

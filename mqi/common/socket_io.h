// Blocking Unix-domain socket I/O for the client side of the wire protocol (the client
// library and the vrqsim command line): connect, send a frame, read a frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrqsim {

// A connected socket, or -1 with errno set (ENOENT, ECONNREFUSED: nobody listening).
int ConnectUnix(const std::string& path);

bool SendAll(int fd, const std::vector<uint8_t>& bytes);

// Reads one frame; false when the peer closed, an error occurred or the frame is too large.
bool ReadFrame(int fd, uint32_t& code, std::vector<uint8_t>& payload);

}  // namespace vrqsim

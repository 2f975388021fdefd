// The password check of the Windows build: Windows has no shadow password database and no
// crypt(), so every check fails with ENOSYS and says why.
#include <cerrno>
#include <cstdio>

#include "vrqsign.h"

namespace {
constexpr const char* kNotAvailable = "user verification is not available on Windows";
}

extern "C" {

VRQSIGN_API void sgx_verify_user(SgxCredentials*, int* status, char* message, int message_size) {
  if (message != nullptr && message_size > 0)
    std::snprintf(message, static_cast<size_t>(message_size), "%s", kNotAvailable);
  if (status != nullptr) *status = ENOSYS;
}

}  // extern "C"

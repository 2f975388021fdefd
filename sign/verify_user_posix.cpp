// The password check of POSIX systems: the user's entry in the shadow password database,
// its stored hash compared with crypt() of the given password.
#include <crypt.h>
#include <shadow.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "vrqsign.h"

namespace {

constexpr const char* kLookupFailed = "getspnam failed with errno %d";
constexpr int kInvalid = 22;  // EINVAL: wrong password, or a look-up that gave no number

// Closes the shadow database however the check ends.
struct ShadowSession {
  ShadowSession() { setspent(); }
  ~ShadowSession() { endspent(); }
  ShadowSession(const ShadowSession&) = delete;
  ShadowSession& operator=(const ShadowSession&) = delete;
};

int CheckPassword(const char* password, const char* stored) {
  const char* hashed = crypt(password, stored);
  if (hashed == nullptr || hashed[0] == '*') return kInvalid;  // "*..." is crypt's failure token
  return std::strcmp(hashed, stored) == 0 ? 0 : kInvalid;
}

}  // namespace

extern "C" {

VRQSIGN_API void sgx_verify_user(SgxCredentials* credentials, int* status, char* message, int message_size) {
  if (message != nullptr && message_size > 0) message[0] = '\0';
  int result = kInvalid;
  if (credentials != nullptr) {
    ShadowSession session;
    errno = 0;
    const spwd* entry = getspnam(credentials->szUser);
    if (entry == nullptr) {
      const int error = errno;
      result = error != 0 ? error : kInvalid;
      if (message != nullptr && message_size > 0) {
        std::snprintf(message, static_cast<size_t>(message_size), kLookupFailed, error);
      }
    } else {
      result = entry->sp_pwdp != nullptr ? CheckPassword(credentials->szPassword, entry->sp_pwdp) : kInvalid;
    }
  }
  if (status != nullptr) *status = result;
}

}  // extern "C"

// GetUserName for POSIX systems: the login name of the process's real user from the
// password database.
#include <vrqapi.h>

#include <pwd.h>
#include <unistd.h>

#include <cstring>

namespace {
constexpr int kNameLimit = 12;
}

extern "C" int GetUserName(char* buffer, int* size) {
  if (buffer == nullptr || size == nullptr || *size <= 0) return 0;
  int room = *size;
  std::memset(buffer, 0, static_cast<std::size_t>(room));
  const passwd* pw = getpwuid(getuid());
  if (pw == nullptr || pw->pw_name == nullptr) {
    *size = 0;
    return 0;
  }
  // A buffer of 12 bytes or less keeps its last byte for the terminator.
  int limit = room > kNameLimit ? kNameLimit : room - 1;
  int length = static_cast<int>(strnlen(pw->pw_name, static_cast<std::size_t>(limit)));
  std::memcpy(buffer, pw->pw_name, static_cast<std::size_t>(length));
  *size = length;
  return 1;
}

// Password sources on POSIX systems: the private-file check, the terminal without echo
// and the environment.
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "password_source.h"

namespace vrq::credentials {

bool ReadPrivateFile(const std::string& path, Password& out, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = "cannot open password file " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  bool ok = false;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "password file " + path + " is not a regular file";
  } else if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    error = "password file " + path + " is refused: it is readable or writable by others than its owner (mode " +
            mode + "); make it private with chmod 600";
  } else if (st.st_uid != geteuid() && st.st_uid != 0) {
    error = "password file " + path + " is refused: it belongs to another user";
  } else {
    ok = true;
    char chunk[512];
    for (;;) {
      const ssize_t n = read(fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = "cannot read password file " + path + ": " + std::strerror(errno);
        ok = false;
        break;
      }
      if (n == 0) break;
      if (!out.Append(chunk, static_cast<size_t>(n))) {
        error = "the password in password file " + path + " is longer than " + std::to_string(kMaxPassword) + " bytes";
        ok = false;
        break;
      }
    }
    volatile char* p = chunk;
    for (size_t i = 0; i < sizeof chunk; ++i) p[i] = 0;
  }
  close(fd);
  if (!ok) out.Clear();
  return ok;
}

bool ReadTerminal(const std::string& prompt, Password& out, std::string& error) {
  const int fd = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = "no terminal to read the password from (give it in a file or an environment variable)";
    return false;
  }
  termios saved {};
  const bool is_tty = tcgetattr(fd, &saved) == 0;
  if (is_tty) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHONL));
    quiet.c_lflag |= ICANON;
    tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  const std::string shown = prompt.empty() ? std::string("Password: ") : prompt;
  if (write(fd, shown.data(), shown.size()) < 0) { /* the prompt is a courtesy */ }
  bool ok = true;
  char ch = 0;
  for (;;) {
    const ssize_t n = read(fd, &ch, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || ch == '\n') break;
    if (!out.Append(&ch, 1)) {
      ok = false;
      error = "the password typed is longer than " + std::to_string(kMaxPassword) + " bytes";
      while (read(fd, &ch, 1) == 1 && ch != '\n') {}
      break;
    }
  }
  ch = 0;
  if (is_tty) tcsetattr(fd, TCSAFLUSH, &saved);
  if (write(fd, "\n", 1) < 0) { /* as above */ }
  close(fd);
  if (!ok) out.Clear();
  return ok;
}

void ScrubEnvironment(const std::string& name) {
  if (char* value = std::getenv(name.c_str())) {
    volatile char* p = value;
    for (size_t i = 0; value[i] != '\0'; ++i) p[i] = 'x';
  }
  unsetenv(name.c_str());
}

}  // namespace vrq::credentials

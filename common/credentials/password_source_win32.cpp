// Password sources on Windows: files are read as they stand (their access is the ACL's
// business, which this check does not judge), the console without echo, the environment.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "password_source.h"

namespace vrq::credentials {

bool ReadPrivateFile(const std::string& path, Password& out, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "cannot open password file " + path;
    return false;
  }
  char chunk[512];
  bool ok = true;
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    if (!out.Append(chunk, n)) {
      error = "the password in password file " + path + " is longer than " + std::to_string(kMaxPassword) + " bytes";
      ok = false;
      break;
    }
  }
  std::fclose(f);
  SecureZeroMemory(chunk, sizeof chunk);
  if (!ok) out.Clear();
  return ok;
}

bool ReadTerminal(const std::string& prompt, Password& out, std::string& error) {
  HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &mode)) {
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    error = "no console to read the password from (give it in a file or an environment variable)";
    return false;
  }
  SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::fputs(prompt.empty() ? "Password: " : prompt.c_str(), stderr);
  bool ok = true;
  char ch = 0;
  DWORD got = 0;
  while (ReadFile(in, &ch, 1, &got, nullptr) && got == 1 && ch != '\n') {
    if (ch == '\r') continue;
    if (!out.Append(&ch, 1)) {
      ok = false;
      error = "the password typed is longer than " + std::to_string(kMaxPassword) + " bytes";
      break;
    }
  }
  ch = 0;
  SetConsoleMode(in, mode);
  CloseHandle(in);
  std::fputs("\n", stderr);
  if (!ok) out.Clear();
  return ok;
}

void ScrubEnvironment(const std::string& name) {
  if (char* value = std::getenv(name.c_str())) {
    volatile char* p = value;
    for (size_t i = 0; value[i] != '\0'; ++i) p[i] = 'x';
  }
  _putenv_s(name.c_str(), "");
}

}  // namespace vrq::credentials

// Passwords for the programs' user id options: read from a file that only its owner may
// read, from an environment variable, or from the terminal without echo; never from the
// command line. The buffer holding a password is overwritten when it is dropped.
//
// Credentials files (serve-mode targets, and any program given one) hold lines
//   user=app1
//   password_file=/etc/vrqmq/app1.pw      (or: password_env=APP1_PW)
// with '#' or ';' comment lines; a relative password file is taken from the credentials
// file's folder. The credentials file names where the password is, never the password.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vrq::credentials {

// The longest password read.
inline constexpr size_t kMaxPassword = 4096;

// A password in a buffer that never moves (so no copy is left behind) and is wiped when the
// object goes or Clear() is called.
class Password {
 public:
  Password();
  ~Password();
  Password(const Password&) = delete;
  Password& operator=(const Password&) = delete;

  const char* data() const { return buffer_.data(); }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void Clear();
  // Appends bytes; false (and nothing appended) when the result would exceed the buffer
  // (kMaxPassword and two bytes for a line break).
  bool Append(const char* p, size_t n);
  // Drops one line break ("\n" or "\r\n") at the end.
  void DropLineBreak();

 private:
  std::vector<char> buffer_;
  size_t size_ = 0;
};

// Where a password comes from.
struct PasswordSource {
  enum class Kind { kNone, kFile, kEnv, kTerminal };
  Kind kind = Kind::kNone;
  std::string where;     // the file's path or the variable's name
};

// Parses "file:PATH", "env:NAME" or "tty"; false for anything else.
bool ParsePasswordSource(const std::string& text, PasswordSource& out);

// Reads the password; false with a message that never holds the password. A file must be
// a regular file that neither its group nor others may read or write (POSIX); one line
// break at its end is dropped. A variable is emptied once read. prompt is shown on the
// terminal. An empty password is refused.
bool ReadPassword(const PasswordSource& source, const std::string& prompt, Password& out, std::string& error);

// The checks every password passes once read: one trailing line break dropped, empty and
// overlong passwords and NUL bytes refused. what names the source for the message.
bool FinishPassword(Password& password, const std::string& what, std::string& error);

struct Credentials {
  std::string user;
  Password password;
};

// Reads a credentials file and the password it names; false with the reason.
bool LoadCredentialsFile(const std::string& path, Credentials& out, std::string& error);

// Parses a credentials file's text: its user and password source (a relative password
// file taken from folder). False with "line N: reason".
bool ParseCredentialsText(const std::string& text, const std::string& folder, std::string& user,
                          PasswordSource& source, std::string& error);

// Platform parts.
// Reads a file's bytes into out when only its owner may read it; false with the reason.
bool ReadPrivateFile(const std::string& path, Password& out, std::string& error);
bool ReadTerminal(const std::string& prompt, Password& out, std::string& error);
// Overwrites and removes an environment variable.
void ScrubEnvironment(const std::string& name);

}  // namespace vrq::credentials

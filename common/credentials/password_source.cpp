// Password sources and credentials files, the parts every platform shares.
#include "password_source.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vrq::credentials {

namespace {

constexpr size_t kBufferSize = kMaxPassword + 2;   // room for a line break that is dropped
constexpr size_t kMaxCredentialsFile = 64 * 1024;

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

Password::Password() : buffer_(kBufferSize + 1, '\0') {}

Password::~Password() { Clear(); }

void Password::Clear() {
  volatile char* p = buffer_.data();
  for (size_t i = 0; i < buffer_.size(); ++i) p[i] = 0;
  size_ = 0;
}

bool Password::Append(const char* p, size_t n) {
  if (n > kBufferSize - size_) return false;
  std::memcpy(buffer_.data() + size_, p, n);
  size_ += n;
  return true;
}

void Password::DropLineBreak() {
  if (size_ > 0 && buffer_[size_ - 1] == '\n') buffer_[--size_] = '\0';
  if (size_ > 0 && buffer_[size_ - 1] == '\r') buffer_[--size_] = '\0';
}

bool ParsePasswordSource(const std::string& text, PasswordSource& out) {
  out = {};
  if (text == "tty") {
    out.kind = PasswordSource::Kind::kTerminal;
    return true;
  }
  if (text.rfind("file:", 0) == 0 && text.size() > 5) {
    out.kind = PasswordSource::Kind::kFile;
    out.where = text.substr(5);
    return true;
  }
  if (text.rfind("env:", 0) == 0 && text.size() > 4 && text.find('=') == std::string::npos) {
    out.kind = PasswordSource::Kind::kEnv;
    out.where = text.substr(4);
    return true;
  }
  return false;
}

bool FinishPassword(Password& password, const std::string& what, std::string& error) {
  password.DropLineBreak();
  if (password.size() > kMaxPassword) error = "the password in " + what + " is longer than " + std::to_string(kMaxPassword) + " bytes";
  else if (password.empty()) error = "the password in " + what + " is empty";
  else if (std::memchr(password.data(), '\0', password.size()) != nullptr) error = "the password in " + what + " holds a NUL byte";
  else return true;
  password.Clear();
  return false;
}

bool ReadPassword(const PasswordSource& source, const std::string& prompt, Password& out, std::string& error) {
  out.Clear();
  switch (source.kind) {
    case PasswordSource::Kind::kNone:
      error = "no password source";
      return false;
    case PasswordSource::Kind::kFile:
      return ReadPrivateFile(source.where, out, error) && FinishPassword(out, "password file " + source.where, error);
    case PasswordSource::Kind::kEnv: {
      const char* value = std::getenv(source.where.c_str());
      if (value == nullptr) {
        error = "environment variable " + source.where + " is not set";
        return false;
      }
      const bool fits = out.Append(value, std::strlen(value));
      ScrubEnvironment(source.where);
      if (!fits) {
        out.Clear();
        error = "the password in environment variable " + source.where + " is longer than " + std::to_string(kMaxPassword) + " bytes";
        return false;
      }
      return FinishPassword(out, "environment variable " + source.where, error);
    }
    case PasswordSource::Kind::kTerminal:
      return ReadTerminal(prompt, out, error) && FinishPassword(out, "the terminal's answer", error);
  }
  return false;
}

bool ParseCredentialsText(const std::string& text, const std::string& folder, std::string& user,
                          PasswordSource& source, std::string& error) {
  user.clear();
  source = {};
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    };
    line = Trim(line);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return fail("expected key=value");
    const std::string key = Trim(line.substr(0, eq));
    const std::string value = Trim(line.substr(eq + 1));
    if (value.empty()) return fail(key + " has no value");
    if (key == "user") {
      if (!user.empty()) return fail("user given twice");
      if (value.size() > 1024) return fail("user longer than 1024 bytes");
      user = value;
    } else if (key == "password_file" || key == "password_env") {
      if (source.kind != PasswordSource::Kind::kNone) return fail("a second password source");
      source.kind = key == "password_file" ? PasswordSource::Kind::kFile : PasswordSource::Kind::kEnv;
      source.where = value;
      if (source.kind == PasswordSource::Kind::kFile && value[0] != '/' && !folder.empty() &&
          !(value.size() > 1 && value[1] == ':'))
        source.where = folder + "/" + value;
    } else if (key == "password") {
      return fail("a password is never written in a credentials file: name it with password_file or password_env");
    } else {
      return fail("unknown key " + key);
    }
  }
  if (user.empty()) {
    error = "no user";
    return false;
  }
  if (source.kind == PasswordSource::Kind::kNone) {
    error = "no password_file or password_env";
    return false;
  }
  return true;
}

bool LoadCredentialsFile(const std::string& path, Credentials& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read credentials file " + path;
    return false;
  }
  std::string text(kMaxCredentialsFile + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (text.size() > kMaxCredentialsFile) {
    error = "credentials file " + path + " is larger than 64 KB";
    return false;
  }
  const size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  PasswordSource source;
  if (!ParseCredentialsText(text, folder, out.user, source, error)) {
    error = "credentials file " + path + ": " + error;
    return false;
  }
  return ReadPassword(source, "", out.password, error);
}

}  // namespace vrq::credentials

// Shared test helpers: temporary directories, capture of standard output, running a
// program as a child process, and reading expected-text files from tests/data.
#pragma once

#include <string>
#include <vector>

namespace vrqtest {

// A fresh directory under $TMPDIR (or /tmp), removed with its contents on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Redirects file descriptor 1 (and C stdio's stdout) into a temporary file while alive;
// text() flushes and returns what was written so far.
class CaptureStdout {
 public:
  CaptureStdout();
  ~CaptureStdout();
  CaptureStdout(const CaptureStdout&) = delete;
  CaptureStdout& operator=(const CaptureStdout&) = delete;
  std::string text();

 private:
  int saved_ = -1;
  std::string path_;
};

struct ProcessResult {
  int status = -1;      // exit status, or 128 + signal number
  std::string out;      // standard output
  std::string err;      // standard error
};

// Runs argv[0] with the given arguments and extra environment entries ("NAME=value"),
// waits at most timeout_ms (the child is killed after that and status is -1).
ProcessResult Run(const std::vector<std::string>& argv,
                  const std::vector<std::string>& env = {}, int timeout_ms = 60000);

// VXWMQ_HOME points at a temporary installation with a config/groups folder while alive.
struct Install {
  TempDir dir;
  Install();
  ~Install();
  Install(const Install&) = delete;
  Install& operator=(const Install&) = delete;
  // Writes config/groups/<name>; Qual writes the site qualifiers, mqqual.ini.
  void Write(const std::string& name, const std::string& text) const;
  void Qual(const std::string& text) const { Write("mqqual.ini", text); }
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

// The content of tests/data/<name>.
std::string DataFile(const std::string& name);

// Replaces every match of the ECMAScript pattern by the mask text (for dates, times,
// addresses in expected-output comparisons).
std::string Mask(const std::string& text, const std::string& pattern, const std::string& mask);

}  // namespace vrqtest

// Shared test helpers (see vrqtest.h) on POSIX systems: temporary directories, capture of
// standard output and child processes.
#include "vrqtest.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace vrqtest {

namespace fs = std::filesystem;

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/vrqtest.XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

CaptureStdout::CaptureStdout() {
  std::fflush(stdout);
  char tmpl[] = "/tmp/vrqout.XXXXXX";
  int fd = mkstemp(tmpl);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  path_ = tmpl;
  saved_ = dup(1);
  dup2(fd, 1);
  close(fd);
}

CaptureStdout::~CaptureStdout() {
  std::fflush(stdout);
  if (saved_ >= 0) {
    dup2(saved_, 1);
    close(saved_);
  }
  unlink(path_.c_str());
}

std::string CaptureStdout::text() {
  std::fflush(stdout);
  return ReadFile(path_);
}

namespace {

// With VRQ_TEST_WINDOWS_BIN naming the bin folder of a Windows build, a program that has a
// Windows build there (<folder>/<name>.exe) runs as that build under the Wine loader named
// by VRQ_WINE: the end-to-end tests then check the Windows programs against a queue manager
// on this machine, with the same expectations. Empty when the program runs as it is.
std::string WindowsBuildOf(const std::string& program) {
  const char* bin = std::getenv("VRQ_TEST_WINDOWS_BIN");
  if (!bin || !*bin) return "";
  const std::string exe = std::string(bin) + "/" + fs::path(program).filename().string() + ".exe";
  std::error_code ec;
  return fs::is_regular_file(exe, ec) ? fs::absolute(exe, ec).lexically_normal().string() : "";
}

// A Windows program writes its text lines with CR LF, and names itself by its Windows path
// (Wine's drive Z: is the root): both become what the Linux program would print.
void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
  for (auto at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size()))
    text->replace(at, from.size(), to);
}

std::string WinePath(const std::string& path) {
  std::string windows = "Z:" + path;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

void DropCarriageReturns(std::string* text) {
  size_t to = 0;
  for (size_t from = 0; from < text->size(); ++from)
    if (!((*text)[from] == '\r' && from + 1 < text->size() && (*text)[from + 1] == '\n')) (*text)[to++] = (*text)[from];
  text->resize(to);
}

ProcessResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         int timeout_ms);

}  // namespace

ProcessResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                  int timeout_ms) {
  const std::string exe = argv.empty() ? "" : WindowsBuildOf(argv[0]);
  if (exe.empty()) return RunProgram(argv, env, timeout_ms);
  const char* wine = std::getenv("VRQ_WINE");
  std::vector<std::string> wine_argv{wine && *wine ? wine : "/usr/lib/wine/wine64", exe};
  wine_argv.insert(wine_argv.end(), argv.begin() + 1, argv.end());
  ProcessResult r = RunProgram(wine_argv, env, timeout_ms);
  for (std::string* text : {&r.out, &r.err}) {
    DropCarriageReturns(text);
    ReplaceAll(text, WinePath(exe), argv[0]);
  }
  return r;
}

namespace {

ProcessResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         int timeout_ms) {
  ProcessResult r;
  int out[2], err[2];
  if (argv.empty() || pipe(out) != 0) return r;
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return r;
  }
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(out[1]);
    close(err[0]);
    close(err[1]);
    for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  bool timed_out = false;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open_fds = 2;
  char buf[4096];
  while (open_fds > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    if (poll(fds, 2, static_cast<int>(left)) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
        ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n <= 0) {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open_fds;
        } else {
          (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
        }
      }
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) close(f.fd);
  int status = 0;
  waitpid(pid, &status, 0);
  if (timed_out)
    r.status = -1;
  else if (WIFEXITED(status))
    r.status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    r.status = 128 + WTERMSIG(status);
  return r;
}

}  // namespace

}  // namespace vrqtest

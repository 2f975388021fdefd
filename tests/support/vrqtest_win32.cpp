// Shared test helpers (see vrqtest.h) on Windows: temporary directories, capture of
// standard output and child processes.
#include "vrqtest.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace vrqtest {

namespace fs = std::filesystem;

namespace {

std::string TempBase() {
  char dir[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(sizeof dir, dir);
  if (n == 0 || n > MAX_PATH) throw std::runtime_error("GetTempPathA failed");
  return std::string(dir, n);  // ends with a backslash
}

// A name no other test process uses at the same time.
std::string UniqueName(const char* prefix) {
  static unsigned counter = 0;
  return std::string(prefix) + std::to_string(GetCurrentProcessId()) + "." +
         std::to_string(GetTickCount()) + "." + std::to_string(++counter);
}

// Quotes one argument as the C run-time's command-line parser reads it back.
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string q = "\"";
  size_t slashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    q.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
    slashes = 0;
    q += c;
  }
  q.append(2 * slashes, '\\');
  return q + "\"";
}

// This process's environment with the "NAME=value" entries replacing or adding theirs, as
// the sorted block CreateProcessA takes.
std::vector<char> EnvironmentBlock(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  if (char* block = GetEnvironmentStringsA()) {
    for (const char* p = block; *p; p += std::strlen(p) + 1) entries.emplace_back(p);
    FreeEnvironmentStringsA(block);
  }
  for (const auto& e : extra) {
    const std::string name = e.substr(0, e.find('=') + 1);
    std::erase_if(entries, [&](const std::string& old) {
      return _strnicmp(old.c_str(), name.c_str(), name.size()) == 0;
    });
    entries.push_back(e);
  }
  std::sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
    return _stricmp(a.c_str(), b.c_str()) < 0;
  });
  std::vector<char> block;
  for (const auto& e : entries) block.insert(block.end(), e.c_str(), e.c_str() + e.size() + 1);
  block.push_back('\0');
  return block;
}

void DropCarriageReturns(std::string* text) {
  size_t to = 0;
  for (size_t from = 0; from < text->size(); ++from)
    if (!((*text)[from] == '\r' && from + 1 < text->size() && (*text)[from + 1] == '\n'))
      (*text)[to++] = (*text)[from];
  text->resize(to);
}

void ReadAll(HANDLE pipe, std::string* into) {
  char buf[4096];
  DWORD n = 0;
  while (::ReadFile(pipe, buf, sizeof buf, &n, nullptr) && n > 0) into->append(buf, n);
}

}  // namespace

TempDir::TempDir() {
  const std::string base = TempBase();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = base + UniqueName("vrqtest.");
    if (CreateDirectoryA(path.c_str(), nullptr)) {
      path_ = path;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

CaptureStdout::CaptureStdout() {
  std::fflush(stdout);
  path_ = TempBase() + UniqueName("vrqout.");
  const int fd = _open(path_.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, 0600);
  if (fd < 0) throw std::runtime_error("cannot create the capture file");
  saved_ = _dup(1);
  _dup2(fd, 1);
  _close(fd);
}

CaptureStdout::~CaptureStdout() {
  std::fflush(stdout);
  if (saved_ >= 0) {
    _dup2(saved_, 1);
    _close(saved_);
  }
  DeleteFileA(path_.c_str());
}

std::string CaptureStdout::text() {
  std::fflush(stdout);
  return ReadFile(path_);
}

ProcessResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                  int timeout_ms) {
  ProcessResult r;
  if (argv.empty()) return r;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out_read = nullptr, out_write = nullptr, err_read = nullptr, err_write = nullptr;
  if (!CreatePipe(&out_read, &out_write, &inherit, 0)) return r;
  if (!CreatePipe(&err_read, &err_write, &inherit, 0)) {
    CloseHandle(out_read);
    CloseHandle(out_write);
    return r;
  }
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

  std::string command;
  for (const auto& a : argv) command += (command.empty() ? "" : " ") + Quote(a);
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  std::vector<char> block = EnvironmentBlock(env);

  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out_write;
  si.hStdError = err_write;
  PROCESS_INFORMATION pi{};
  std::fflush(nullptr);
  const BOOL started = CreateProcessA(argv[0].c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                     block.data(), nullptr, &si, &pi);
  CloseHandle(out_write);
  CloseHandle(err_write);
  if (!started) {
    CloseHandle(out_read);
    CloseHandle(err_read);
    r.status = 127;
    return r;
  }
  std::thread out_reader(ReadAll, out_read, &r.out);
  std::thread err_reader(ReadAll, err_read, &r.err);
  const bool timed_out = WaitForSingleObject(pi.hProcess, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0;
  if (timed_out) {
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, INFINITE);
  }
  out_reader.join();
  err_reader.join();
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  r.status = timed_out ? -1 : static_cast<int>(code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(out_read);
  CloseHandle(err_read);
  DropCarriageReturns(&r.out);
  DropCarriageReturns(&r.err);
  return r;
}

}  // namespace vrqtest

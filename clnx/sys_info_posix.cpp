// Machine description of the POSIX build: the uname record, the machine label built from
// it, the processor count, the TCP/IP readiness test, and the small time helpers of the
// network library.
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "socket_sys.h"

static_assert(sizeof(utsname) == sizeof(SysInfo), "SysInfo mirrors the uname record");
static_assert(offsetof(SysInfo, szNodeName) == offsetof(utsname, nodename));
static_assert(offsetof(SysInfo, szMachine) == offsetof(utsname, machine));
static_assert(sizeof(SysInfo) == 390 && offsetof(SysInfo, szDomainName) == 325);

namespace {

constexpr const char* kCpuCountVariable = "VXWMQ_CPU_COUNT";
constexpr const char* kNotActiveDate = "Date: %s";
constexpr const char* kNotActiveLine =
    "SOCKSIN: bTcpipNotActive() = %s; gethostname() RC(%d) errno(%d) nodename(%s)\n";
constexpr std::string_view kLabelSeparator = "::";
constexpr std::size_t kVersionPartCut = 48;
constexpr const char* kVersionPart = "V%.*s.R%.*s";

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string_view Cut(std::string_view text, std::size_t n) { return text.substr(0, n); }

// Appends part and "::" when part plus the separator and a terminator fits in what is
// left of out.
void AppendLabelPart(char* out, int out_size, std::string_view part) {
  const std::size_t used = strnlen(out, static_cast<std::size_t>(out_size));
  if (used >= static_cast<std::size_t>(out_size)) return;
  const std::size_t room = static_cast<std::size_t>(out_size) - used;
  if (part.size() + 3 >= room) return;
  part.copy(out + used, part.size());
  kLabelSeparator.copy(out + used + part.size(), kLabelSeparator.size());
  out[used + part.size() + kLabelSeparator.size()] = '\0';
}

}  // namespace

namespace vrq::net {

void TimeOfDay(char (&out)[9]) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (std::strftime(out, sizeof out, "%H:%M:%S", &local) == 0) out[0] = '\0';
}

void SleepSeconds(unsigned seconds) { sleep(seconds); }

void LocalNodeName(char* out, std::size_t size) {
  utsname names{};
  if (size == 0) return;
  out[0] = '\0';
  if (uname(&names) != 0) return;
  std::snprintf(out, size, "%s", names.nodename);
}

}  // namespace vrq::net

extern "C" {

VRQCLNX_API int GetSysInfo(SysInfo* info) {
  if (info == nullptr) return 0;
  utsname names{};
  std::memset(info, 0, sizeof *info);
  if (uname(&names) != 0) return 0;
  std::memcpy(info, &names, sizeof *info);
  return 1;
}

VRQCLNX_API int GetSysLabel(const SysInfo* info, char* out, int out_size, int with_machine) {
  if (info == nullptr || out == nullptr || out_size <= 0) return 0;
  using vrq::net::FieldText;
  AppendLabelPart(out, out_size, Trim(FieldText(info->szSysName)));
  const std::string_view version = Trim(Cut(FieldText(info->szVersion), kVersionPartCut));
  const std::string_view release = Trim(Cut(FieldText(info->szRelease), kVersionPartCut));
  char part[2 * kVersionPartCut + 8];
  const int n = std::snprintf(part, sizeof part, kVersionPart, static_cast<int>(version.size()),
                              version.data(), static_cast<int>(release.size()), release.data());
  AppendLabelPart(out, out_size, std::string_view(part, n > 0 ? static_cast<std::size_t>(n) : 0));
  if (with_machine) AppendLabelPart(out, out_size, Trim(FieldText(info->szMachine)));
  return 1;
}

VRQCLNX_API int GetProcessorCount(void) {
  if (const char* value = std::getenv(kCpuCountVariable)) {
    const long count = std::strtol(value, nullptr, 10);
    return count < 1 ? 1 : static_cast<int>(count > INT_MAX ? INT_MAX : count);
  }
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online < 1 ? 1 : static_cast<int>(online);
}

VRQCLNX_API int bTcpipNotActive(int verbose) {
  char node[256]{};
  errno = 0;
  const int rc = gethostname(node, sizeof node - 1);
  if (rc == 0) return 0;
  if (verbose) {
    const int err = errno;
    const std::time_t now = std::time(nullptr);
    char date[32]{};
    ctime_r(&now, date);
    std::printf(kNotActiveDate, date);
    std::printf(kNotActiveLine, "ITRUE", rc, err, node);
    std::fflush(stdout);
  }
  return 1;
}

}  // extern "C"

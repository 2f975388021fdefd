// System information of the Windows build: the platform and host name record, the
// machine label built from the Windows platform description, the processor count and the
// TCP/IP check, with the time-of-day, sleep and node-name helpers of the socket layer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "socket_sys.h"

#include <windows.h>

namespace {

constexpr const char* kCpuCountVariable = "VXWMQ_CPU_COUNT";
constexpr const char* kPlatformVariable = "OS";
constexpr std::string_view kDefaultPlatform = "Win32";
constexpr std::string_view kUnknownHost = "unknown host";
constexpr const char* kNotActiveDate = "Date: %s";
constexpr const char* kNotActiveLine =
    "SOCKSIN: bTcpipNotActive() = %s; gethostname() RC(%d) errno(%d) nodename(%s)\n";
constexpr const char* kLabelFormat = "%s, Version %s";
constexpr const char* kProductTypeKey = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

// A product name chosen by major and minor version and whether the system is a
// workstation (-1: either).
struct Product {
  DWORD major;
  DWORD minor;
  int workstation;
  const char* name;
};
constexpr Product kProducts[] = {
    {6, 1, 1, "Windows 7"},          {6, 1, 0, "Windows Server 2008 R2"},
    {6, 0, 1, "Windows Vista"},      {6, 0, 0, "Windows Server 2008"},
    {5, 2, 1, "Windows XP Professional x64"}, {5, 2, 0, "Windows Server 2003"},
    {5, 1, -1, "Windows XP"},        {5, 0, -1, "Windows 2000"},
    {4, 0, -1, "Windows NT"},        {4, 10, -1, "Windows 98"},
    {4, 90, -1, "Windows 98"},
};

const char* ProductName(const OSVERSIONINFOEXA& v) {
  const int workstation = v.wProductType == VER_NT_WORKSTATION ? 1 : 0;
  for (const Product& p : kProducts) {
    if (p.major == v.dwMajorVersion && p.minor == v.dwMinorVersion &&
        (p.workstation < 0 || p.workstation == workstation))
      return p.name;
  }
  if (v.dwPlatformId == VER_PLATFORM_WIN32s) return "Windows 32s";
  if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return "Windows 95";
  return "Windows NT";
}

// " Workstation" or " Server" from the registry's product type (Windows NT).
std::string NtEdition() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductTypeKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return {};
  char value[80] = {};
  DWORD size = sizeof value - 1;
  const LONG rc = RegQueryValueExA(key, "ProductType", nullptr, nullptr, reinterpret_cast<LPBYTE>(value), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return {};
  if (_stricmp(value, "WINNT") == 0) return " Workstation";
  if (_stricmp(value, "SERVERNT") == 0) return " Server";
  return {};
}

std::string Edition(const OSVERSIONINFOEXA& v) {
  if (v.dwMajorVersion == 4 && v.dwPlatformId == VER_PLATFORM_WIN32_NT) return NtEdition();
  if (v.wProductType == VER_NT_WORKSTATION) {
    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1)
      return (v.wSuiteMask & VER_SUITE_PERSONAL) ? " Home Edition" : " Professional";
    return {};
  }
  if (v.wSuiteMask & VER_SUITE_DATACENTER) return " Datacenter Edition";
  if (v.wSuiteMask & VER_SUITE_ENTERPRISE) return " Enterprise Edition";
  if (v.wSuiteMask & VER_SUITE_BLADE) return " Web Edition";
  if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0) return " Server";
  return " Standard Edition";
}

// The platform description and the version text.
void Describe(bool with_machine, std::string* platform, std::string* version) {
  OSVERSIONINFOEXA v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v))) {
    *platform = std::string(kDefaultPlatform);
    version->clear();
    return;
  }
  SYSTEM_INFO si{};
  GetNativeSystemInfo(&si);
  const bool wide = si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                    si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
  *platform = with_machine ? "Microsoft " : "";
  *platform += ProductName(v);
  if (with_machine) *platform += Edition(v) + (wide ? ", 64-bit" : ", 32-bit");
  char text[256];
  if (with_machine)
    std::snprintf(text, sizeof text, "%lu.%lu.%lu %s", v.dwMajorVersion, v.dwMinorVersion,
                  v.dwBuildNumber, v.szCSDVersion);
  else
    std::snprintf(text, sizeof text, "%lu.%lu", v.dwMajorVersion, v.dwMinorVersion);
  *version = text;
}

template <std::size_t N>
void CopyText(char (&field)[N], std::string_view text) {
  const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(field, n);
  field[n] = '\0';
}

}  // namespace

namespace vrq::net {

void TimeOfDay(char (&out)[9]) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  if (std::strftime(out, sizeof out, "%H:%M:%S", &local) == 0) out[0] = '\0';
}

void SleepSeconds(unsigned seconds) { Sleep(seconds * 1000u); }

void LocalNodeName(char* out, std::size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  StartSockets();
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return;
  std::snprintf(out, size, "%s", name);
}

}  // namespace vrq::net

extern "C" {

VRQCLNX_API int GetSysInfo(SysInfo* info) {
  if (info == nullptr) return 0;
  std::memset(info, 0, sizeof *info);
  vrq::net::StartSockets();
  const char* os = std::getenv(kPlatformVariable);
  CopyText(info->szPlatform, os != nullptr ? std::string_view(os) : kDefaultPlatform);
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) CopyText(info->szHostName, host);
  else CopyText(info->szHostName, kUnknownHost);
  return 1;
}

VRQCLNX_API int GetSysLabel(const SysInfo* info, char* out, int out_size, int with_machine) {
  if (info == nullptr || out == nullptr || out_size <= 0) return 0;
  std::string platform, version;
  Describe(with_machine != 0, &platform, &version);
  std::snprintf(out, static_cast<std::size_t>(out_size), kLabelFormat, platform.c_str(), version.c_str());
  return 1;
}

VRQCLNX_API int GetProcessorCount(void) {
  if (const char* value = std::getenv(kCpuCountVariable)) {
    const long count = std::strtol(value, nullptr, 10);
    return count < 1 ? 1 : static_cast<int>(count);
  }
  SYSTEM_INFO si{};
  GetSystemInfo(&si);
  return si.dwNumberOfProcessors < 1 ? 1 : static_cast<int>(si.dwNumberOfProcessors);
}

VRQCLNX_API int bTcpipNotActive(int verbose) {
  vrq::net::StartSockets();
  char node[256]{};
  const int rc = gethostname(node, sizeof node - 1);
  if (rc == 0) return 0;
  if (verbose) {
    const int err = WSAGetLastError();
    const std::time_t now = std::time(nullptr);
    char date[32]{};
    ctime_s(date, sizeof date, &now);
    std::printf(kNotActiveDate, date);
    std::printf(kNotActiveLine, "ITRUE", rc, err, node);
    std::fflush(stdout);
  }
  return 1;
}

}  // extern "C"

// System information of the Windows build: the platform and host name record, the
// machine label built from the Windows platform description, the processor count and the
// TCP/IP check, with the time-of-day, sleep and node-name helpers of the socket layer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <span>
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

// What the platform description is chosen from: the version record and the native
// processor architecture.
struct System {
  OSVERSIONINFOEXA version;
  WORD architecture;
  bool workstation;
};

// Calls looked up at run time in kernel32, as older systems lack them.
template <typename Fn>
Fn Kernel32Function(const char* name) {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, name)));
}

using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);

// Conditions a product row may ask for beyond the version and the product type.
enum class Test { kNone, kServerR2, kStorageServer, kAmd64 };

// Where a product's edition comes from.
enum class EditionSource { kNone, kSuite, kProductInfo, kRegistry };

// An edition chosen by product type (-1: either), processor architecture and suite
// mask (0: any); the first matching row of a table wins.
constexpr WORD kAnyArchitecture = 0xFFFF;
struct SuiteEdition {
  int workstation;
  WORD architecture;
  WORD suite;
  const char* text;
};
constexpr SuiteEdition kServer2003Editions[] = {
    {1, kAnyArchitecture, 0, ""},
    {-1, PROCESSOR_ARCHITECTURE_IA64, VER_SUITE_DATACENTER, " Datacenter Edition for Itanium-based Systems"},
    {-1, PROCESSOR_ARCHITECTURE_IA64, VER_SUITE_ENTERPRISE, " Enterprise Edition for Itanium-based Systems"},
    {-1, PROCESSOR_ARCHITECTURE_IA64, 0, ""},
    {-1, PROCESSOR_ARCHITECTURE_AMD64, VER_SUITE_DATACENTER, " Datacenter x64 Edition"},
    {-1, PROCESSOR_ARCHITECTURE_AMD64, VER_SUITE_ENTERPRISE, " Enterprise x64 Edition"},
    {-1, PROCESSOR_ARCHITECTURE_AMD64, 0, " Standard x64 Edition"},
    {-1, kAnyArchitecture, VER_SUITE_COMPUTE_SERVER, " Compute Cluster Edition"},
    {-1, kAnyArchitecture, VER_SUITE_DATACENTER, " Datacenter Edition"},
    {-1, kAnyArchitecture, VER_SUITE_ENTERPRISE, " Enterprise Edition"},
    {-1, kAnyArchitecture, VER_SUITE_BLADE, " Web Edition"},
    {-1, kAnyArchitecture, 0, " Standard Edition"},
};
constexpr SuiteEdition kXpEditions[] = {
    {-1, kAnyArchitecture, VER_SUITE_PERSONAL, " Home Edition"},
    {-1, kAnyArchitecture, 0, " Professional"},
};
constexpr SuiteEdition k2000Editions[] = {
    {1, kAnyArchitecture, 0, " Professional"},
    {-1, kAnyArchitecture, VER_SUITE_DATACENTER, " Datacenter Server"},
    {-1, kAnyArchitecture, VER_SUITE_ENTERPRISE, " Advanced Server"},
    {-1, kAnyArchitecture, 0, " Server"},
};

// Editions of the systems that report their product through GetProductInfo.
struct ProductEdition {
  DWORD type;
  const char* text;
};
constexpr ProductEdition kProductEditions[] = {
    {PRODUCT_ULTIMATE, " Ultimate Edition"},
    {PRODUCT_HOME_PREMIUM, " Home Premium Edition"},
    {PRODUCT_HOME_BASIC, " Home Basic Edition"},
    {PRODUCT_ENTERPRISE, " Enterprise Edition"},
    {PRODUCT_BUSINESS, " Business Edition"},
    {PRODUCT_STARTER, " Starter Edition"},
    {PRODUCT_CLUSTER_SERVER, " Cluster Server Edition"},
    {PRODUCT_DATACENTER_SERVER, " Datacenter Edition"},
    {PRODUCT_DATACENTER_SERVER_CORE, " Datacenter Edition (core installation)"},
    {PRODUCT_ENTERPRISE_SERVER, " Enterprise Edition"},
    {PRODUCT_ENTERPRISE_SERVER_CORE, " Enterprise Edition (core installation)"},
    {PRODUCT_ENTERPRISE_SERVER_IA64, " Enterprise Edition for Itanium-based Systems"},
    {PRODUCT_SMALLBUSINESS_SERVER, " Small Business Server"},
    {PRODUCT_SMALLBUSINESS_SERVER_PREMIUM, " Small Business Server Premium Edition"},
    {PRODUCT_STANDARD_SERVER, " Standard Edition"},
    {PRODUCT_STANDARD_SERVER_CORE, " Standard Edition (core installation)"},
    {PRODUCT_WEB_SERVER, " Web Server Edition"},
};

// A product name by platform, version, product type (-1: either) and test, with the
// source of its edition. A row stands for its version and every later one up to the
// row before it, so within a platform the rows run from the newest down; a system
// newer than the newest row takes that row's name.
struct Product {
  DWORD platform;
  DWORD major;
  DWORD minor;
  int workstation;
  Test test;
  const char* name;
  EditionSource source;
  std::span<const SuiteEdition> editions;
};
constexpr DWORD kNt = VER_PLATFORM_WIN32_NT;
constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr Product kProducts[] = {
    {kNt, 6, 1, 1, Test::kNone, "Windows 7", EditionSource::kProductInfo, {}},
    {kNt, 6, 1, 0, Test::kNone, "Windows Server 2008 R2", EditionSource::kProductInfo, {}},
    {kNt, 6, 0, 1, Test::kNone, "Windows Vista", EditionSource::kProductInfo, {}},
    {kNt, 6, 0, 0, Test::kNone, "Windows Server 2008", EditionSource::kProductInfo, {}},
    {kNt, 5, 2, -1, Test::kServerR2, "Windows Server 2003 R2", EditionSource::kSuite, kServer2003Editions},
    {kNt, 5, 2, -1, Test::kStorageServer, "Windows Storage Server 2003", EditionSource::kSuite, kServer2003Editions},
    {kNt, 5, 2, 1, Test::kAmd64, "Windows XP Professional x64", EditionSource::kSuite, kServer2003Editions},
    {kNt, 5, 2, -1, Test::kNone, "Windows Server 2003", EditionSource::kSuite, kServer2003Editions},
    {kNt, 5, 1, -1, Test::kNone, "Windows XP", EditionSource::kSuite, kXpEditions},
    {kNt, 5, 0, -1, Test::kNone, "Windows 2000", EditionSource::kSuite, k2000Editions},
    {kNt, 0, 0, -1, Test::kNone, "Windows NT", EditionSource::kRegistry, {}},
    {k9x, 4, 10, -1, Test::kNone, "Windows 98", EditionSource::kNone, {}},
    {k9x, 0, 0, -1, Test::kNone, "Windows 95", EditionSource::kNone, {}},
    {VER_PLATFORM_WIN32s, 0, 0, -1, Test::kNone, "Windows 32s", EditionSource::kNone, {}},
};
// Any other platform.
constexpr Product kUnknownProduct = {0, 0, 0, -1, Test::kNone, "Windows NT", EditionSource::kNone, {}};

bool Passes(Test test, const System& s) {
  switch (test) {
    case Test::kNone: return true;
    case Test::kServerR2: return GetSystemMetrics(SM_SERVERR2) != 0;
    case Test::kStorageServer: return (s.version.wSuiteMask & VER_SUITE_STORAGE_SERVER) != 0;
    case Test::kAmd64: return s.architecture == PROCESSOR_ARCHITECTURE_AMD64;
  }
  return false;
}

bool FitsType(int workstation, const System& s) {
  return workstation < 0 || (workstation == 1) == s.workstation;
}

const Product& FindProduct(const System& s) {
  const OSVERSIONINFOEXA& v = s.version;
  for (const Product& p : kProducts) {
    const bool reached = v.dwMajorVersion > p.major ||
                         (v.dwMajorVersion == p.major && v.dwMinorVersion >= p.minor);
    if (p.platform == v.dwPlatformId && reached && FitsType(p.workstation, s) && Passes(p.test, s))
      return p;
  }
  return kUnknownProduct;
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

std::string ProductInfoEdition(const OSVERSIONINFOEXA& v) {
  const auto product_info = Kernel32Function<GetProductInfoFn>("GetProductInfo");
  DWORD type = PRODUCT_UNDEFINED;
  if (product_info == nullptr ||
      !product_info(v.dwMajorVersion, v.dwMinorVersion, v.wServicePackMajor, v.wServicePackMinor, &type))
    return {};
  for (const ProductEdition& e : kProductEditions)
    if (e.type == type) return e.text;
  return {};
}

std::string SuiteEditionText(std::span<const SuiteEdition> editions, const System& s) {
  for (const SuiteEdition& e : editions) {
    if (FitsType(e.workstation, s) &&
        (e.architecture == kAnyArchitecture || e.architecture == s.architecture) &&
        (e.suite == 0 || (s.version.wSuiteMask & e.suite) != 0))
      return e.text;
  }
  return {};
}

std::string Edition(const Product& p, const System& s) {
  switch (p.source) {
    case EditionSource::kNone: return {};
    case EditionSource::kSuite: return SuiteEditionText(p.editions, s);
    case EditionSource::kProductInfo: return ProductInfoEdition(s.version);
    case EditionSource::kRegistry: return NtEdition();
  }
  return {};
}

// The version record; systems before NT 4.0 SP6 (and the 9x line) fill only the short
// form, whose product type and suite stay zero.
bool ReadVersion(OSVERSIONINFOEXA* v) {
  *v = {};
  v->dwOSVersionInfoSize = sizeof *v;
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(v))) {
    *v = {};
    v->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(v))) return false;
  }
  v->szCSDVersion[sizeof v->szCSDVersion - 1] = '\0';
  return true;
}

WORD NativeArchitecture() {
  SYSTEM_INFO si{};
  if (const auto native = Kernel32Function<GetNativeSystemInfoFn>("GetNativeSystemInfo")) native(&si);
  else GetSystemInfo(&si);
  return si.wProcessorArchitecture;
}

// The platform description and the version text.
void Describe(bool with_machine, std::string* platform, std::string* version) {
  System s{};
  if (!ReadVersion(&s.version)) {
    *platform = std::string(kDefaultPlatform);
    version->clear();
    return;
  }
  const OSVERSIONINFOEXA& v = s.version;
  s.architecture = NativeArchitecture();
  s.workstation = v.wProductType == VER_NT_WORKSTATION;
  const Product& product = FindProduct(s);
  const bool wide = s.architecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                    s.architecture == PROCESSOR_ARCHITECTURE_IA64 ||
                    s.architecture == PROCESSOR_ARCHITECTURE_ARM64;
  *platform = with_machine ? "Microsoft " : "";
  *platform += product.name;
  if (with_machine) *platform += Edition(product, s) + (wide ? ", 64-bit" : ", 32-bit");
  char text[256];
  if (with_machine) {
    // The 9x line keeps its version in the build number's high word.
    const DWORD build = v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? LOWORD(v.dwBuildNumber)
                                                                     : v.dwBuildNumber;
    std::snprintf(text, sizeof text, "%lu.%lu.%lu %s", v.dwMajorVersion, v.dwMinorVersion, build,
                  v.szCSDVersion);
  } else {
    std::snprintf(text, sizeof text, "%lu.%lu", v.dwMajorVersion, v.dwMinorVersion);
  }
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

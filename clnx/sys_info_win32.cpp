// System information of the Windows build: the platform and host name record, the
// machine label built from the Windows platform description, the processor count and the
// TCP/IP check, with the time-of-day, sleep and node-name helpers of the socket layer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "socket_sys.h"
#include "windows_product.h"

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

namespace winver = vrq::net::winver;

// The selection's own constants are the system's.
static_assert(winver::kPlatformWin32s == VER_PLATFORM_WIN32s);
static_assert(winver::kPlatformWindows == VER_PLATFORM_WIN32_WINDOWS);
static_assert(winver::kPlatformNt == VER_PLATFORM_WIN32_NT);
static_assert(winver::kNtWorkstation == VER_NT_WORKSTATION);
static_assert(winver::kNtDomainController == VER_NT_DOMAIN_CONTROLLER);
static_assert(winver::kNtServer == VER_NT_SERVER);
static_assert(winver::kSuiteEnterprise == VER_SUITE_ENTERPRISE);
static_assert(winver::kSuiteDatacenter == VER_SUITE_DATACENTER);
static_assert(winver::kSuitePersonal == VER_SUITE_PERSONAL);
static_assert(winver::kSuiteBlade == VER_SUITE_BLADE);
static_assert(winver::kSuiteStorageServer == VER_SUITE_STORAGE_SERVER);
static_assert(winver::kSuiteComputeServer == VER_SUITE_COMPUTE_SERVER);
static_assert(winver::kArchitectureIntel == PROCESSOR_ARCHITECTURE_INTEL);
static_assert(winver::kArchitectureIa64 == PROCESSOR_ARCHITECTURE_IA64);
static_assert(winver::kArchitectureAmd64 == PROCESSOR_ARCHITECTURE_AMD64);
static_assert(winver::kArchitectureArm64 == PROCESSOR_ARCHITECTURE_ARM64);
static_assert(winver::kArchitectureUnknown == PROCESSOR_ARCHITECTURE_UNKNOWN);
static_assert(winver::kProductUndefined == PRODUCT_UNDEFINED);
static_assert(winver::kProductUltimate == PRODUCT_ULTIMATE);
static_assert(winver::kProductHomeBasic == PRODUCT_HOME_BASIC);
static_assert(winver::kProductHomePremium == PRODUCT_HOME_PREMIUM);
static_assert(winver::kProductEnterprise == PRODUCT_ENTERPRISE);
static_assert(winver::kProductBusiness == PRODUCT_BUSINESS);
static_assert(winver::kProductStandardServer == PRODUCT_STANDARD_SERVER);
static_assert(winver::kProductDatacenterServer == PRODUCT_DATACENTER_SERVER);
static_assert(winver::kProductSmallBusinessServer == PRODUCT_SMALLBUSINESS_SERVER);
static_assert(winver::kProductEnterpriseServer == PRODUCT_ENTERPRISE_SERVER);
static_assert(winver::kProductStarter == PRODUCT_STARTER);
static_assert(winver::kProductDatacenterServerCore == PRODUCT_DATACENTER_SERVER_CORE);
static_assert(winver::kProductStandardServerCore == PRODUCT_STANDARD_SERVER_CORE);
static_assert(winver::kProductEnterpriseServerCore == PRODUCT_ENTERPRISE_SERVER_CORE);
static_assert(winver::kProductEnterpriseServerIa64 == PRODUCT_ENTERPRISE_SERVER_IA64);
static_assert(winver::kProductWebServer == PRODUCT_WEB_SERVER);
static_assert(winver::kProductClusterServer == PRODUCT_CLUSTER_SERVER);
static_assert(winver::kProductSmallBusinessServerPremium == PRODUCT_SMALLBUSINESS_SERVER_PREMIUM);

// Calls looked up at run time in kernel32, as older systems lack them.
template <typename Fn>
Fn Kernel32Function(const char* name) {
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, name)));
}

using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);

// The registry's product type of Windows NT ("WINNT", "SERVERNT"), or empty.
std::string NtProductType() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductTypeKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return {};
  char value[80] = {};
  DWORD size = sizeof value - 1;
  const LONG rc = RegQueryValueExA(key, "ProductType", nullptr, nullptr, reinterpret_cast<LPBYTE>(value), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return {};
  return value;
}

// GetProductInfo's product code; none on systems without the call or when it fails.
std::optional<uint32_t> ProductInfo(const OSVERSIONINFOEXA& v) {
  const auto product_info = Kernel32Function<GetProductInfoFn>("GetProductInfo");
  DWORD type = PRODUCT_UNDEFINED;
  if (product_info == nullptr ||
      !product_info(v.dwMajorVersion, v.dwMinorVersion, v.wServicePackMajor, v.wServicePackMinor, &type))
    return std::nullopt;
  return type;
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

// The platform description and the version text; "Win32" and no version when the
// system gives no version record.
void Describe(bool with_machine, std::string* platform, std::string* version) {
  OSVERSIONINFOEXA v{};
  if (!ReadVersion(&v)) {
    *platform = std::string(kDefaultPlatform);
    version->clear();
    return;
  }
  // Every fact is gathered; the selection uses only those its product asks for.
  winver::Facts facts;
  facts.major = v.dwMajorVersion;
  facts.minor = v.dwMinorVersion;
  facts.build = v.dwBuildNumber;
  facts.platform = v.dwPlatformId;
  facts.product_type = v.wProductType;
  facts.suite = v.wSuiteMask;
  facts.service_pack = v.szCSDVersion;
  facts.architecture = NativeArchitecture();
  facts.server_r2 = GetSystemMetrics(SM_SERVERR2) != 0;
  facts.product_info = ProductInfo(v);
  facts.nt_product_type = NtProductType();
  winver::Description d = winver::Describe(facts, with_machine);
  *platform = std::move(d.platform);
  *version = std::move(d.version);
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

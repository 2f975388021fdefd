// The Windows platform description ("Microsoft Windows XP Professional, 32-bit" and the
// version text "5.1.2600 Service Pack 3") chosen from plain facts about the system, so that
// the choice does not depend on <windows.h>. sys_info_win32.cpp gathers the facts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vrq::net::winver {

// The system's own numeric values; sys_info_win32.cpp checks them against <windows.h>.

// Platform ids of the version record.
inline constexpr uint32_t kPlatformWin32s = 0;
inline constexpr uint32_t kPlatformWindows = 1;  // the 95/98/Me line
inline constexpr uint32_t kPlatformNt = 2;

// Product types of the version record (0 where the system fills only the short record).
inline constexpr uint8_t kNtWorkstation = 1;
inline constexpr uint8_t kNtDomainController = 2;
inline constexpr uint8_t kNtServer = 3;

// Suite mask bits.
inline constexpr uint16_t kSuiteEnterprise = 0x0002;
inline constexpr uint16_t kSuiteDatacenter = 0x0080;
inline constexpr uint16_t kSuitePersonal = 0x0200;
inline constexpr uint16_t kSuiteBlade = 0x0400;
inline constexpr uint16_t kSuiteStorageServer = 0x2000;
inline constexpr uint16_t kSuiteComputeServer = 0x4000;

// Native processor architectures.
inline constexpr uint16_t kArchitectureIntel = 0;
inline constexpr uint16_t kArchitectureIa64 = 6;
inline constexpr uint16_t kArchitectureAmd64 = 9;
inline constexpr uint16_t kArchitectureArm64 = 12;
inline constexpr uint16_t kArchitectureUnknown = 0xFFFF;

// Product codes of GetProductInfo.
inline constexpr uint32_t kProductUndefined = 0x00;
inline constexpr uint32_t kProductUltimate = 0x01;
inline constexpr uint32_t kProductHomeBasic = 0x02;
inline constexpr uint32_t kProductHomePremium = 0x03;
inline constexpr uint32_t kProductEnterprise = 0x04;
inline constexpr uint32_t kProductBusiness = 0x06;
inline constexpr uint32_t kProductStandardServer = 0x07;
inline constexpr uint32_t kProductDatacenterServer = 0x08;
inline constexpr uint32_t kProductSmallBusinessServer = 0x09;
inline constexpr uint32_t kProductEnterpriseServer = 0x0A;
inline constexpr uint32_t kProductStarter = 0x0B;
inline constexpr uint32_t kProductDatacenterServerCore = 0x0C;
inline constexpr uint32_t kProductStandardServerCore = 0x0D;
inline constexpr uint32_t kProductEnterpriseServerCore = 0x0E;
inline constexpr uint32_t kProductEnterpriseServerIa64 = 0x0F;
inline constexpr uint32_t kProductWebServer = 0x11;
inline constexpr uint32_t kProductClusterServer = 0x12;
inline constexpr uint32_t kProductSmallBusinessServerPremium = 0x19;

// What the description is chosen from.
struct Facts {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;              // the 9x line keeps its version in the high word
  uint32_t platform = kPlatformNt;
  uint8_t product_type = 0;        // kNtWorkstation, kNtDomainController, kNtServer or 0
  uint16_t suite = 0;
  std::string service_pack;        // the version record's service-pack text
  uint16_t architecture = kArchitectureIntel;
  bool server_r2 = false;          // the SM_SERVERR2 system metric
  std::optional<uint32_t> product_info;  // GetProductInfo's code; none where it is missing or fails
  std::string nt_product_type;     // the registry's ProductType ("WINNT", "SERVERNT"), or empty
};

struct Description {
  std::string platform;  // e.g. "Microsoft Windows 7 Ultimate Edition, 64-bit" or "Windows 7"
  std::string version;   // "major.minor.build service-pack" with the machine, else "major.minor"
};

// With with_machine the platform carries the "Microsoft " prefix, the edition and
// ", 64-bit" or ", 32-bit", and the version text the build and the service pack.
Description Describe(const Facts& facts, bool with_machine);

}  // namespace vrq::net::winver

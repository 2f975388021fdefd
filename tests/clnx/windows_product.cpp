// The Windows platform description chosen from the version facts: every product name, the
// edition families, the shapes with and without the machine, and nonsense in the facts.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "../../clnx/windows_product_win32.cpp"

namespace {

using namespace vrq::net::winver;

constexpr uint8_t kWs = kNtWorkstation;
constexpr uint8_t kSrv = kNtServer;
constexpr uint8_t kDc = kNtDomainController;
constexpr uint16_t kX86 = kArchitectureIntel;
constexpr uint16_t kX64 = kArchitectureAmd64;
constexpr uint16_t kIa64 = kArchitectureIa64;
constexpr int64_t kNone = -1;  // no GetProductInfo code

struct Case {
  uint32_t platform;
  uint32_t major;
  uint32_t minor;
  uint8_t type;
  uint16_t architecture;
  uint16_t suite;
  bool r2;
  int64_t product;
  const char* nt;
  const char* expected;  // the platform description with the machine
};

Facts FactsOf(const Case& c) {
  Facts f;
  f.platform = c.platform;
  f.major = c.major;
  f.minor = c.minor;
  f.product_type = c.type;
  f.architecture = c.architecture;
  f.suite = c.suite;
  f.server_r2 = c.r2;
  if (c.product >= 0) f.product_info = static_cast<uint32_t>(c.product);
  f.nt_product_type = c.nt;
  return f;
}

constexpr uint32_t kNt = kPlatformNt;
constexpr uint32_t k9x = kPlatformWindows;

const Case kCases[] = {
    // Vista and later: the edition is GetProductInfo's code.
    {kNt, 6, 1, kWs, kX64, 0, false, kProductUltimate, "", "Microsoft Windows 7 Ultimate Edition, 64-bit"},
    {kNt, 6, 1, kWs, kX86, 0, false, kProductHomeBasic, "", "Microsoft Windows 7 Home Basic Edition, 32-bit"},
    {kNt, 6, 1, kSrv, kX64, 0, false, kProductDatacenterServerCore, "",
     "Microsoft Windows Server 2008 R2 Datacenter Edition (core installation), 64-bit"},
    {kNt, 6, 1, kDc, kX64, 0, false, kProductStandardServer, "",
     "Microsoft Windows Server 2008 R2 Standard Edition, 64-bit"},
    {kNt, 6, 0, kWs, kX86, 0, false, kProductHomePremium, "", "Microsoft Windows Vista Home Premium Edition, 32-bit"},
    {kNt, 6, 0, kWs, kX86, 0, false, kProductBusiness, "", "Microsoft Windows Vista Business Edition, 32-bit"},
    {kNt, 6, 0, kWs, kX86, 0, false, kProductStarter, "", "Microsoft Windows Vista Starter Edition, 32-bit"},
    {kNt, 6, 0, kWs, kX64, 0, false, kProductEnterprise, "", "Microsoft Windows Vista Enterprise Edition, 64-bit"},
    {kNt, 6, 0, kSrv, kX64, 0, false, kProductSmallBusinessServerPremium, "",
     "Microsoft Windows Server 2008 Small Business Server Premium Edition, 64-bit"},
    {kNt, 6, 0, kSrv, kX86, 0, false, kProductWebServer, "", "Microsoft Windows Server 2008 Web Server Edition, 32-bit"},
    {kNt, 6, 0, kSrv, kX64, 0, false, kProductClusterServer, "",
     "Microsoft Windows Server 2008 Cluster Server Edition, 64-bit"},
    {kNt, 6, 0, kSrv, kIa64, 0, false, kProductEnterpriseServerIa64, "",
     "Microsoft Windows Server 2008 Enterprise Edition for Itanium-based Systems, 64-bit"},
    // An unknown or undefined code, or no code at all: no edition.
    {kNt, 6, 0, kWs, kX86, 0, false, 0x30, "", "Microsoft Windows Vista, 32-bit"},
    {kNt, 6, 0, kWs, kX86, 0, false, kProductUndefined, "", "Microsoft Windows Vista, 32-bit"},
    {kNt, 6, 1, kSrv, kX64, 0, false, kNone, "", "Microsoft Windows Server 2008 R2, 64-bit"},
    // Newer systems take the newest name of their product type.
    {kNt, 10, 0, kWs, kX64, 0, false, kProductEnterprise, "", "Microsoft Windows 7 Enterprise Edition, 64-bit"},
    {kNt, 6, 2, kWs, kArchitectureArm64, 0, false, kNone, "", "Microsoft Windows 7, 64-bit"},
    {kNt, 6, 3, kSrv, kX64, 0, false, kProductDatacenterServer, "",
     "Microsoft Windows Server 2008 R2 Datacenter Edition, 64-bit"},

    // Server 2003: the edition by architecture first, then by suite.
    {kNt, 5, 2, kSrv, kX86, 0, false, kNone, "", "Microsoft Windows Server 2003 Standard Edition, 32-bit"},
    {kNt, 5, 2, kSrv, kX86, kSuiteEnterprise, false, kNone, "", "Microsoft Windows Server 2003 Enterprise Edition, 32-bit"},
    {kNt, 5, 2, kSrv, kX86, kSuiteDatacenter | kSuiteEnterprise, false, kNone, "",
     "Microsoft Windows Server 2003 Datacenter Edition, 32-bit"},
    {kNt, 5, 2, kSrv, kX86, kSuiteComputeServer | kSuiteDatacenter, false, kNone, "",
     "Microsoft Windows Server 2003 Compute Cluster Edition, 32-bit"},
    {kNt, 5, 2, kDc, kX86, kSuiteBlade, false, kNone, "", "Microsoft Windows Server 2003 Web Edition, 32-bit"},
    {kNt, 5, 2, kSrv, kX64, 0, false, kNone, "", "Microsoft Windows Server 2003 Standard x64 Edition, 64-bit"},
    {kNt, 5, 2, kSrv, kX64, kSuiteEnterprise, false, kNone, "",
     "Microsoft Windows Server 2003 Enterprise x64 Edition, 64-bit"},
    {kNt, 5, 2, kSrv, kX64, kSuiteDatacenter | kSuiteBlade, false, kNone, "",
     "Microsoft Windows Server 2003 Datacenter x64 Edition, 64-bit"},
    {kNt, 5, 2, kSrv, kIa64, kSuiteDatacenter, false, kNone, "",
     "Microsoft Windows Server 2003 Datacenter Edition for Itanium-based Systems, 64-bit"},
    {kNt, 5, 2, kSrv, kIa64, kSuiteEnterprise, false, kNone, "",
     "Microsoft Windows Server 2003 Enterprise Edition for Itanium-based Systems, 64-bit"},
    {kNt, 5, 2, kSrv, kIa64, kSuiteBlade, false, kNone, "", "Microsoft Windows Server 2003, 64-bit"},
    {kNt, 5, 2, kSrv, kArchitectureUnknown, 0, false, kNone, "",
     "Microsoft Windows Server 2003 Standard Edition, 32-bit"},
    // R2 before Storage Server before XP x64 before plain Server 2003.
    {kNt, 5, 2, kSrv, kX86, kSuiteEnterprise, true, kNone, "",
     "Microsoft Windows Server 2003 R2 Enterprise Edition, 32-bit"},
    {kNt, 5, 2, kSrv, kX64, kSuiteStorageServer, true, kNone, "",
     "Microsoft Windows Server 2003 R2 Standard x64 Edition, 64-bit"},
    {kNt, 5, 2, kSrv, kX86, kSuiteStorageServer, false, kNone, "",
     "Microsoft Windows Storage Server 2003 Standard Edition, 32-bit"},
    {kNt, 5, 2, kWs, kX64, kSuiteStorageServer, false, kNone, "", "Microsoft Windows Storage Server 2003, 64-bit"},
    {kNt, 5, 2, kWs, kX64, 0, false, kNone, "", "Microsoft Windows XP Professional x64, 64-bit"},
    {kNt, 5, 2, kWs, kX86, kSuiteEnterprise, false, kNone, "", "Microsoft Windows Server 2003, 32-bit"},

    // XP and 2000 by suite and product type; GetProductInfo is not asked.
    {kNt, 5, 1, kWs, kX86, kSuitePersonal, false, kProductUltimate, "", "Microsoft Windows XP Home Edition, 32-bit"},
    {kNt, 5, 1, kWs, kX86, 0, false, kNone, "", "Microsoft Windows XP Professional, 32-bit"},
    {kNt, 5, 0, kWs, kX86, kSuiteDatacenter, false, kNone, "", "Microsoft Windows 2000 Professional, 32-bit"},
    {kNt, 5, 0, kSrv, kX86, kSuiteDatacenter, false, kNone, "", "Microsoft Windows 2000 Datacenter Server, 32-bit"},
    {kNt, 5, 0, kDc, kX86, kSuiteEnterprise, false, kNone, "", "Microsoft Windows 2000 Advanced Server, 32-bit"},
    {kNt, 5, 0, kSrv, kX86, 0, false, kNone, "", "Microsoft Windows 2000 Server, 32-bit"},

    // NT 4 and before: the registry's product type, in any case; other texts give no edition.
    {kNt, 4, 0, 0, kX86, 0, false, kNone, "WINNT", "Microsoft Windows NT Workstation, 32-bit"},
    {kNt, 4, 0, kSrv, kX86, 0, false, kNone, "ServerNT", "Microsoft Windows NT Server, 32-bit"},
    {kNt, 3, 51, 0, kX86, 0, false, kNone, "LanmanNT", "Microsoft Windows NT, 32-bit"},
    {kNt, 4, 0, 0, kX86, 0, false, kNone, "WINNT ", "Microsoft Windows NT, 32-bit"},
    {kNt, 4, 0, 0, kX86, 0, false, kNone, "", "Microsoft Windows NT, 32-bit"},

    // The 9x line, Win32s and unknown platforms carry no edition.
    {k9x, 4, 90, 0, kX86, 0, false, kProductUltimate, "WINNT", "Microsoft Windows 98, 32-bit"},
    {k9x, 4, 10, 0, kX86, 0, false, kNone, "", "Microsoft Windows 98, 32-bit"},
    {k9x, 4, 0, 0, kX86, 0, false, kNone, "", "Microsoft Windows 95, 32-bit"},
    {kPlatformWin32s, 1, 30, 0, kX86, 0, false, kNone, "", "Microsoft Windows 32s, 32-bit"},
    {3, 7, 0, kWs, kX64, kSuitePersonal, true, kProductUltimate, "WINNT", "Microsoft Windows NT, 64-bit"},
};

TEST(WindowsProduct, NameAndEdition) {
  for (const Case& c : kCases) {
    const Facts facts = FactsOf(c);
    SCOPED_TRACE(c.expected);
    const Description with = Describe(facts, true);
    EXPECT_EQ(with.platform, c.expected);
    // Without the machine: the bare product name, no edition and no word size.
    const std::string name = with.platform.substr(10, with.platform.find(',') - 10);
    const Description without = Describe(facts, false);
    EXPECT_EQ(name.compare(0, without.platform.size(), without.platform), 0) << without.platform;
    EXPECT_EQ(without.platform.find("Microsoft"), std::string::npos);
    EXPECT_EQ(without.platform.find("-bit"), std::string::npos);
  }
}

TEST(WindowsProduct, PlainNamesWithoutTheMachine) {
  Facts seven = FactsOf(kCases[0]);
  EXPECT_EQ(Describe(seven, false).platform, "Windows 7");
  Facts xp = FactsOf({kNt, 5, 1, kWs, kX86, kSuitePersonal, false, kNone, "", ""});
  EXPECT_EQ(Describe(xp, false).platform, "Windows XP");
  Facts nt = FactsOf({kNt, 4, 0, 0, kX86, 0, false, kNone, "WINNT", ""});
  EXPECT_EQ(Describe(nt, false).platform, "Windows NT");
}

TEST(WindowsProduct, VersionText) {
  Facts f = FactsOf(kCases[0]);
  f.build = 7601;
  f.service_pack = "Service Pack 1";
  EXPECT_EQ(Describe(f, true).version, "6.1.7601 Service Pack 1");
  EXPECT_EQ(Describe(f, false).version, "6.1");

  // No service pack still leaves the separating blank.
  f.service_pack.clear();
  EXPECT_EQ(Describe(f, true).version, "6.1.7601 ");

  // The 9x line's build number is its low word; NT's is taken whole.
  Facts me = FactsOf({k9x, 4, 90, 0, kX86, 0, false, kNone, "", ""});
  me.build = 0x045A0BB8;
  me.service_pack = " A ";
  EXPECT_EQ(Describe(me, true).version, "4.90.3000  A ");
  Facts nt = FactsOf({kNt, 4, 0, 0, kX86, 0, false, kNone, "", ""});
  nt.build = 0x00010001;
  EXPECT_EQ(Describe(nt, true).version, "4.0.65537 ");
}

TEST(WindowsProduct, AbsurdFactsStillDescribe) {
  constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
  Facts f;
  f.major = kMax;
  f.minor = kMax;
  f.build = kMax;
  f.product_type = 0xFF;
  f.suite = 0xFFFF;
  f.architecture = 0x7777;
  f.product_info = kMax;
  f.service_pack = std::string(5000, 'S');
  const Description d = Describe(f, true);
  EXPECT_EQ(d.platform, "Microsoft Windows Server 2008 R2, 32-bit");
  EXPECT_EQ(d.version, "4294967295.4294967295.4294967295 " + f.service_pack);
  EXPECT_EQ(Describe(f, false).version, "4294967295.4294967295");

  // Every suite bit and an unknown product type on Server 2003's version.
  f.major = 5;
  f.minor = 2;
  f.platform = kPlatformNt;
  f.architecture = kArchitectureAmd64;
  EXPECT_EQ(Describe(f, true).platform, "Microsoft Windows Storage Server 2003 Datacenter x64 Edition, 64-bit");

  f.platform = kMax;
  EXPECT_EQ(Describe(f, true).platform, "Microsoft Windows NT, 64-bit");
}

}  // namespace

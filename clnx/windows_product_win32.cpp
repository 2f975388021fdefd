// The Windows platform description: product name, edition and word size from the version
// record's facts, by table. Built into the Windows library; the Linux tests compile it
// directly.
#include "windows_product.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace vrq::net::winver {
namespace {

// Conditions a product row may ask for beyond the version and the product type.
enum class Test { kNone, kServerR2, kStorageServer, kAmd64 };

// Where a product's edition comes from.
enum class EditionSource { kNone, kSuite, kProductInfo, kRegistry };

// An edition chosen by product type (-1: either; 1: workstation), processor architecture
// (-1: any) and suite mask (0: any); the first matching row of a table wins.
struct SuiteEdition {
  int workstation;
  int architecture;
  uint16_t suite;
  const char* text;
};
constexpr SuiteEdition kServer2003Editions[] = {
    {1, -1, 0, ""},
    {-1, kArchitectureIa64, kSuiteDatacenter, " Datacenter Edition for Itanium-based Systems"},
    {-1, kArchitectureIa64, kSuiteEnterprise, " Enterprise Edition for Itanium-based Systems"},
    {-1, kArchitectureIa64, 0, ""},
    {-1, kArchitectureAmd64, kSuiteDatacenter, " Datacenter x64 Edition"},
    {-1, kArchitectureAmd64, kSuiteEnterprise, " Enterprise x64 Edition"},
    {-1, kArchitectureAmd64, 0, " Standard x64 Edition"},
    {-1, -1, kSuiteComputeServer, " Compute Cluster Edition"},
    {-1, -1, kSuiteDatacenter, " Datacenter Edition"},
    {-1, -1, kSuiteEnterprise, " Enterprise Edition"},
    {-1, -1, kSuiteBlade, " Web Edition"},
    {-1, -1, 0, " Standard Edition"},
};
constexpr SuiteEdition kXpEditions[] = {
    {-1, -1, kSuitePersonal, " Home Edition"},
    {-1, -1, 0, " Professional"},
};
constexpr SuiteEdition k2000Editions[] = {
    {1, -1, 0, " Professional"},
    {-1, -1, kSuiteDatacenter, " Datacenter Server"},
    {-1, -1, kSuiteEnterprise, " Advanced Server"},
    {-1, -1, 0, " Server"},
};

// Editions of the systems that report their product through GetProductInfo.
struct ProductEdition {
  uint32_t code;
  const char* text;
};
constexpr ProductEdition kProductEditions[] = {
    {kProductUltimate, " Ultimate Edition"},
    {kProductHomePremium, " Home Premium Edition"},
    {kProductHomeBasic, " Home Basic Edition"},
    {kProductEnterprise, " Enterprise Edition"},
    {kProductBusiness, " Business Edition"},
    {kProductStarter, " Starter Edition"},
    {kProductClusterServer, " Cluster Server Edition"},
    {kProductDatacenterServer, " Datacenter Edition"},
    {kProductDatacenterServerCore, " Datacenter Edition (core installation)"},
    {kProductEnterpriseServer, " Enterprise Edition"},
    {kProductEnterpriseServerCore, " Enterprise Edition (core installation)"},
    {kProductEnterpriseServerIa64, " Enterprise Edition for Itanium-based Systems"},
    {kProductSmallBusinessServer, " Small Business Server"},
    {kProductSmallBusinessServerPremium, " Small Business Server Premium Edition"},
    {kProductStandardServer, " Standard Edition"},
    {kProductStandardServerCore, " Standard Edition (core installation)"},
    {kProductWebServer, " Web Server Edition"},
};

// Windows NT's registry product types.
struct RegistryEdition {
  std::string_view product_type;
  const char* text;
};
constexpr RegistryEdition kRegistryEditions[] = {
    {"WINNT", " Workstation"},
    {"SERVERNT", " Server"},
};

// A product name by platform, version, product type (-1: either) and test, with the
// source of its edition. A row stands for its version and every later one up to the
// row before it, so within a platform the rows run from the newest down; a system
// newer than the newest row takes that row's name.
struct Product {
  uint32_t platform;
  uint32_t major;
  uint32_t minor;
  int workstation;
  Test test;
  const char* name;
  EditionSource source;
  std::span<const SuiteEdition> editions;
};
constexpr Product kProducts[] = {
    {kPlatformNt, 6, 1, 1, Test::kNone, "Windows 7", EditionSource::kProductInfo, {}},
    {kPlatformNt, 6, 1, 0, Test::kNone, "Windows Server 2008 R2", EditionSource::kProductInfo, {}},
    {kPlatformNt, 6, 0, 1, Test::kNone, "Windows Vista", EditionSource::kProductInfo, {}},
    {kPlatformNt, 6, 0, 0, Test::kNone, "Windows Server 2008", EditionSource::kProductInfo, {}},
    {kPlatformNt, 5, 2, -1, Test::kServerR2, "Windows Server 2003 R2", EditionSource::kSuite, kServer2003Editions},
    {kPlatformNt, 5, 2, -1, Test::kStorageServer, "Windows Storage Server 2003", EditionSource::kSuite, kServer2003Editions},
    {kPlatformNt, 5, 2, 1, Test::kAmd64, "Windows XP Professional x64", EditionSource::kSuite, kServer2003Editions},
    {kPlatformNt, 5, 2, -1, Test::kNone, "Windows Server 2003", EditionSource::kSuite, kServer2003Editions},
    {kPlatformNt, 5, 1, -1, Test::kNone, "Windows XP", EditionSource::kSuite, kXpEditions},
    {kPlatformNt, 5, 0, -1, Test::kNone, "Windows 2000", EditionSource::kSuite, k2000Editions},
    {kPlatformNt, 0, 0, -1, Test::kNone, "Windows NT", EditionSource::kRegistry, {}},
    {kPlatformWindows, 4, 10, -1, Test::kNone, "Windows 98", EditionSource::kNone, {}},
    {kPlatformWindows, 0, 0, -1, Test::kNone, "Windows 95", EditionSource::kNone, {}},
    {kPlatformWin32s, 0, 0, -1, Test::kNone, "Windows 32s", EditionSource::kNone, {}},
};
// Any other platform.
constexpr Product kUnknownProduct = {0, 0, 0, -1, Test::kNone, "Windows NT", EditionSource::kNone, {}};

bool IsWorkstation(const Facts& f) { return f.product_type == kNtWorkstation; }

bool Passes(Test test, const Facts& f) {
  switch (test) {
    case Test::kNone: return true;
    case Test::kServerR2: return f.server_r2;
    case Test::kStorageServer: return (f.suite & kSuiteStorageServer) != 0;
    case Test::kAmd64: return f.architecture == kArchitectureAmd64;
  }
  return false;
}

bool FitsType(int workstation, const Facts& f) {
  return workstation < 0 || (workstation == 1) == IsWorkstation(f);
}

const Product& FindProduct(const Facts& f) {
  for (const Product& p : kProducts) {
    const bool reached = f.major > p.major || (f.major == p.major && f.minor >= p.minor);
    if (p.platform == f.platform && reached && FitsType(p.workstation, f) && Passes(p.test, f))
      return p;
  }
  return kUnknownProduct;
}

// ASCII letters compared without case, as the registry's values are.
bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

const char* RegistryEditionText(std::string_view product_type) {
  for (const RegistryEdition& e : kRegistryEditions)
    if (SameIgnoringCase(product_type, e.product_type)) return e.text;
  return "";
}

const char* ProductInfoEditionText(const std::optional<uint32_t>& code) {
  if (!code) return "";
  for (const ProductEdition& e : kProductEditions)
    if (e.code == *code) return e.text;
  return "";
}

const char* SuiteEditionText(std::span<const SuiteEdition> editions, const Facts& f) {
  for (const SuiteEdition& e : editions) {
    if (FitsType(e.workstation, f) && (e.architecture < 0 || e.architecture == f.architecture) &&
        (e.suite == 0 || (f.suite & e.suite) != 0))
      return e.text;
  }
  return "";
}

const char* Edition(const Product& p, const Facts& f) {
  switch (p.source) {
    case EditionSource::kNone: return "";
    case EditionSource::kSuite: return SuiteEditionText(p.editions, f);
    case EditionSource::kProductInfo: return ProductInfoEditionText(f.product_info);
    case EditionSource::kRegistry: return RegistryEditionText(f.nt_product_type);
  }
  return "";
}

bool IsWide(uint16_t architecture) {
  return architecture == kArchitectureAmd64 || architecture == kArchitectureIa64 ||
         architecture == kArchitectureArm64;
}

}  // namespace

Description Describe(const Facts& facts, bool with_machine) {
  const Product& product = FindProduct(facts);
  Description d;
  d.version = std::to_string(facts.major) + '.' + std::to_string(facts.minor);
  if (!with_machine) {
    d.platform = product.name;
    return d;
  }
  d.platform = std::string("Microsoft ") + product.name + Edition(product, facts) +
               (IsWide(facts.architecture) ? ", 64-bit" : ", 32-bit");
  // The 9x line keeps its version in the build number's high word.
  const uint32_t build = facts.platform == kPlatformWindows ? facts.build & 0xFFFFu : facts.build;
  d.version += '.' + std::to_string(build) + ' ' + facts.service_pack;
  return d;
}

}  // namespace vrq::net::winver

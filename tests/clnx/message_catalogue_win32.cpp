// Where the Windows build finds its message catalogue: the language from the first set
// variable of LANGUAGE, LC_ALL, LC_MESSAGES and LANG or else the interface language, the
// folders tried for it, and the catalogue under the installation directory.
#include "../../clnx/message_catalogue_win32.cpp"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue_file.h"
#include "vrqtest.h"

namespace {

using vrq::net::LanguageFolders;
using Folders = std::vector<std::string>;

constexpr const char* kWaiting = "1157I %s Waiting for TCP/IP to become active";
constexpr const char* kWartet = "1157I %s wartet auf TCP/IP";

// Clears the variables the catalogue depends on while alive; puts them back afterwards.
class CleanEnvironment {
 public:
  CleanEnvironment() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG", "VXWMQ_HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(name);
    }
  }
  ~CleanEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }
  CleanEnvironment(const CleanEnvironment&) = delete;
  CleanEnvironment& operator=(const CleanEnvironment&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(MessageCatalogueWindows, FoldersForALanguageSetting) {
  EXPECT_EQ(LanguageFolders("de_DE.UTF-8@euro"), (Folders{"de_DE", "de"}));
  EXPECT_EQ(LanguageFolders("de_AT:fr"), (Folders{"de_AT", "de"}));
  EXPECT_EQ(LanguageFolders("pt-BR"), (Folders{"pt-BR"}));
  EXPECT_EQ(LanguageFolders("_DE"), (Folders{"_DE"}));
  // The plain locale has no catalogue; a setting that is no language name never becomes
  // part of a path.
  for (const char* none : {"", "C", "POSIX", "C.UTF-8", "..\\..\\x", "de\\..", "de/fr", "de fr", "%TEMP%"}) {
    EXPECT_EQ(LanguageFolders(none), Folders{}) << none;
  }
}

TEST(MessageCatalogueWindows, FirstSetVariableThenTheInterfaceLanguage) {
  CleanEnvironment env;
  const std::string ui_language = vrq::net::InterfaceLanguage();
  EXPECT_EQ(vrq::net::ChosenLanguage(), ui_language);
  if (!ui_language.empty()) {
    EXPECT_TRUE(vrq::net::IsLanguageName(ui_language)) << ui_language;
  }
  setenv("LANG", "it_IT", 1);
  EXPECT_EQ(vrq::net::ChosenLanguage(), "it_IT");
  setenv("LC_MESSAGES", "es", 1);
  EXPECT_EQ(vrq::net::ChosenLanguage(), "es");
  setenv("LC_ALL", "pt_BR", 1);
  EXPECT_EQ(vrq::net::ChosenLanguage(), "pt_BR");
  setenv("LANGUAGE", "de_AT:de", 1);
  EXPECT_EQ(vrq::net::ChosenLanguage(), "de_AT:de");
  setenv("LANGUAGE", "", 1);  // empty counts as not set
  EXPECT_EQ(vrq::net::ChosenLanguage(), "pt_BR");
}

TEST(MessageCatalogueWindows, CatalogueUnderTheInstallationDirectory) {
  CleanEnvironment env;
  vrqtest::TempDir dir;
  const std::string folder = dir.path() + "\\locale\\de\\LC_MESSAGES";
  std::filesystem::create_directories(folder);
  vrqtest::WriteFile(folder + "\\vrqclnx.mo", catalogue_file::Catalogue({{kWaiting, kWartet}}));
  setenv("VXWMQ_HOME", dir.path().c_str(), 1);

  setenv("LANG", "de_DE.UTF-8", 1);  // no de_DE folder: de is tried next
  const vrq::net::MessageCatalogue german = vrq::net::InstalledCatalogue();
  EXPECT_STREQ(german.Translate(kWaiting), kWartet);
  setenv("VXWMQ_HOME", (dir.path() + "\\").c_str(), 1);
  EXPECT_FALSE(vrq::net::InstalledCatalogue().empty());

  setenv("LANG", "fr_FR", 1);
  EXPECT_TRUE(vrq::net::InstalledCatalogue().empty());
  setenv("LANG", "C", 1);
  EXPECT_TRUE(vrq::net::InstalledCatalogue().empty());
}

}  // namespace

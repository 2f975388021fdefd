// Log texts of the Windows build: the catalogue is
// <installation directory>\locale\<language>\LC_MESSAGES\vrqclnx.mo, the language taken
// from the first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set and not empty, or
// else from the user's interface language. For "de_DE.UTF-8" the folders "de_DE" and then
// "de" are tried.
#include <cstdlib>
#include <string>
#include <vector>

#include "message_catalogue.h"
#include "vrqapi.h"

#include <windows.h>

namespace vrq::net {
namespace {

constexpr std::size_t kInstallDirRoom = 512;
constexpr const char* kLanguageVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
constexpr const char* kCatalogueFolder = "locale\\";
constexpr const char* kCatalogueFile = "\\LC_MESSAGES\\vrqclnx.mo";

// The user's interface language as "de_DE", or "de" when the country is not known.
std::string InterfaceLanguage() {
  const LCID locale = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
  char language[16];
  char country[16];
  if (GetLocaleInfoA(locale, LOCALE_SISO639LANGNAME, language, sizeof language) == 0) return {};
  std::string out = language;
  if (GetLocaleInfoA(locale, LOCALE_SISO3166CTRYNAME, country, sizeof country) != 0 &&
      country[0] != '\0')
    out += std::string("_") + country;
  return out;
}

std::string ChosenLanguage() {
  for (const char* variable : kLanguageVariables) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return InterfaceLanguage();
}

// Letters, digits, '_' and '-' only: the name becomes a folder in a path.
bool IsLanguageName(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !(c >= '0' && c <= '9') && c != '_' && c != '-') return false;
  }
  return true;
}

// The catalogue folders to try for a language setting such as "de_DE.UTF-8@euro" (a list
// "de:fr" counts by its first entry); none for the plain C locale.
std::vector<std::string> LanguageFolders(std::string value) {
  value = value.substr(0, value.find_first_of(":.@"));
  if (!IsLanguageName(value) || value == "C" || value == "POSIX") return {};
  std::vector<std::string> folders{value};
  const std::size_t underscore = value.find('_');
  if (underscore != std::string::npos && underscore > 0) folders.push_back(value.substr(0, underscore));
  return folders;
}

MessageCatalogue InstalledCatalogue() {
  char dir[kInstallDirRoom] = "";
  vrqGetInstallDir(dir);
  std::string base = dir;
  if (base.empty()) return {};
  if (base.back() != '\\' && base.back() != '/') base += '\\';
  base += kCatalogueFolder;
  for (const std::string& folder : LanguageFolders(ChosenLanguage())) {
    MessageCatalogue catalogue = MessageCatalogue::Load((base + folder + kCatalogueFile).c_str());
    if (!catalogue.empty()) return catalogue;
  }
  return {};
}

}  // namespace

const char* CatalogueText(const char* format) {
  static const MessageCatalogue catalogue = InstalledCatalogue();
  return catalogue.Translate(format);
}

}  // namespace vrq::net

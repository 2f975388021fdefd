// Work-group resolution through "mqgroup.ini": a group name and the node, service and
// database attributes that belong to it, each a line "<group>::<attribute>=<value>".
#include <array>
#include <cstdio>
#include <string>

#include "vrqapi.h"

namespace {

constexpr const char* kGroupFile = "mqgroup.ini";
constexpr const char* kKeyDelims = "\n=";
constexpr const char* kValueTerms = " \n\t";
constexpr const char* kNoGroupText = "Could not resolve Workgroup \"%s\"\n";
constexpr const char* kNoAttributeText = "Could not resolve Workgroup \"%s\" to \"%s\"\n";

// Attribute names in the order of the caller's targets after the group name; the first
// four are required when asked for, the rest are optional.
constexpr std::array<const char*, VRQ_WORKGROUP_TARGETS - 1> kAttributes = {
    "Node",      "Service",  "ZRQDSNode", "ZRQDSPort", "DBDSN",     "DBUser",     "DBPwd",
    "DBSchema",  "DBPSchema", "QW7DBDSN", "QW7DBUser", "QW7DBPwd", "QW7DBSchema"};
constexpr std::size_t kRequiredAttributes = 4;

// RAII owner of an open ini handle.
struct GroupFile {
  IniFile handle{};
  ~GroupFile() { vrqCloseIniFile(&handle); }
};

bool Lookup(IniFile* handle, const std::string& key, char* value) {
  return vrqGetValue(handle, key.c_str(), value, 1) != 0;
}

}  // namespace

extern "C" {

VRQAPI_API int vrqResolveWorkgroup(const char* workGroup, char* const* targets, char* errText) {
  if (workGroup == nullptr) return 0;
  GroupFile file;
  if (vrqOpenIniFile(kGroupFile, kKeyDelims, kValueTerms, &file.handle, errText, 1) == 0) {
    return 0;
  }
  auto target = [targets](std::size_t i) { return targets == nullptr ? nullptr : targets[i]; };
  char groupArea[VRQ_INI_VALUE_SIZE];
  char* group = target(0) != nullptr ? target(0) : groupArea;
  if (!Lookup(&file.handle, std::string("Group::") + workGroup, group)) {
    if (errText != nullptr) std::snprintf(errText, VRQ_INI_ERRTEXT_SIZE, kNoGroupText, workGroup);
    return 0;
  }
  const std::string prefix = std::string(group) + "::";
  for (std::size_t i = 0; i < kAttributes.size(); ++i) {
    char* out = target(i + 1);
    if (out == nullptr) continue;
    if (!Lookup(&file.handle, prefix + kAttributes[i], out) && i < kRequiredAttributes) {
      if (errText != nullptr) {
        std::snprintf(errText, VRQ_INI_ERRTEXT_SIZE, kNoAttributeText, workGroup, kAttributes[i]);
      }
      return 0;
    }
  }
  return 1;
}

}  // extern "C"

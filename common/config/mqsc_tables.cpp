// Searching and value keeping over the MQSC tables: the command table, keyword entries with
// their value tables, the per-command rule tables and the z/OS message-id table. The tables
// themselves are generated from common/config/mqsc/*.tsv; this file holds the routines that
// both translation directions use on them.
#include <cmqc.h>

#include <cstddef>
#include <cstring>
#include <string_view>

#include "vrqapi.h"

namespace {

constexpr int kModeId = 1;
constexpr int kModeKeyword = 2;
constexpr const char* kMemoryTag = "MqscValue";

bool HasValueName(const MQSCKEY* entry, std::string_view name) {
  if (entry->ppValues == nullptr) return false;
  for (MQSCKEY** v = entry->ppValues; *v != nullptr; ++v) {
    if (name == (*v)->pszKeyword) return true;
  }
  return false;
}

bool KeepsString(int32_t type) {
  return type == MQSC_TYPE_COMMAND || type == MQSC_TYPE_STR || type == MQSC_TYPE_STRLIST ||
         type == MQSC_TYPE_ENUMLIST || type == MQSC_TYPE_INTLIST;
}

// Replaces the entry's owned string by a copy of length characters of data.
void KeepString(MQSCKEY* entry, const char* data, size_t length) {
  FreeMemory(entry->value.psz);
  entry->value.psz = nullptr;
  void* block = nullptr;
  if (!fNewMemory(&block, length + 1, kMemoryTag)) return;
  if (length > 0) std::memcpy(block, data, length);
  static_cast<char*>(block)[length] = '\0';
  entry->value.psz = static_cast<char*>(block);
}

}  // namespace

// Layouts of the table records in 64-bit and 32-bit builds.
constexpr bool kWide = sizeof(void*) == 8;
static_assert(sizeof(MQSCRULE) == (kWide ? 56 : 48));
static_assert(offsetof(MQSCRULE, lWithKeyword) == (kWide ? 8 : 8));
static_assert(offsetof(MQSCRULE, pEntry) == (kWide ? 16 : 16));
static_assert(offsetof(MQSCRULE, pszFormat) == (kWide ? 24 : 20));
static_assert(offsetof(MQSCRULE, lJoiner) == (kWide ? 32 : 24));
static_assert(offsetof(MQSCRULE, lPlatforms) == (kWide ? 40 : 32));
static_assert(offsetof(MQSCRULE, lLevel) == (kWide ? 48 : 40));
static_assert(sizeof(MQSCKEY) == (kWide ? 72 : 56));
static_assert(offsetof(MQSCKEY, lId) == (kWide ? 8 : 8));
static_assert(offsetof(MQSCKEY, pszKeyword) == (kWide ? 16 : 16));
static_assert(offsetof(MQSCKEY, pRule) == (kWide ? 24 : 20));
static_assert(offsetof(MQSCKEY, lSet) == (kWide ? 32 : 24));
static_assert(offsetof(MQSCKEY, ppValues) == (kWide ? 40 : 28));
static_assert(offsetof(MQSCKEY, value) == (kWide ? 48 : 32));
static_assert(offsetof(MQSCKEY, lPlatforms) == (kWide ? 56 : 40));
static_assert(offsetof(MQSCKEY, lLevel) == (kWide ? 64 : 48));
static_assert(sizeof(MQSCRC) == (kWide ? 16 : 12));
static_assert(sizeof(MQSCMASTER) == (kWide ? 16 : 8));

extern "C" {

VRQAPI_API MQSCKEY** GetCmdTbl(void) { return MqCmdTbl; }

VRQAPI_LINUX_API MQSCKEY* tblSearch(MQSCKEY** table, int mode, const void* key) {
  if (table == nullptr || key == nullptr) return nullptr;
  for (MQSCKEY** e = table; *e != nullptr; ++e) {
    if (mode == kModeId && (*e)->lId == *static_cast<const int32_t*>(key)) return *e;
    if (mode == kModeKeyword && std::strcmp((*e)->pszKeyword, static_cast<const char*>(key)) == 0)
      return *e;
  }
  return nullptr;
}

VRQAPI_LINUX_API MQSCKEY* cmdSearch(MQSCRULE* rule, int mode, const void* key) {
  if (rule == nullptr || key == nullptr) return nullptr;
  for (MQSCRULE* r = rule; r->lKind != MQSC_RULE_END; ++r) {
    MQSCKEY* e = r->pEntry;
    if (mode == kModeId && e->lId == *static_cast<const int32_t*>(key)) return e;
    if (mode == kModeKeyword) {
      const char* text = static_cast<const char*>(key);
      // Value names stand for their entry only where MQSC writes the value alone; otherwise
      // a keyword such as XMITQ would be taken for the USAGE value XMITQ.
      if (std::strcmp(e->pszKeyword, text) == 0 || (e->pszKeyword[0] == '\0' && HasValueName(e, text))) return e;
    }
  }
  return nullptr;
}

VRQAPI_LINUX_API int tblSetValue(MQSCKEY* entry, const void* data, int length) {
  if (entry == nullptr) return 0;
  const char* text = static_cast<const char*>(data);
  switch (entry->lType) {
    case MQSC_TYPE_COMMAND:
    case MQSC_TYPE_STR:
      KeepString(entry, text, text == nullptr || length < 0 ? 0 : static_cast<size_t>(length));
      return 1;
    case MQSC_TYPE_STRLIST:
    case MQSC_TYPE_ENUMLIST:
    case MQSC_TYPE_INTLIST:
      if (text != nullptr && length >= 0) KeepString(entry, text, strnlen(text, static_cast<size_t>(length)));
      return 1;
    case MQSC_TYPE_INT:
      if (data != nullptr) entry->value.l = *static_cast<const int32_t*>(data);
      return 1;
    case MQSC_TYPE_ENUM:
      entry->value.pKey = static_cast<MQSCKEY*>(const_cast<void*>(data));
      return 1;
    case MQSC_TYPE_FLAG:
      return 1;
    default:
      return 0;
  }
}

VRQAPI_LINUX_API int tblGetValue(MQSCKEY* entry, void* out) {
  if (entry == nullptr || out == nullptr) return 0;
  if (KeepsString(entry->lType)) {
    char* dest = static_cast<char*>(out);
    if (entry->value.psz == nullptr) {
      std::strcpy(dest, "''");
      return 1;
    }
    std::strcpy(dest, entry->value.psz);
    FreeMemory(entry->value.psz);
    entry->value.psz = nullptr;
    return 1;
  }
  if (entry->lType == MQSC_TYPE_INT) {
    std::memcpy(out, &entry->value.l, sizeof(int32_t));
    return 1;
  }
  if (entry->lType == MQSC_TYPE_ENUM && entry->value.pKey != nullptr) {
    std::memcpy(out, entry->value.pKey, sizeof(MQSCKEY));
    return 1;
  }
  return 0;
}

VRQAPI_LINUX_API const MQSCRC* GetTable(const char* msgid) {
  if (msgid == nullptr) return nullptr;
  for (const MQSCMASTER* m = MasterTbl; m->pszPrefix != nullptr; ++m) {
    if (std::strncmp(m->pszPrefix, msgid, 3) == 0) return m->pTable;
  }
  return nullptr;
}

VRQAPI_LINUX_API int MqscRcToPcf(MQSCKEY* command, MQLONG* compcode, MQLONG* reason) {
  if (compcode != nullptr) *compcode = MQCC_OK;
  if (reason != nullptr) *reason = MQRC_NONE;
  const char* id = command != nullptr ? command->value.psz : nullptr;
  const MQSCRC* table = GetTable(id);
  if (table == nullptr) return 1;
  for (const MQSCRC* r = table; r->pszMsgId != nullptr; ++r) {
    if (std::strcmp(r->pszMsgId, id) != 0) continue;
    if (compcode != nullptr) *compcode = r->lCompCode;
    if (reason != nullptr) *reason = r->lReason;
    break;
  }
  return 1;
}

}  // extern "C"

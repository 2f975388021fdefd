// MQSC responses to PCF: the response tokenizer, the general translation that keeps each
// recognised keyword's value in its entry, and the builders that write the PCF response
// from the command's rule table; the escape command and the dispatch to the free-form
// translations of SET LOG, DISPLAY LOG and DISPLAY GROUP.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "mqsc_internal.h"

namespace {

constexpr MQLONG kMdHdrLength = 136;
constexpr size_t kMaxToken = 65535;
constexpr const char* kKeywordDelimiters = " .,\t\n:()+";
constexpr const char* kValueDelimiters = "()";
constexpr std::string_view kStatusPrefix = "CSQ";
constexpr MQLONG kCmdSetLog = 10633;
constexpr MQLONG kCmdDisplayLog = 10632;
constexpr MQLONG kCmdDisplayGroup = 10901;

// The tokenizer's kept position and the rule table of the response under way.
char* g_position = nullptr;
MQSCRULE* g_rule = nullptr;
char g_found = 0;  // delimiter that ended the last keyword token
std::string g_value;  // the value read for the keyword under way

MQLONG RoundUp4(MQLONG n) { return (n + 3) / 4 * 4; }

MQLONG Capacity(PcfMessage* pcf) { return pcf->PcfMsg.lMaxLength - kMdHdrLength; }

bool Room(PcfMessage* pcf, MQLONG offset, MQLONG length, MQLONG* reason) {
  if (offset >= 0 && length >= 0 && static_cast<int64_t>(offset) + length <= Capacity(pcf)) return true;
  *reason = MQSC_RC_NO_ROOM;
  return false;
}

void PutWord(char* at, MQLONG value) { std::memcpy(at, &value, sizeof value); }

void CountParameter(PcfMessage* pcf) {
  MQLONG n = 0;
  std::memcpy(&n, pcf->PcfMsg.pData + offsetof(MQCFH, ParameterCount), sizeof n);
  PutWord(pcf->PcfMsg.pData + offsetof(MQCFH, ParameterCount), n + 1);
}

// Splits a list value at the commas that stand outside single quotes and parentheses.
std::vector<std::string_view> ListItems(std::string_view text) {
  std::vector<std::string_view> items;
  bool quoted = false;
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\'') quoted = !quoted;
    else if (!quoted && c == '(') ++depth;
    else if (!quoted && c == ')' && depth > 0) --depth;
    else if (!quoted && depth == 0 && c == ',') {
      items.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  items.push_back(text.substr(start));
  return items;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Reads the value behind the keyword just read: false when the keyword has none (no "("
// follows it), so that the next keyword's text is never taken; an empty "( )" is a value.
bool ReadValue(std::string* value) {
  if (g_found != '(') {
    const char* p = g_position;
    while (p != nullptr && IsSpace(*p)) ++p;
    if (p == nullptr || *p != '(') return false;
  }
  char found = 0;
  char* part = strtok_x(nullptr, kValueDelimiters, &found);
  if (part == nullptr) return false;
  *value = part;
  if (found == '(') {
    char* inner = strtok_x(nullptr, kValueDelimiters, &found);
    *value += "(";
    if (inner != nullptr) *value += inner;
    if (found == ')') *value += ")";
  }
  g_found = found;
  while (!value->empty() && IsSpace(value->back())) value->pop_back();
  return true;
}

// Reads one keyword's value into the entry by its type; false when the keyword has no
// value or the value name is unknown (the entry stays unset).
bool KeepValue(MQSCKEY* e, const char* token, MQLONG* reason) {
  switch (e->lType) {
    case MQSC_TYPE_FLAG:
      e->lSet = 1;
      return true;
    case MQSC_TYPE_INT:
    case MQSC_TYPE_ENUM:
      if (e->pszKeyword[0] == '\0') return MqscIntToPcf(e, token, reason) != 0;
      return ReadValue(&g_value) && MqscIntToPcf(e, g_value.c_str(), reason) != 0;
    case MQSC_TYPE_STR:
    case MQSC_TYPE_STRLIST:
    case MQSC_TYPE_ENUMLIST:
    case MQSC_TYPE_INTLIST:
      return ReadValue(&g_value) && MqscStrToPcf(e, g_value.c_str()) != 0;
    default:
      *reason = MQSC_RC_BAD_TYPE;
      return false;
  }
}

}  // namespace

extern "C" {

VRQAPI_LINUX_API char* strtok_x(char* text, const char* delimiters, char* found) {
  if (found != nullptr) *found = 0;
  if (text != nullptr) g_position = text;
  char* p = g_position;
  if (p == nullptr || *p == '\0' || delimiters == nullptr) {
    g_position = nullptr;
    return nullptr;
  }
  if (*p == ')' && std::strchr(delimiters, ')') != nullptr) {
    *p = '\0';
    if (found != nullptr) *found = ')';
    g_position = p + 1;
    return p;
  }
  while (*p != '\0' && std::strchr(delimiters, *p) != nullptr) ++p;
  if (*p == '\0') {
    g_position = nullptr;
    return nullptr;
  }
  char* start = p;
  while (*p != '\0' && std::strchr(delimiters, *p) == nullptr) ++p;
  if (static_cast<size_t>(p - start) > kMaxToken) {
    g_position = nullptr;
    return nullptr;
  }
  if (*p == '\0') {
    g_position = nullptr;
  } else {
    if (found != nullptr) *found = *p;
    *p = '\0';
    g_position = p + 1;
  }
  return start;
}

VRQAPI_API void MqscCorrection(char* text, MQLONG length) {
  if (text == nullptr) return;
  for (MQLONG i = 0; i + 1 < length; ++i) {
    if (text[i] == '\0') text[i] = ' ';
  }
}

VRQAPI_API int GetMqscStatus(char* text, char* out, MQLONG room) {
  if (out == nullptr || room <= 0) return 0;
  out[0] = '\0';
  for (char* t = strtok_x(text, kKeywordDelimiters, &g_found); t != nullptr;
       t = strtok_x(nullptr, kKeywordDelimiters, &g_found)) {
    if (std::string_view(t).starts_with(kStatusPrefix)) {
      size_t n = std::min(std::strlen(t), static_cast<size_t>(room - 1));
      std::memcpy(out, t, n);
      out[n] = '\0';
      return 1;
    }
  }
  return 0;
}

VRQAPI_API MQSCKEY* GetMqscIdent(MQLONG command) {
  MQSCKEY* e = tblSearch(GetCmdTbl(), 1, &command);
  if (e == nullptr || e->lType != MQSC_TYPE_COMMAND || e->pRule == nullptr) return nullptr;
  mqsc::ClearRule(e->pRule);
  g_rule = e->pRule;
  return e;
}

VRQAPI_API char* GetMqscToken(void) { return strtok_x(nullptr, kKeywordDelimiters, &g_found); }

VRQAPI_API int GetMqscValue(char* out, MQLONG room) {
  if (out == nullptr || room <= 0) return 0;
  out[0] = '\0';
  std::string value;
  if (!ReadValue(&value)) return 0;
  size_t n = std::min(value.size(), static_cast<size_t>(room - 1));
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
  return static_cast<int>(n);
}

VRQAPI_API int MqscCmdToPcf(MQSCKEY* command, const char* msgid) {
  if (command == nullptr || msgid == nullptr) return 0;
  tblSetValue(command, msgid, static_cast<int>(std::strlen(msgid)));
  command->lSet = 1;
  return 1;
}

VRQAPI_API int MqscStrToPcf(MQSCKEY* entry, const char* value) {
  if (entry == nullptr || value == nullptr) return 0;
  if (!tblSetValue(entry, value, static_cast<int>(std::strlen(value)))) return 0;
  entry->lSet = 1;
  return 1;
}

VRQAPI_API int MqscIntToPcf(MQSCKEY* entry, const char* value, MQLONG* reason) {
  if (entry == nullptr || value == nullptr || reason == nullptr) return 0;
  std::string_view v(value);
  while (!v.empty() && IsSpace(v.front())) v.remove_prefix(1);
  MQLONG named = 0;
  bool special = mqsc::NumberByName(static_cast<MQLONG>(entry->lId), v, &named);
  if (entry->lType == MQSC_TYPE_INT || special) {
    long number = named;
    if (!special && v.empty()) {
      number = MQMON_NOT_AVAILABLE;  // a blank counter: not monitored
    } else if (!special) {
      std::string text(v);
      char* end = nullptr;
      number = std::strtol(text.c_str(), &end, 10);
      if (end == text.c_str() || *end != '\0') {  // a name where a number belongs
        *reason = MQSC_RC_NOT_FOUND;
        return 0;
      }
    }
    MQLONG n = static_cast<MQLONG>(std::clamp<long>(number, INT32_MIN, INT32_MAX));
    if (entry->lType == MQSC_TYPE_INT) {
      tblSetValue(entry, &n, 0);
    } else {
      MQSCKEY* found = tblSearch(entry->ppValues, 1, &n);
      if (found == nullptr) {
        *reason = MQSC_RC_NOT_FOUND;
        return 0;
      }
      tblSetValue(entry, found, 0);
    }
    entry->lSet = 1;
    return 1;
  }
  MQSCKEY* found = tblSearch(entry->ppValues, 2, value);
  if (found == nullptr) {
    *reason = MQSC_RC_NOT_FOUND;
    return 0;
  }
  tblSetValue(entry, found, 0);
  entry->lSet = 1;
  return 1;
}

VRQAPI_LINUX_API int EmitPcfHeader(PcfMessage* pcf, MQSCKEY* command, MQLONG* offset, MQLONG* reason) {
  if (pcf == nullptr || command == nullptr || offset == nullptr || reason == nullptr) return 0;
  if (!Room(pcf, *offset, MQCFH_STRUC_LENGTH, reason)) return 0;
  MQCFH h{};
  h.Type = MQCFT_RESPONSE;
  h.StrucLength = MQCFH_STRUC_LENGTH;
  h.Version = MQCFH_VERSION_1;
  h.Command = static_cast<MQLONG>(command->lId);
  h.MsgSeqNumber = 1;
  h.Control = MQCFC_LAST;
  MqscRcToPcf(command, &h.CompCode, &h.Reason);
  h.ParameterCount = 0;
  std::memcpy(pcf->PcfMsg.pData + *offset, &h, sizeof h);
  *offset += MQCFH_STRUC_LENGTH;
  return 1;
}

VRQAPI_LINUX_API int EmitPcfInt(PcfMessage* pcf, MQLONG parameter, MQLONG value, MQLONG* offset, MQLONG* reason) {
  if (pcf == nullptr || offset == nullptr || reason == nullptr) return 0;
  if (!Room(pcf, *offset, MQCFIN_STRUC_LENGTH, reason)) return 0;
  MQCFIN in{};
  in.Type = MQCFT_INTEGER;
  in.StrucLength = MQCFIN_STRUC_LENGTH;
  in.Parameter = parameter;
  in.Value = value;
  std::memcpy(pcf->PcfMsg.pData + *offset, &in, sizeof in);
  *offset += MQCFIN_STRUC_LENGTH;
  CountParameter(pcf);
  return 1;
}

VRQAPI_LINUX_API int EmitPcfConst(PcfMessage* pcf, MQLONG parameter, MQLONG* offset, MQLONG* reason) {
  return EmitPcfInt(pcf, parameter, 0, offset, reason);
}

VRQAPI_LINUX_API int EmitPcfStr(PcfMessage* pcf, MQLONG parameter, const char* value, MQLONG* offset, MQLONG* reason) {
  if (pcf == nullptr || value == nullptr || offset == nullptr || reason == nullptr) return 0;
  size_t n = std::strlen(value);
  if (n > kMaxToken) {
    *reason = MQSC_RC_NO_ROOM;
    return 0;
  }
  MQLONG length = static_cast<MQLONG>(n);
  // The structure keeps 20 spare bytes behind the string; readers step by StrucLength.
  MQLONG struc = RoundUp4(length + MQCFST_STRUC_LENGTH_FIXED) + MQCFST_STRUC_LENGTH_FIXED;
  if (!Room(pcf, *offset, struc, reason)) return 0;
  char* at = pcf->PcfMsg.pData + *offset;
  std::memset(at, 0, static_cast<size_t>(struc));
  PutWord(at, MQCFT_STRING);
  PutWord(at + 4, struc);
  PutWord(at + 8, parameter);
  PutWord(at + 12, 0);
  PutWord(at + 16, length);
  std::memcpy(at + MQCFST_STRUC_LENGTH_FIXED, value, n);
  *offset += struc;
  CountParameter(pcf);
  return 1;
}

VRQAPI_LINUX_API int EmitPcfStrList(PcfMessage* pcf, MQLONG parameter, const char* value, MQLONG* offset,
                              MQLONG* reason) {
  if (pcf == nullptr || value == nullptr || offset == nullptr || reason == nullptr) return 0;
  std::vector<std::string_view> items = ListItems(value);
  size_t longest = 0;
  for (auto item : items) longest = std::max(longest, item.size());
  int64_t bytes = static_cast<int64_t>(items.size()) * static_cast<int64_t>(longest);
  if (bytes > Capacity(pcf)) {
    *reason = MQSC_RC_NO_ROOM;
    return 0;
  }
  MQLONG struc = RoundUp4(MQCFSL_STRUC_LENGTH_FIXED + static_cast<MQLONG>(bytes));
  if (!Room(pcf, *offset, struc, reason)) return 0;
  char* at = pcf->PcfMsg.pData + *offset;
  std::memset(at, 0, static_cast<size_t>(struc));
  PutWord(at, MQCFT_STRING_LIST);
  PutWord(at + 4, struc);
  PutWord(at + 8, parameter);
  PutWord(at + 12, 0);
  PutWord(at + 16, static_cast<MQLONG>(items.size()));
  PutWord(at + 20, static_cast<MQLONG>(longest));
  char* s = at + MQCFSL_STRUC_LENGTH_FIXED;
  for (auto item : items) {
    std::memset(s, ' ', longest);
    std::memcpy(s, item.data(), item.size());
    s += longest;
  }
  *offset += struc;
  CountParameter(pcf);
  return 1;
}

// An integer list (MQCFIL) from a list of numbers, or of value names for an enumerated list,
// as IBM's PCF carries COMPMSG, XBATCHSZ and the like.
static int EmitPcfIntList(PcfMessage* pcf, MQSCKEY* entry, const char* value, MQLONG* offset, MQLONG* reason) {
  std::vector<MQLONG> values;
  for (std::string_view item : ListItems(value)) {
    while (!item.empty() && IsSpace(item.front())) item.remove_prefix(1);
    while (!item.empty() && IsSpace(item.back())) item.remove_suffix(1);
    if (item.empty()) {
      // A blank counter of a monitoring list (QTIME( , )) is not available.
      if (entry->lType == MQSC_TYPE_INTLIST) values.push_back(MQMON_NOT_AVAILABLE);
      continue;
    }
    std::string text(item);
    if (entry->lType == MQSC_TYPE_ENUMLIST) {
      MQSCKEY* v = tblSearch(entry->ppValues, 2, text.c_str());
      if (v == nullptr) {
        *reason = MQSC_RC_NOT_FOUND;
        return 0;
      }
      values.push_back(static_cast<MQLONG>(v->lId));
    } else {
      char* end = nullptr;
      long n = std::strtol(text.c_str(), &end, 10);
      if (end == text.c_str() || *end != '\0') {
        *reason = MQSC_RC_NOT_FOUND;
        return 0;
      }
      values.push_back(static_cast<MQLONG>(std::clamp<long>(n, INT32_MIN, INT32_MAX)));
    }
  }
  if (values.size() > static_cast<size_t>(Capacity(pcf)) / 4) {
    *reason = MQSC_RC_NO_ROOM;
    return 0;
  }
  MQLONG struc = MQCFIL_STRUC_LENGTH_FIXED + static_cast<MQLONG>(values.size()) * 4;
  if (!Room(pcf, *offset, struc, reason)) return 0;
  char* at = pcf->PcfMsg.pData + *offset;
  PutWord(at, MQCFT_INTEGER_LIST);
  PutWord(at + 4, struc);
  PutWord(at + 8, static_cast<MQLONG>(entry->lId));
  PutWord(at + 12, static_cast<MQLONG>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) PutWord(at + MQCFIL_STRUC_LENGTH_FIXED + 4 * i, values[i]);
  *offset += struc;
  CountParameter(pcf);
  return 1;
}

VRQAPI_LINUX_API int EmitPcfMap(PcfMessage* pcf, MQSCKEY* entry, MQLONG* offset, MQLONG* reason) {
  if (entry == nullptr || reason == nullptr) return 0;
  MQLONG parameter = static_cast<MQLONG>(entry->lId);
  int ok = 0;
  switch (entry->lType) {
    case MQSC_TYPE_FLAG:
      ok = EmitPcfConst(pcf, parameter, offset, reason);
      break;
    case MQSC_TYPE_INT:
      ok = EmitPcfInt(pcf, parameter, entry->value.l, offset, reason);
      break;
    case MQSC_TYPE_ENUM:
      ok = entry->value.pKey != nullptr &&
           EmitPcfInt(pcf, parameter, static_cast<MQLONG>(entry->value.pKey->lId), offset, reason);
      break;
    case MQSC_TYPE_STR:
      ok = EmitPcfStr(pcf, parameter, entry->value.psz != nullptr ? entry->value.psz : "", offset, reason);
      break;
    case MQSC_TYPE_STRLIST:
      ok = EmitPcfStrList(pcf, parameter, entry->value.psz != nullptr ? entry->value.psz : "", offset, reason);
      break;
    case MQSC_TYPE_ENUMLIST:
    case MQSC_TYPE_INTLIST:
      ok = EmitPcfIntList(pcf, entry, entry->value.psz != nullptr ? entry->value.psz : "", offset, reason);
      break;
    default:
      *reason = MQSC_RC_BAD_TYPE;
      return 0;
  }
  entry->lSet = 0;
  return ok;
}

VRQAPI_API int EmitPcfMsg(PcfMessage* pcf, MQSCKEY* command, MQLONG* reason) {
  if (reason == nullptr) return 0;
  if (pcf == nullptr || pcf->PcfMsg.pData == nullptr || command == nullptr || command->pRule == nullptr) {
    *reason = MQSC_RC_NOT_FOUND;
    return 0;
  }
  MQLONG offset = 0;
  if (!EmitPcfHeader(pcf, command, &offset, reason)) return 0;
  for (MQSCRULE* row = command->pRule + 1; row->lKind != MQSC_RULE_END; ++row) {
    if (!row->pEntry->lSet) continue;
    if (!EmitPcfMap(pcf, row->pEntry, &offset, reason)) return 0;
  }
  pcf->PcfMsg.lMsgLength = kMdHdrLength + offset;
  pcf->pPcfHdr = reinterpret_cast<MQCFH*>(pcf->PcfMsg.pData);
  *reason = 0;
  return 1;
}

VRQAPI_API int MqscToPcf(char* text, PcfMessage* pcf, MQLONG command, MQLONG* reason, MQLONG* count) {
  if (reason == nullptr) return 0;
  MQLONG ignored = 0;
  if (count == nullptr) count = &ignored;
  *count = 0;
  char msgid[64];
  if (text == nullptr || !GetMqscStatus(text, msgid, sizeof msgid)) {
    *reason = MQSC_RC_NOT_FOUND;
    return 0;
  }
  MQSCKEY* cmd = GetMqscIdent(command);
  if (cmd == nullptr) {
    *reason = MQSC_RC_NOT_FOUND;
    return 0;
  }
  MqscCmdToPcf(cmd, msgid);
  int result = 1;
  // A value that cannot be read back (a name the keyword does not have, or text where a
  // number belongs) fails the translation; the rest of the response is still built.
  MQLONG valueError = 0;
  for (char* token = GetMqscToken(); token != nullptr; token = GetMqscToken()) {
    if (*token == '\0') continue;
    MQSCKEY* e = cmdSearch(g_rule, 2, token);
    if (e == nullptr || e == cmd) continue;
    ++*count;
    if (e->lType == MQSC_TYPE_COMMAND || e->lType > MQSC_TYPE_INTLIST || e->lType < 0) {
      *reason = MQSC_RC_BAD_TYPE;
      result = 0;
      break;
    }
    MQLONG kept = 0;
    if (!KeepValue(e, token, &kept) && kept != 0 && valueError == 0) valueError = kept;
  }
  if (result) result = EmitPcfMsg(pcf, cmd, reason);
  if (result && valueError != 0) {
    *reason = valueError;
    result = 0;
  }
  // Values not written by a failed translation are not left behind for the next one.
  mqsc::ClearRule(g_rule);
  FreeMemory(cmd->value.psz);
  cmd->value.psz = nullptr;
  cmd->lSet = 0;
  return result;
}

VRQAPI_API MQLONG vrqMqsc2Pcf(PcfMessage* text, PcfMessage* pcf, MQLONG* status, MQLONG* reason, MQLONG* count) {
  MQLONG ignoredStatus = 0, ignoredReason = 0, ignoredCount = 0;
  if (status == nullptr) status = &ignoredStatus;
  if (reason == nullptr) reason = &ignoredReason;
  if (count == nullptr) count = &ignoredCount;
  *status = MQCC_FAILED;
  *reason = 0;
  *count = 0;
  if (pcf == nullptr || pcf->PcfMsg.pData == nullptr || Capacity(pcf) < MQCFH_STRUC_LENGTH) {
    *reason = MQSC_RC_NO_ROOM;
    return *reason;
  }
  std::span<const char> raw = mqsc::Image(text);
  std::vector<char> buffer(raw.begin(), raw.end());
  MqscCorrection(buffer.data(), static_cast<MQLONG>(buffer.size()));
  buffer.push_back('\0');
  char* line = buffer.data();

  MQLONG command = 0;
  std::memcpy(&command, pcf->PcfMsg.pData + offsetof(MQCFH, Command), sizeof command);
  switch (command) {
    case MQCMD_ESCAPE: {
      MESSAGE attr{};
      if (CreatePcfStrAttr(&attr, MQCACF_ESCAPE_TEXT, line) && AppendAttr(pcf, &attr)) {
        *status = MQCC_OK;
      } else {
        *reason = MQSC_RC_NO_ROOM;
      }
      DeleteMessage(&attr);
      break;
    }
    case kCmdSetLog:
      MqscToPcfSetLog(line, pcf, status, reason, count);
      break;
    case kCmdDisplayLog:
      MqscToPcfDisplayLog(line, pcf, status, reason, count);
      break;
    case kCmdDisplayGroup:
      MqscToPcfDisplayGroup(line, pcf, status, reason, count);
      break;
    default:
      if (MqscToPcf(line, pcf, command, reason, count) && *reason == 0) *status = MQCC_OK;
      break;
  }
  if (pcf->PcfMsg.lMsgLength > pcf->PcfMsg.lMaxLength) {
    *status = MQCC_FAILED;
    *reason = MQSC_RC_NO_ROOM;
  }
  return *reason;
}

}  // extern "C"

// PCF commands to MQSC text: the walk that keeps each PCF parameter in its keyword entry,
// the writer that turns the command's rule table into text, the escape command, the
// ALTDATE filter clause, filter operator names and the alteration-date test of discovery.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

#include "mqsc_internal.h"

namespace {

using mqsc::PcfWalk;
using mqsc::Structure;

constexpr MQLONG kMdHdrLength = 136;
constexpr MQLONG kEscapeTypeParam = MQIACF_ESCAPE_TYPE;
constexpr MQLONG kEscapeTextParam = MQCACF_ESCAPE_TEXT;
constexpr MQLONG kAltDateParam = MQCA_ALTERATION_DATE;
constexpr MQLONG kAltTimeParam = MQCA_ALTERATION_TIME;
constexpr size_t kListItemMax = 48;
constexpr int kFirstContinuedToken = 4;
constexpr char kJoinNone = '*';
constexpr const char* kWhereClause = " WHERE(ALTDATE GE %.12s)";
constexpr const char* kContinuation = "+\n";
constexpr const char* kStringFormat = "MQSTR   ";

// The rule table of the translation under way (one translation at a time per process).
MQSCRULE* g_rule = nullptr;

struct OperatorName {
  MQLONG op;
  const char* name;
};
constexpr OperatorName kOperators[] = {
    {MQCFOP_LESS, "LT "},     {MQCFOP_EQUAL, "EQ "},        {MQCFOP_NOT_GREATER, "LE "},
    {MQCFOP_GREATER, "GT "},  {MQCFOP_NOT_EQUAL, "NE "},    {MQCFOP_NOT_LESS, "GE "},
    {MQCFOP_CONTAINS, "CT "}, {MQCFOP_EXCLUDES, "EX "},     {MQCFOP_LIKE, "LK "},
    {MQCFOP_NOT_LIKE, "NL "}, {MQCFOP_CONTAINS_GEN, "CTG "}, {MQCFOP_EXCLUDES_GEN, "EXG "},
};

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

// Values written inside single quotes have their own quotes doubled, as MQSC reads them,
// so that a value can never end the quoted string early and add keywords of its own.
std::string Quoted(std::string_view value, const char* format) {
  if (std::strstr(format, "'%s'") == nullptr) return std::string(value);
  std::string out;
  for (char c : value) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// Writes a text value in place of the format's %s (or %d, for the named integers).
std::string Format(const char* format, std::string_view value) {
  std::string_view f(format);
  size_t at = f.find("%s");
  if (at == std::string_view::npos) at = f.find("%d");
  if (at == std::string_view::npos) return std::string(f);
  std::string out(f.substr(0, at));
  out += Quoted(value, format);
  out += f.substr(at + 2);
  return out;
}

std::string FormatInt(const char* format, MQLONG value) {
  std::string_view f(format);
  size_t at = f.find("%d");
  if (at == std::string_view::npos) return Format(format, std::to_string(value));
  return std::string(f.substr(0, at)) + std::to_string(value) + std::string(f.substr(at + 2));
}

// The text of a value-less selector whose entry has no keyword of its own (a value that
// stands alone in MQSC): DISPLAY names it by its first value name (SHARE, TRIGGER, ...).
const char* SelectorText(const MQSCKEY* e) {
  if (e->pszKeyword[0] != '\0' || e->ppValues == nullptr || e->ppValues[0] == nullptr) return e->pszKeyword;
  return e->ppValues[0]->pszKeyword;
}

bool TokenText(MQSCRULE* row, std::string* token, MQLONG* reason) {
  MQSCKEY* e = row->pEntry;
  token->clear();
  if (row->lWithKeyword == 1) *token = row->lWithValue == 1 ? e->pszKeyword : SelectorText(e);
  if (row->lWithValue != 1) return true;
  const char* format = row->pszFormat != nullptr ? row->pszFormat : "";
  switch (e->lType) {
    case MQSC_TYPE_COMMAND:
    case MQSC_TYPE_FLAG:
      return true;
    case MQSC_TYPE_INT:
      if (const char* name = mqsc::NumberName(static_cast<MQLONG>(e->lId), e->value.l)) {
        *token += Format(format, name);
      } else {
        *token += FormatInt(format, e->value.l);
      }
      return true;
    case MQSC_TYPE_STR:
    case MQSC_TYPE_STRLIST:
    case MQSC_TYPE_ENUMLIST:
    case MQSC_TYPE_INTLIST: {
      std::string_view v = TrimRight(e->value.psz != nullptr ? e->value.psz : "");
      *token += Format(format, v.empty() ? " " : v);
      return true;
    }
    case MQSC_TYPE_ENUM:
      if (e->value.pKey == nullptr) break;
      *token += Format(format, e->value.pKey->pszKeyword);
      return true;
    default:
      break;
  }
  *reason = MQSC_RC_NOT_FOUND;
  return false;
}

bool Append(MQSCTEXT* out, std::string_view piece) {
  if (out->lLength < 0 || static_cast<size_t>(out->lCapacity - out->lLength) < piece.size()) return false;
  std::memcpy(out->pText + out->lLength, piece.data(), piece.size());
  out->lLength += static_cast<MQLONG>(piece.size());
  return true;
}

// Keeps an integer parameter: an enumerated entry keeps the value entry of that number,
// others the number. A number the value table does not name cannot be written in MQSC.
bool KeepInt(MQSCKEY* e, MQLONG value, MQLONG* reason) {
  if (e->lType == MQSC_TYPE_ENUM) {
    MQSCKEY* v = tblSearch(e->ppValues, 1, &value);
    if (v == nullptr) {
      *reason = MQSC_RC_NOT_FOUND;
      return false;
    }
    tblSetValue(e, v, 0);
  } else if (e->lType == MQSC_TYPE_INT) {
    tblSetValue(e, &value, 0);
  } else if (e->lType != MQSC_TYPE_FLAG) {
    *reason = MQSC_RC_BAD_TYPE;
    return false;
  }
  e->lSet = 1;
  return true;
}

// An integer list kept as the value of its own keyword (COMPHDR(NONE,SYSTEM) and the like).
bool KeepIntList(MQSCKEY* e, const MQCFIL* cfil, MQLONG* reason) {
  std::string text;
  for (MQLONG i = 0; i < cfil->Count; ++i) {
    MQLONG value = cfil->Values[i];
    std::string item = std::to_string(value);
    if (e->lType == MQSC_TYPE_ENUMLIST) {
      MQSCKEY* v = tblSearch(e->ppValues, 1, &value);
      if (v == nullptr) {
        *reason = MQSC_RC_NOT_FOUND;
        return false;
      }
      item = v->pszKeyword;
    }
    if (!text.empty()) text += ",";
    text += item;
  }
  if (text.empty()) return true;
  tblSetValue(e, text.c_str(), static_cast<int>(text.size()));
  e->lSet = 1;
  return true;
}

// The entry that takes a request parameter's value, or none with the reason set.
MQSCKEY* ValueEntry(MQLONG parameter, MQLONG* reason) {
  MQSCRULE* row = mqsc::ValueRow(g_rule, parameter);
  if (row == nullptr) {
    *reason = mqsc::kRcNoKeyword;
    return nullptr;
  }
  return row->pEntry;
}

bool WalkStructure(const Structure& s, MQLONG* reason) {
  const void* p = s.bytes.data();
  switch (s.Type()) {
    case 0:
    case MQCFT_STRING_FILTER:
      return true;
    case MQCFT_INTEGER:
      return MqcfinToMqsc(static_cast<const MQCFIN*>(p), reason) != 0;
    case MQCFT_STRING:
      if (!mqsc::StringFits(s, MQCFST_STRUC_LENGTH_FIXED, s.Word(4))) break;
      return MqcfstToMqsc(static_cast<const MQCFST*>(p), reason) != 0;
    case MQCFT_INTEGER_LIST:
      if (s.Word(3) < 0 || s.Word(3) > static_cast<MQLONG>((s.bytes.size() - MQCFIL_STRUC_LENGTH_FIXED) / 4)) break;
      return MqcfilToMqsc(static_cast<const MQCFIL*>(p), reason) != 0;
    case MQCFT_STRING_LIST: {
      // MQCFSL: Type, StrucLength, Parameter, CodedCharSetId, Count, StringLength, Strings.
      int64_t room = static_cast<int64_t>(s.Word(4)) * s.Word(5);
      if (s.Word(4) < 0 || s.Word(5) < 0 ||
          room > static_cast<int64_t>(s.bytes.size() - MQCFSL_STRUC_LENGTH_FIXED))
        break;
      return MqcfslToMqsc(static_cast<const MQCFSL*>(p), reason) != 0;
    }
    default:
      break;
  }
  *reason = MQSC_RC_BAD_TYPE;
  return false;
}

// A queue command writes only keywords that IBM's command for its queue type takes
// (no TARGQ on DEFINE QLOCAL): a set row for another type fails the translation.
bool QueueTypeFits(const MQSCKEY* command, MQLONG* reason) {
  MQSCRULE* rule = command->pRule;
  if (rule == nullptr || rule[0].lKind == MQSC_RULE_END || rule[1].lKind == MQSC_RULE_END) return true;
  const MQSCKEY* type = rule[1].pEntry;
  if (type->lId != MQIA_Q_TYPE || type->pszKeyword[0] != '\0' || !type->lSet || type->value.pKey == nullptr) return true;
  int64_t qtype = type->value.pKey->lId;
  const MQSCRULE* end = rule;
  while (end->lKind != MQSC_RULE_END) ++end;
  for (const mqsc::QueueTypeRow* q = mqsc::kQueueTypeRows; q->row != nullptr; ++q) {
    // Rows of other rule tables are skipped (compared as addresses, not dereferenced).
    if (std::less<const MQSCRULE*>()(q->row, rule) || !std::less<const MQSCRULE*>()(q->row, end)) continue;
    if (!q->row->pEntry->lSet) continue;
    if (qtype >= 0 && qtype < 31 && (q->types & (1 << qtype)) == 0) {
      *reason = mqsc::kRcNoKeyword;
      return false;
    }
  }
  return true;
}

int Fail(MQLONG* reason, MQLONG* count, MQLONG code, MQLONG position) {
  *reason = code;
  if (count != nullptr) *count = position;
  return 0;
}

void AppendWhere(std::span<const char> image, MQSCTEXT* out, MQLONG* reason) {
  PcfWalk walk(image);
  while (auto s = walk.Next()) {
    if (s->position == 0 || s->Type() != MQCFT_STRING_FILTER || s->Parameter() != kAltDateParam) continue;
    MQLONG length = s->Word(5);
    if (!mqsc::StringFits(*s, MQCFSF_STRUC_LENGTH_FIXED, length)) return;
    char clause[64];
    std::string value(s->bytes.data() + MQCFSF_STRUC_LENGTH_FIXED, static_cast<size_t>(length));
    std::snprintf(clause, sizeof clause, kWhereClause, value.c_str());
    if (!Append(out, clause) && *reason == 0) *reason = MQSC_RC_NO_ROOM;
    return;
  }
}

MQLONG TranslateEscape(std::span<const char> image, MQSCTEXT* out) {
  auto type = mqsc::FindInt(image, kEscapeTypeParam);
  if (!type || *type != MQET_MQSC) return MQRCCF_ESCAPE_TYPE_ERROR;
  auto text = mqsc::FindStr(image, kEscapeTextParam);
  if (!text) return MQRCCF_PARM_COUNT_TOO_SMALL;
  size_t n = std::min(text->size(), static_cast<size_t>(out->lCapacity));
  std::memcpy(out->pText, text->data(), n);
  out->lLength = static_cast<MQLONG>(n);
  return 0;
}

// The first present object name of a response, with its MQSC object type.
struct ObjectName {
  MQLONG parameter;
  const char* type;
};
constexpr ObjectName kObjectNames[] = {
    {MQCA_Q_NAME, "QUEUE"},          {MQCACH_CHANNEL_NAME, "CHANNEL"}, {MQCA_PROCESS_NAME, "PROCESS"},
    {MQCA_AUTH_INFO_NAME, "AUTHINFO"}, {MQCA_NAMELIST_NAME, "NAMELIST"}, {MQCACH_LISTENER_NAME, "LISTENER"},
    {MQCA_SERVICE_NAME, "SERVICE"},  {MQCA_Q_MGR_NAME, "QMGR"},
};

std::string FirstWord(std::optional<std::string_view> v, size_t max) {
  if (!v) return {};
  std::string_view s = v->substr(0, std::min(max, v->size()));
  size_t end = s.find_first_of(std::string_view(" \0", 2));
  return std::string(s.substr(0, end));
}

}  // namespace

extern "C" {

VRQAPI_API int MqcfhToMqsc(const MQCFH* cfh, MQLONG* reason) {
  if (cfh == nullptr || reason == nullptr) return 0;
  MQLONG command = cfh->Command;
  MQSCKEY* e = tblSearch(GetCmdTbl(), 1, &command);
  if (e == nullptr || e->lType != MQSC_TYPE_COMMAND) {
    *reason = MQSC_RC_NOT_FOUND;
    return 0;
  }
  if (e->pRule == nullptr) {
    *reason = MQSC_RC_NO_RULE;
    return 0;
  }
  mqsc::ClearRule(e->pRule);
  g_rule = e->pRule;
  e->lSet = 1;
  return 1;
}

VRQAPI_API int MqcfinToMqsc(const MQCFIN* cfin, MQLONG* reason) {
  if (cfin == nullptr || reason == nullptr) return 0;
  MQSCKEY* e = ValueEntry(cfin->Parameter, reason);
  return e != nullptr && KeepInt(e, cfin->Value, reason) ? 1 : 0;
}

VRQAPI_API int MqcfstToMqsc(const MQCFST* cfst, MQLONG* reason) {
  if (cfst == nullptr || reason == nullptr) return 0;
  MQSCKEY* e = ValueEntry(cfst->Parameter, reason);
  if (e == nullptr) return 0;
  std::string_view value(cfst->String, static_cast<size_t>(std::max<MQLONG>(cfst->StringLength, 0)));
  if (e->lType == MQSC_TYPE_STR) {
    tblSetValue(e, value.data(), static_cast<int>(value.size()));
  } else if (e->lType == MQSC_TYPE_STRLIST) {
    // One string given for a list keyword is a list of one item, quoted like any other.
    std::string item = "'" + Quoted(TrimRight(value), "'%s'") + "'";
    if (TrimRight(value).empty()) item = "' '";
    tblSetValue(e, item.c_str(), static_cast<int>(item.size()));
  } else {
    *reason = MQSC_RC_BAD_TYPE;
    return 0;
  }
  e->lSet = 1;
  return 1;
}

VRQAPI_API int StrListToMqsc(const MQCFSL* cfsl, char* out, MQLONG room) {
  if (cfsl == nullptr || out == nullptr || room <= 0) return 0;
  std::string text;
  int joined = 0;
  for (MQLONG i = 0; i < cfsl->Count; ++i) {
    std::string_view item(cfsl->Strings + static_cast<size_t>(i) * cfsl->StringLength,
                          static_cast<size_t>(cfsl->StringLength));
    item = item.substr(0, std::min(item.size(), kListItemMax));
    item = item.substr(0, item.find_first_of(std::string_view(" \0", 2)));
    if (item.empty()) continue;
    if (joined++ > 0) text += ", ";
    text += '\'';
    text += Quoted(item, "'%s'");
    text += '\'';
  }
  size_t n = std::min(text.size(), static_cast<size_t>(room - 1));
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return joined;
}

VRQAPI_API int MqcfslToMqsc(const MQCFSL* cfsl, MQLONG* reason) {
  if (cfsl == nullptr || reason == nullptr) return 0;
  MQSCKEY* e = ValueEntry(cfsl->Parameter, reason);
  if (e == nullptr) return 0;
  if (e->lType != MQSC_TYPE_STRLIST) {
    *reason = MQSC_RC_BAD_TYPE;
    return 0;
  }
  // A list without names clears the keyword: MQSC writes that as one blank name. Strings of
  // no length are all empty, however many the count claims.
  std::string text = "' '";
  if (cfsl->StringLength > 0 && cfsl->Count > 0) {
    size_t per = std::min(static_cast<size_t>(cfsl->StringLength), kListItemMax) * 2 + 4;
    size_t room = static_cast<size_t>(cfsl->Count) * per + 1;
    std::string joined(room, '\0');
    if (StrListToMqsc(cfsl, joined.data(), static_cast<MQLONG>(std::min<size_t>(room, INT32_MAX))) > 0) text = joined.c_str();
  }
  tblSetValue(e, text.c_str(), static_cast<int>(std::strlen(text.c_str())));
  e->lSet = 1;
  return 1;
}

VRQAPI_API int MqcfilToMqsc(const MQCFIL* cfil, MQLONG* reason) {
  if (cfil == nullptr || reason == nullptr) return 0;
  MQSCRULE* own = mqsc::ValueRow(g_rule, cfil->Parameter);
  if (own != nullptr) {
    MQSCKEY* e = own->pEntry;
    if (e->lType == MQSC_TYPE_ENUMLIST || e->lType == MQSC_TYPE_INTLIST) return KeepIntList(e, cfil, reason) ? 1 : 0;
    *reason = MQSC_RC_BAD_TYPE;
    return 0;
  }
  // Otherwise every value selects an attribute, written as its bare keyword. An attribute
  // whose keyword is a filter of the command (TYPE, CHLDISP, QSGDISP) is in every response
  // without being asked for; any other attribute MQSC cannot ask for stops the translation.
  for (MQLONG i = 0; i < cfil->Count; ++i) {
    MQLONG selector = cfil->Values[i];
    if (MQSCRULE* row = mqsc::SelectorRow(g_rule, selector)) {
      row->pEntry->lSet = 1;
    } else if (mqsc::ValueRow(g_rule, selector) == nullptr) {
      *reason = mqsc::kRcNoKeyword;
      return 0;
    }
  }
  return 1;
}

VRQAPI_API int EmitMqscToken(MQSCRULE* row, MQSCTEXT* out, int /*continuation*/, MQLONG* reason) {
  if (row == nullptr || row->pEntry == nullptr || out == nullptr || reason == nullptr) return 0;
  std::string token;
  if (!TokenText(row, &token, reason)) return 0;
  out->lLength = 0;
  if (!Append(out, token)) {
    *reason = MQSC_RC_NO_ROOM;
    return 0;
  }
  return 1;
}

VRQAPI_API int EmitMqscMsg(MQSCKEY* command, MQSCTEXT* out, int continuation, MQLONG* reason) {
  if (reason == nullptr || out == nullptr) return 0;
  if (command == nullptr || command->lType != MQSC_TYPE_COMMAND) {
    *reason = MQSC_RC_NOT_FOUND;
    return 0;
  }
  if (command->pRule == nullptr) {
    *reason = MQSC_RC_NO_RULE;
    return 0;
  }
  out->lLength = 0;
  std::string joiner;
  std::string token;
  int written = 0;
  for (MQSCRULE* row = command->pRule; row->lKind != MQSC_RULE_END; ++row) {
    MQSCKEY* e = row->pEntry;
    if (row->lKind == mqsc::kRuleResponseOnly) continue;
    if (!e->lSet) {
      if (row->lKind == MQSC_RULE_REQUIRED) {
        *reason = MQSC_RC_MISSING;
        return 0;
      }
      continue;
    }
    if (!TokenText(row, &token, reason)) return 0;
    std::string piece = joiner;
    if (continuation && ++written >= kFirstContinuedToken) piece += kContinuation;
    piece += token;
    if (!Append(out, piece)) {
      *reason = MQSC_RC_NO_ROOM;
      return 0;
    }
    e->lSet = 0;
    joiner = row->lJoiner == kJoinNone ? "" : std::string(1, static_cast<char>(row->lJoiner));
  }
  *reason = 0;
  return 1;
}

VRQAPI_API int PcfToMqsc(const void* pcf, MQLONG length, MQSCTEXT* out, int continuation,
                         MQLONG* reason, MQLONG* count) {
  if (reason == nullptr) return 0;
  if (pcf == nullptr || out == nullptr || length < 0) return Fail(reason, count, MQSC_RC_BAD_TYPE, 0);
  g_rule = nullptr;
  MQSCKEY* command = nullptr;
  PcfWalk walk({static_cast<const char*>(pcf), static_cast<size_t>(length)});
  int result = 1;
  while (auto s = walk.Next()) {
    if (s->position == 0) {
      const auto* cfh = reinterpret_cast<const MQCFH*>(s->bytes.data());
      if (!MqcfhToMqsc(cfh, reason)) {
        result = Fail(reason, count, *reason, 0);
        break;
      }
      MQLONG code = cfh->Command;
      command = tblSearch(GetCmdTbl(), 1, &code);
      continue;
    }
    if (!WalkStructure(*s, reason)) {
      result = Fail(reason, count, *reason, s->position);
      break;
    }
  }
  if (result && walk.bad()) result = Fail(reason, count, MQSC_RC_BAD_TYPE, walk.position());
  if (result && command != nullptr && !QueueTypeFits(command, reason)) result = Fail(reason, count, *reason, 0);
  if (result) result = EmitMqscMsg(command, out, continuation, reason);
  // Nothing kept for this command outlives it, whether it was written or not.
  mqsc::ClearRule(g_rule);
  return result;
}

VRQAPI_API int PcfCorrection(PcfMessage* pcf) {
  std::span<const char> image = mqsc::Image(pcf);
  if (image.size() < MQCFH_STRUC_LENGTH) return 0;
  MQLONG command = pcf->pPcfHdr != nullptr ? pcf->pPcfHdr->Command : 0;
  if (command != MQCMD_INQUIRE_Q && command != MQCMD_INQUIRE_Q_NAMES) return 1;
  PcfWalk walk(image);
  while (auto s = walk.Next()) {
    if (s->position == 0 || s->Type() != MQCFT_INTEGER || s->Parameter() != MQIA_Q_TYPE || s->Word(3) != MQQT_ALL)
      continue;
    MQLONG neutral = 0;
    std::memcpy(const_cast<char*>(s->bytes.data()), &neutral, sizeof neutral);
  }
  return 1;
}

VRQAPI_API MQLONG vrqPcf2Mqsc(PcfMessage* pcf, PcfMessage* text, int continuation, MQLONG* status,
                              MQLONG* reason, MQLONG* count) {
  MQLONG ignoredStatus = 0, ignoredReason = 0, ignoredCount = 0;
  if (status == nullptr) status = &ignoredStatus;
  if (reason == nullptr) reason = &ignoredReason;
  if (count == nullptr) count = &ignoredCount;
  *status = MQCC_FAILED;
  *reason = 0;
  *count = 0;
  if (text == nullptr || text->PcfMsg.pData == nullptr || text->PcfMsg.lMaxLength < kMdHdrLength) {
    *reason = MQSC_RC_NO_ROOM;
    return *reason;
  }
  MQSCTEXT out{text->PcfMsg.pData, text->PcfMsg.lMaxLength - kMdHdrLength, 0};
  std::span<const char> image = mqsc::Image(pcf);
  if (image.size() < MQCFH_STRUC_LENGTH) {
    *reason = MQSC_RC_BAD_TYPE;
  } else {
    PcfCorrection(pcf);
    MQLONG command = 0;
    std::memcpy(&command, image.data() + offsetof(MQCFH, Command), sizeof command);
    if (command == MQCMD_ESCAPE) {
      *reason = TranslateEscape(image, &out);
    } else {
      PcfToMqsc(image.data(), static_cast<MQLONG>(image.size()), &out, continuation, reason, count);
    }
    AppendWhere(image, &out, reason);
  }
  std::memcpy(text->PcfMsg.MsgDesc.Format, kStringFormat, MQ_FORMAT_LENGTH);
  if (*reason != 0) return *reason;
  if (out.lLength < out.lCapacity) out.pText[out.lLength] = '\0';
  text->PcfMsg.lMsgLength = kMdHdrLength + out.lLength;
  *status = MQCC_OK;
  *count = 0;
  return 0;
}

VRQAPI_API char* ConvertOpStr(MQLONG op, char* out) {
  if (out == nullptr) return out;
  out[0] = '\0';
  for (const auto& o : kOperators) {
    if (o.op == op) std::strcpy(out, o.name);
  }
  return out;
}

VRQAPI_API int IsAlterDateRecent2(time_t discoveryStart, PcfMessage* response, const char* qmgr, int debug) {
  const char* name = qmgr != nullptr ? qmgr : "";
  if (debug) std::printf("DBG...IsAlterDateRecent: QMGR(%s), entry\n", name);
  if (response == nullptr || discoveryStart == 0 || qmgr == nullptr) {
    if (debug)
      std::printf(
          "DBG...IsAlterDateRecent: One of these params is 0:  pPcfMsg %p, tDiscovStart %d, pszQMgr %p for "
          "QMGR(%s), return true  as if alter date is recent.\n",
          static_cast<void*>(response), static_cast<int>(discoveryStart), static_cast<const void*>(qmgr), name);
    return 1;
  }
  // The library runs single-threaded, so the C library's shared time buffers are safe and
  // the same calls serve both platforms.
  const struct tm* converted = std::localtime(&discoveryStart);
  if (converted == nullptr) return 1;
  struct tm local = *converted;
  char startDate[48], startTime[48];
  std::snprintf(startDate, sizeof startDate, "%4d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  std::snprintf(startTime, sizeof startTime, "%02d.%02d.%02d", local.tm_hour, local.tm_min, local.tm_sec);

  std::span<const char> image = mqsc::Image(response);
  std::string altDate = FirstWord(mqsc::FindStr(image, kAltDateParam), 12);
  std::string altTime = FirstWord(mqsc::FindStr(image, kAltTimeParam), 8);
  int result = 1;
  if (!altDate.empty() && !altTime.empty()) {
    int byDate = altDate.compare(startDate);
    result = byDate > 0 ? 1 : byDate < 0 ? 0 : (altTime.compare(startTime) < 0 ? 0 : 1);
    if (debug) {
      const char* type = "*unknown*";
      std::string object = "*unknown*";
      for (const auto& o : kObjectNames) {
        if (auto v = mqsc::FindStr(image, o.parameter)) {
          type = o.type;
          object = std::string(TrimRight(*v));
          break;
        }
      }
      MQLONG command = response->pPcfHdr != nullptr ? response->pPcfHdr->Command : 0;
      time_t now = std::time(nullptr);
      const char* today = std::ctime(&now);
      if (today == nullptr) today = "";
      std::printf(
          "%sDBG...IsAlterDateRecent: \n\tQMGR<%s>  Reply to Command <%d>=<%s>\n\tObjType <%s>: ObjName <%s>, "
          "return <%s> \n\tObjAltDate     <%s>, ObjAltTime     <%s> \n\tLastDiscovDate <%s>, LastDiscovTime <%s> "
          "\n\n",
          today, name, static_cast<int>(command), PcfIdToName(command), type, object.c_str(),
          result ? "NEW ALTERATION, INCL DISCOVERY" : "OLD ALTERATION, SKIP DISCOVERY", altDate.c_str(),
          altTime.c_str(), startDate, startTime);
    }
  } else if (debug) {
    std::printf("DBG...IsAlterDateRecent: The PCF msg for QMGR(%s) has no alter date or time:\n", name);
    std::fflush(stdout);
    PrintPcfMessage(response);
  }
  if (debug) std::printf("DBG...IsAlterDateRecent: QMGR(%s), exit, return %d\n", name, result);
  return result;
}

}  // extern "C"

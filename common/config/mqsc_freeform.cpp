// The free-form z/OS responses that carry no keyword(value) pairs: SET LOG, DISPLAY LOG
// (initial and current parameters and the archive log table) and DISPLAY GROUP (the group
// name, the member table and the second table). Each call reads one response line,
// appends its columns to the PCF response under the toolkit's own parameter identifiers,
// and keeps the table state between calls.
#include <cmqc.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mqsc_internal.h"

namespace {

using Words = std::vector<std::string_view>;

constexpr std::string_view kWordBreaks("\n\r \0", 4);

// Parameters of the DISPLAY GROUP tables.
constexpr MQLONG kMemberName = 20911;
constexpr MQLONG kMemberNumber = 20912;
constexpr MQLONG kMemberSubsys = 20913;
constexpr MQLONG kMemberState = 20914;
constexpr MQLONG kMemberColumn5 = 20915;
constexpr MQLONG kMemberColumn6 = 20916;
constexpr MQLONG kMemberConnection = 20917;
constexpr MQLONG kEntryName = 20918;
constexpr MQLONG kEntryValue1 = 20919;
constexpr MQLONG kEntryValue2 = 20920;
constexpr MQLONG kEntryState = 20921;
constexpr MQLONG kEntryValue3 = 20922;
constexpr MQLONG kEntryValue4 = 20923;

struct NamedValue {
  std::string_view name;
  MQLONG value;
};
constexpr NamedValue kMemberStates[] = {{"ACTIVE", 1}, {"INACTIVE", 2}, {"FAILED", 3}, {"CREATED", 4}};
constexpr NamedValue kConnectionStates[] = {{"ACTIVE", 1}, {"PENDING", 2}, {"FAILED", 3}, {"INACTIVE", 4}};
constexpr NamedValue kValidity[] = {{"VALID", 1}, {"INVALID", 2}};
constexpr NamedValue kArchiveStates[] = {{"B", 3}, {"P", 2}, {"A", 1}};

template <size_t N>
MQLONG ValueOf(const NamedValue (&table)[N], std::string_view name) {
  for (const auto& row : table) {
    if (row.name == name) return row.value;
  }
  return 0;
}

// Whether the archive table of DISPLAY LOG is being read, and the DISPLAY GROUP state (0 to 4).
bool g_inArchiveTable = false;
int g_groupState = 0;

Words Split(const char* line) {
  Words words;
  std::string_view text = line != nullptr ? std::string_view(line) : std::string_view();
  size_t i = 0;
  while (i < text.size()) {
    size_t start = text.find_first_not_of(kWordBreaks, i);
    if (start == std::string_view::npos) break;
    size_t end = text.find_first_of(kWordBreaks, start);
    if (end == std::string_view::npos) end = text.size();
    words.push_back(text.substr(start, end - start));
    i = end;
  }
  return words;
}

std::string_view Word(const Words& w, size_t n) { return n >= 1 && n <= w.size() ? w[n - 1] : std::string_view(); }

MQLONG Number(std::string_view text) { return static_cast<MQLONG>(std::strtol(std::string(text).c_str(), nullptr, 10)); }

// The number after "name=" in a word that begins so.
std::optional<MQLONG> Setting(std::string_view word, std::string_view name) {
  if (!word.starts_with(name)) return std::nullopt;
  return Number(word.substr(name.size()));
}

// Collects the call's outcome and appends parameters until one cannot be appended.
class Line {
 public:
  Line(PcfMessage* pcf, MQLONG* status, MQLONG* reason, MQLONG* count)
      : pcf_(pcf), status_(status ? status : &dummy_), reason_(reason ? reason : &dummy_), count_(count ? count : &dummy_) {
    *status_ = MQCC_FAILED;
    *reason_ = MQSC_RC_FREE_FORM;
    *count_ = 0;
  }
  bool Int(MQLONG parameter, MQLONG value) {
    MESSAGE attr{};
    return Append(CreatePcfIntAttr(&attr, parameter, value), &attr);
  }
  bool Str(MQLONG parameter, std::string_view value) {
    MESSAGE attr{};
    return Append(CreatePcfStrAttr(&attr, parameter, std::string(value).c_str()), &attr);
  }
  int Accept() {
    if (failed_) return 0;
    *status_ = MQCC_OK;
    *reason_ = 0;
    return 1;
  }
  int Reject() { return 0; }

 private:
  bool Append(int created, MESSAGE* attr) {
    if (failed_) return false;
    bool ok = created && pcf_ != nullptr && AppendAttr(pcf_, attr);
    DeleteMessage(attr);
    if (!ok) {
      failed_ = true;
      *reason_ = MQSC_RC_NO_ROOM;
      return false;
    }
    ++*count_;
    return true;
  }
  PcfMessage* pcf_;
  MQLONG dummy_ = 0;
  MQLONG* status_;
  MQLONG* reason_;
  MQLONG* count_;
  bool failed_ = false;
};

int ReadSettings(Line& line, const Words& w, size_t first, MQLONG maxrtu, MQLONG deallct) {
  auto rtu = Setting(Word(w, first), "MAXRTU=");
  auto dea = Setting(Word(w, first + 1), "DEALLCT=");
  if (!rtu || !dea) return line.Reject();
  if (!line.Int(maxrtu, *rtu) || !line.Int(deallct, *dea)) return 0;
  return line.Accept();
}

}  // namespace

extern "C" {

VRQAPI_API int MqscToPcfSetLog(const char* text, PcfMessage* pcf, MQLONG* status, MQLONG* reason, MQLONG* count) {
  Line line(pcf, status, reason, count);
  Words w = Split(text);
  if (Word(w, 1) != "CSQJ337I") return line.Accept();
  return ReadSettings(line, w, 6, MQSC_LOG_MAXRTU_CURRENT, MQSC_LOG_DEALLCT_CURRENT);
}

VRQAPI_API int MqscToPcfDisplayLog(const char* text, PcfMessage* pcf, MQLONG* status, MQLONG* reason,
                                   MQLONG* count) {
  Line line(pcf, status, reason, count);
  Words w = Split(text);
  std::string_view w1 = Word(w, 1), w2 = Word(w, 2);
  if (w1 == "Initial" && w2 == "parameters:")
    return ReadSettings(line, w, 3, MQSC_LOG_MAXRTU_INITIAL, MQSC_LOG_DEALLCT_INITIAL);
  if (w1 == "Current" && w2 == "parameters:")
    return ReadSettings(line, w, 3, MQSC_LOG_MAXRTU_CURRENT, MQSC_LOG_DEALLCT_CURRENT);
  if (w1 == "End" && w2 == "of") {
    g_inArchiveTable = false;
    return line.Accept();
  }
  if (!g_inArchiveTable) {
    if (w1 == "----" && w2 == "--") g_inArchiveTable = true;
    return line.Accept();
  }
  if (w1 == "No" && w2 == "tape") {
    g_inArchiveTable = false;
    return line.Accept();
  }
  if (w.size() > 4) {
    if (!line.Str(MQSC_ARCH_VOLUME, w1) || !line.Int(MQSC_ARCH_STATE, ValueOf(kArchiveStates, w2.substr(0, 1))) ||
        !line.Str(MQSC_ARCH_FIELD3, Word(w, 3)) || !line.Str(MQSC_ARCH_FIELD4, Word(w, 4)) ||
        !line.Str(MQSC_ARCH_FIELD5, Word(w, 5)))
      return 0;
  }
  return line.Accept();
}

VRQAPI_API int MqscToPcfDisplayGroup(const char* text, PcfMessage* pcf, MQLONG* status, MQLONG* reason,
                                     MQLONG* count) {
  Line line(pcf, status, reason, count);
  Words w = Split(text);
  std::string_view w1 = Word(w, 1), w2 = Word(w, 2);
  if (w1 == "CSQ5100I" || w1 == "CSQ9022I") {
    g_groupState = 0;
  } else if (w1 == "CSQ5102I") {
    if (!line.Str(MQSC_GROUP_NAME, Word(w, 7))) return 0;
    g_groupState = 1;
  } else if (w1 == "CSQ5103I") {
    g_groupState = 3;
  }
  if (w1 == "Name" && (g_groupState == 1 || g_groupState == 3)) {
    ++g_groupState;
    return line.Accept();
  }
  if (g_groupState != 2 && g_groupState != 4) return line.Accept();
  if ((w1 == "End" && w2 == "of") || (w1 == "Report" && (w2 == "terminated," || w2 == "terminate,"))) {
    g_groupState = 0;
    return line.Accept();
  }
  if (g_groupState == 2 && w.size() > 6) {
    if (!line.Str(kMemberName, w1) || !line.Str(kMemberNumber, w2) || !line.Str(kMemberSubsys, Word(w, 3)) ||
        !line.Int(kMemberState, ValueOf(kMemberStates, Word(w, 4))) || !line.Str(kMemberColumn5, Word(w, 5)) ||
        !line.Str(kMemberColumn6, Word(w, 6)) || !line.Int(kMemberConnection, ValueOf(kConnectionStates, Word(w, 7))))
      return 0;
  } else if (g_groupState == 4 && w.size() > 5) {
    size_t next = 5;
    MQLONG validity = ValueOf(kValidity, Word(w, 4));
    if (Word(w, 4) == "NOT" && Word(w, 5) == "FOUND") next = 6;
    if (!line.Str(kEntryName, w1) || !line.Int(kEntryValue1, Number(w2)) || !line.Int(kEntryValue2, Number(Word(w, 3))) ||
        !line.Int(kEntryState, validity) || !line.Int(kEntryValue3, Number(Word(w, next))) ||
        !line.Int(kEntryValue4, Number(Word(w, next + 1))))
      return 0;
  }
  return line.Accept();
}

}  // extern "C"

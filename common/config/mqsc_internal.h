// Pieces shared by the two MQSC translation directions: a bounds-checked walk over PCF
// structures, the translation codes, and clearing of a rule table's working values.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "vrqapi.h"

namespace mqsc {

// A rule row read from responses only (RESET QSTATS counters): never written to MQSC text.
constexpr int32_t kRuleResponseOnly = 3;

// A PCF parameter for which the command's MQSC form has no keyword (or only a keyword a
// response carries): the translation stops rather than leave it out of the text.
constexpr MQLONG kRcNoKeyword = MQSC_RC_NO_KEYWORD;

// The queue types (bit n for MQQT n) whose IBM command takes the keyword of a row of a
// queue command's rule table, generated with the tables; ends with a null row.
struct QueueTypeRow {
  const MQSCRULE* row;
  int32_t types;
};
extern const QueueTypeRow kQueueTypeRows[];

// Integer keywords whose MQSC form names some numbers: EXPIRY(UNLIMITED), KAINT(AUTO),
// EXPRYINT(OFF), MAXPROPL(NOLIMIT), MARKINT(NOLIMIT).
struct NamedNumber {
  MQLONG parameter;
  MQLONG value;
  const char* name;
};
inline constexpr NamedNumber kNamedNumbers[] = {
    {MQIACF_EXPIRY, -1, "UNLIMITED"},
    {MQIACH_KEEP_ALIVE_INTERVAL, -1, "AUTO"},
    {MQIA_EXPIRY_INTERVAL, 0, "OFF"},
    {MQIA_MAX_PROPERTIES_LENGTH, -1, "NOLIMIT"},
    {MQIA_MSG_MARK_BROWSE_INTERVAL, -1, "NOLIMIT"},
};

inline const char* NumberName(MQLONG parameter, MQLONG value) {
  for (const auto& n : kNamedNumbers)
    if (n.parameter == parameter && n.value == value) return n.name;
  return nullptr;
}

inline bool NumberByName(MQLONG parameter, std::string_view name, MQLONG* value) {
  for (const auto& n : kNamedNumbers) {
    if (n.parameter == parameter && name == n.name) {
      *value = n.value;
      return true;
    }
  }
  return false;
}

// The rule row that writes a PCF parameter's value (or a flag) for a request, the row that
// writes it as a DISPLAY selector, or none.
MQSCRULE* ValueRow(MQSCRULE* rule, MQLONG parameter);
MQSCRULE* SelectorRow(MQSCRULE* rule, MQLONG parameter);

// One PCF structure seen by the walk: its bytes (StrucLength of them) and position
// (0 the MQCFH, 1.. the parameters).
struct Structure {
  std::span<const char> bytes;
  int position = 0;

  MQLONG Word(size_t index) const {
    MQLONG v = 0;
    if ((index + 1) * 4 <= bytes.size()) std::memcpy(&v, bytes.data() + index * 4, 4);
    return v;
  }
  MQLONG Type() const { return Word(0); }
  MQLONG Parameter() const { return Word(2); }
};

// Walks the MQCFH and its ParameterCount structures of a PCF image, checking that every
// StrucLength is at least the fixed part of its type, a multiple of 4 and inside the image.
class PcfWalk {
 public:
  explicit PcfWalk(std::span<const char> image) : image_(image) {}

  // The next structure, or nothing at the end; bad() tells a malformed image from the end.
  std::optional<Structure> Next();
  bool bad() const { return bad_; }
  int position() const { return position_; }

 private:
  std::span<const char> image_;
  size_t offset_ = 0;
  int position_ = 0;
  int remaining_ = -1;  // parameters still to come once the MQCFH is read
  bool bad_ = false;
};

// The minimum StrucLength of a structure type, or 8 for types without a fixed part known here.
MQLONG FixedLength(MQLONG type);

// Whether a string-carrying structure's declared length fits its StrucLength.
bool StringFits(const Structure& s, size_t header, MQLONG length);

// Clears the set flag and releases the kept value of every entry of a rule table.
void ClearRule(MQSCRULE* rule);

// Reads the first integer / string parameter with the identifier from a PCF image.
std::optional<MQLONG> FindInt(std::span<const char> image, MQLONG parameter);
std::optional<std::string_view> FindStr(std::span<const char> image, MQLONG parameter);

// The PCF image (MQCFH onwards) of a message: its used data.
std::span<const char> Image(PcfMessage* pcf);

}  // namespace mqsc

// The bounds-checked PCF walk and the rule-table housekeeping that both MQSC translation
// directions share.
#include "mqsc_internal.h"

namespace mqsc {

namespace {
constexpr MQLONG kHeaderLength = MQCFH_STRUC_LENGTH;
constexpr MQLONG kMdHdrLength = 136;
}  // namespace

MQLONG FixedLength(MQLONG type) {
  switch (type) {
    case MQCFT_COMMAND:
    case MQCFT_RESPONSE:
      return kHeaderLength;
    case MQCFT_INTEGER:
      return MQCFIN_STRUC_LENGTH;
    case MQCFT_STRING:
      return MQCFST_STRUC_LENGTH_FIXED;
    case MQCFT_INTEGER_LIST:
      return MQCFIL_STRUC_LENGTH_FIXED;
    case MQCFT_STRING_LIST:
      return MQCFSL_STRUC_LENGTH_FIXED;
    case MQCFT_INTEGER_FILTER:
      return MQCFIF_STRUC_LENGTH;
    case MQCFT_STRING_FILTER:
      return MQCFSF_STRUC_LENGTH_FIXED;
    default:
      return 8;
  }
}

bool StringFits(const Structure& s, size_t header, MQLONG length) {
  return length >= 0 && header + static_cast<size_t>(length) <= s.bytes.size();
}

std::optional<Structure> PcfWalk::Next() {
  if (bad_ || remaining_ == 0) return std::nullopt;
  if (image_.size() - offset_ < 8) {
    bad_ = true;
    return std::nullopt;
  }
  Structure probe{image_.subspan(offset_, 8), position_};
  MQLONG type = probe.Type();
  MQLONG length = probe.Word(1);
  if (remaining_ < 0 && type != MQCFT_COMMAND && type != MQCFT_RESPONSE && type != MQCFT_COMMAND_XR &&
      type != MQCFT_XR_MSG && type != MQCFT_XR_ITEM && type != MQCFT_XR_SUMMARY)
    type = -1;
  if (remaining_ < 0 && type >= 0) type = MQCFT_COMMAND;
  if (type < 0 || length < FixedLength(type) || length % 4 != 0 ||
      static_cast<size_t>(length) > image_.size() - offset_) {
    bad_ = true;
    return std::nullopt;
  }
  Structure s{image_.subspan(offset_, static_cast<size_t>(length)), position_};
  if (remaining_ < 0) {
    remaining_ = s.Word(8);
    if (remaining_ < 0) remaining_ = 0;
  } else {
    --remaining_;
  }
  offset_ += static_cast<size_t>(length);
  ++position_;
  return s;
}

void ClearRule(MQSCRULE* rule) {
  if (rule == nullptr) return;
  for (MQSCRULE* r = rule; r->lKind != MQSC_RULE_END; ++r) {
    MQSCKEY* e = r->pEntry;
    e->lSet = 0;
    if (e->lType == MQSC_TYPE_ENUM) {
      e->value.pKey = nullptr;
    } else if (e->lType == MQSC_TYPE_INT || e->lType == MQSC_TYPE_FLAG) {
      e->value.l = 0;
    } else {
      FreeMemory(e->value.psz);
      e->value.psz = nullptr;
    }
  }
}

std::optional<MQLONG> FindInt(std::span<const char> image, MQLONG parameter) {
  PcfWalk walk(image);
  while (auto s = walk.Next()) {
    if (s->position > 0 && s->Type() == MQCFT_INTEGER && s->Parameter() == parameter) return s->Word(3);
  }
  return std::nullopt;
}

std::optional<std::string_view> FindStr(std::span<const char> image, MQLONG parameter) {
  PcfWalk walk(image);
  while (auto s = walk.Next()) {
    if (s->position == 0 || s->Type() != MQCFT_STRING || s->Parameter() != parameter) continue;
    MQLONG length = s->Word(4);
    if (!StringFits(*s, MQCFST_STRUC_LENGTH_FIXED, length)) return std::nullopt;
    return std::string_view(s->bytes.data() + MQCFST_STRUC_LENGTH_FIXED, static_cast<size_t>(length));
  }
  return std::nullopt;
}

std::span<const char> Image(PcfMessage* pcf) {
  if (pcf == nullptr || pcf->PcfMsg.pData == nullptr || pcf->PcfMsg.lMsgLength <= kMdHdrLength) return {};
  return {pcf->PcfMsg.pData, static_cast<size_t>(pcf->PcfMsg.lMsgLength - kMdHdrLength)};
}

MQSCRULE* ValueRow(MQSCRULE* rule, MQLONG parameter) {
  if (rule == nullptr) return nullptr;
  for (MQSCRULE* r = rule + 1; r->lKind != MQSC_RULE_END; ++r) {
    const MQSCKEY* e = r->pEntry;
    if (r->lKind == kRuleResponseOnly || e->lId != parameter) continue;
    if (r->lWithValue == 1 || e->lType == MQSC_TYPE_FLAG) return r;
  }
  return nullptr;
}

MQSCRULE* SelectorRow(MQSCRULE* rule, MQLONG parameter) {
  if (rule == nullptr) return nullptr;
  for (MQSCRULE* r = rule + 1; r->lKind != MQSC_RULE_END; ++r) {
    if (r->lKind != kRuleResponseOnly && r->lWithValue == 2 && r->pEntry->lId == parameter) return r;
  }
  return nullptr;
}

}  // namespace mqsc

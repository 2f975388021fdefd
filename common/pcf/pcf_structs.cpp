// The parameter-structure check: IsPcfAttrValid decides for every reader whether the
// structure held by an attribute record (an owning MESSAGE or a view into a message) is
// consistent with the bytes that hold it.
#include <vrqapi.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include <cstdint>
#include <cstddef>
#include <cstring>
#include <span>

namespace {

static_assert(sizeof(EXCFBL) == EXCFBL_STRUC_LENGTH_FIXED);
static_assert(offsetof(EXCFBL, Count) == 16 && offsetof(EXCFBL, StringLength) == 20);
static_assert(sizeof(EXCFBIN) == EXCFBIN_STRUC_LENGTH_FIXED);
static_assert(offsetof(EXCFBIN, Reserved) == 12 && offsetof(EXCFBIN, StringLength) == 16);

// How a structure type's StrucLength is judged.
enum class Rule {
  kExact,      // S = L = fixed
  kList32,     // S = L = fixed + 4 x Count (Count at offset 12)
  kList64,     // S = L = fixed + 8 x Count (Count at offset 12)
  kString,     // aligned, S >= fixed + length word (at offset fixed - 4)
  kStringList, // aligned, S >= fixed + Count x StringLength (offsets 16 and 20)
  kGroup,      // S multiple of 4 and S = fixed; L not compared
  kHeader,     // aligned, S = fixed (the MQCFH types)
};

struct TypeRule {
  MQLONG type;
  Rule rule;
  int fixed;
};

constexpr TypeRule kRules[] = {
    {MQCFT_INTEGER, Rule::kExact, 16},
    {MQCFT_INTEGER_FILTER, Rule::kExact, 20},
    {MQCFT_INTEGER64, Rule::kExact, 24},
    {MQCFT_INTEGER_LIST, Rule::kList32, 16},
    {MQCFT_INTEGER64_LIST, Rule::kList64, 16},
    {MQCFT_STRING, Rule::kString, 20},
    {EXCFT_PCF, Rule::kString, 20},
    {EXCFT_BINARY, Rule::kString, 20},
    {MQCFT_BYTE_STRING, Rule::kString, 16},
    {MQCFT_STRING_FILTER, Rule::kString, 24},
    {MQCFT_STRING_LIST, Rule::kStringList, 24},
    {EXCFT_BYTE_STRING_LIST, Rule::kStringList, 24},
    {MQCFT_GROUP, Rule::kGroup, 16},
    {MQCFT_COMMAND, Rule::kHeader, 36},
    {MQCFT_RESPONSE, Rule::kHeader, 36},
    {MQCFT_EVENT, Rule::kHeader, 36},
    {MQCFT_USER, Rule::kHeader, 36},
    {MQCFT_TRACE_ROUTE, Rule::kHeader, 36},
    {MQCFT_REPORT, Rule::kHeader, 36},
    {MQCFT_COMMAND_XR, Rule::kHeader, 36},
    {MQCFT_XR_MSG, Rule::kHeader, 36},
    {MQCFT_XR_ITEM, Rule::kHeader, 36},
    {MQCFT_XR_SUMMARY, Rule::kHeader, 36},
    {MQCFT_STATISTICS, Rule::kHeader, 36},
    {MQCFT_ACCOUNTING, Rule::kHeader, 36},
};

const TypeRule* FindRule(MQLONG type) {
  for (const TypeRule& r : kRules)
    if (r.type == type) return &r;
  return nullptr;
}

// A 32-bit word at a byte offset, or -1 when the bytes do not reach it.
std::int64_t Word(std::span<const char> bytes, int offset) {
  if (offset < 0 || static_cast<std::size_t>(offset) + 4 > bytes.size()) return -1;
  MQLONG v;
  std::memcpy(&v, bytes.data() + offset, 4);
  return v;
}

bool Check(const TypeRule& r, std::span<const char> bytes, std::int64_t s, std::int64_t l) {
  bool aligned = s == l && s % 4 == 0;
  switch (r.rule) {
    case Rule::kExact:
      return s == l && s == r.fixed;
    case Rule::kList32:
    case Rule::kList64: {
      std::int64_t count = Word(bytes, 12);
      std::int64_t width = r.rule == Rule::kList32 ? 4 : 8;
      return count >= 0 && s == l && s == r.fixed + width * count;
    }
    case Rule::kString: {
      std::int64_t length = Word(bytes, r.fixed - 4);
      return aligned && length >= 0 && s >= r.fixed + length;
    }
    case Rule::kStringList: {
      std::int64_t count = Word(bytes, 16);
      std::int64_t length = Word(bytes, 20);
      return aligned && count >= 0 && length >= 0 && s >= r.fixed + count * length;
    }
    case Rule::kGroup:
      return s == r.fixed && l >= r.fixed;
    case Rule::kHeader:
      return aligned && s == r.fixed;
  }
  return false;
}

}  // namespace

extern "C" int IsPcfAttrValid(MESSAGE* attr) {
  if (attr == nullptr || attr->pData == nullptr) return 0;
  std::int64_t l = attr->lMsgLength - (attr->pMdHdr != nullptr ? MDHDR_LENGTH : 0);
  if (l < 8) return 0;
  std::span<const char> bytes(attr->pData, static_cast<std::size_t>(l));
  const TypeRule* rule = FindRule(static_cast<MQLONG>(Word(bytes, 0)));
  if (rule == nullptr) return 0;
  return Check(*rule, bytes, Word(bytes, 4), l) ? 1 : 0;
}

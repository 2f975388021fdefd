// Byte-order and text conversion of received messages: the MDHDR and MSHDRE headers
// (AlienToNative, AlienToNativeExt) and the PCF structures behind them
// (AlienPcfToNative, AlienPcfBufferToNative). The bytes come from another machine and
// are hostile: the walk never touches a byte outside the buffer or a structure's own
// StrucLength, whatever its words say, and ends at the first structure that does not fit.
#include "vrqapi.h"

#include <cmqc.h>
#include <cmqcfc.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace {

constexpr const char* kUnknownType =
    "AlienPcfBufferToNative: UNKNOWN PCF Type %d at Offset %d (MsgLen: %d)\n";
constexpr const char* kDoesNotFit =
    "AlienPcfBufferToNative: PCF Type %d at Offset %d does not fit (StrucLength %d, MsgLen: %d)\n";
constexpr const char* kTooShort =
    "AlienPcfBufferToNative: %d bytes at Offset %d too short for a PCF structure (MsgLen: %d)\n";
constexpr const char* kTooDeep =
    "AlienPcfBufferToNative: embedded PCF nested too deep, left unconverted\n";

// Embedded PCF (type 998) inside embedded PCF is converted recursively; the depth is
// bounded so that crafted input cannot exhaust the stack.
constexpr int kMaxEmbeddedDepth = 16;

// What follows the fixed words of a structure.
enum class Tail {
  kNone,
  kAddCount,     // MQCFH, MQCFGR: count word announces further structures
  kText,         // length word, then text
  kIntList,      // count word, then 32-bit values
  kInt64List,    // count word, then 64-bit values
  kInt64Value,   // one 64-bit value
  kStrList,      // count word, length word, then count strings
  kEmbeddedPcf,  // length word, then a PCF of its own
};

// One structure type: the length of its fixed part, the 32-bit words swapped (bit n =
// the word at offset 4n; Type and StrucLength are always swapped first) and its tail.
struct StrucRule {
  int type;
  int fixed;
  uint32_t swapWords;
  Tail tail;
  int countOffset;   // kAddCount, kIntList, kInt64List, kStrList
  int lengthOffset;  // kText, kStrList, kEmbeddedPcf
  int dataOffset;    // where the tail's data starts
};

constexpr uint32_t Words(std::initializer_list<int> offsets) {
  uint32_t mask = 0;
  for (int offset : offsets) mask |= 1u << (offset / 4);
  return mask;
}

constexpr uint32_t kCfhWords = Words({8, 12, 16, 20, 24, 28, 32});

constexpr std::array<StrucRule, 26> kRules = {{
    {MQCFT_COMMAND, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_RESPONSE, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_EVENT, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_USER, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_TRACE_ROUTE, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_REPORT, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_COMMAND_XR, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_XR_MSG, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_XR_ITEM, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_XR_SUMMARY, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_STATISTICS, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_ACCOUNTING, 36, kCfhWords, Tail::kAddCount, 32, 0, 0},
    {MQCFT_INTEGER, 16, Words({8, 12}), Tail::kNone, 0, 0, 0},
    {MQCFT_STRING, 20, Words({8, 12, 16}), Tail::kText, 0, 16, 20},
    {MQCFT_INTEGER_LIST, 16, Words({8, 12}), Tail::kIntList, 12, 0, 16},
    {MQCFT_STRING_LIST, 24, Words({8, 12, 16, 20}), Tail::kStrList, 16, 20, 24},
    {MQCFT_BYTE_STRING, 16, Words({8, 12}), Tail::kNone, 0, 0, 0},
    // Filters: Parameter, Operator and the value or its length are all words.
    {MQCFT_INTEGER_FILTER, 20, Words({8, 12, 16}), Tail::kNone, 0, 0, 0},
    {MQCFT_STRING_FILTER, 24, Words({8, 12, 16, 20}), Tail::kText, 0, 20, 24},
    {MQCFT_BYTE_STRING_FILTER, 20, Words({8, 12, 16}), Tail::kNone, 0, 0, 0},
    {MQCFT_GROUP, 16, Words({8, 12}), Tail::kAddCount, 12, 0, 0},
    {MQCFT_INTEGER64, 24, Words({8}), Tail::kInt64Value, 0, 0, 16},
    {MQCFT_INTEGER64_LIST, 16, Words({8, 12}), Tail::kInt64List, 12, 0, 16},
    {EXCFT_BYTE_STRING_LIST, 24, Words({8, 16, 20}), Tail::kNone, 0, 0, 0},
    {EXCFT_PCF, 20, Words({8, 12, 16}), Tail::kEmbeddedPcf, 0, 16, 20},
    {EXCFT_BINARY, 20, Words({8, 12, 16}), Tail::kNone, 0, 0, 0},
}};

// Types are small numbers (1..25) or the toolkit's 997..999: one slot per type, so that
// the walk finds a rule without searching.
constexpr int kSlots = 29;

constexpr int SlotOf(int type) {
  if (type > 0 && type <= 25) return type;
  if (type >= EXCFT_BYTE_STRING_LIST && type <= EXCFT_BINARY) return 26 + type - EXCFT_BYTE_STRING_LIST;
  return 0;
}

constexpr std::array<int8_t, kSlots> MakeRuleSlots() {
  std::array<int8_t, kSlots> slots{};
  slots.fill(-1);
  for (size_t i = 0; i < kRules.size(); ++i) slots[SlotOf(kRules[i].type)] = static_cast<int8_t>(i);
  return slots;
}

constexpr std::array<int8_t, kSlots> kRuleSlots = MakeRuleSlots();

const StrucRule* FindRule(int type) {
  const int slot = SlotOf(type);
  return slot == 0 || kRuleSlots[slot] < 0 ? nullptr : &kRules[static_cast<size_t>(kRuleSlots[slot])];
}

// Received bytes need not be aligned for an int: every access goes through memcpy.
int32_t Load32(const unsigned char* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Reverses bytes in place. Done here rather than through the exported bwlong/bwint64,
// which as interposable exports cost a call through the PLT for every word.
void Swap32(unsigned char* p) {
  std::swap(p[0], p[3]);
  std::swap(p[1], p[2]);
}

void Swap64(unsigned char* p) {
  std::reverse(p, p + 8);
}

// How many bytes of a tail declared as count x size fit in room; negative counts give 0.
int Clamp(int64_t count, int64_t size, int room) {
  if (count <= 0 || size <= 0 || room <= 0) return 0;
  return static_cast<int>(std::min<int64_t>(count * size, room));
}

struct Walk {
  int swap;
  int convert;
  int direction;
  int depth;
};

int64_t ConvertBuffer(unsigned char* bytes, int length, const Walk& walk);

// Converts the tail of one structure (its fixed words already swapped) and returns how
// many structures it announces.
int64_t ConvertTail(unsigned char* s, int strucLength, const StrucRule& rule, const Walk& walk) {
  switch (rule.tail) {
    case Tail::kNone:
      return 0;
    case Tail::kAddCount:
      return std::max(0, Load32(s + rule.countOffset));
    case Tail::kText:
      if (walk.convert) {
        const int n = Clamp(Load32(s + rule.lengthOffset), 1, strucLength - rule.dataOffset);
        TextConvert(s + rule.dataOffset, s + rule.dataOffset, n, walk.direction);
      }
      return 0;
    case Tail::kStrList:
      if (walk.convert) {
        const int n = Clamp(Load32(s + rule.countOffset), Load32(s + rule.lengthOffset),
                            strucLength - rule.dataOffset);
        TextConvert(s + rule.dataOffset, s + rule.dataOffset, n, walk.direction);
      }
      return 0;
    case Tail::kIntList:
      if (walk.swap) {
        const int n = Clamp(Load32(s + rule.countOffset), 4, strucLength - rule.dataOffset);
        for (int i = 0; i + 4 <= n; i += 4) Swap32(s + rule.dataOffset + i);
      }
      return 0;
    case Tail::kInt64List:
      if (walk.swap) {
        const int n = Clamp(Load32(s + rule.countOffset), 8, strucLength - rule.dataOffset);
        for (int i = 0; i + 8 <= n; i += 8) Swap64(s + rule.dataOffset + i);
      }
      return 0;
    case Tail::kInt64Value:
      if (walk.swap) Swap64(s + rule.dataOffset);
      return 0;
    case Tail::kEmbeddedPcf: {
      const int n = Clamp(Load32(s + rule.lengthOffset), 1, strucLength - rule.dataOffset);
      if (walk.depth >= kMaxEmbeddedDepth) {
        std::fputs(kTooDeep, stdout);
        return 0;
      }
      Walk inner = walk;
      ++inner.depth;
      ConvertBuffer(s + rule.dataOffset, n, inner);
      return 0;
    }
  }
  return 0;
}

// The walk over a sequence of structures: the MQCFH at the start and the structures it
// and its groups announce, or up to length, whichever ends first.
int64_t ConvertBuffer(unsigned char* bytes, int length, const Walk& walk) {
  int position = 0;
  int64_t expected = 1;
  while (position < length && expected != 0) {
    unsigned char* s = bytes + position;
    if (length - position < 8) {
      std::printf(kTooShort, length - position, position, length);
      break;
    }
    if (walk.swap) {
      Swap32(s);
      Swap32(s + 4);
    }
    const int type = Load32(s);
    const int strucLength = Load32(s + 4);
    const StrucRule* rule = FindRule(type);
    const int fixed = rule ? rule->fixed : 8;
    if (strucLength < fixed || strucLength > length - position) {
      std::printf(kDoesNotFit, type, position, strucLength, length);
      break;
    }
    position += strucLength;
    if (rule == nullptr) {
      std::printf(kUnknownType, type, position, length);
    } else {
      if (walk.swap) {
        for (int word = 2; word * 4 < rule->fixed; ++word) {
          if (rule->swapWords & (1u << word)) Swap32(s + 4 * word);
        }
      }
      expected += ConvertTail(s, strucLength, *rule, walk);
    }
    --expected;
  }
  return expected;
}

int LocalByteOrder() { return IsLtEndian() ? 0 : 1; }

// Direction of TextConvert that brings foreign text into the local character set.
int LocalDirection() { return IsAscText() ? 1 : 0; }

}  // namespace

extern "C" {

VRQAPI_API int AlienToNative(MESSAGE* msg) {
  if (msg == nullptr || msg->pMdHdr == nullptr) return 0;
  MDHDR* hdr = msg->pMdHdr;
  if (hdr->lByteOrder != LocalByteOrder()) {
    for (MQLONG* word : {&hdr->StrucLength, &hdr->lReserved1, &hdr->lByteOrder, &hdr->lTextCode,
                         &hdr->lUserMsgLength, &hdr->lReserved3, &hdr->lHdrMark}) {
      *word = static_cast<MQLONG>(bwlong(static_cast<uint32_t>(*word)));
    }
  }
  if (hdr->lTextCode != IsAscText()) {
    TextConvert(hdr->ApplName, hdr->ApplName, sizeof hdr->ApplName, LocalDirection());
    TextConvert(hdr->UserId, hdr->UserId, sizeof hdr->UserId, LocalDirection());
  }
  return VerifyMessage(msg);
}

VRQAPI_API int AlienToNativeExt(MSHDRE* ext) {
  if (ext == nullptr) return 0;
  if (ext->Encoding != LocalByteOrder()) {
    for (MQLONG* word : {&ext->StrucLength, &ext->Encoding, &ext->CharSet, &ext->UserMsgLength}) {
      *word = static_cast<MQLONG>(bwlong(static_cast<uint32_t>(*word)));
    }
  }
  if (ext->CharSet != IsAscText()) {
    TextConvert(ext->Author, ext->Author, sizeof ext->Author, LocalDirection());
  }
  return VerifyMessageExt(ext);
}

VRQAPI_API int AlienPcfBufferToNative(void* pBytes, int swap, int convert, int direction, int length) {
  if (pBytes == nullptr || length <= 0) return 1;
  ConvertBuffer(static_cast<unsigned char*>(pBytes), length, Walk{swap, convert, direction, 0});
  return 1;
}

VRQAPI_API int AlienPcfToNative(PcfMessage* msg) {
  if (msg == nullptr || msg->PcfMsg.pMdHdr == nullptr || msg->PcfMsg.pData == nullptr) return 0;
  MDHDR* hdr = msg->PcfMsg.pMdHdr;
  // Convert only bytes the message holds, whatever the header announces.
  const int held = std::min(msg->PcfMsg.lMsgLength, msg->PcfMsg.lMaxLength) - MDHDR_LENGTH;
  const int length = std::min(static_cast<int>(hdr->lUserMsgLength), held);
  const int swap = hdr->lByteOrder != LocalByteOrder() ? 1 : 0;
  const int convert = hdr->lTextCode != IsAscText() ? 1 : 0;
  const int result = AlienPcfBufferToNative(msg->PcfMsg.pData, swap, convert, IsAscText(), length);
  if (result) hdr->lByteOrder = LocalByteOrder();
  return result;
}

}  // extern "C"

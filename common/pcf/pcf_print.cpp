// Diagnostic listings of PCF messages on standard output: one block per structure
// (PrintPcfMessage, PrintPcfAttr, PrintPcfExt) and raw dumps with a hexadecimal listing
// (DumpPcfMessage, DumpHexMessage). A block is chosen from one table by the structure's
// Type; every value is read through the attribute getters after the attribute check, so
// a structure whose words disagree with its length is reported as unprintable rather
// than read past its end.
#include "vrqapi.h"

#include <cmqc.h>
#include <cmqcfc.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr int kWorkRoom = 1024;          // at most this many bytes of a value are shown
constexpr int kMessageWorkRoom = 32000;  // first size of the record a message is printed through
constexpr int kGroupWorkRoom = 1024;

constexpr const char* kDateFormat = "\nDate: %s";
constexpr const char* kExtTitle = "\nPCF Header Extension (MSHDRE):";
constexpr const char* kExtLines =
    "->StrucLength(%d), Version(%d),\n->Encoding(%d), CharSet(%d),\n->UserMsgLength(%d), Author(\"%.*s\")\n";
constexpr const char* kUnknown = "UNKNOWN PCF Attribute(%d): unable to print\n";
constexpr const char* kListEnd = "};";
constexpr const char* kStringListOpen = "->String List\n{";

constexpr const char* kDumpBegin = "\n--------Begin: PCF MESSAGE DUMP---------------";
constexpr const char* kDumpHeading =
    "\n%s DumpPcfMessage: pMsg %lx hex, lMsgLength=%d, lMsgLen(w/o hdr of %d)=%d...\n "
    "pMsg->PcfMsg.MsgDesc.ReplyToQMgr <%s>\n";
constexpr const char* kDumpShortLength = "PCF MQCFH Header length = %d\n";
constexpr const char* kDumpShort = "PCF Message Header (MQCFH) is too short or empty!";
constexpr const char* kDumpCfhTitle = "\nPCF Header (MQCFH):";
constexpr const char* kDumpCfhLine1 = "->Type(%d), StrucLength(%d), Version(%d),\n->Command(%d=%s),\n";
constexpr const char* kDumpCfhLine2 = "MsgSeqNum(%d), Control(%d),\n->ParameterCount(%d)\n";
constexpr const char* kDumpCfhLine3 = "CompCode(%d), Reason(%d)\n";
constexpr const char* kDumpEnd = "\n----------End: PCF MESSAGE DUMP---------------\n\n";
constexpr const char* kHexHeading = "\n%s DumpHexMessage: pBuf %lx hex, Length=%d...\n";
constexpr const char* kUnknownDate = "Unknown";

// The local time as 24 characters and a new line, or null when it cannot be formatted.
const char* DateText() {
  const std::time_t now = std::time(nullptr);
  return std::ctime(&now);
}

unsigned long Address(const void* p) {
  return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p));
}

int Word(const MESSAGE* attr, int offset) {
  int32_t v;
  std::memcpy(&v, attr->pData + offset, sizeof v);
  return v;
}

// Data length of an attribute record: an owning record counts its MDHDR.
int DataLength(const MESSAGE* attr) {
  return attr->lMsgLength - (attr->pMdHdr != nullptr ? MDHDR_LENGTH : 0);
}

// Length of a fixed-width text field up to its first zero byte.
int TextLength(const char* text, size_t width) {
  const void* end = std::memchr(text, '\0', width);
  return static_cast<int>(end != nullptr ? static_cast<const char*>(end) - text : static_cast<ptrdiff_t>(width));
}

// How many elements of a list of Count strings of StringLength bytes lie inside the
// structure: a zero StringLength cannot make a huge Count print for ever.
int ElementsInside(MESSAGE* a, int count, int stringLength) {
  const int room = Word(a, 4) - 24;
  return std::clamp(count, 0, room / std::max(stringLength, 1));
}

// Nesting of groups being printed; members deeper than this are not printed, so that
// crafted nesting cannot exhaust the stack.
constexpr int kMaxGroupDepth = 32;
int groupDepth = 0;

// A zeroed work area for one value, with room for its terminator.
struct WorkArea {
  char text[kWorkRoom + 1] = {};
};

void PrintHeadWords(MESSAGE* a, const char* format) {
  std::printf(format, Word(a, 0), Word(a, 4), Word(a, 8));
}

int PrintInteger(MESSAGE* a) {
  int value = 0;
  GetPcfIntAttrValue(a, &value);
  std::printf("->Type(%d), StrucLength(%d), Parameter (%d), Value(%d)\n", Word(a, 0), Word(a, 4),
              Word(a, 8), value);
  return 1;
}

int PrintIntegerList(MESSAGE* a) {
  const int count = Word(a, 12);
  std::printf("->Type(%d), StrucLength(%d), Parameter (%d), Count(%d)\n", Word(a, 0), Word(a, 4),
              Word(a, 8), count);
  std::fputs("->Integer List{", stdout);
  for (int i = 0; i < count; ++i) {
    int value = 0;
    GetPcfIntListAttrValue(a, i, &value);
    std::printf("%d, ", value);
  }
  std::puts(kListEnd);
  return 1;
}

int PrintIntegerFilter(MESSAGE* a) {
  int value = 0;
  int op = 0;
  GetPcfIntFltrAttrValue(a, &value, &op);
  std::printf("->Type(%d), StrucLength(%d), Parameter (%d), Operator (%d), Filter Value(%d)\n",
              Word(a, 0), Word(a, 4), Word(a, 8), op, value);
  return 1;
}

int PrintString(MESSAGE* a) {
  WorkArea work;
  GetPcfStrAttrValue(a, work.text, kWorkRoom);
  std::printf("->Type(%d), StrucLength(%d), Parameter(%d), CharSet(%d)\n", Word(a, 0), Word(a, 4),
              Word(a, 8), Word(a, 12));
  std::printf("->StringLength(%d), String(\"%s\")\n", Word(a, 16), work.text);
  return 1;
}

int PrintStringList(MESSAGE* a) {
  const int count = Word(a, 16);
  const int shown = ElementsInside(a, count, Word(a, 20));
  std::printf("->Type(%d), StrucLength(%d), Parameter (%d), Count(%d)\n", Word(a, 0), Word(a, 4),
              Word(a, 8), count);
  std::printf("->StringLength(%d), CharSetId(%d)\n", Word(a, 20), Word(a, 12));
  std::puts(kStringListOpen);
  for (int i = 0; i < shown; ++i) {
    WorkArea work;
    GetPcfStrListAttrValue(a, i, work.text, kWorkRoom);
    std::printf("\t(%d) - \"%s\"\n", i + 1, work.text);
  }
  std::puts(kListEnd);
  return 1;
}

int PrintStringFilter(MESSAGE* a) {
  WorkArea work;
  int op = 0;
  GetPcfStrFltrAttrValue(a, work.text, kWorkRoom, &op);
  std::printf("->Type(%d), StrucLength(%d), Parameter(%d), CharSet(%d), Operator(%d)\n", Word(a, 0),
              Word(a, 4), Word(a, 8), Word(a, 16), op);
  std::printf("->FilterLength(%d), FilterValue(\"%s\")\n", Word(a, 20), work.text);
  return 1;
}

int PrintByteString(MESSAGE* a) {
  WorkArea work;
  int length = kWorkRoom;
  GetPcfByteStrAttrValue(a, work.text, &length);
  PrintHeadWords(a, "->Type(%d), StrucLength(%d), Parameter(%d)\n");
  std::printf("->ByteString, size(%d): ", Word(a, 12));
  PrintHexFile(stdout, work.text, length, 12, 24);
  return 1;
}

int PrintByteStringList(MESSAGE* a) {
  const int count = Word(a, 16);
  const int stringLength = Word(a, 20);
  std::printf("->Type(%d), StrucLength(%d), Parameter (%d), Count(%d)\n", Word(a, 0), Word(a, 4),
              Word(a, 8), count);
  std::printf("->StringLength(%d)\n", stringLength);
  std::puts(kStringListOpen);
  const int bytes = std::clamp(stringLength, 0, kWorkRoom);
  const int shown = ElementsInside(a, count, stringLength);
  for (int i = 0; i < shown; ++i) {
    WorkArea work;
    GetPcfByteStrListAttrValue(a, i, work.text, bytes);
    char first[32];
    const int width = std::snprintf(first, sizeof first, "    (%d) - ", i + 1);
    char later[32];
    std::snprintf(later, sizeof later, "%*s", width, "");
    PrintFormattedHexData(work.text, bytes, 16, " ", first, later, 1, stdout);
  }
  std::puts(kListEnd);
  return 1;
}

int PrintInteger64(MESSAGE* a) {
  int64_t value = 0;
  GetPcfInt64AttrValue(a, &value);
  std::printf("->Type(%d), StrucLength(%d), Parameter (%d), Value(%lld)\n", Word(a, 0), Word(a, 4),
              Word(a, 8), static_cast<long long>(value));
  return 1;
}

int PrintInteger64List(MESSAGE* a) {
  const int count = Word(a, 12);
  std::printf("->Type(%d), StrucLength(%d), Parameter (%d), Count(%d)\n", Word(a, 0), Word(a, 4),
              Word(a, 8), count);
  std::fputs("->64 Bit Integer List{", stdout);
  for (int i = 0; i < count; ++i) {
    int64_t value = 0;
    GetPcfInt64ListAttrValue(a, i, &value);
    std::printf("%lld, ", static_cast<long long>(value));
  }
  std::puts(kListEnd);
  return 1;
}

// Types 998 and 999 share MQCFST's word positions; the reserved word shows as CharSet.
int PrintBinary(MESSAGE* a) {
  WorkArea work;
  int length = kWorkRoom;
  GetPcfBinAttrValue(a, work.text, &length);
  std::printf("->Type(%d), StrucLength(%d), Parameter(%d), CharSet(%d)\n", Word(a, 0), Word(a, 4),
              Word(a, 8), Word(a, 12));
  std::printf("->StringLength(%d) BinaryValue(\"", Word(a, 16));
  for (int i = 0; i < length; ++i) std::printf("%02X", static_cast<unsigned char>(work.text[i]));
  std::puts("\")");
  return 1;
}

int PrintGroup(MESSAGE* a) {
  const int count = Word(a, 12);
  std::printf("->Type(%d), StrucLength(%d), Parameter(%d), ParameterCount(%d)\n", Word(a, 0),
              Word(a, 4), Word(a, 8), count);
  if (groupDepth >= kMaxGroupDepth) return 0;
  MESSAGE member{};
  if (!CreateMessage(&member, kGroupWorkRoom)) return 0;
  ++groupDepth;
  int result = 1;
  for (int i = 0; i < count && result; ++i) {
    if (!GetGroupAttrByPos(i, &member, a)) break;
    std::printf("\n->PCF Group Parameter %d:", i);
    result = PrintPcfAttr(&member);
  }
  --groupDepth;
  DeleteMessage(&member);
  return result;
}

MQCFH LoadHeader(const char* bytes) {
  MQCFH h;
  std::memcpy(&h, bytes, sizeof h);
  return h;
}

int PrintHeader(MESSAGE* a) {
  const MQCFH h = LoadHeader(a->pData);
  // MQLONG is a long on 32-bit builds: printed through int.
  auto i = [](MQLONG v) { return static_cast<int>(v); };
  std::printf("->Type(%d), StrucLength(%d), Version(%d), Command(%d = %s)\n", i(h.Type),
              i(h.StrucLength), i(h.Version), i(h.Command), PcfIdToName(h.Command));
  std::printf("->MsgSeqNum(%d), Control(%d), ParameterCount(%d)\n", i(h.MsgSeqNumber),
              i(h.Control), i(h.ParameterCount));
  std::printf("->CompCode(%d), Reason(%d)\n", i(h.CompCode), i(h.Reason));
  return 1;
}

struct Block {
  int type;
  const char* title;
  int (*print)(MESSAGE*);
};

constexpr const char* kHeaderTitle = "PCF Header (MQCFH):";

constexpr std::array<Block, 25> kBlocks = {{
    {MQCFT_INTEGER, "PCF Integer (MQCFIN):", PrintInteger},
    {MQCFT_INTEGER_LIST, "PCF Integer List (MQCFIL):", PrintIntegerList},
    {MQCFT_INTEGER_FILTER, "PCF Integer Filter (MQCFIF):", PrintIntegerFilter},
    {MQCFT_STRING, "PCF String (MQCFST):", PrintString},
    {MQCFT_STRING_LIST, "PCF String List (MQCFSL):", PrintStringList},
    {MQCFT_STRING_FILTER, "PCF String Filter (MQCFSF):", PrintStringFilter},
    {MQCFT_BYTE_STRING, "PCF ByteString (MQCFBS):", PrintByteString},
    {EXCFT_BYTE_STRING_LIST, "PCF ByteString List (EXCFBL):", PrintByteStringList},
    {MQCFT_INTEGER64, "PCF 64-Bit Integer (MQCFIN64):", PrintInteger64},
    {MQCFT_INTEGER64_LIST, "PCF 64-Bit Integer List (MQCFIL64):", PrintInteger64List},
    {EXCFT_PCF, "E-PCF PCF (MQCFST):", PrintBinary},
    {EXCFT_BINARY, "E-PCF Binary (MQCFST):", PrintBinary},
    {MQCFT_GROUP, "PCF Group (MQCFGR):", PrintGroup},
    {MQCFT_COMMAND, kHeaderTitle, PrintHeader},
    {MQCFT_RESPONSE, kHeaderTitle, PrintHeader},
    {MQCFT_EVENT, kHeaderTitle, PrintHeader},
    {MQCFT_USER, kHeaderTitle, PrintHeader},
    {MQCFT_TRACE_ROUTE, kHeaderTitle, PrintHeader},
    {MQCFT_REPORT, kHeaderTitle, PrintHeader},
    {MQCFT_COMMAND_XR, kHeaderTitle, PrintHeader},
    {MQCFT_XR_MSG, kHeaderTitle, PrintHeader},
    {MQCFT_XR_ITEM, kHeaderTitle, PrintHeader},
    {MQCFT_XR_SUMMARY, kHeaderTitle, PrintHeader},
    {MQCFT_STATISTICS, kHeaderTitle, PrintHeader},
    {MQCFT_ACCOUNTING, kHeaderTitle, PrintHeader},
}};

const Block* FindBlock(int type) {
  for (const Block& b : kBlocks) {
    if (b.type == type) return &b;
  }
  return nullptr;
}

// The MQCFH's ParameterCount, or 0 when the message holds no full MQCFH.
int AnnouncedCount(const PcfMessage* msg) {
  const MESSAGE& pcf = msg->PcfMsg;
  if (pcf.pData == nullptr || pcf.lMsgLength - MDHDR_LENGTH < static_cast<int>(sizeof(MQCFH))) return 0;
  return std::min(static_cast<int>(LoadHeader(pcf.pData).ParameterCount), PCF_MAX_PARAMETERS);
}

// The Type of the structure behind indexed entry position, 0 when it is not inside the
// message's bytes.
int TypeAfter(const PcfMessage* msg, int position) {
  const MESSAGE& pcf = msg->PcfMsg;
  const MESSAGE& entry = msg->Attrs[position];
  if (entry.pData == nullptr || entry.lMsgLength < 0) return 0;
  const int held = std::min(pcf.lMsgLength, pcf.lMaxLength) - MDHDR_LENGTH;
  const auto start = reinterpret_cast<uintptr_t>(pcf.pData);
  const auto at = reinterpret_cast<uintptr_t>(entry.pData);
  if (pcf.pData == nullptr || held < 4 || at < start || at - start > static_cast<uintptr_t>(held)) return 0;
  const int64_t next = static_cast<int64_t>(at - start) + entry.lMsgLength;
  if (next + 4 > held) return 0;
  int32_t type;
  std::memcpy(&type, pcf.pData + next, sizeof type);
  return type;
}

}  // namespace

extern "C" {

VRQAPI_API int PrintPcfExt(MSHDRE* ext) {
  if (ext == nullptr) return 0;
  std::puts(kExtTitle);
  std::printf(kExtLines, static_cast<int>(ext->StrucLength), static_cast<int>(ext->Version),
              static_cast<int>(ext->Encoding), static_cast<int>(ext->CharSet),
              static_cast<int>(ext->UserMsgLength), TextLength(ext->Author, sizeof ext->Author),
              ext->Author);
  return 1;
}

VRQAPI_API int PrintPcfAttr(MESSAGE* attr) {
  if (attr == nullptr) return 0;
  std::puts("");
  const bool readable = attr->pData != nullptr && DataLength(attr) >= 8;
  const int type = readable ? Word(attr, 0) : 0;
  const Block* block = FindBlock(type);
  // The check makes every word a block reads lie inside the record.
  if (block == nullptr || !IsPcfAttrValid(attr)) {
    std::printf(kUnknown, type);
    return 0;
  }
  std::puts(block->title);
  return block->print(attr);
}

VRQAPI_API int PrintPcfMessage(PcfMessage* msg) {
  if (msg == nullptr) return 0;
  MESSAGE work{};
  if (!CreateMessage(&work, kMessageWorkRoom)) return 0;
  const char* date = DateText();
  std::printf(kDateFormat, date != nullptr ? date : kUnknownDate);
  PrintPcfExt(&msg->Ext);
  int position = 0;
  bool dumped = false;
  for (; GetAttrByPos(position, &work, msg); ++position) {
    if (!PrintPcfAttr(&work)) {
      DumpPcfMessage(msg);
      dumped = true;
      break;
    }
  }
  // A structure the index refused (a Type the check does not accept, or one that does not
  // fit) ends the index early: report it like an unprintable one.
  if (!dumped && position > 0 && position <= AnnouncedCount(msg)) {
    std::puts("");
    std::printf(kUnknown, TypeAfter(msg, position - 1));
    DumpPcfMessage(msg);
  }
  std::fflush(stdout);
  DeleteMessage(&work);
  return 1;
}

VRQAPI_API int DumpPcfMessage(PcfMessage* msg) {
  if (msg == nullptr) return 0;
  std::puts(kDumpBegin);
  const MESSAGE& pcf = msg->PcfMsg;
  char replyQMgr[sizeof pcf.MsgDesc.ReplyToQMgr + 1] = {};
  std::memcpy(replyQMgr, pcf.MsgDesc.ReplyToQMgr, sizeof pcf.MsgDesc.ReplyToQMgr);
  strip_spaces(replyQMgr);
  // Show only bytes the message holds, whatever its lengths claim.
  const int held = pcf.pData != nullptr ? pcf.lMaxLength - MDHDR_LENGTH : 0;
  const int length =
      std::clamp(static_cast<int>(pcf.lMsgLength) - MDHDR_LENGTH, 0, std::max(held, 0));
  const char* date = DateText();
  const int msgLength = static_cast<int>(pcf.lMsgLength);
  std::printf(kDumpHeading, date != nullptr ? date : kUnknownDate, Address(msg->pPcfHdr), msgLength,
              MDHDR_LENGTH, msgLength - MDHDR_LENGTH, replyQMgr);
  if (length < static_cast<int>(sizeof(MQCFH))) {
    std::printf(kDumpShortLength, msgLength - MDHDR_LENGTH);
    std::puts(kDumpShort);
  } else {
    const MQCFH h = LoadHeader(pcf.pData);
    std::puts(kDumpCfhTitle);
    std::printf(kDumpCfhLine1, static_cast<int>(h.Type), static_cast<int>(h.StrucLength),
                static_cast<int>(h.Version), static_cast<int>(h.Command), PcfIdToName(h.Command));
    std::printf(kDumpCfhLine2, static_cast<int>(h.MsgSeqNumber), static_cast<int>(h.Control),
                static_cast<int>(h.ParameterCount));
    std::printf(kDumpCfhLine3, static_cast<int>(h.CompCode), static_cast<int>(h.Reason));
  }
  DumpHexMessage(pcf.pData, length);
  std::fputs(kDumpEnd, stdout);
  std::puts("");
  std::fflush(stdout);
  return 1;
}

VRQAPI_API int DumpHexMessage(const void* pBytes, int lLength) {
  const char* date = DateText();
  std::printf(kHexHeading, date != nullptr ? date : kUnknownDate, Address(pBytes), lLength);
  const auto* bytes = static_cast<const unsigned char*>(pBytes);
  const int length = bytes != nullptr ? std::max(lLength, 0) : 0;
  for (int k = 0; k < length; ++k) {
    if (k % 16 == 0) std::printf("%08X ", static_cast<unsigned>(k));
    std::printf("%02X ", bytes[k]);
    if (k % 16 == 15) {
      for (int c = k - 15; c <= k; ++c) {
        const unsigned char ch = bytes[c];
        std::putchar(std::isprint(ch) && ch != ' ' ? ch : '.');
      }
      std::putchar('\n');
    }
  }
  return std::fflush(stdout);
}

}  // extern "C"

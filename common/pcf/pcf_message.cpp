// PcfMessage: the PCF message object with its bytes, its index of structure views and its
// optional chain; create/reset/size/copy/delete, AppendAttr, indexing (RawToPcf), reading
// by position or parameter identifier, the type mappings, and the serialised file form.
#include <vrqapi.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "pcf_attr_common.h"

using namespace vrq::pcf;

// The record crosses the API: its layout is fixed for both pointer sizes.
static_assert(offsetof(PcfMessage, lKind) == 0);
static_assert(offsetof(PcfMessage, Ext) == 4 && sizeof(MSHDRE) == 32);
static_assert(offsetof(PcfMessage, pPcfHdr) == (sizeof(void*) == 8 ? 40 : 36));
static_assert(offsetof(PcfMessage, Attrs) == offsetof(PcfMessage, pPcfHdr) + sizeof(void*));
static_assert(offsetof(PcfMessage, PcfMsg) == offsetof(PcfMessage, Attrs) + PCF_INDEX_ENTRIES * sizeof(MESSAGE));
static_assert(offsetof(PcfMessage, pNext) == offsetof(PcfMessage, PcfMsg) + sizeof(MESSAGE));
static_assert(sizeof(PcfMessage) == offsetof(PcfMessage, pNext) + sizeof(void*));

namespace {

constexpr const char* kOverflowMax =
    "%.8s MQPCFMSG::RawToPcf(line# %d) Input buffer overflow, PCF msg lMsgLen %d > lMax %d\n";
constexpr int kOverflowMaxLine = 1264;
constexpr const char* kTruncated =
    "\n%.8s PcfMessage::RawToPcf(line# %d) PCF(%d) excessive attributes truncated from %d to %d\n";
constexpr int kTruncatedLine = 1279;
constexpr const char* kOverflowAttr =
    "%.8s MQPCFMSG::RawToPcf(line# %d) Input buffer overflow, offset to end of PCF attribute %d "
    "exceeds offset end of PCF msg (lMsgLen) %d\n";
constexpr int kOverflowAttrLine = 1298;
constexpr const char* kUnderflow = "%.8s PcfMessage::RawToPcfGroup(line# %d) Input buffer underflow\n";
constexpr int kUnderflowLine = 1170;

constexpr int kCfhSeqAt = 16;
constexpr int kCfhControlAt = 20;
constexpr int kCfhCompCodeAt = 24;
constexpr int kCfhReasonAt = 28;

// The local time of day as "hh:mm:ss".
std::array<char, 9> TimeOfDay() {
  std::array<char, 9> text{};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  const bool ok = localtime_s(&local, &now) == 0;
#else
  const bool ok = localtime_r(&now, &local) != nullptr;
#endif
  if (ok) std::strftime(text.data(), text.size(), "%H:%M:%S", &local);
  return text;
}

int ClampToInt(int64_t v) { return v > INT32_MAX ? INT32_MAX : static_cast<int>(v); }

int64_t DataLength(const MESSAGE& m) { return int64_t{m.lMsgLength} - kMdHdrLength; }

void SetView(MESSAGE* entry, char* p, int32_t length) {
  entry->lKind = 1;
  entry->pMdHdr = nullptr;
  entry->pData = p;
  entry->lMaxLength = length;
  entry->lMsgLength = length;
}

void ClearView(MESSAGE* entry) {
  entry->pData = nullptr;
  entry->lMaxLength = 0;
  entry->lMsgLength = 0;
}

// Clears the index entries from first on (they may point into an old block) and passes
// the indexing result through.
int FinishIndex(PcfMessage* msg, int first, int result) {
  for (int i = first; i < PCF_INDEX_ENTRIES; ++i)
    if (msg->Attrs[i].pData != nullptr) ClearView(&msg->Attrs[i]);
  return result;
}

void ResetExt(MSHDRE* ext) {
  std::memset(ext, 0, sizeof *ext);
  ext->StrucLength = MSHDRE_LENGTH;
  ext->Version = 1;
  ext->Author[0] = ' ';
}

// Writes an empty MQCFH for the command and type and the descriptor fields that go with
// it. The block must hold at least the 36 header bytes.
void WriteHeader(PcfMessage* msg, int command, int type) {
  MESSAGE& m = msg->PcfMsg;
  msg->lKind = PCF_MESSAGE_KIND;
  ResetExt(&msg->Ext);
  msg->pPcfHdr = reinterpret_cast<MQCFH*>(m.pData);
  m.lMsgLength = kMdHdrLength + kCfhLength;
  std::memcpy(m.MsgDesc.Format, MQFMT_ADMIN, sizeof m.MsgDesc.Format);
  m.MsgDesc.MsgType = PcfToMsgType(type);
  char* h = m.pData;
  std::memset(h, 0, kCfhLength);
  StoreWord(h + kTypeAt, SetPcfType(type));
  StoreWord(h + kLengthAt, kCfhLength);
  StoreWord(h + kCfhVersionAt, MQCFH_VERSION_1);
  StoreWord(h + kCfhCommandAt, command);
  StoreWord(h + kCfhSeqAt, 1);
  StoreWord(h + kCfhControlAt, MQCFC_LAST);
}

void DeleteChain(PcfMessage* msg) {
  while (msg != nullptr) {
    PcfMessage* next = msg->pNext;
    DeleteMessage(&msg->PcfMsg);
    FreeMemory(msg);
    msg = next;
  }
}

// The bytes of the structure at position when the index holds a view there that lies
// inside the current data (a view left from before a change of the block is refused).
std::optional<Bytes> IndexedView(PcfMessage* msg, int position) {
  const MESSAGE& m = msg->PcfMsg;
  const int64_t data = DataLength(m);
  if (m.pData == nullptr || data < kCfhLength || position < 0 || position >= PCF_INDEX_ENTRIES) return std::nullopt;
  if (position > LoadWord(m.pData + kCfhCountAt)) return std::nullopt;
  const MESSAGE& entry = msg->Attrs[position];
  if (entry.pData == nullptr || entry.lMsgLength < 8 || entry.lMsgLength > data) return std::nullopt;
  const auto start = reinterpret_cast<uintptr_t>(m.pData);
  const auto at = reinterpret_cast<uintptr_t>(entry.pData);
  if (at < start || at - start > static_cast<uintptr_t>(data - entry.lMsgLength)) return std::nullopt;
  return Bytes{entry.pData, entry.lMsgLength};
}

// Moves the index views along when AppendAttr has moved the block.
void RebaseIndex(PcfMessage* msg, const char* oldBase, int64_t oldLength) {
  const auto start = reinterpret_cast<uintptr_t>(oldBase);
  for (MESSAGE& entry : msg->Attrs) {
    if (entry.pData == nullptr) continue;
    const auto at = reinterpret_cast<uintptr_t>(entry.pData);
    if (at >= start && at - start < static_cast<uintptr_t>(oldLength))
      entry.pData = msg->PcfMsg.pData + (at - start);
    else
      ClearView(&entry);
  }
}

bool CopyOne(PcfMessage* from, PcfMessage* to) {
  if (CopyMessage(&from->PcfMsg, &to->PcfMsg) != 1) return false;
  to->lKind = from->lKind;
  to->Ext = from->Ext;
  ResetPcfBuffer(to);
  RawToPcf(to);
  return true;
}

// Indexes the top-level parameter at offset into entry i; returns its length including
// group members, or -1 after reporting why it was refused.
int64_t IndexParameter(PcfMessage* msg, int i, int64_t offset, int64_t lMsgLen) {
  char* p = msg->PcfMsg.pData + offset;
  const int64_t avail = lMsgLen - offset;
  const int64_t declared = avail < 8 ? 8 : LoadWord(p + kLengthAt);
  if (declared > avail) {
    std::printf(kOverflowAttr, TimeOfDay().data(), kOverflowAttrLine, ClampToInt(offset + declared),
                static_cast<int>(lMsgLen));
    return -1;
  }
  if (FindLayout(LoadWord(p + kTypeAt)) == nullptr) return -1;  // a header or unknown type
  SetView(&msg->Attrs[i], p, static_cast<int32_t>(declared));
  if (IsPcfAttrValid(&msg->Attrs[i]) != 1) return -1;
  if (LoadWord(p + kTypeAt) != MQCFT_GROUP) return declared;
  const Subtree group = WalkSubtree(p, avail);
  if (group.ranOut) {
    std::printf(kUnderflow, TimeOfDay().data(), kUnderflowLine);
    PrintHexData(p, static_cast<int>(avail), stdout);
  }
  if (group.length < 0) return -1;
  msg->Attrs[i].lMsgLength = msg->Attrs[i].lMaxLength = static_cast<MQLONG>(group.length);
  return group.length;
}

// Indexes the MQCFH into entry 0; false when it is missing or invalid.
bool IndexHeader(PcfMessage* msg, int64_t lMsgLen) {
  char* h = msg->PcfMsg.pData;
  const int64_t declared = lMsgLen < 8 ? kCfhLength : LoadWord(h + kLengthAt);
  if (declared > lMsgLen || lMsgLen < kCfhLength) {
    std::printf(kOverflowAttr, TimeOfDay().data(), kOverflowAttrLine, ClampToInt(declared),
                static_cast<int>(lMsgLen));
    return false;
  }
  if (declared != kCfhLength || !IsHeaderType(LoadWord(h + kTypeAt))) return false;
  SetView(&msg->Attrs[0], h, kCfhLength);
  return IsPcfAttrValid(&msg->Attrs[0]) == 1;
}

}  // namespace

extern "C" {

VRQAPI_API int SetPcfType(int type) {
  if (type == MQCFT_XR_MSG || type == MQCFT_XR_ITEM || type == MQCFT_XR_SUMMARY) return MQCFT_RESPONSE;
  return type;
}

VRQAPI_API int SetPcfVersion(int version) { return version; }

VRQAPI_API int PcfToMsgType(int type) {
  switch (type) {
    case MQCFT_COMMAND:
    case MQCFT_COMMAND_XR:
      return MQMT_REQUEST;
    case MQCFT_RESPONSE:
    case MQCFT_XR_MSG:
    case MQCFT_XR_ITEM:
    case MQCFT_XR_SUMMARY:
      return MQMT_REPLY;
    case MQCFT_REPORT:
      return MQMT_REPORT;
    default:
      return MQMT_DATAGRAM;
  }
}

VRQAPI_API int GetPcfAttrType(MESSAGE* attr) {
  auto bytes = RecordBytes(attr);
  if (!bytes || bytes->length < 4) return 0;
  return LoadWord(bytes->p + kTypeAt);
}

VRQAPI_API PcfMessage* CreatePcfMessage(int command, int type, int capacity) {
  if (capacity < 0 || capacity > kMaxStructure - kCfhLength) return nullptr;
  void* block = nullptr;
  if (fNewMemory(&block, sizeof(PcfMessage), "PcfMessage") != 1) return nullptr;
  auto* msg = static_cast<PcfMessage*>(block);
  if (CreateMessage(&msg->PcfMsg, kCfhLength + capacity) != 1) {
    FreeMemory(msg);
    return nullptr;
  }
  WriteHeader(msg, command, type);
  msg->pNext = nullptr;
  RawToPcf(msg);
  return msg;
}

VRQAPI_API int ResetPcfMessage(PcfMessage* msg, int command, int type) {
  if (msg == nullptr || ResetMessage(&msg->PcfMsg) != 1) return 0;
  if (msg->PcfMsg.lMaxLength - kMdHdrLength < kCfhLength && SizeMessage(&msg->PcfMsg, kCfhLength) != 1) return 0;
  WriteHeader(msg, command, type);
  DeleteChain(msg->pNext);
  msg->pNext = nullptr;
  RawToPcf(msg);
  return 1;
}

VRQAPI_API int SizePcfMessage(PcfMessage* msg, int capacity) {
  if (msg == nullptr || capacity < 0 || capacity > kMaxStructure - kCfhLength) return 0;
  if (SizeMessage(&msg->PcfMsg, capacity + kCfhLength) != 1) return 0;
  msg->lKind = PCF_MESSAGE_KIND;
  ResetPcfBuffer(msg);
  msg->PcfMsg.lMsgLength = kMdHdrLength + kCfhLength;
  char* h = msg->PcfMsg.pData;
  StoreWord(h + kLengthAt, kCfhLength);
  StoreWord(h + kCfhVersionAt, MQCFH_VERSION_1);
  StoreWord(h + kCfhSeqAt, 1);
  StoreWord(h + kCfhControlAt, MQCFC_LAST);
  StoreWord(h + kCfhCompCodeAt, 0);
  StoreWord(h + kCfhReasonAt, 0);
  StoreWord(h + kCfhCountAt, 0);
  return RawToPcf(msg);
}

VRQAPI_API PcfMessage* ResetPcfBuffer(PcfMessage* msg) {
  if (msg != nullptr) msg->pPcfHdr = reinterpret_cast<MQCFH*>(msg->PcfMsg.pData);
  return msg;
}

VRQAPI_API int CopyPcfMessage(PcfMessage* from, PcfMessage* to) {
  if (from == nullptr || to == nullptr) return 0;
  if (from == to) return 1;
  DeleteChain(to->pNext);
  to->pNext = nullptr;
  if (!CopyOne(from, to)) return 0;
  PcfMessage* target = to;
  for (PcfMessage* source = from->pNext; source != nullptr; source = source->pNext) {
    const bool hasHeader = DataLength(source->PcfMsg) >= kCfhLength;
    const int command = hasHeader ? LoadWord(source->PcfMsg.pData + kCfhCommandAt) : 0;
    const int type = hasHeader ? LoadWord(source->PcfMsg.pData + kTypeAt) : MQCFT_COMMAND;
    target->pNext = CreatePcfMessage(command, type, source->PcfMsg.lMaxLength);
    if (target->pNext == nullptr || !CopyOne(source, target->pNext)) return 0;
    target = target->pNext;
  }
  return 1;
}

VRQAPI_API int DeletePcfMessage(PcfMessage* msg) {
  if (msg == nullptr) return 0;
  DeleteChain(msg);
  return 1;
}

VRQAPI_API int AppendAttr(PcfMessage* msg, MESSAGE* attr) {
  if (msg == nullptr) return 0;
  auto bytes = RecordBytes(attr);
  MESSAGE& m = msg->PcfMsg;
  const int64_t oldLength = DataLength(m);
  if (!bytes || bytes->length < 8 || m.pData == nullptr || oldLength < kCfhLength) return 0;
  // The index holds 149 parameters; a message with more could not be read back whole.
  const int32_t count = LoadWord(m.pData + kCfhCountAt);
  if (count < 0 || count >= PCF_MAX_PARAMETERS) return 0;
  // Read before appending: the attribute may be a view into this message's own block.
  const int32_t type = LoadWord(bytes->p + kTypeAt);
  const char* oldBase = m.pData;
  if (!AppendBytes(&m, bytes->p, bytes->length)) return 0;
  if (m.pData != oldBase) RebaseIndex(msg, oldBase, oldLength);
  ResetPcfBuffer(msg);
  char* h = m.pData;
  StoreWord(h + kCfhCountAt, count + 1);
  int32_t version = LoadWord(h + kCfhVersionAt);
  if (type == MQCFT_BYTE_STRING && version < MQCFH_VERSION_2) version = MQCFH_VERSION_2;
  if ((type == MQCFT_INTEGER_FILTER || type == MQCFT_STRING_FILTER || type == MQCFT_BYTE_STRING_FILTER) &&
      version < MQCFH_VERSION_3)
    version = MQCFH_VERSION_3;
  StoreWord(h + kCfhVersionAt, version);
  return 1;
}

VRQAPI_API int RawToPcf(PcfMessage* msg) {
  if (msg == nullptr || msg->PcfMsg.pData == nullptr) return 0;
  ResetPcfBuffer(msg);
  MESSAGE& m = msg->PcfMsg;
  const int64_t lMax = int64_t{m.lMaxLength} - kMdHdrLength;
  const int64_t lMsgLen = DataLength(m);
  if (lMax < lMsgLen) {
    std::printf(kOverflowMax, TimeOfDay().data(), kOverflowMaxLine, static_cast<int>(lMsgLen),
                static_cast<int>(lMax));
    return FinishIndex(msg, 0, 0);
  }
  if (lMsgLen < 0 || !IndexHeader(msg, lMsgLen)) return FinishIndex(msg, 0, 0);
  char* h = m.pData;
  int32_t count = LoadWord(h + kCfhCountAt);
  if (count < 0) return FinishIndex(msg, 1, 0);
  if (count > PCF_MAX_PARAMETERS) {
    std::printf(kTruncated, TimeOfDay().data(), kTruncatedLine, LoadWord(h + kCfhCommandAt), ClampToInt(int64_t{count} + 1),
                PCF_INDEX_ENTRIES);
    count = PCF_MAX_PARAMETERS;
    StoreWord(h + kCfhCountAt, count);
  }
  int64_t offset = kCfhLength;
  for (int i = 1; i <= count; ++i) {
    const int64_t length = IndexParameter(msg, i, offset, lMsgLen);
    if (length < 0) return FinishIndex(msg, i, 0);
    offset += length;
  }
  m.lMsgLength = static_cast<MQLONG>(kMdHdrLength + offset);
  return FinishIndex(msg, count + 1, 1);
}

VRQAPI_API int GetAttrByPos(int position, MESSAGE* out, PcfMessage* msg) {
  if (out == nullptr || msg == nullptr || ResetMessage(out) != 1) return 0;
  auto view = IndexedView(msg, position);
  return view && CopyOut(out, view->p, view->length) ? 1 : 0;
}

VRQAPI_API int GetAttrByIDRetPos(int parameter, MESSAGE* out, PcfMessage* msg, int* position) {
  if (out == nullptr || msg == nullptr) return 0;
  for (int i = 1; i < PCF_INDEX_ENTRIES; ++i) {
    auto view = IndexedView(msg, i);
    if (!view) break;
    if (view->length < 12 || LoadWord(view->p + kParameterAt) != parameter) continue;
    if (!CopyOut(out, view->p, view->length)) return 0;
    if (position != nullptr) *position = i;
    return 1;
  }
  return 0;
}

VRQAPI_API int GetAttrByID(int parameter, MESSAGE* out, PcfMessage* msg) {
  return GetAttrByIDRetPos(parameter, out, msg, nullptr);
}

VRQAPI_API int SerializePcfMessage(PcfMessage* msg, const char* path) {
  if (msg == nullptr || path == nullptr || msg->PcfMsg.pData == nullptr) return 0;
  const int64_t length = DataLength(msg->PcfMsg);
  if (length < 0) return 0;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "wb"), &std::fclose);
  if (!file) return 0;
  const size_t written = std::fwrite(msg->PcfMsg.pData, 1, static_cast<size_t>(length), file.get());
  return std::fclose(file.release()) == 0 && written == static_cast<size_t>(length) ? 1 : 0;
}

VRQAPI_API PcfMessage* DeserializePcfMessage(const char* path) {
  if (path == nullptr) return nullptr;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), &std::fclose);
  if (!file) return nullptr;
  MQLONG size = 0;
  if (SizeOfFile(file.get(), &size) != 1 || size <= 0) return nullptr;
  PcfMessage* msg = CreatePcfMessage(0, MQCFT_COMMAND, size);
  if (msg == nullptr) return nullptr;
  const size_t room = static_cast<size_t>(msg->PcfMsg.lMaxLength - kMdHdrLength);
  const size_t got = std::fread(msg->PcfMsg.pData, 1, room, file.get());
  msg->PcfMsg.lMsgLength = static_cast<MQLONG>(kMdHdrLength + got);
  msg->pNext = nullptr;
  if (RawToPcf(msg) != 1) {
    DeletePcfMessage(msg);
    return nullptr;
  }
  return msg;
}

}  // extern "C"

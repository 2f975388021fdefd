// MESSAGE and Buffer: the growable header-plus-data block and the plain byte area that
// carry every byte string between the libraries, with the record layouts checked here.
#include <vrqapi.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

static_assert(sizeof(MQMD) == 364, "MQMD version-2 layout");
static_assert(sizeof(MDHDR) == 136);
static_assert(offsetof(MDHDR, StrucLength) == 0);
static_assert(offsetof(MDHDR, lReserved1) == 4);
static_assert(offsetof(MDHDR, lByteOrder) == 8);
static_assert(offsetof(MDHDR, lTextCode) == 12);
static_assert(offsetof(MDHDR, MsgId) == 16);
static_assert(offsetof(MDHDR, CorrelId) == 40);
static_assert(offsetof(MDHDR, lUserMsgLength) == 64);
static_assert(offsetof(MDHDR, lReserved3) == 68);
static_assert(offsetof(MDHDR, UserId) == 72);
static_assert(offsetof(MDHDR, ApplName) == 84);
static_assert(offsetof(MDHDR, lHdrMark) == 132);

static_assert(sizeof(MSHDRE) == 32);
static_assert(offsetof(MSHDRE, Version) == 4);
static_assert(offsetof(MSHDRE, Encoding) == 8);
static_assert(offsetof(MSHDRE, CharSet) == 12);
static_assert(offsetof(MSHDRE, UserMsgLength) == 16);
static_assert(offsetof(MSHDRE, Author) == 20);

constexpr std::size_t kPtr = sizeof(void*);
static_assert(offsetof(MESSAGE, lKind) == 0);
static_assert(offsetof(MESSAGE, pMdHdr) == kPtr);
static_assert(offsetof(MESSAGE, pData) == 2 * kPtr);
static_assert(offsetof(MESSAGE, lMaxLength) == 3 * kPtr);
static_assert(offsetof(MESSAGE, lMsgLength) == 3 * kPtr + 4);
static_assert(offsetof(MESSAGE, MsgDesc) == 3 * kPtr + 8);
static_assert(sizeof(MESSAGE) == (3 * kPtr + 8 + 364 + kPtr - 1) / kPtr * kPtr);

static_assert(offsetof(Buffer, pBuffer) == 0);
static_assert(offsetof(Buffer, lLength) == kPtr);
static_assert(offsetof(Buffer, lSize) == kPtr + 4);
static_assert(offsetof(Buffer, lCounter1) == kPtr + 8);
static_assert(offsetof(Buffer, lCounter2) == kPtr + 12);
static_assert(offsetof(Buffer, lCounter3) == kPtr + 16);
static_assert(sizeof(Buffer) == (kPtr + 20 + kPtr - 1) / kPtr * kPtr);

constexpr int kHdr = MDHDR_LENGTH;
constexpr int kResetCapacity = 256;
constexpr const char* kTagMessage = "Message";
constexpr const char* kTagBuffer = "Buffer";
constexpr const char* kCreateFailed = "MESSAGE::CreateMessage: fNewMemory() failed\n";
constexpr const char* kResetFailed = "MESSAGE::ResetMessage: fNewMemory() failed\n";
constexpr const char* kSizeFailed =
    "MESSAGE::SizeMessage: fSizeMemory() failed. Requested %ld bytes,contained %ld bytes\n";

const MQMD kDefaultMd = {MQMD_DEFAULT};

int DataLength(const MESSAGE* m) { return m->lMsgLength - (m->pMdHdr != nullptr ? kHdr : 0); }

// The block size for a data capacity, or -1 when it cannot be represented.
long BlockSize(int capacity) {
  if (capacity < 0) return -1;
  long total = static_cast<long>(capacity) + kHdr;
  return total > INT32_MAX ? -1 : total;
}

void SetEmpty(MESSAGE* m) {
  m->lKind = 1;
  std::memset(m->pMdHdr->UserId, 0, sizeof m->pMdHdr->UserId);
  m->pData = reinterpret_cast<char*>(m->pMdHdr) + kHdr;
  m->lMsgLength = kHdr;
  m->MsgDesc = kDefaultMd;
}

bool NewBlock(MESSAGE* m, long total) {
  void* block = nullptr;
  if (fNewMemory(&block, static_cast<size_t>(total), kTagMessage) == 0) return false;
  m->pMdHdr = static_cast<MDHDR*>(block);
  m->pMdHdr->lHdrMark = 1;
  m->lMaxLength = static_cast<MQLONG>(total);
  SetEmpty(m);
  return true;
}

// Resizes an owning record (a view gets a fresh block); the data then counts as empty.
int Resize(MESSAGE* m, int capacity) {
  long total = BlockSize(capacity);
  void* block = m->pMdHdr;
  bool ok = total >= 0 &&
            (block != nullptr ? fSizeMemory(&block, static_cast<size_t>(total)) != 0
                              : fNewMemory(&block, static_cast<size_t>(total), kTagMessage) != 0);
  if (!ok) {
    std::printf(kSizeFailed, total < 0 ? static_cast<long>(capacity) + kHdr : total,
                static_cast<long>(m->lMaxLength));
    return 0;
  }
  if (m->pMdHdr == nullptr) static_cast<MDHDR*>(block)->lHdrMark = 1;
  m->lKind = 1;
  m->pMdHdr = static_cast<MDHDR*>(block);
  m->pData = static_cast<char*>(block) + kHdr;
  m->lMsgLength = kHdr;
  m->lMaxLength = static_cast<MQLONG>(total);
  return 1;
}

// Prints a fixed-width text field up to its first zero byte.
void PrintField(const char* format, const char* field, std::size_t width) {
  std::printf(format, static_cast<int>(strnlen(field, width)), field);
}

}  // namespace

extern "C" {

int CreateMessage(MESSAGE* msg, int capacity) {
  long total = BlockSize(capacity);
  if (msg == nullptr || total < 0 || !NewBlock(msg, total)) {
    std::printf("%s", kCreateFailed);
    return 0;
  }
  return 1;
}

int SizeMessage(MESSAGE* msg, int capacity) {
  if (msg == nullptr) return 0;
  return Resize(msg, capacity);
}

int SizeMessageKeep(MESSAGE* msg, int capacity) {
  if (msg == nullptr || capacity < 0) return 0;
  int used = DataLength(msg);
  if (used > capacity) return 0;
  bool view = msg->pMdHdr == nullptr;
  const char* viewed = msg->pData;
  if (Resize(msg, capacity) == 0) return 0;
  // A view's bytes belong to somebody else: they are copied into the new block.
  if (view && used > 0) std::memcpy(msg->pData, viewed, static_cast<std::size_t>(used));
  msg->lMsgLength = kHdr + used;
  return 1;
}

int ResetMessage(MESSAGE* msg) {
  if (msg == nullptr) return 0;
  if (msg->pMdHdr == nullptr) {
    if (!NewBlock(msg, kHdr + kResetCapacity)) {
      std::printf("%s", kResetFailed);
      return 0;
    }
    return 1;
  }
  SetEmpty(msg);
  return 1;
}

int CopyMessage(MESSAGE* from, MESSAGE* to) {
  if (from == nullptr || to == nullptr) return 0;
  // A record is already a copy of itself; resetting it first would throw its data away.
  if (from == to) return 1;
  if (ResetMessage(to) == 0) return 0;
  to->lKind = from->lKind;
  if (from->pMdHdr != nullptr) {
    to->pMdHdr->StrucLength = from->pMdHdr->StrucLength;
    to->pMdHdr->lReserved1 = from->pMdHdr->lReserved1;
  }
  to->MsgDesc = from->MsgDesc;
  return AppendMessage(to, from);
}

int AppendMessage(MESSAGE* to, MESSAGE* from) {
  if (to == nullptr || from == nullptr || to->pMdHdr == nullptr) return 0;
  int add = DataLength(from);
  if (add <= 0) return add == 0 ? 1 : 0;
  int used = DataLength(to);
  // The source may lie inside the destination's own block (the record itself, or a view
  // of part of it): it is found again by its offset once a resize has moved the block.
  const auto base = reinterpret_cast<std::uintptr_t>(to->pMdHdr);
  const auto source = reinterpret_cast<std::uintptr_t>(from->pData);
  const bool inside = source >= base && source - base < static_cast<std::uintptr_t>(to->lMaxLength);
  const std::uintptr_t offset = source - base;
  long shortfall = static_cast<long>(add) - (to->lMaxLength - to->lMsgLength);
  if (shortfall > 0) {
    long capacity = static_cast<long>(to->lMaxLength) + shortfall;
    if (capacity > INT32_MAX - kHdr) return 0;
    if (SizeMessage(to, static_cast<int>(capacity)) == 0) return 0;
    to->lMsgLength = kHdr + used;
  }
  if (to->lMaxLength - to->lMsgLength < add) return 0;
  const char* bytes = inside ? reinterpret_cast<const char*>(to->pMdHdr) + offset : from->pData;
  std::memmove(to->pData + used, bytes, static_cast<std::size_t>(add));
  to->lMsgLength += add;
  return 1;
}

int DeleteMessage(MESSAGE* msg) {
  if (msg == nullptr || msg->pData == nullptr) return 0;
  FreeMemory(msg->pMdHdr);
  msg->pMdHdr = nullptr;
  msg->pData = nullptr;
  msg->lMaxLength = 0;
  msg->lMsgLength = 0;
  return 1;
}

int VerifyMessage(MESSAGE* msg) {
  return msg != nullptr && msg->pMdHdr != nullptr && msg->pMdHdr->StrucLength == kHdr ? 1 : 0;
}

int VerifyMessageExt(MSHDRE* ext) {
  return ext != nullptr && ext->StrucLength == MSHDRE_LENGTH ? 1 : 0;
}

void PrintMessage(MESSAGE* msg) {
  if (msg == nullptr || msg->pMdHdr == nullptr) return;
  const MDHDR* h = msg->pMdHdr;
  std::printf("(MDHDR)\nStrucLength(%d)lUserMsgLength(%d)\n", h->StrucLength, h->lUserMsgLength);
  PrintField("ApplName(\"%.*s\")\n\n", h->ApplName, sizeof h->ApplName);
  PrintField("UserId(\"%.*s\")\n\n", h->UserId, sizeof h->UserId);
}

int CreateBuffer(Buffer* buf, int size) {
  if (buf == nullptr || size < 0) return 0;
  void* bytes = nullptr;
  if (fNewMemory(&bytes, static_cast<size_t>(size), kTagBuffer) == 0) return 0;
  buf->pBuffer = static_cast<char*>(bytes);
  buf->lCounter1 = buf->lCounter2 = buf->lCounter3 = 0;
  buf->lLength = buf->lSize = size;
  return 1;
}

int ResetBuffer(Buffer* buf, int length) {
  if (buf == nullptr) return 0;
  buf->lCounter1 = buf->lCounter2 = buf->lCounter3 = 0;
  if (buf->lSize < length) SizeBuffer(buf, length);
  buf->lLength = length < buf->lSize ? (length < 0 ? 0 : length) : buf->lSize;
  return 1;
}

int SizeBuffer(Buffer* buf, int size) {
  if (buf == nullptr || size < 0) return 0;
  void* bytes = buf->pBuffer;
  bool ok = bytes != nullptr ? fSizeMemory(&bytes, static_cast<size_t>(size)) != 0
                             : fNewMemory(&bytes, static_cast<size_t>(size), kTagBuffer) != 0;
  if (!ok) return 0;
  buf->pBuffer = static_cast<char*>(bytes);
  buf->lSize = size;
  return 1;
}

int DeleteBuffer(Buffer* buf) {
  if (buf == nullptr || buf->pBuffer == nullptr) return 0;
  FreeMemory(buf->pBuffer);
  std::memset(buf, 0, sizeof *buf);
  return 1;
}

}  // extern "C"

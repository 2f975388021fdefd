// The shared ground of the PCF model: structure layouts, the bounds check applied to
// every structure read from received bytes, the walk over a group and its members, and
// the record operations (create, resize, append, copy out) used by every family.
#include "pcf_attr_common.h"

#include <algorithm>

namespace vrq::pcf {

namespace {

constexpr int32_t kHeaderTypes[] = {
    MQCFT_COMMAND,     MQCFT_RESPONSE, MQCFT_EVENT,     MQCFT_USER,          MQCFT_TRACE_ROUTE,
    MQCFT_REPORT,      MQCFT_COMMAND_XR, MQCFT_XR_MSG,  MQCFT_XR_ITEM,       MQCFT_XR_SUMMARY,
    MQCFT_STATISTICS,  MQCFT_ACCOUNTING,
};

// A view of length bytes at p, for the attribute check.
MESSAGE ViewOf(char* p, int32_t length) {
  MESSAGE v;
  v.lKind = 1;
  v.pMdHdr = nullptr;
  v.pData = p;
  v.lMaxLength = length;
  v.lMsgLength = length;
  return v;
}

// The parameter at p, whose StrucLength is known to fit, when it is of a parameter type
// (not a header or unknown type) and passes the attribute check: its Type and length.
bool AcceptParameter(const char* p, int32_t* type, int32_t* length) {
  *type = LoadWord(p + kTypeAt);
  *length = LoadWord(p + kLengthAt);
  if (FindLayout(*type) == nullptr) return false;
  MESSAGE view = ViewOf(const_cast<char*>(p), *length);
  return IsPcfAttrValid(&view) == 1;
}

}  // namespace

const Layout* FindLayout(int32_t type) {
  for (const Layout& l : kLayouts)
    if (l.type == type) return &l;
  return nullptr;
}

bool IsHeaderType(int32_t type) {
  for (int32_t t : kHeaderTypes)
    if (t == type) return true;
  return false;
}

std::optional<Bytes> RecordBytes(MESSAGE* attr) {
  if (attr == nullptr || attr->pData == nullptr) return std::nullopt;
  int64_t length = attr->lMsgLength;
  if (attr->pMdHdr != nullptr) length -= kMdHdrLength;
  if (length < 0) return std::nullopt;
  return Bytes{attr->pData, static_cast<int32_t>(length)};
}

bool IsStructureSound(const char* p, int64_t avail) {
  if (avail < 8) return false;
  const Layout* layout = FindLayout(LoadWord(p + kTypeAt));
  const int32_t length = LoadWord(p + kLengthAt);
  if (layout == nullptr || length % 4 != 0 || length < layout->fixed || length > avail) return false;
  int64_t count = 1;
  if (layout->countAt >= 0) count = LoadWord(p + layout->countAt);
  int64_t element = layout->elementSize;
  if (layout->lengthAt >= 0) element = LoadWord(p + layout->lengthAt);
  if (count < 0 || element < 0) return false;
  return layout->fixed + count * element <= length;
}

Subtree WalkSubtree(const char* p, int64_t avail) {
  // Members follow their group in order, so the structures of a subtree are exactly the
  // next 1 + (sum of every ParameterCount inside it) structures. Every structure is at
  // least 16 bytes long, so the walk ends within avail / 16 steps whatever the counts say.
  int64_t offset = 0;
  int64_t pending = 1;
  while (pending > 0) {
    const int64_t left = avail - offset;
    if (left < 8 || LoadWord(p + offset + kLengthAt) > left) return {-1, true};
    int32_t type = 0;
    int32_t length = 0;
    if (!AcceptParameter(p + offset, &type, &length)) return {-1, false};
    if (type == MQCFT_GROUP) {
      const int32_t members = LoadWord(p + offset + kGroupCountAt);
      if (members < 0) return {-1, false};
      pending += members;
    }
    offset += length;
    --pending;
  }
  return {offset, false};
}

std::optional<Bytes> Checked(MESSAGE* attr, int32_t type) {
  auto bytes = RecordBytes(attr);
  if (!bytes || !IsStructureSound(bytes->p, bytes->length) || LoadWord(bytes->p + kTypeAt) != type) return std::nullopt;
  // The shared check has no rule for the byte-string filter; it is judged as the other
  // filters are: its StrucLength is the record's whole data length.
  const bool valid = type == MQCFT_BYTE_STRING_FILTER ? LoadWord(bytes->p + kLengthAt) == bytes->length
                                                      : IsPcfAttrValid(attr) == 1;
  if (!valid) return std::nullopt;
  return bytes;
}

char* NewStructure(MESSAGE* attr, int32_t type, int64_t length, int32_t parameter) {
  if (attr == nullptr || length < 16 || length > kMaxStructure) return nullptr;
  if (CreateMessage(attr, static_cast<int>(length)) != 1) return nullptr;
  attr->lMsgLength = static_cast<MQLONG>(kMdHdrLength + length);
  char* p = attr->pData;
  StoreWord(p + kTypeAt, type);
  StoreWord(p + kLengthAt, static_cast<int32_t>(length));
  StoreWord(p + kParameterAt, parameter);
  return p;
}

char* ResizeStructure(MESSAGE* attr, int64_t length) {
  if (attr->pMdHdr == nullptr || length < 16 || length > kMaxStructure) return nullptr;
  const int64_t old = attr->lMsgLength - kMdHdrLength;
  if (SizeMessage(attr, static_cast<int>(length)) != 1) return nullptr;
  attr->lMsgLength = static_cast<MQLONG>(kMdHdrLength + length);
  char* p = attr->pData;
  if (length > old) std::memset(p + old, 0, static_cast<size_t>(length - old));
  StoreWord(p + kLengthAt, static_cast<int32_t>(length));
  return p;
}

bool AppendBytes(MESSAGE* to, const char* bytes, int64_t length) {
  if (to->pMdHdr == nullptr || length < 0) return false;
  const int64_t used = to->lMsgLength - kMdHdrLength;
  const int64_t need = used + length;
  if (used < 0 || need > kMaxStructure) return false;
  // The bytes may lie inside the destination's block (a parameter of the same message):
  // they are found again by their offset once a resize has moved the block.
  const auto base = reinterpret_cast<uintptr_t>(to->pMdHdr);
  const auto source = reinterpret_cast<uintptr_t>(bytes);
  const bool inside = source >= base && source - base < static_cast<uintptr_t>(to->lMaxLength);
  const uintptr_t offset = source - base;
  if (to->lMsgLength + length > to->lMaxLength) {
    // Doubling keeps a message built from many attributes linear in its length.
    const int64_t room = std::min<int64_t>(std::max<int64_t>(need, 2 * (to->lMaxLength - kMdHdrLength)), kMaxStructure);
    if (SizeMessageKeep(to, static_cast<int>(room)) != 1) return false;
  }
  if (inside) bytes = reinterpret_cast<const char*>(to->pMdHdr) + offset;
  std::memmove(to->pData + used, bytes, static_cast<size_t>(length));
  to->lMsgLength = static_cast<MQLONG>(kMdHdrLength + need);
  return true;
}

bool CopyOut(MESSAGE* out, const char* bytes, int32_t length) {
  if (ResetMessage(out) != 1) return false;
  if (out->lMaxLength - out->lMsgLength < length && SizeMessage(out, length) != 1) return false;
  std::memcpy(out->pData, bytes, static_cast<size_t>(length));
  out->lMsgLength = kMdHdrLength + length;
  return true;
}

}  // namespace vrq::pcf

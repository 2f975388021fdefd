// The byte attribute families: MQCFBS, the byte-string list (997), the byte-string filter
// MQCFBF, binary data (999) and an embedded PCF message (998).
#include <vrqapi.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include <algorithm>
#include <cstring>

#include "pcf_attr_common.h"

using namespace vrq::pcf;

namespace {

constexpr int kBsLengthAt = 12;        // MQCFBS StringLength
constexpr int kBsDataAt = 16;
constexpr int kBlCountAt = 16;         // byte-string list Count
constexpr int kBlLengthAt = 20;        // byte-string list StringLength
constexpr int kBlDataAt = 24;
constexpr int kBfOperatorAt = 12;      // MQCFBF Operator
constexpr int kBfLengthAt = 16;        // MQCFBF FilterValueLength
constexpr int kBfDataAt = 20;
constexpr int kBinLengthAt = 16;       // 999, 998 (and MQCFST) StringLength
constexpr int kBinDataAt = 20;

// Where the length word and the data of a counted byte field sit, by structure type.
struct CountedField {
  int32_t type;
  int lengthAt;
  int dataAt;
};
constexpr CountedField kBinReadable[] = {
    {EXCFT_BINARY, kBinLengthAt, kBinDataAt},
    {EXCFT_PCF, kBinLengthAt, kBinDataAt},
    {MQCFT_STRING, kBinLengthAt, kBinDataAt},
    {MQCFT_BYTE_STRING, kBsLengthAt, kBsDataAt},
};

// Creates a structure of the given type holding length bytes at dataAt, the count in the
// word at lengthAt.
char* CreateCounted(MESSAGE* attr, int32_t type, int parameter, const void* bytes, int length, int lengthAt,
                    int dataAt) {
  if (length < 0 || (bytes == nullptr && length > 0)) return nullptr;
  char* p = NewStructure(attr, type, Round4(int64_t{dataAt} + length), parameter);
  if (p == nullptr) return nullptr;
  StoreWord(p + lengthAt, length);
  if (length > 0) std::memcpy(p + dataAt, bytes, static_cast<size_t>(length));
  return p;
}

// Copies the counted field to out: *length holds the room on entry and the number of
// bytes copied on return.
int ReadCounted(const char* p, int lengthAt, int dataAt, void* out, int* length) {
  if (out == nullptr || length == nullptr || *length < 0) return 0;
  const int32_t n = std::min(*length, LoadWord(p + lengthAt));
  std::memcpy(out, p + dataAt, static_cast<size_t>(n));
  *length = n;
  return 1;
}

// Overwrites the start of the counted field with min(length, field length) bytes.
int WriteCounted(char* p, int lengthAt, int dataAt, const void* bytes, int length) {
  if (length < 0 || (bytes == nullptr && length > 0)) return 0;
  const int32_t n = std::min(length, LoadWord(p + lengthAt));
  if (n > 0) std::memcpy(p + dataAt, bytes, static_cast<size_t>(n));
  return 1;
}

}  // namespace

extern "C" {

VRQAPI_API int CreatePcfByteStrAttr(MESSAGE* attr, int parameter, const void* bytes, int length) {
  return CreateCounted(attr, MQCFT_BYTE_STRING, parameter, bytes, length, kBsLengthAt, kBsDataAt) ? 1 : 0;
}

VRQAPI_API int IsPcfByteStrAttr(MESSAGE* attr) { return Checked(attr, MQCFT_BYTE_STRING) ? 1 : 0; }

VRQAPI_API int GetPcfByteStrAttrValue(MESSAGE* attr, void* out, int* length) {
  auto bytes = Checked(attr, MQCFT_BYTE_STRING);
  return bytes ? ReadCounted(bytes->p, kBsLengthAt, kBsDataAt, out, length) : 0;
}

VRQAPI_API int GetPcfByteStrAttrValueLength(MESSAGE* attr, int* length) {
  auto bytes = Checked(attr, MQCFT_BYTE_STRING);
  if (!bytes || length == nullptr) return 0;
  *length = LoadWord(bytes->p + kBsLengthAt);
  return 1;
}

VRQAPI_API int SetPcfByteStrAttrValue(MESSAGE* attr, const void* bytes, int length) {
  auto held = Checked(attr, MQCFT_BYTE_STRING);
  return held ? WriteCounted(held->p, kBsLengthAt, kBsDataAt, bytes, length) : 0;
}

VRQAPI_API int CreatePcfByteStrListAttr(MESSAGE* attr, int parameter, int count, int stringLength) {
  if (count < 0 || stringLength < 0) return 0;
  char* p = NewStructure(attr, EXCFT_BYTE_STRING_LIST, Round4(kBlDataAt + int64_t{count} * stringLength), parameter);
  if (p == nullptr) return 0;
  StoreWord(p + kBlCountAt, count);
  StoreWord(p + kBlLengthAt, stringLength);
  return 1;
}

VRQAPI_API int IsPcfByteStrListAttr(MESSAGE* attr) { return Checked(attr, EXCFT_BYTE_STRING_LIST) ? 1 : 0; }

VRQAPI_API int GetPcfByteStrListAttrValue(MESSAGE* attr, int index, void* out, int room) {
  auto bytes = Checked(attr, EXCFT_BYTE_STRING_LIST);
  if (!bytes || out == nullptr || room < 0 || index < 0 || index >= LoadWord(bytes->p + kBlCountAt)) return 0;
  const int32_t length = LoadWord(bytes->p + kBlLengthAt);
  std::memcpy(out, bytes->p + kBlDataAt + int64_t{index} * length, static_cast<size_t>(std::min(room, length)));
  return 1;
}

VRQAPI_API int SizePcfByteStrListAttr(MESSAGE* attr, int count) {
  auto bytes = Checked(attr, EXCFT_BYTE_STRING_LIST);
  if (!bytes || count < 0) return 0;
  const int32_t length = LoadWord(bytes->p + kBlLengthAt);
  char* p = ResizeStructure(attr, Round4(kBlDataAt + int64_t{count} * length));
  if (p == nullptr) return 0;
  StoreWord(p + kBlCountAt, count);
  return 1;
}

VRQAPI_API int SetPcfByteStrListAttrValue(MESSAGE* attr, int index, const void* bytes, int length) {
  auto held = Checked(attr, EXCFT_BYTE_STRING_LIST);
  if (!held || length < 0 || (bytes == nullptr && length > 0)) return 0;
  const int32_t count = LoadWord(held->p + kBlCountAt);
  if (index < 0) index = count;
  if (index >= count && (index == INT32_MAX || SizePcfByteStrListAttr(attr, index + 1) != 1)) return 0;
  char* p = attr->pData;
  const int32_t room = LoadWord(p + kBlLengthAt);
  const auto n = static_cast<size_t>(std::min(room, length));
  char* element = p + kBlDataAt + int64_t{index} * room;
  if (n > 0) std::memcpy(element, bytes, n);
  std::memset(element + n, 0, static_cast<size_t>(room) - n);
  return 1;
}

VRQAPI_API int CreatePcfByteStrFltrAttr(MESSAGE* attr, int parameter, const void* bytes, int length, int op) {
  char* p = CreateCounted(attr, MQCFT_BYTE_STRING_FILTER, parameter, bytes, length, kBfLengthAt, kBfDataAt);
  if (p == nullptr) return 0;
  StoreWord(p + kBfOperatorAt, op);
  return 1;
}

VRQAPI_API int IsPcfByteStrFltrAttr(MESSAGE* attr) { return Checked(attr, MQCFT_BYTE_STRING_FILTER) ? 1 : 0; }

VRQAPI_API int GetPcfByteStrFltrAttrValue(MESSAGE* attr, void* out, int* length, int* op) {
  auto bytes = Checked(attr, MQCFT_BYTE_STRING_FILTER);
  if (!bytes || op == nullptr || ReadCounted(bytes->p, kBfLengthAt, kBfDataAt, out, length) != 1) return 0;
  *op = LoadWord(bytes->p + kBfOperatorAt);
  return 1;
}

VRQAPI_API int SetPcfByteStrFltrAttrValue(MESSAGE* attr, const void* bytes, int length, int op) {
  auto held = Checked(attr, MQCFT_BYTE_STRING_FILTER);
  if (!held || WriteCounted(held->p, kBfLengthAt, kBfDataAt, bytes, length) != 1) return 0;
  StoreWord(held->p + kBfOperatorAt, op);
  return 1;
}

VRQAPI_API int CreatePcfBinAttr(MESSAGE* attr, int parameter, const void* bytes, int length) {
  return CreateCounted(attr, EXCFT_BINARY, parameter, bytes, length, kBinLengthAt, kBinDataAt) ? 1 : 0;
}

VRQAPI_API int IsPcfBinAttr(MESSAGE* attr) { return Checked(attr, EXCFT_BINARY) ? 1 : 0; }

VRQAPI_API int GetPcfBinAttrValue(MESSAGE* attr, void* out, int* length) {
  for (const CountedField& f : kBinReadable)
    if (auto bytes = Checked(attr, f.type)) return ReadCounted(bytes->p, f.lengthAt, f.dataAt, out, length);
  return 0;
}

VRQAPI_API int SetPcfBinAttrValue(MESSAGE* attr, const void* bytes, int length) {
  auto held = Checked(attr, EXCFT_BINARY);
  return held ? WriteCounted(held->p, kBinLengthAt, kBinDataAt, bytes, length) : 0;
}

VRQAPI_API int CreatePcfPcfAttr(MESSAGE* attr, int parameter, PcfMessage* source) {
  if (source == nullptr || source->PcfMsg.pData == nullptr) return 0;
  const int64_t length = int64_t{source->PcfMsg.lMsgLength} - kMdHdrLength;
  if (length < 0 || length > kMaxStructure) return 0;
  return CreateCounted(attr, EXCFT_PCF, parameter, source->PcfMsg.pData, static_cast<int>(length), kBinLengthAt,
                       kBinDataAt)
             ? 1
             : 0;
}

VRQAPI_API int IsPcfPcfAttr(MESSAGE* attr) { return Checked(attr, EXCFT_PCF) ? 1 : 0; }

VRQAPI_API int GetPcfPcfAttrValue(MESSAGE* attr, PcfMessage* target) {
  auto bytes = Checked(attr, EXCFT_PCF);
  if (!bytes || target == nullptr) return 0;
  const int32_t length = LoadWord(bytes->p + kBinLengthAt);
  // The index result does not matter here: the caller re-indexes after the copy.
  SizePcfMessage(target, length);
  MESSAGE& m = target->PcfMsg;
  if (m.pData == nullptr || m.lMaxLength - kMdHdrLength < length) return 0;
  std::memcpy(m.pData, bytes->p + kBinDataAt, static_cast<size_t>(length));
  m.lMsgLength = kMdHdrLength + length;
  return 1;
}

}  // extern "C"

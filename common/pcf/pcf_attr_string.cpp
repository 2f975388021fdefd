// The character attribute families: MQCFST (from text or from counted bytes), the string
// list MQCFSL with its fixed-width elements, growth and search, and the string filter
// MQCFSF.
#include <vrqapi.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include <algorithm>
#include <cstring>

#include "pcf_attr_common.h"

using namespace vrq::pcf;

namespace {

constexpr int kStrLengthAt = 16;       // MQCFST StringLength
constexpr int kStrDataAt = 20;
constexpr int kListCountAt = 16;       // MQCFSL Count
constexpr int kListLengthAt = 20;      // MQCFSL StringLength
constexpr int kListDataAt = 24;
constexpr int kFltrOperatorAt = 12;    // MQCFSF Operator
constexpr int kFltrLengthAt = 20;      // MQCFSF FilterValueLength
constexpr int kFltrDataAt = 24;
constexpr char kDefaultFill = ' ';

int CreateString(MESSAGE* attr, int parameter, const char* bytes, int n) {
  if (bytes == nullptr || n < 0) return 0;
  char* p = NewStructure(attr, MQCFT_STRING, Round4(int64_t{kStrDataAt} + n), parameter);
  if (p == nullptr) return 0;
  StoreWord(p + kStrLengthAt, n);
  std::memcpy(p + kStrDataAt, bytes, static_cast<size_t>(n));
  return 1;
}

// Copies min(room, length) bytes to out and a zero byte behind them.
int CopyText(const char* from, int32_t length, char* out, int room) {
  if (out == nullptr || room < 0) return 0;
  const int32_t n = std::min(room, length);
  std::memcpy(out, from, static_cast<size_t>(n));
  out[n] = '\0';
  return 1;
}

// Writes text into a room of length bytes: cut when longer, zero-filled when shorter.
void FillRoom(char* room, int32_t length, const char* text) {
  const size_t n = strnlen(text, static_cast<size_t>(length));
  std::memcpy(room, text, n);
  std::memset(room + n, 0, static_cast<size_t>(length) - n);
}

}  // namespace

extern "C" {

VRQAPI_API int CreatePcfStrAttr(MESSAGE* attr, int parameter, const char* text) {
  if (text == nullptr) return 0;
  const size_t n = std::strlen(text);
  if (n > static_cast<size_t>(kMaxStructure)) return 0;
  return CreateString(attr, parameter, text, static_cast<int>(n));
}

VRQAPI_API int CreatePcfNZStrAttr(MESSAGE* attr, int parameter, const char* bytes, int n) {
  return CreateString(attr, parameter, bytes, n);
}

VRQAPI_API int IsPcfStrAttr(MESSAGE* attr) { return Checked(attr, MQCFT_STRING) ? 1 : 0; }

VRQAPI_API int GetPcfStrAttrValue(MESSAGE* attr, char* out, int room) {
  auto bytes = Checked(attr, MQCFT_STRING);
  if (!bytes) return 0;
  return CopyText(bytes->p + kStrDataAt, LoadWord(bytes->p + kStrLengthAt), out, room);
}

VRQAPI_API int SetPcfStrAttrValue(MESSAGE* attr, const char* text) {
  auto bytes = Checked(attr, MQCFT_STRING);
  if (!bytes || text == nullptr) return 0;
  FillRoom(bytes->p + kStrDataAt, LoadWord(bytes->p + kStrLengthAt), text);
  return 1;
}

VRQAPI_API int CreatePcfStrListAttr(MESSAGE* attr, int parameter, int count, int stringLength) {
  if (count < 0 || stringLength < 0) return 0;
  char* p = NewStructure(attr, MQCFT_STRING_LIST, Round4(kListDataAt + int64_t{count} * stringLength), parameter);
  if (p == nullptr) return 0;
  StoreWord(p + kListCountAt, count);
  StoreWord(p + kListLengthAt, stringLength);
  return 1;
}

VRQAPI_API int IsPcfStrListAttr(MESSAGE* attr) { return Checked(attr, MQCFT_STRING_LIST) ? 1 : 0; }

VRQAPI_API int GetPcfStrListAttrValue(MESSAGE* attr, int index, char* out, int room) {
  auto bytes = Checked(attr, MQCFT_STRING_LIST);
  if (!bytes || index < 0 || index >= LoadWord(bytes->p + kListCountAt)) return 0;
  const int32_t length = LoadWord(bytes->p + kListLengthAt);
  return CopyText(bytes->p + kListDataAt + int64_t{index} * length, length, out, room);
}

VRQAPI_API int SizePcfStrListAttr(MESSAGE* attr, int count) {
  auto bytes = Checked(attr, MQCFT_STRING_LIST);
  if (!bytes || count < 0) return 0;
  const int32_t length = LoadWord(bytes->p + kListLengthAt);
  char* p = ResizeStructure(attr, Round4(kListDataAt + int64_t{count} * length));
  if (p == nullptr) return 0;
  StoreWord(p + kListCountAt, count);
  return 1;
}

VRQAPI_API int SetPcfStrListAttrValueWithLen(MESSAGE* attr, int index, const char* text, int length, char fill) {
  auto bytes = Checked(attr, MQCFT_STRING_LIST);
  if (!bytes || text == nullptr) return 0;
  const int32_t count = LoadWord(bytes->p + kListCountAt);
  if (index < 0) index = count;
  if (index >= count && (index == INT32_MAX || SizePcfStrListAttr(attr, index + 1) != 1)) return 0;
  char* p = attr->pData;
  const int32_t room = LoadWord(p + kListLengthAt);
  const int64_t given = length < 1 ? static_cast<int64_t>(std::strlen(text)) : length;
  const auto n = static_cast<size_t>(std::min<int64_t>(room, given));
  char* element = p + kListDataAt + int64_t{index} * room;
  std::memcpy(element, text, n);
  std::memset(element + n, fill, static_cast<size_t>(room) - n);
  return 1;
}

VRQAPI_API int SetPcfStrListAttrValueWithFill(MESSAGE* attr, int index, const char* text, char fill) {
  return SetPcfStrListAttrValueWithLen(attr, index, text, -1, fill);
}

VRQAPI_API int SetPcfStrListAttrValue(MESSAGE* attr, int index, const char* text) {
  return SetPcfStrListAttrValueWithLen(attr, index, text, -1, kDefaultFill);
}

VRQAPI_API int FindPcfStrListAttrValue(MESSAGE* attr, const char* text) {
  auto bytes = Checked(attr, MQCFT_STRING_LIST);
  if (!bytes || text == nullptr) return -1;
  const int32_t count = LoadWord(bytes->p + kListCountAt);
  const int32_t length = LoadWord(bytes->p + kListLengthAt);
  for (int32_t i = 0; i < count; ++i)
    if (std::strncmp(bytes->p + kListDataAt + int64_t{i} * length, text, static_cast<size_t>(length)) == 0) return i;
  return -1;
}

VRQAPI_API int CreatePcfStrFltrAttr(MESSAGE* attr, int parameter, int op, const char* text) {
  if (text == nullptr) return 0;
  const size_t n = std::strlen(text);
  if (n > static_cast<size_t>(kMaxStructure)) return 0;
  char* p = NewStructure(attr, MQCFT_STRING_FILTER, Round4(kFltrDataAt + static_cast<int64_t>(n)), parameter);
  if (p == nullptr) return 0;
  StoreWord(p + kFltrOperatorAt, op);
  StoreWord(p + kFltrLengthAt, static_cast<int32_t>(n));
  std::memcpy(p + kFltrDataAt, text, n);
  return 1;
}

VRQAPI_API int IsPcfStrFltrAttr(MESSAGE* attr) { return Checked(attr, MQCFT_STRING_FILTER) ? 1 : 0; }

VRQAPI_API int GetPcfStrFltrAttrValue(MESSAGE* attr, char* out, int room, int* op) {
  auto bytes = Checked(attr, MQCFT_STRING_FILTER);
  if (!bytes || op == nullptr) return 0;
  if (CopyText(bytes->p + kFltrDataAt, LoadWord(bytes->p + kFltrLengthAt), out, room) != 1) return 0;
  *op = LoadWord(bytes->p + kFltrOperatorAt);
  return 1;
}

VRQAPI_API int SetPcfStrFltrAttrValue(MESSAGE* attr, const char* text, int op) {
  auto bytes = Checked(attr, MQCFT_STRING_FILTER);
  if (!bytes || text == nullptr) return 0;
  StoreWord(bytes->p + kFltrOperatorAt, op);
  FillRoom(bytes->p + kFltrDataAt, LoadWord(bytes->p + kFltrLengthAt), text);
  return 1;
}

}  // extern "C"

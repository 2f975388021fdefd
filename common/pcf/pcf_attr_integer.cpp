// The integer attribute families: MQCFIN, MQCFIN64, MQCFIF (integer filter) and the
// integer lists MQCFIL and MQCFIL64 with their growth, sums and conversions to and from
// "1,22,333" text.
#include <vrqapi.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>
#include <type_traits>

#include "pcf_attr_common.h"

using namespace vrq::pcf;

namespace {

constexpr int kValueAt = 12;         // MQCFIN Value
constexpr int kOperatorAt = 12;      // MQCFIF Operator
constexpr int kFilterValueAt = 16;   // MQCFIF FilterValue
constexpr int kValue64At = 16;       // MQCFIN64 Value (behind the Reserved word)
constexpr int kCountAt = 12;         // MQCFIL/MQCFIL64 Count
constexpr int kValuesAt = 16;        // first list value
constexpr size_t kListTextLimit = 255;
constexpr int kFilterTypes[] = {MQCFT_INTEGER_FILTER, MQCFT_STRING_FILTER, MQCFT_BYTE_STRING_FILTER};

// What differs between the 32-bit and the 64-bit list.
template <typename T>
struct ListKind;
template <>
struct ListKind<int32_t> {
  static constexpr int32_t kType = MQCFT_INTEGER_LIST;
  static constexpr const char* kFormat = "%" PRId32;
};
template <>
struct ListKind<int64_t> {
  static constexpr int32_t kType = MQCFT_INTEGER64_LIST;
  static constexpr const char* kFormat = "%" PRId64;
};

template <typename T>
T Load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
void Store(char* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

template <typename T>
int CreateList(MESSAGE* attr, int parameter, int count) {
  if (count < 0) return 0;
  char* p = NewStructure(attr, ListKind<T>::kType, kValuesAt + int64_t{count} * int64_t{sizeof(T)}, parameter);
  if (p == nullptr) return 0;
  StoreWord(p + kCountAt, count);
  return 1;
}

template <typename T>
int SizeList(MESSAGE* attr, int count) {
  if (count < 0 || !Checked(attr, ListKind<T>::kType)) return 0;
  char* p = ResizeStructure(attr, kValuesAt + int64_t{count} * int64_t{sizeof(T)});
  if (p == nullptr) return 0;
  StoreWord(p + kCountAt, count);
  return 1;
}

template <typename T>
int GetListValue(MESSAGE* attr, int index, T* value) {
  auto bytes = Checked(attr, ListKind<T>::kType);
  if (!bytes || value == nullptr || index < 0 || index >= LoadWord(bytes->p + kCountAt)) return 0;
  *value = Load<T>(bytes->p + kValuesAt + int64_t{index} * int64_t{sizeof(T)});
  return 1;
}

template <typename T>
int SetListValue(MESSAGE* attr, int index, T value) {
  auto bytes = Checked(attr, ListKind<T>::kType);
  if (!bytes) return 0;
  char* p = bytes->p;
  const int32_t count = LoadWord(p + kCountAt);
  if (index < 0) index = count;
  if (index >= count) {
    if (index == INT32_MAX || SizeList<T>(attr, index + 1) != 1) return 0;
    p = attr->pData;
  }
  Store<T>(p + kValuesAt + int64_t{index} * int64_t{sizeof(T)}, value);
  return 1;
}

// Adds every value to *sum, wrapping on overflow as the unsigned sum does.
template <typename T>
int SumList(MESSAGE* attr, T* sum) {
  auto bytes = Checked(attr, ListKind<T>::kType);
  if (!bytes || sum == nullptr) return 0;
  using U = std::make_unsigned_t<T>;
  U total = static_cast<U>(*sum);
  const int32_t count = LoadWord(bytes->p + kCountAt);
  for (int32_t i = 0; i < count; ++i)
    total += static_cast<U>(Load<T>(bytes->p + kValuesAt + int64_t{i} * int64_t{sizeof(T)}));
  *sum = static_cast<T>(total);
  return 1;
}

// Writes the values as "v1,v2,..." into room bytes with the terminator. The running total
// starts at one for the terminator and adds each value's length and one for its comma;
// a value is left out, with all after it, once the total reaches room.
template <typename T>
int ListToText(MESSAGE* attr, char* out, int room) {
  auto bytes = Checked(attr, ListKind<T>::kType);
  if (!bytes || out == nullptr || room < 1) return 0;
  out[0] = '\0';
  int64_t total = 1;
  int64_t used = 0;
  const int32_t count = LoadWord(bytes->p + kCountAt);
  for (int32_t i = 0; i < count; ++i) {
    char number[24];
    const T v = Load<T>(bytes->p + kValuesAt + int64_t{i} * int64_t{sizeof(T)});
    const int length = std::snprintf(number, sizeof number, ListKind<T>::kFormat, v);
    total += length + 1;
    if (total >= room) break;
    if (i > 0) out[used++] = ',';
    std::memcpy(out + used, number, static_cast<size_t>(length));
    used += length;
    out[used] = '\0';
  }
  return 1;
}

// A signed decimal number at the start of piece: leading blanks skipped, reading stops
// at the first non-digit, no digits give 0; values beyond the type's range saturate.
template <typename T>
T ParseNumber(std::string_view piece) {
  size_t i = 0;
  while (i < piece.size() && piece[i] == ' ') ++i;
  bool negative = false;
  if (i < piece.size() && (piece[i] == '-' || piece[i] == '+')) negative = piece[i++] == '-';
  const auto max = static_cast<uint64_t>(std::numeric_limits<T>::max());
  const uint64_t limit = negative ? max + 1 : max;
  uint64_t value = 0;
  for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint64_t>(piece[i] - '0');
    if (value > limit) {
      value = limit;
      break;
    }
  }
  if (!negative) return static_cast<T>(value);
  return value == limit ? std::numeric_limits<T>::min() : static_cast<T>(-static_cast<T>(value));
}

// Reads numbers separated by ';' or ',' (empty pieces skipped) from the first 255
// characters of text into positions 0, 1, ..., growing the list as needed.
template <typename T>
int TextToList(MESSAGE* attr, const char* text) {
  if (text == nullptr || !Checked(attr, ListKind<T>::kType)) return 0;
  std::string_view rest(text, strnlen(text, kListTextLimit));
  int index = 0;
  while (!rest.empty()) {
    const size_t end = rest.find_first_of(";,");
    const std::string_view piece = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (piece.empty()) continue;
    if (SetListValue<T>(attr, index++, ParseNumber<T>(piece)) != 1) return 0;
  }
  return 1;
}

}  // namespace

extern "C" {

VRQAPI_API int CreatePcfIntAttr(MESSAGE* attr, int parameter, int value) {
  char* p = NewStructure(attr, MQCFT_INTEGER, MQCFIN_STRUC_LENGTH, parameter);
  if (p == nullptr) return 0;
  StoreWord(p + kValueAt, value);
  return 1;
}

VRQAPI_API int IsPcfIntAttr(MESSAGE* attr) { return Checked(attr, MQCFT_INTEGER) ? 1 : 0; }

VRQAPI_API int GetPcfIntAttrValue(MESSAGE* attr, int* value) {
  auto bytes = Checked(attr, MQCFT_INTEGER);
  if (!bytes || value == nullptr) return 0;
  *value = LoadWord(bytes->p + kValueAt);
  return 1;
}

VRQAPI_API int SetPcfIntAttrValue(MESSAGE* attr, int value) {
  auto bytes = Checked(attr, MQCFT_INTEGER);
  if (!bytes) return 0;
  StoreWord(bytes->p + kValueAt, value);
  return 1;
}

VRQAPI_API int CreatePcfInt64Attr(MESSAGE* attr, int parameter, int64_t value) {
  char* p = NewStructure(attr, MQCFT_INTEGER64, MQCFIN64_STRUC_LENGTH, parameter);
  if (p == nullptr) return 0;
  StoreWord64(p + kValue64At, value);
  return 1;
}

VRQAPI_API int IsPcfInt64Attr(MESSAGE* attr) { return Checked(attr, MQCFT_INTEGER64) ? 1 : 0; }

VRQAPI_API int GetPcfInt64AttrValue(MESSAGE* attr, int64_t* value) {
  auto bytes = Checked(attr, MQCFT_INTEGER64);
  if (!bytes || value == nullptr) return 0;
  *value = LoadWord64(bytes->p + kValue64At);
  return 1;
}

VRQAPI_API int SetPcfInt64AttrValue(MESSAGE* attr, int64_t value) {
  auto bytes = Checked(attr, MQCFT_INTEGER64);
  if (!bytes) return 0;
  StoreWord64(bytes->p + kValue64At, value);
  return 1;
}

VRQAPI_API int CreatePcfIntFltrAttr(MESSAGE* attr, int parameter, int op, int value) {
  char* p = NewStructure(attr, MQCFT_INTEGER_FILTER, MQCFIF_STRUC_LENGTH, parameter);
  if (p == nullptr) return 0;
  StoreWord(p + kOperatorAt, op);
  StoreWord(p + kFilterValueAt, value);
  return 1;
}

VRQAPI_API int IsPcfIntFltrAttr(MESSAGE* attr) { return Checked(attr, MQCFT_INTEGER_FILTER) ? 1 : 0; }

VRQAPI_API int GetPcfIntFltrAttrValue(MESSAGE* attr, int* value, int* op) {
  auto bytes = Checked(attr, MQCFT_INTEGER_FILTER);
  if (!bytes || value == nullptr || op == nullptr) return 0;
  *value = LoadWord(bytes->p + kFilterValueAt);
  *op = LoadWord(bytes->p + kOperatorAt);
  return 1;
}

VRQAPI_API int SetPcfIntFltrAttrValue(MESSAGE* attr, int value, int op) {
  auto bytes = Checked(attr, MQCFT_INTEGER_FILTER);
  if (!bytes) return 0;
  StoreWord(bytes->p + kFilterValueAt, value);
  StoreWord(bytes->p + kOperatorAt, op);
  return 1;
}

VRQAPI_API int GetPcfFilterOperator(MESSAGE* attr, int* op) {
  if (op == nullptr) return 0;
  for (int type : kFilterTypes) {
    if (auto bytes = Checked(attr, type)) {
      *op = LoadWord(bytes->p + kOperatorAt);
      return 1;
    }
  }
  return 0;
}

VRQAPI_API int CreatePcfIntListAttr(MESSAGE* attr, int parameter, int count) {
  return CreateList<int32_t>(attr, parameter, count);
}
VRQAPI_API int IsPcfIntListAttr(MESSAGE* attr) { return Checked(attr, MQCFT_INTEGER_LIST) ? 1 : 0; }
VRQAPI_API int GetPcfIntListAttrValue(MESSAGE* attr, int index, int* value) {
  return GetListValue<int32_t>(attr, index, value);
}
VRQAPI_API int GetPcfIntListAttrValueSum(MESSAGE* attr, int* sum) { return SumList<int32_t>(attr, sum); }
VRQAPI_API int GetPcfIntListAttrValueStr(MESSAGE* attr, char* out, int room) {
  return ListToText<int32_t>(attr, out, room);
}
VRQAPI_API int SetPcfIntListAttrValue(MESSAGE* attr, int index, int value) {
  return SetListValue<int32_t>(attr, index, value);
}
VRQAPI_API int SetPcfIntListAttrValueStr(MESSAGE* attr, const char* text) { return TextToList<int32_t>(attr, text); }
VRQAPI_API int SizePcfIntListAttr(MESSAGE* attr, int count) { return SizeList<int32_t>(attr, count); }

VRQAPI_API int CreatePcfInt64ListAttr(MESSAGE* attr, int parameter, int count) {
  return CreateList<int64_t>(attr, parameter, count);
}
VRQAPI_API int IsPcfInt64ListAttr(MESSAGE* attr) { return Checked(attr, MQCFT_INTEGER64_LIST) ? 1 : 0; }
VRQAPI_API int GetPcfInt64ListAttrValue(MESSAGE* attr, int index, int64_t* value) {
  return GetListValue<int64_t>(attr, index, value);
}
VRQAPI_API int GetPcfInt64ListAttrValueSum(MESSAGE* attr, int64_t* sum) { return SumList<int64_t>(attr, sum); }
VRQAPI_API int GetPcfInt64ListAttrValueStr(MESSAGE* attr, char* out, int room) {
  return ListToText<int64_t>(attr, out, room);
}
VRQAPI_API int SetPcfInt64ListAttrValue(MESSAGE* attr, int index, int64_t value) {
  return SetListValue<int64_t>(attr, index, value);
}
VRQAPI_API int SetPcfInt64ListAttrValueStr(MESSAGE* attr, const char* text) { return TextToList<int64_t>(attr, text); }
VRQAPI_API int SizePcfInt64ListAttr(MESSAGE* attr, int count) { return SizeList<int64_t>(attr, count); }

}  // extern "C"

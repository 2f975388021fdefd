// Internal helpers shared by the PCF message and the attribute families: word access at
// any alignment, the fixed layout of each structure type, the bounds check that every
// walk over received bytes applies, and the small operations on attribute records
// (create one structure, resize it, check it before use).
#pragma once

#include <vrqapi.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include <cstdint>
#include <cstring>
#include <optional>

namespace vrq::pcf {

// Words inside PCF bytes: structures start on 4-byte boundaries only, so 64-bit values
// may sit unaligned; every access goes through memcpy.
inline int32_t LoadWord(const char* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void StoreWord(char* p, int32_t v) { std::memcpy(p, &v, sizeof v); }
inline int64_t LoadWord64(const char* p) {
  int64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void StoreWord64(char* p, int64_t v) { std::memcpy(p, &v, sizeof v); }

// Word offsets common to every structure.
constexpr int kTypeAt = 0;
constexpr int kLengthAt = 4;
constexpr int kParameterAt = 8;

constexpr int kMdHdrLength = 136;
constexpr int kCfhLength = 36;
constexpr int kCfhVersionAt = 8;
constexpr int kCfhCommandAt = 12;
constexpr int kCfhCountAt = 32;
constexpr int kGroupCountAt = 12;

// The largest structure length a record can hold behind its 136-byte header.
constexpr int64_t kMaxStructure = INT32_MAX - kMdHdrLength;

constexpr int64_t Round4(int64_t n) { return (n + 3) & ~int64_t{3}; }

// Where a structure type keeps its variable part: the fixed length, and the offsets of
// its count and element-length words (-1 when it has none). A type absent from the
// table is not a structure this library reads.
struct Layout {
  int32_t type;
  int32_t fixed;
  int32_t countAt;
  int32_t lengthAt;
  int32_t elementSize;  // bytes per counted element when there is no length word
};

inline constexpr Layout kLayouts[] = {
    {MQCFT_INTEGER, 16, -1, -1, 0},
    {MQCFT_STRING, 20, -1, 16, 0},
    {MQCFT_INTEGER_LIST, 16, 12, -1, 4},
    {MQCFT_STRING_LIST, 24, 16, 20, 0},
    {MQCFT_BYTE_STRING, 16, -1, 12, 0},
    {MQCFT_INTEGER_FILTER, 20, -1, -1, 0},
    {MQCFT_STRING_FILTER, 24, -1, 20, 0},
    {MQCFT_BYTE_STRING_FILTER, 20, -1, 16, 0},
    {MQCFT_GROUP, 16, -1, -1, 0},
    {MQCFT_INTEGER64, 24, -1, -1, 0},
    {MQCFT_INTEGER64_LIST, 16, 12, -1, 8},
    {EXCFT_BYTE_STRING_LIST, 24, 16, 20, 0},
    {EXCFT_PCF, 20, -1, 16, 0},
    {EXCFT_BINARY, 20, -1, 16, 0},
};

const Layout* FindLayout(int32_t type);

// True for the MQCFH types (the header of a message, never a parameter).
bool IsHeaderType(int32_t type);

// The bytes of the structure held by an attribute record: its data start and data
// length (the record's used length less the header for an owning record, the whole
// length for a view). Empty when the record holds no bytes.
struct Bytes {
  char* p;
  int32_t length;
};
std::optional<Bytes> RecordBytes(MESSAGE* attr);

// True when the parameter structure at p, with avail bytes after p, has its fixed part,
// a StrucLength that is a multiple of 4 and fits in avail, and a variable part (counts
// and lengths non-negative) that lies inside StrucLength. Reading any field through the
// layout is then safe.
bool IsStructureSound(const char* p, int64_t avail);

// The length of the parameter at p including, for a group, every member at every depth
// (members follow their group directly; a group's ParameterCount counts its direct
// members). length is -1 when a structure is unsound, is a header type, fails the
// attribute check or does not fit in avail; ranOut tells the last case apart.
struct Subtree {
  int64_t length;
  bool ranOut;
};
Subtree WalkSubtree(const char* p, int64_t avail);

// The record's structure when it is sound, passes the attribute check and is of the
// given type.
std::optional<Bytes> Checked(MESSAGE* attr, int32_t type);

// Creates the record with one zero-filled structure of the given length and writes its
// Type, StrucLength and Parameter. Null when the length is out of range or memory runs
// out.
char* NewStructure(MESSAGE* attr, int32_t type, int64_t length, int32_t parameter);

// Resizes the structure held by an owning record to length bytes (added bytes zero) and
// stores the new StrucLength. Returns the new data start, or null.
char* ResizeStructure(MESSAGE* attr, int64_t length);

// Appends length bytes behind the data of an owning record, growing its block
// geometrically. False when memory runs out.
bool AppendBytes(MESSAGE* to, const char* bytes, int64_t length);

// Copies length bytes into out as its whole data (out reset first, grown when short).
bool CopyOut(MESSAGE* out, const char* bytes, int32_t length);

}  // namespace vrq::pcf

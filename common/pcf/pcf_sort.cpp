// In-place heap sorts: ArrayHeapSort over fixed-size byte records (and through it the
// strings of a string-list attribute, SortPcfListAttr), and AuthRecSort, which orders
// the authority records held in four parallel list attributes by sorting an array of
// their positions. Both sorts share one sift routine over an abstract record store.
#include "vrqapi.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// AuthRecLists crosses the interface: four pointers, then the 49-character name.
static_assert(offsetof(AuthRecLists, pKey1) == 0);
static_assert(offsetof(AuthRecLists, pName1) == sizeof(void*));
static_assert(offsetof(AuthRecLists, pName2) == 2 * sizeof(void*));
static_assert(offsetof(AuthRecLists, pKey2) == 3 * sizeof(void*));
static_assert(offsetof(AuthRecLists, szSelf) == 4 * sizeof(void*));
static_assert(sizeof(AuthRecLists) == (4 * sizeof(void*) + 49 + alignof(void*) - 1) / alignof(void*) * alignof(void*));

namespace {

constexpr unsigned kMaxElementSize = 257;  // the size of ArrayHeapSort's work record
constexpr int kName1Length = 48;
constexpr int kName2Length = 64;
constexpr char kSelfPrefix[] = "SELF ";
constexpr const char* kIndicesTag = "AuthRecSort INDICES";

// Heap sort over n records (0-based). Store provides: Save(k) copies record k to the
// work record t; Move(from, to); Restore(to) puts t at to; Greater(x, y) and
// GreaterThanSaved(x) compare in the sort's order.
template <class Store>
void HeapSort(ptrdiff_t n, Store& s) {
  if (n < 2) return;
  ptrdiff_t l = n / 2;
  ptrdiff_t r = n;
  for (;;) {
    if (l > 0) {
      --l;
      s.Save(l);
    } else {
      --r;
      if (r == 0) return;
      s.Save(r);
      s.Move(0, r);
    }
    ptrdiff_t i = l;
    ptrdiff_t j = 2 * l + 1;
    while (j < r) {
      if (j + 1 < r && s.Greater(j + 1, j)) ++j;
      if (!s.GreaterThanSaved(j)) break;
      s.Move(j, i);
      i = j;
      j = 2 * j + 1;
    }
    s.Restore(i);
  }
}

struct ByteRecords {
  unsigned char* base;
  size_t size;
  unsigned char t[kMaxElementSize];

  unsigned char* At(ptrdiff_t k) const { return base + static_cast<size_t>(k) * size; }
  void Save(ptrdiff_t k) { std::memcpy(t, At(k), size); }
  void Move(ptrdiff_t from, ptrdiff_t to) { std::memcpy(At(to), At(from), size); }
  void Restore(ptrdiff_t to) { std::memcpy(At(to), t, size); }
  bool Greater(ptrdiff_t x, ptrdiff_t y) const { return std::memcmp(At(x), At(y), size) > 0; }
  bool GreaterThanSaved(ptrdiff_t x) const { return std::memcmp(At(x), t, size) > 0; }
};

struct AuthPositions {
  AuthRecLists* lists;
  int* order;
  int t = 0;

  void Save(ptrdiff_t k) { t = order[k]; }
  void Move(ptrdiff_t from, ptrdiff_t to) { order[to] = order[from]; }
  void Restore(ptrdiff_t to) { order[to] = t; }
  bool Greater(ptrdiff_t x, ptrdiff_t y) const { return CompareAuthRecLessThen(lists, order[y], order[x]) == 1; }
  bool GreaterThanSaved(ptrdiff_t x) const { return CompareAuthRecLessThen(lists, t, order[x]) == 1; }
};

int32_t Word(const MESSAGE* attr, int offset) {
  int32_t v;
  std::memcpy(&v, attr->pData + offset, sizeof v);
  return v;
}

int IntAt(MESSAGE* list, int index) {
  int value = 0;
  GetPcfIntListAttrValue(list, index, &value);
  return value;
}

// -1, 0 or 1 as a is smaller than, equal to or greater than b.
int Order(int a, int b) { return a < b ? -1 : (a > b ? 1 : 0); }

}  // namespace

extern "C" {

VRQAPI_API int ArrayHeapSort(void* base, size_t count, unsigned elementSize) {
  if (elementSize > kMaxElementSize) return 0;
  if (base == nullptr || count < 2 || elementSize == 0) return 1;
  ByteRecords records{static_cast<unsigned char*>(base), elementSize, {}};
  HeapSort(static_cast<ptrdiff_t>(count), records);
  return 1;
}

VRQAPI_API int SortPcfListAttr(MESSAGE* attr) {
  if (!IsPcfStrListAttr(attr)) return 0;
  const int32_t count = Word(attr, 16);
  const int32_t stringLength = Word(attr, 20);
  if (count < 2 || stringLength <= 0) return 1;
  // The check guarantees the strings lie inside the structure; test it again in 64 bits
  // so that no product of the two words can reach outside.
  const int64_t bytes = static_cast<int64_t>(count) * stringLength;
  if (bytes > Word(attr, 4) - 24) return 1;
  ArrayHeapSort(attr->pData + 24, static_cast<size_t>(count), static_cast<unsigned>(stringLength));
  return 1;
}

VRQAPI_API int CompareAuthRecLessThen(AuthRecLists* lists, int a, int b) {
  if (lists == nullptr) return 0;
  if (int o = Order(IntAt(lists->pKey1, a), IntAt(lists->pKey1, b))) return o < 0 ? 1 : 0;

  char nameA[kName1Length + 1] = {};
  char nameB[kName1Length + 1] = {};
  GetPcfStrListAttrValue(lists->pName1, a, nameA, kName1Length);
  GetPcfStrListAttrValue(lists->pName1, b, nameB, kName1Length);
  char self[sizeof lists->szSelf + 1] = {};
  std::memcpy(self, lists->szSelf, sizeof lists->szSelf);
  const char* textA = std::strncmp(nameA, kSelfPrefix, 5) == 0 ? self : nameA;
  const char* textB = std::strncmp(nameB, kSelfPrefix, 5) == 0 ? self : nameB;
  if (int o = std::strcmp(textA, textB)) return o < 0 ? 1 : 0;

  if (int o = Order(IntAt(lists->pKey2, a), IntAt(lists->pKey2, b))) return o < 0 ? 1 : 0;

  char name2A[kName2Length + 1] = {};
  char name2B[kName2Length + 1] = {};
  GetPcfStrListAttrValue(lists->pName2, a, name2A, kName2Length);
  GetPcfStrListAttrValue(lists->pName2, b, name2B, kName2Length);
  return std::strcmp(name2A, name2B) < 0 ? 1 : 0;
}

VRQAPI_API int AuthRecSort(AuthRecLists* lists, int** order) {
  if (order == nullptr) return 0;
  *order = nullptr;
  if (lists == nullptr || !IsPcfStrListAttr(lists->pName1)) return 0;
  // Only as many records as the name list can really hold: a zero StringLength must not
  // let a huge Count through.
  const int32_t stringLength = Word(lists->pName1, 20);
  const int32_t room = Word(lists->pName1, 4) - 24;
  const int n = std::min(Word(lists->pName1, 16), room / std::max(stringLength, 1));
  if (n <= 0) return 0;
  void* block = nullptr;
  if (!fNewMemory(&block, sizeof(int) * static_cast<size_t>(n), kIndicesTag)) return 0;
  int* positions = static_cast<int*>(block);
  for (int k = 0; k < n; ++k) positions[k] = k;
  AuthPositions store{lists, positions};
  HeapSort(n, store);
  *order = positions;
  return n;
}

}  // extern "C"

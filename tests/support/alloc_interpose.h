// Allocation failures on demand, for the tests of what happens when memory runs out. A
// test program that includes this header (from its one source file) defines fNewMemory
// and fSizeMemory itself: definitions in the executable take the place of the library's
// for every caller, the libraries' own calls included, so the shipped libraries need no
// seam of their own. Each allocation first asks the program's TestAllocationFails.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "vrqapi.h"

// Defined by the test program: whether this allocation fails (old is null for a new block,
// the block being resized otherwise).
bool TestAllocationFails(void* old, std::size_t size);

// As the library's: zero-filled blocks, 1/0 results, a failed resize leaves the block.
extern "C" int fNewMemory(void** slot, size_t size, const char* /*module*/) {
  if (slot == nullptr) return 0;
  *slot = TestAllocationFails(nullptr, size) ? nullptr : std::malloc(size);
  if (*slot == nullptr) return 0;
  std::memset(*slot, 0, size);
  return 1;
}

extern "C" int fSizeMemory(void** slot, size_t size) {
  if (slot == nullptr || TestAllocationFails(*slot, size)) return 0;
  void* grown = std::realloc(*slot, size == 0 ? 1 : size);
  if (grown == nullptr) return 0;
  *slot = grown;
  return 1;
}

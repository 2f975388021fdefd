// Internal seam of the tracked allocator. When a program defines vrq_alloc_hook, every
// allocation and resize of fNewMemory/fSizeMemory goes through it instead of the heap
// (old is null for a new block); the tests use it to make allocations fail on demand.
// The shipped programs never define it, so the heap is used directly.
#pragma once

#include <cstddef>

extern "C" __attribute__((weak, visibility("default"))) void* vrq_alloc_hook(void* old,
                                                                  std::size_t size);

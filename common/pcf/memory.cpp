// Tracked memory: the three allocation operations every library uses (zero-filled
// blocks, 1/0 results), the list of registered block records and the memory log.
#include <vrqapi.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

extern "C" const int32_t bGarbage = 0;

namespace {

constexpr const char* kOpenFailed =
    "Failed to open memory log file '%s' for writing\n(errno: %d (%s))\ndefaulting to stdout\n";
constexpr const char* kDumpLine = "Module(%s); Address = 0x%p; MemSize = %zu Refer = %d\n";
constexpr const char* kDumpEnd = "END OF DUMP, total blocks = %d\n";

BlockRecord* g_head = nullptr;
FILE* g_log = nullptr;

void DefaultLog() {
  if (g_log == nullptr) g_log = stdout;
}

// The heap call behind both operations. realloc(p, 0) may free p and return null, which
// would leave the caller's slot dangling, so a zero size is asked for as one byte when
// resizing.
void* RawAlloc(void* old, std::size_t size) {
  if (old == nullptr) return std::malloc(size);
  return std::realloc(old, size == 0 ? 1 : size);
}

bool Contains(const BlockRecord* r, const void* p) {
  auto start = reinterpret_cast<std::uintptr_t>(r->pAddress);
  auto at = reinterpret_cast<std::uintptr_t>(p);
  return r->ulSize != 0 && at >= start && at - start < r->ulSize;
}

BlockRecord* Find(const void* p) {
  for (BlockRecord* r = g_head; r != nullptr; r = r->pNext)
    if (Contains(r, p)) return r;
  return nullptr;
}

}  // namespace

extern "C" {

// The allocation operations touch no shared state (the memory log's stream is chosen
// when it is first written), so any number of threads may allocate at once. The block
// list and the memory log are for one thread: a program's start-up and diagnostics.
int fNewMemory(void** slot, size_t size, const char* /*module*/) {
  if (slot == nullptr) return 0;
  *slot = RawAlloc(nullptr, size);
  if (*slot == nullptr) return 0;
  std::memset(*slot, bGarbage & 0xFF, size);
  return 1;
}

int fSizeMemory(void** slot, size_t size) {
  if (slot == nullptr) return 0;
  void* grown = RawAlloc(*slot, size);
  if (grown == nullptr) return 0;
  *slot = grown;
  return 1;
}

void FreeMemory(void* block) { std::free(block); }

void SetMemoryLogFile(const char* path) {
  if (path == nullptr || *path == '\0') return;
  if (g_log != nullptr && g_log != stdout && g_log != stderr) std::fclose(g_log);
  g_log = std::fopen(path, "w");
  if (g_log == nullptr) {
    int err = errno;
    std::printf(kOpenFailed, path, err, std::strerror(err));
    g_log = stdout;
  }
}

int fCreateBlockInfo(void* address, size_t size, const char* module) {
  auto* r = static_cast<BlockRecord*>(std::calloc(1, sizeof(BlockRecord)));
  if (r == nullptr) return 0;
  r->pAddress = address;
  r->ulSize = size;
  if (module != nullptr) std::strncpy(r->szModule, module, sizeof r->szModule - 1);
  r->pNext = g_head;
  g_head = r;
  return 1;
}

void FreeBlockInfo(void* address) {
  for (BlockRecord** link = &g_head; *link != nullptr; link = &(*link)->pNext) {
    BlockRecord* r = *link;
    if (r->pAddress != address) continue;
    *link = r->pNext;
    std::memset(r, bGarbage & 0xFF, sizeof *r);
    std::free(r);
    return;
  }
}

BlockRecord* pbiGetBlockInfo(void* pointer) { return Find(pointer); }

size_t UpdateBlockInfo(void* oldAddress, void* newAddress, size_t newSize) {
  if (BlockRecord* r = Find(oldAddress)) {
    r->pAddress = newAddress;
    r->ulSize = newSize;
  }
  return newSize;
}

size_t sizeofBlock(void* pointer) {
  const BlockRecord* r = Find(pointer);
  return r != nullptr ? static_cast<size_t>(r->ulSize) : 0;
}

void ClearMemoryRefs(void) {
  for (BlockRecord* r = g_head; r != nullptr; r = r->pNext) r->lReferenced = 0;
}

void NoteMemoryRef(void* pointer) {
  if (BlockRecord* r = Find(pointer)) r->lReferenced = 1;
}

// References are only noted for the dump; nothing is judged from them.
void CheckMemoryRefs(void) {}

int fValidPointer(void* /*pointer*/, size_t /*size*/) { return 1; }

int DumpMemoryLog(void) {
  DefaultLog();
  int count = 0;
  for (const BlockRecord* r = g_head; r != nullptr; r = r->pNext, ++count)
    std::fprintf(g_log, kDumpLine, r->szModule, r->pAddress, static_cast<size_t>(r->ulSize),
                 r->lReferenced);
  std::fprintf(g_log, kDumpEnd, count);
  std::fflush(g_log);
  return count;
}

}  // extern "C"

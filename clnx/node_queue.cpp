// The node queue: a singly linked FIFO of item pointers with a count, a readiness limit
// and a read cursor. Queue records and links come from the tracked allocator; items
// belong to the caller except in Qfree.
#include <cstddef>
#include <cstdio>

#include "vrqclnx.h"

static_assert(sizeof(void*) != 8 || sizeof(NodeQLink) == 16, "a link is two pointers");
static_assert(sizeof(void*) != 8 || (offsetof(NodeQueue, lCount) == 24 && sizeof(NodeQueue) == 32));

namespace {

constexpr const char* kQueueTag = "QALLOC";
constexpr const char* kLinkTag = "QPUT";
constexpr const char* kHeadLinkTag = "QPUTHEAD";
constexpr const char* kPutNull = "Qput: null Queue input";
constexpr const char* kPutHeadNull = "Qputhead: null Queue input";
constexpr const char* kGetNull = "Qget: null Queue input";

NodeQLink* NewLink(void* item, const char* tag) {
  void* block = nullptr;
  if (!fNewMemory(&block, sizeof(NodeQLink), tag)) return nullptr;
  auto* link = static_cast<NodeQLink*>(block);
  link->pNext = nullptr;
  link->pItem = item;
  return link;
}

void ReportNull(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

}  // namespace

extern "C" {

VRQCLNX_API NodeQueue* Qalloc(void) {
  void* block = nullptr;
  if (!fNewMemory(&block, sizeof(NodeQueue), kQueueTag)) return nullptr;
  auto* queue = static_cast<NodeQueue*>(block);
  *queue = NodeQueue{nullptr, nullptr, nullptr, 0, -1};
  return queue;
}

VRQCLNX_API void Qput(NodeQueue* queue, void* item) {
  if (queue == nullptr) return ReportNull(kPutNull);
  NodeQLink* link = NewLink(item, kLinkTag);
  if (link == nullptr) return;
  if (queue->pTail != nullptr) {
    queue->pTail->pNext = link;
  } else {
    queue->pHead = link;
  }
  queue->pTail = link;
  ++queue->lCount;
}

VRQCLNX_API void QputHigh(NodeQueue* queue, void* item) { Qput(queue, item); }

VRQCLNX_API void Qputhead(NodeQueue* queue, void* item) {
  if (queue == nullptr) return ReportNull(kPutHeadNull);
  NodeQLink* link = NewLink(item, kHeadLinkTag);
  if (link == nullptr) return;
  link->pNext = queue->pHead;
  queue->pHead = link;
  if (queue->pTail == nullptr) queue->pTail = link;
  ++queue->lCount;
}

VRQCLNX_API void* Qget(NodeQueue* queue) {
  if (queue == nullptr) {
    ReportNull(kGetNull);
    return nullptr;
  }
  NodeQLink* link = queue->pHead;
  if (link == nullptr) return nullptr;
  void* item = link->pItem;
  queue->pHead = link->pNext;
  if (queue->pCursor == link) queue->pCursor = link->pNext;
  FreeMemory(link);
  if (--queue->lCount <= 0 || queue->pHead == nullptr) {
    queue->lCount = 0;
    queue->pHead = queue->pTail = nullptr;
  }
  return item;
}

VRQCLNX_API void Qremove(NodeQueue* queue, void* item) {
  if (queue == nullptr) return;
  NodeQLink* previous = nullptr;
  NodeQLink* link = queue->pHead;
  while (link != nullptr) {
    NodeQLink* next = link->pNext;
    if (link->pItem != item) {
      previous = link;
      link = next;
      continue;
    }
    if (previous != nullptr) {
      previous->pNext = next;
    } else {
      queue->pHead = next;
    }
    if (queue->pTail == link) queue->pTail = previous;
    if (queue->pCursor == link) queue->pCursor = next;
    FreeMemory(link);
    --queue->lCount;
    link = next;
  }
}

VRQCLNX_API void Qstart(NodeQueue* queue) {
  if (queue != nullptr) queue->pCursor = queue->pHead;
}

VRQCLNX_API void* Qnext(NodeQueue* queue) {
  if (queue == nullptr || queue->pCursor == nullptr) return nullptr;
  void* item = queue->pCursor->pItem;
  queue->pCursor = queue->pCursor->pNext;
  return item;
}

VRQCLNX_API int Qdepth(NodeQueue* queue) { return queue != nullptr ? queue->lCount : 0; }

VRQCLNX_API void SetQLimit(NodeQueue* queue, int limit) {
  if (queue != nullptr) queue->lLimit = limit;
}

VRQCLNX_API int GetQLimit(NodeQueue* queue) { return queue != nullptr ? queue->lLimit : -1; }

VRQCLNX_API int IsQReady(NodeQueue* queue) {
  if (queue == nullptr || queue->lLimit == -1) return 1;
  return queue->lCount <= queue->lLimit ? 1 : 0;
}

VRQCLNX_API void Qfree(NodeQueue** queue) {
  if (queue == nullptr || *queue == nullptr) return;
  NodeQLink* link = (*queue)->pHead;
  while (link != nullptr) {
    NodeQLink* next = link->pNext;
    FreeMemory(link->pItem);
    FreeMemory(link);
    link = next;
  }
  FreeMemory(*queue);
  *queue = nullptr;
}

}  // extern "C"

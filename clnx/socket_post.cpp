// The multi-waits: select over the sockets of a SocketPostData, sorting them into
// read-ready, writable and exception lists. Descriptors that do not fit the descriptor
// sets are refused before anything is written into a set.
#include <cstddef>

#include "socket_sys.h"

static_assert(FD_SETSIZE >= VRQ_SOCK_SET_SIZE, "the descriptor sets hold VRQ_SOCK_SET_SIZE descriptors");
static_assert(sizeof(void*) != 8 || (offsetof(SocketPostData, ppInput) == 8 &&
                                     offsetof(SocketPostData, pReadSet) == 40 &&
                                     sizeof(SocketPostData) == 64));

namespace {

using namespace vrq::net;

constexpr const char* kSetTag = "SocketPostData";
constexpr const char* kWritePoint = "NPostSocket:Write";

fd_set* ReadSet(const SocketPostData* post) { return static_cast<fd_set*>(post->pReadSet); }
fd_set* WriteSet(const SocketPostData* post) { return static_cast<fd_set*>(post->pWriteSet); }
fd_set* ExceptSet(const SocketPostData* post) { return static_cast<fd_set*>(post->pExceptSet); }

// The sockets of a list: up to the first null entry, at most ulCount - 1 of them.
uint32_t ListLength(const SocketPostData* post, SocketRecord* const* list) {
  if (list == nullptr || post->ulCount == 0) return 0;
  uint32_t n = 0;
  while (n + 1 < post->ulCount && list[n] != nullptr) ++n;
  return n;
}

bool InSet(const fd_set* set, const SocketRecord* rec) {
  return set != nullptr && FitsDescriptorSet(set, rec->iSocket) &&
         FD_ISSET(rec->iSocket, set);
}

// Adds a descriptor to a set when both exist; false when it does not fit the set.
bool AddToSet(fd_set* set, int fd, int* highest) {
  if (fd < 0 || set == nullptr) return true;
  if (!FitsDescriptorSet(set, fd)) return false;
  FD_SET(fd, set);
  if (fd > *highest) *highest = fd;
  return true;
}

bool IsPending(const SocketRecord* rec) {
  return rec->iType == SOCK_STREAM && rec->lConnected == 0;
}

// Everything both waits share up to the select call. with_writes adds the write list
// and the pending connects. Returns 1 when something is ready, 0 with *error_out set.
int Wait(SocketPostData* post, const PostTimeout* timeout, int* error_out, bool with_writes) {
  int ignored = 0;
  int& error = error_out != nullptr ? *error_out : ignored;
  error = 0;
  if (post == nullptr || post->pReadSet == nullptr || post->pWriteSet == nullptr ||
      post->pExceptSet == nullptr) {
    error = kErrInvalid;
    return 0;
  }
  FD_ZERO(ReadSet(post));
  FD_ZERO(WriteSet(post));
  FD_ZERO(ExceptSet(post));
  fd_set* read = post->ppReady != nullptr ? ReadSet(post) : nullptr;
  fd_set* except = post->ppException != nullptr ? ExceptSet(post) : nullptr;
  fd_set* write = (with_writes && post->ppWrite != nullptr) ? WriteSet(post) : nullptr;
  int highest = -1;
  bool fits = true;
  const uint32_t inputs = ListLength(post, post->ppInput);
  for (uint32_t i = 0; i < inputs; ++i) {
    const int fd = post->ppInput[i]->iSocket;
    fits = fits && AddToSet(read, fd, &highest) && AddToSet(except, fd, &highest);
    if (IsPending(post->ppInput[i])) fits = fits && AddToSet(write, fd, &highest);
  }
  const uint32_t writes = write != nullptr ? ListLength(post, post->ppWrite) : 0;
  for (uint32_t i = 0; i < writes; ++i) {
    fits = fits && AddToSet(write, post->ppWrite[i]->iSocket, &highest);
  }
  if (!fits) {
    error = VRQ_SOCK_FD_RANGE;
    return 0;
  }
  timeval limit{};
  if (timeout != nullptr) {
    limit.tv_sec = static_cast<decltype(limit.tv_sec)>(timeout->ulSeconds + timeout->ulMilliSec / 1000);
    limit.tv_usec = static_cast<decltype(limit.tv_usec)>((timeout->ulMilliSec % 1000) * 1000);
  }
  ClearLastError();
  const int rc = select(highest + 1, ReadSet(post), WriteSet(post), ExceptSet(post),
                        timeout != nullptr ? &limit : nullptr);
  if (rc < 0) {
    error = LastError();
    return 0;
  }
  if (rc == 0) {
    error = VRQ_SOCK_TIMEOUT;
    return 0;
  }
  return 1;
}

// Appends rec to a list whose current length is *n, keeping the final null slot free.
void Append(const SocketPostData* post, SocketRecord** list, uint32_t* n, SocketRecord* rec) {
  if (*n + 1 < post->ulCount) list[(*n)++] = rec;
}

void Terminate(SocketRecord** list, uint32_t n) {
  if (list != nullptr) list[n] = nullptr;
}

// The write list shrunk to the sockets found writable, each marked connected.
uint32_t KeepWritable(SocketPostData* post) {
  const uint32_t writes = ListLength(post, post->ppWrite);
  uint32_t kept = 0;
  for (uint32_t i = 0; i < writes; ++i) {
    SocketRecord* rec = post->ppWrite[i];
    if (!InSet(WriteSet(post), rec)) continue;
    rec->lConnected = 1;
    post->ppWrite[kept++] = rec;
    RunSocketTrace(kWritePoint, rec);
  }
  return kept;
}

// Sorts the input list into the output lists after a successful select.
void Sort(SocketPostData* post, bool with_writes) {
  const char* ready_point = with_writes ? "NPostSocket:Ready" : "PostSocket:Ready";
  const char* except_point = with_writes ? "NPostSocket:Exception" : "PostSocket:Exception";
  const bool writes = with_writes && post->ppWrite != nullptr;
  uint32_t written = writes ? KeepWritable(post) : 0;
  uint32_t ready = 0;
  uint32_t excepted = 0;
  const uint32_t inputs = ListLength(post, post->ppInput);
  for (uint32_t i = 0; i < inputs; ++i) {
    SocketRecord* rec = post->ppInput[i];
    if (rec->iSocket < 0) continue;
    if (post->ppReady != nullptr && InSet(ReadSet(post), rec)) {
      Append(post, post->ppReady, &ready, rec);
      RunSocketTrace(ready_point, rec);
    } else if (post->ppException != nullptr && InSet(ExceptSet(post), rec)) {
      Append(post, post->ppException, &excepted, rec);
      RunSocketTrace(except_point, rec);
    } else if (writes && rec->lConnected == 0 && InSet(WriteSet(post), rec)) {
      rec->lConnected = 1;
      Append(post, post->ppWrite, &written, rec);
      RunSocketTrace(kWritePoint, rec);
    }
  }
  Terminate(post->ppReady, ready);
  Terminate(post->ppException, excepted);
  if (writes) Terminate(post->ppWrite, written);
}

bool AllocateList(SocketRecord*** list, uint32_t n) {
  void* block = nullptr;
  if (!fNewMemory(&block, sizeof(SocketRecord*) * n, kSetTag)) return false;
  *list = static_cast<SocketRecord**>(block);
  return true;
}

bool AllocateSet(void** set) { return fNewMemory(set, sizeof(fd_set), kSetTag) != 0; }

template <typename T>
void Release(T** area) {
  FreeMemory(*area);
  *area = nullptr;
}

}  // namespace

extern "C" {

VRQCLNX_API int InitSocketPostData(SocketPostData* post, uint32_t n) {
  if (post == nullptr || n == 0) return 0;
  post->ulCount = n;
  const bool ok = AllocateList(&post->ppInput, n) && AllocateList(&post->ppReady, n) &&
                  AllocateList(&post->ppWrite, n) && AllocateList(&post->ppException, n) &&
                  AllocateSet(&post->pReadSet) && AllocateSet(&post->pWriteSet) &&
                  AllocateSet(&post->pExceptSet);
  return ok ? 1 : 0;
}

VRQCLNX_API int FreeSocketPostData(SocketPostData* post) {
  if (post == nullptr) return 0;
  post->ulCount = 0;
  Release(&post->ppInput);
  Release(&post->ppReady);
  Release(&post->ppWrite);
  Release(&post->ppException);
  Release(&post->pReadSet);
  Release(&post->pWriteSet);
  Release(&post->pExceptSet);
  return 1;
}

VRQCLNX_API int PostSocket(SocketPostData* post, const PostTimeout* timeout, int* error_out) {
  if (!Wait(post, timeout, error_out, false)) return 0;
  Sort(post, false);
  return 1;
}

VRQCLNX_API int NPostSocket(SocketPostData* post, const PostTimeout* timeout, int* error_out) {
  if (!Wait(post, timeout, error_out, true)) return 0;
  Sort(post, true);
  return 1;
}

}  // extern "C"

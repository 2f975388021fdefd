// Waiting on many MQNodes at once: the read-side wait (mnPost) and the wait with write
// readiness (mnNPost) over the socket layer's multi-waits, sorting the nodes that are
// ready into accept (servers), ready (data waiting) and writable lists.
#include <climits>
#include <cstdint>

#include "mq_node_internal.h"

namespace {

using namespace vrq::node;

// Clears the post data's lists when it goes out of scope (they are caller-owned memory).
struct PostArea {
  SocketPostData data{};
  bool ok = false;
  PostArea() { ok = InitSocketPostData(&data, MQNODE_POST_SLOTS) != 0; }
  ~PostArea() { FreeSocketPostData(&data); }
  PostArea(const PostArea&) = delete;
  PostArea& operator=(const PostArea&) = delete;
};

int SecondsToMilliseconds(int seconds) {
  if (seconds < 0) return -1;
  const int64_t ms = static_cast<int64_t>(seconds) * 1000;
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

MQNode* OwnerOf(SocketRecord* rec) {
  auto* node = static_cast<MQNode*>(rec->pOwner);
  return node != nullptr && &node->Socket == rec ? node : nullptr;
}

struct NodeList {
  MQNode** out;
  size_t count = 0;
  void Add(MQNode* node) {
    if (out != nullptr) out[count++] = node;
  }
  void Close() {
    if (out != nullptr) out[count] = nullptr;
  }
};

// Fills the input list (and, with writes, the write list of nodes with queued output)
// from the null-terminated nodes, keeping the last slot of each list for its terminator.
void BuildInput(SocketPostData* post, MQNode** nodes, bool with_writes) {
  const uint32_t room = post->ulCount - 1;
  uint32_t inputs = 0;
  uint32_t writes = 0;
  for (MQNode** n = nodes; n != nullptr && *n != nullptr; ++n) {
    if (inputs == room || (with_writes && writes == room)) break;
    post->ppInput[inputs++] = &(*n)->Socket;
    if (with_writes && (*n)->pOutQ != nullptr) post->ppWrite[writes++] = &(*n)->Socket;
  }
  post->ppInput[inputs] = nullptr;
  post->ppWrite[writes] = nullptr;
}

void SortReady(SocketRecord** list, NodeList& accept, NodeList& ready, const char* point) {
  for (SocketRecord** s = list; s != nullptr && *s != nullptr; ++s) {
    MQNode* node = OwnerOf(*s);
    if (node == nullptr) continue;
    (node->ulMode == MQNODE_MODE_SERVER ? accept : ready).Add(node);
    Trace(node, point);
  }
}

PostTimeout ToTimeout(int milliseconds) {
  PostTimeout timeout{};
  timeout.ulSeconds = static_cast<uint32_t>(milliseconds / 1000);
  timeout.ulMilliSec = static_cast<uint32_t>(milliseconds % 1000);
  return timeout;
}

int Wait(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, MQNode** writable_out, int milliseconds,
         int* error_out, SocketPostData* post, bool with_writes) {
  NodeList accept{accept_out};
  NodeList ready{ready_out};
  NodeList writable{writable_out};
  int result = 0;
  if (post == nullptr || post->ulCount == 0 || post->ppInput == nullptr || post->ppWrite == nullptr) {
    if (error_out != nullptr) *error_out = MQNODE_INVALID;
  } else {
    BuildInput(post, nodes, with_writes);
    const PostTimeout timeout = ToTimeout(milliseconds);
    const PostTimeout* limit = milliseconds >= 0 ? &timeout : nullptr;
    result = with_writes ? NPostSocket(post, limit, error_out) : PostSocket(post, limit, error_out);
  }
  if (result) {
    SortReady(post->ppReady, accept, ready, with_writes ? "mnNPost::Ready" : "mnPost::Ready");
    if (with_writes) {
      SortReady(post->ppException, accept, ready, "mnNPost::Exception");
      for (SocketRecord** s = post->ppWrite; *s != nullptr; ++s) {
        MQNode* node = OwnerOf(*s);
        if (node == nullptr) continue;
        node->ulOpen = 1;
        writable.Add(node);
        Trace(node, "mnNPost::Write");
      }
    }
  }
  accept.Close();
  ready.Close();
  if (with_writes) writable.Close();
  return result;
}

}  // namespace

extern "C" {

VRQCLNX_API int mnPost(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, int seconds, int* error_out) {
  PostArea area;
  return mnPostEx(nodes, accept_out, ready_out, seconds, error_out, area.ok ? &area.data : nullptr);
}

VRQCLNX_API int mnPostEx(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, int seconds, int* error_out,
                         SocketPostData* post) {
  return mnPostExMSec(nodes, accept_out, ready_out, SecondsToMilliseconds(seconds), error_out, post);
}

VRQCLNX_API int mnPostExMSec(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, int milliseconds,
                             int* error_out, SocketPostData* post) {
  return Wait(nodes, accept_out, ready_out, nullptr, milliseconds, error_out, post, false);
}

VRQCLNX_API int mnNPost(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, MQNode** writable_out,
                        int seconds, int* error_out) {
  PostArea area;
  return mnNPostEx(nodes, accept_out, ready_out, writable_out, seconds, error_out, area.ok ? &area.data : nullptr);
}

VRQCLNX_API int mnNPostEx(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, MQNode** writable_out,
                          int seconds, int* error_out, SocketPostData* post) {
  return mnNPostExMSec(nodes, accept_out, ready_out, writable_out, SecondsToMilliseconds(seconds), error_out, post);
}

VRQCLNX_API int mnNPostExMSec(MQNode** nodes, MQNode** accept_out, MQNode** ready_out, MQNode** writable_out,
                              int milliseconds, int* error_out, SocketPostData* post) {
  return Wait(nodes, accept_out, ready_out, writable_out, milliseconds, error_out, post, true);
}

}  // extern "C"

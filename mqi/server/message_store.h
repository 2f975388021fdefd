// The messages of one queue, kept so that no operation costs more as the queue grows:
// one list per priority in arrival order (every message, held or not, and the browse
// cursors), a second list per priority of the messages a get may take, hash indexes by
// MsgId and CorrelId, and a time-ordered index of the deadlines of available messages.
// A message is one block (descriptor, links, index entries) plus its data.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include <cmqc.h>

namespace vrqsim {

struct Message;
class MessageStore;

// The two links of one intrusive list through messages.
struct Link {
  Message* prev = nullptr;
  Message* next = nullptr;
};

struct MessageList {
  Message* head = nullptr;
  Message* tail = nullptr;
};

struct Message {
  MQMD md{};                   // version-2 descriptor as stored
  std::vector<uint8_t> data;
  uint64_t seq = 0;            // arrival order
  int64_t expires_at = 0;      // SteadyMs() deadline; 0 = never
  uint32_t put_session = 0;    // uncommitted put of this session: invisible to gets
  uint32_t get_session = 0;    // got under this session's unit of work: locked
  uint64_t log_id = 0;         // persistent and in the recovery log under this number
  MessageStore* store = nullptr;
  Link uow;                    // the messages of one unit of work (the session's list)

  // Kept by the store.
  Link position;
  Link available;
  Link by_msg_id;
  Link by_correl_id;
  std::multimap<int64_t, Message*>::iterator expiry_entry;
  bool is_available = false;
  bool in_expiry = false;
  bool is_cursor = false;
  bool placed = false;         // a cursor that sits in a position list

  bool held() const { return put_session || get_session; }
};

// Intrusive list operations on the links named by L.
template <Link Message::*L>
void PushBack(MessageList& list, Message* m) {
  (m->*L).prev = list.tail;
  (m->*L).next = nullptr;
  if (list.tail)
    (list.tail->*L).next = m;
  else
    list.head = m;
  list.tail = m;
}

// Inserts m after `after`, or at the front when `after` is null.
template <Link Message::*L>
void InsertAfter(MessageList& list, Message* after, Message* m) {
  Message* next = after ? (after->*L).next : list.head;
  (m->*L).prev = after;
  (m->*L).next = next;
  if (after)
    (after->*L).next = m;
  else
    list.head = m;
  if (next)
    (next->*L).prev = m;
  else
    list.tail = m;
}

template <Link Message::*L>
void Unlink(MessageList& list, Message* m) {
  Link& l = m->*L;
  if (l.prev)
    (l.prev->*L).next = l.next;
  else
    list.head = l.next;
  if (l.next)
    (l.next->*L).prev = l.prev;
  else
    list.tail = l.prev;
  l = Link{};
}

class MessageStore {
 public:
  static constexpr int kPriorities = 10;

  MessageStore() = default;
  ~MessageStore();
  MessageStore(const MessageStore&) = delete;
  MessageStore& operator=(const MessageStore&) = delete;

  // Messages on the queue, committed or not (browse cursors do not count).
  size_t depth() const { return depth_; }
  // Messages that a unit of work holds: uncommitted puts and gets.
  size_t held() const { return held_; }
  bool empty() const { return depth_ == 0; }

  // Takes a message (md.Priority 0 to 9) to the end of its priority; it is available at
  // once unless its put belongs to a unit of work.
  Message* Add(std::unique_ptr<Message> m);
  // Unlinks a message from the store; the caller owns it again.
  std::unique_ptr<Message> Take(Message* m);
  // A get under syncpoint holds the message: no get, browse or expiry sees it.
  void Hold(Message* m, uint32_t session);
  // A committed put or a backed-out get: the message becomes available at its place.
  void Release(Message* m);
  // Frees every message (none may be held); browse cursors go back to the start.
  void Clear();

  // The first available message in delivery order (priority, then arrival); with an
  // identifier given, the first that carries it. Null when there is none.
  Message* First(const MQBYTE24* msg_id, const MQBYTE24* correl_id) const;

  // Browse cursors: a cursor sits after the last message it returned and stays there while
  // messages come and go. A new cursor is before the first message.
  Message* NewCursor();
  void DeleteCursor(Message* cursor);
  void ResetCursor(Message* cursor);
  void PlaceCursor(Message* cursor, Message* after);
  // The first available message after the cursor in delivery order.
  Message* NextAfter(const Message* cursor, const MQBYTE24* msg_id, const MQBYTE24* correl_id) const;
  // The message the cursor was placed after, when it is still there and available.
  Message* UnderCursor(const Message* cursor) const;

  // The available message whose deadline passed first, or null; the next deadline (0: none).
  Message* FirstExpired(int64_t now) const;
  int64_t NextExpiry() const { return expiry_.empty() ? 0 : expiry_.begin()->first; }

  // Every message (not the cursors), in delivery order.
  template <typename F>
  void ForEach(F f) const {
    for (int p = kPriorities - 1; p >= 0; --p)
      for (Message* m = position_[p].head; m; m = m->position.next)
        if (!m->is_cursor) f(*m);
  }

 private:
  using Index = std::unordered_map<uint64_t, MessageList>;

  void MakeAvailable(Message* m);
  void MakeUnavailable(Message* m);
  Message* Match(const MQBYTE24* msg_id, const MQBYTE24* correl_id, const Message* cursor) const;

  MessageList position_[kPriorities];
  MessageList available_[kPriorities];
  Index msg_ids_;
  Index correl_ids_;
  std::multimap<int64_t, Message*> expiry_;
  std::vector<std::unique_ptr<Message>> cursors_;
  size_t depth_ = 0;
  size_t held_ = 0;
};

}  // namespace vrqsim

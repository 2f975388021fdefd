// The message store of one queue. Put appends to its priority's lists; a get takes the head
// of the highest priority's available list; matching gets look in a hash index by
// identifier; commit and backout relink one message each; expiry reads the earliest
// deadline. Only the messages a unit of work holds (and browse cursors) are ever walked
// over, never the depth of the queue.
#include "message_store.h"

#include <cstring>

namespace vrqsim {

namespace {

bool IsNone(const MQBYTE24& id) {
  for (MQBYTE b : id)
    if (b) return false;
  return true;
}

bool Same(const MQBYTE24& a, const MQBYTE24& b) { return std::memcmp(a, b, sizeof(MQBYTE24)) == 0; }

// 64 bits of an identifier, mixed so that identifiers differing in any byte spread.
uint64_t IdHash(const MQBYTE24& id) {
  uint64_t w[3];
  std::memcpy(w, id, sizeof w);
  uint64_t h = w[0] * 0x9E3779B97F4A7C15ull ^ (w[1] + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full ^
               (w[2] + 0x165667B19E3779F9ull) * 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

using Index = std::unordered_map<uint64_t, MessageList>;

// Messages whose identifier hashes alike share one list, in arrival order.
template <Link Message::*L>
void IndexAdd(Index& index, const MQBYTE24& id, Message* m) {
  if (IsNone(id)) return;
  PushBack<L>(index[IdHash(id)], m);
}

template <Link Message::*L>
void IndexRemove(Index& index, const MQBYTE24& id, Message* m) {
  if (IsNone(id)) return;
  auto it = index.find(IdHash(id));
  if (it == index.end()) return;
  Unlink<L>(it->second, m);
  if (!it->second.head) index.erase(it);
}

int PriorityOf(const Message* m) { return static_cast<int>(m->md.Priority); }

// True when a comes before b in delivery order.
bool Before(const Message* a, const Message* b) {
  return PriorityOf(a) > PriorityOf(b) || (PriorityOf(a) == PriorityOf(b) && a->seq < b->seq);
}

}  // namespace

MessageStore::~MessageStore() {
  for (auto& list : position_) {
    for (Message* m = list.head; m;) {
      Message* next = m->position.next;
      if (!m->is_cursor) delete m;
      m = next;
    }
  }
}

Message* MessageStore::Add(std::unique_ptr<Message> owned) {
  Message* m = owned.release();
  m->store = this;
  PushBack<&Message::position>(position_[PriorityOf(m)], m);
  IndexAdd<&Message::by_msg_id>(msg_ids_, m->md.MsgId, m);
  IndexAdd<&Message::by_correl_id>(correl_ids_, m->md.CorrelId, m);
  ++depth_;
  if (m->held())
    ++held_;
  else
    MakeAvailable(m);
  return m;
}

std::unique_ptr<Message> MessageStore::Take(Message* m) {
  MakeUnavailable(m);
  Unlink<&Message::position>(position_[PriorityOf(m)], m);
  IndexRemove<&Message::by_msg_id>(msg_ids_, m->md.MsgId, m);
  IndexRemove<&Message::by_correl_id>(correl_ids_, m->md.CorrelId, m);
  --depth_;
  if (m->held()) --held_;
  m->store = nullptr;
  return std::unique_ptr<Message>(m);
}

void MessageStore::Hold(Message* m, uint32_t session) {
  MakeUnavailable(m);
  if (!m->held()) ++held_;
  m->get_session = session;
}

void MessageStore::Release(Message* m) {
  if (m->held()) --held_;
  m->put_session = 0;
  m->get_session = 0;
  MakeAvailable(m);
}

void MessageStore::MakeAvailable(Message* m) {
  if (m->is_available) return;
  // Its place among the available messages is after the nearest available one before it
  // in arrival order; only held messages and cursors lie in between.
  Message* before = m->position.prev;
  while (before && (before->is_cursor || !before->is_available)) before = before->position.prev;
  InsertAfter<&Message::available>(available_[PriorityOf(m)], before, m);
  m->is_available = true;
  if (m->expires_at) {
    m->expiry_entry = expiry_.emplace(m->expires_at, m);
    m->in_expiry = true;
  }
}

void MessageStore::MakeUnavailable(Message* m) {
  if (!m->is_available) return;
  Unlink<&Message::available>(available_[PriorityOf(m)], m);
  m->is_available = false;
  if (m->in_expiry) {
    expiry_.erase(m->expiry_entry);
    m->in_expiry = false;
  }
}

void MessageStore::Clear() {
  for (int p = 0; p < kPriorities; ++p) {
    for (Message* m = position_[p].head; m;) {
      Message* next = m->position.next;
      if (m->is_cursor)
        m->placed = false;
      else
        delete m;
      m = next;
    }
    position_[p] = {};
    available_[p] = {};
  }
  for (auto& c : cursors_) c->position = {};
  msg_ids_.clear();
  correl_ids_.clear();
  expiry_.clear();
  depth_ = 0;
  held_ = 0;
}

Message* MessageStore::First(const MQBYTE24* msg_id, const MQBYTE24* correl_id) const {
  if (msg_id || correl_id) return Match(msg_id, correl_id, nullptr);
  for (int p = kPriorities - 1; p >= 0; --p)
    if (available_[p].head) return available_[p].head;
  return nullptr;
}

// The first available message carrying the identifiers, after the cursor when one is
// given. The index list of one identifier holds the messages that share it (or its hash).
Message* MessageStore::Match(const MQBYTE24* msg_id, const MQBYTE24* correl_id, const Message* cursor) const {
  const bool by_msg_id = msg_id != nullptr;
  const Index& index = by_msg_id ? msg_ids_ : correl_ids_;
  const MQBYTE24& key = by_msg_id ? *msg_id : *correl_id;
  auto it = index.find(IdHash(key));
  if (it == index.end()) return nullptr;
  Link Message::*link = by_msg_id ? &Message::by_msg_id : &Message::by_correl_id;
  Message* best = nullptr;
  for (Message* m = it->second.head; m; m = (m->*link).next) {
    if (!m->is_available) continue;
    if (msg_id && !Same(m->md.MsgId, *msg_id)) continue;
    if (correl_id && !Same(m->md.CorrelId, *correl_id)) continue;
    if (cursor && cursor->placed && !Before(cursor, m)) continue;
    if (!best || Before(m, best)) best = m;
  }
  return best;
}

Message* MessageStore::NewCursor() {
  cursors_.push_back(std::make_unique<Message>());
  cursors_.back()->is_cursor = true;
  return cursors_.back().get();
}

void MessageStore::DeleteCursor(Message* cursor) {
  ResetCursor(cursor);
  for (auto it = cursors_.begin(); it != cursors_.end(); ++it) {
    if (it->get() == cursor) {
      cursors_.erase(it);
      return;
    }
  }
}

void MessageStore::ResetCursor(Message* cursor) {
  if (!cursor->placed) return;
  Unlink<&Message::position>(position_[PriorityOf(cursor)], cursor);
  cursor->placed = false;
}

void MessageStore::PlaceCursor(Message* cursor, Message* after) {
  ResetCursor(cursor);
  cursor->md.Priority = after->md.Priority;
  cursor->seq = after->seq;
  InsertAfter<&Message::position>(position_[PriorityOf(after)], after, cursor);
  cursor->placed = true;
}

Message* MessageStore::NextAfter(const Message* cursor, const MQBYTE24* msg_id, const MQBYTE24* correl_id) const {
  if (msg_id || correl_id) return Match(msg_id, correl_id, cursor);
  if (!cursor->placed) return First(nullptr, nullptr);
  const int from = PriorityOf(cursor);
  for (Message* m = cursor->position.next; m; m = m->position.next)
    if (!m->is_cursor && m->is_available) return m;
  for (int p = from - 1; p >= 0; --p)
    if (available_[p].head) return available_[p].head;
  return nullptr;
}

Message* MessageStore::UnderCursor(const Message* cursor) const {
  if (!cursor->placed) return nullptr;
  Message* m = cursor->position.prev;
  while (m && m->is_cursor) m = m->position.prev;
  return m && m->seq == cursor->seq && m->is_available ? m : nullptr;
}

Message* MessageStore::FirstExpired(int64_t now) const {
  if (expiry_.empty() || expiry_.begin()->first > now) return nullptr;
  return expiry_.begin()->second;
}

}  // namespace vrqsim

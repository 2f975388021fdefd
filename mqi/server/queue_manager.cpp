// The MQI semantics of the stand-in queue manager: opening queues (dynamic queues from
// models included), putting with context and identifiers stamped, getting with matching,
// truncation, browse and conversion, units of work, inquiring and setting attributes.
// Reports, expiry and the dead-letter rules live in delivery.cpp.
#include "queue_manager.h"

#include <cmqc.h>

#include <bit>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "conversion.h"
#include "recovery_log.h"

namespace vrqsim {

namespace {

constexpr MQLONG kInputOptions = MQOO_INPUT_AS_Q_DEF | MQOO_INPUT_SHARED | MQOO_INPUT_EXCLUSIVE;
constexpr MQLONG kAccessOptions = kInputOptions | MQOO_BROWSE | MQOO_OUTPUT | MQOO_INQUIRE | MQOO_SET;
constexpr MQLONG kOutputContextOptions = MQOO_PASS_IDENTITY_CONTEXT | MQOO_PASS_ALL_CONTEXT |
                                         MQOO_SET_IDENTITY_CONTEXT | MQOO_SET_ALL_CONTEXT;
constexpr MQLONG kKnownOpenOptions = kAccessOptions | kOutputContextOptions | MQOO_SAVE_ALL_CONTEXT |
                                     MQOO_ALTERNATE_USER_AUTHORITY | MQOO_FAIL_IF_QUIESCING |
                                     MQOO_BIND_ON_OPEN | MQOO_BIND_NOT_FIXED | MQOO_RESOLVE_LOCAL_Q |
                                     MQOO_NO_READ_AHEAD | MQOO_READ_AHEAD;
constexpr MQLONG kPutContextOptions = MQPMO_PASS_IDENTITY_CONTEXT | MQPMO_PASS_ALL_CONTEXT |
                                      MQPMO_SET_IDENTITY_CONTEXT | MQPMO_SET_ALL_CONTEXT |
                                      MQPMO_DEFAULT_CONTEXT | MQPMO_NO_CONTEXT;
constexpr MQLONG kMaxPriority = 9;

bool IsNone(const MQBYTE24& id) {
  for (MQBYTE b : id)
    if (b) return false;
  return true;
}

GetResult GetFailed(MQLONG rc) {
  GetResult r;
  r.outcome = Outcome::Fail(rc);
  return r;
}

bool Blank(const char* field, size_t n) { return Trimmed(field, n).empty(); }

std::string DateText(int64_t wall_ms, const char* format) {
  const time_t secs = static_cast<time_t>(wall_ms / 1000);
  struct tm tm {};
  gmtime_r(&secs, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}

// Copies the identity context fields (user, accounting token, identity data).
void CopyIdentity(const MQMD& from, MQMD& to) {
  std::memcpy(to.UserIdentifier, from.UserIdentifier, sizeof to.UserIdentifier);
  std::memcpy(to.AccountingToken, from.AccountingToken, sizeof to.AccountingToken);
  std::memcpy(to.ApplIdentityData, from.ApplIdentityData, sizeof to.ApplIdentityData);
}

void CopyOrigin(const MQMD& from, MQMD& to) {
  to.PutApplType = from.PutApplType;
  std::memcpy(to.PutApplName, from.PutApplName, sizeof to.PutApplName);
  std::memcpy(to.PutDate, from.PutDate, sizeof to.PutDate);
  std::memcpy(to.PutTime, from.PutTime, sizeof to.PutTime);
  std::memcpy(to.ApplOriginData, from.ApplOriginData, sizeof to.ApplOriginData);
}

}  // namespace

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t WallMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void PutStamp(int64_t wall_ms, char date[8], char time[8]) {
  const std::string d = DateText(wall_ms, "%Y%m%d");
  const std::string t = DateText(wall_ms, "%H%M%S");
  char hundredths[12];
  std::snprintf(hundredths, sizeof hundredths, "%02d", static_cast<int>((wall_ms % 1000) / 10));
  std::memcpy(date, d.data(), 8);
  std::memcpy(time, t.data(), 6);
  std::memcpy(time + 6, hundredths, 2);
}

QueueManager::QueueManager(std::string name) : name_(std::move(name)) {
  msgid_counter_ = static_cast<uint64_t>(WallMs()) * 1000;
  QueueAttrs local;
  Define("SYSTEM.DEFAULT.LOCAL.QUEUE", local);
  Define(kCommandQueue, local);
  Define(kDeadLetterQueue, local);
  QueueAttrs model;
  model.type = MQQT_MODEL;
  model.definition_type = MQQDT_TEMPORARY_DYNAMIC;
  model.def_input_open_option = MQOO_INPUT_EXCLUSIVE;
  Define("SYSTEM.DEFAULT.MODEL.QUEUE", model);
}

Session& QueueManager::OpenSession(std::string appl_name, std::string user) {
  auto s = std::make_unique<Session>();
  s->id = next_session_++;
  s->appl_name = std::move(appl_name);
  s->user = std::move(user);
  Session& ref = *s;
  sessions_[ref.id] = std::move(s);
  return ref;
}

Session* QueueManager::FindSession(uint32_t id) {
  auto it = sessions_.find(id);
  return it == sessions_.end() ? nullptr : it->second.get();
}

void QueueManager::EndSession(uint32_t id, bool commit) {
  Session* s = FindSession(id);
  if (!s) return;
  EndUnitOfWork(*s, commit);
  while (!s->handles.empty()) Close(*s, s->handles.begin()->first, MQCO_NONE);
  sessions_.erase(id);
}

Queue* QueueManager::FindQueue(std::string_view name) {
  auto it = queues_.find(name);
  return it == queues_.end() ? nullptr : &it->second;
}

bool QueueManager::Define(std::string name, const QueueAttrs& attrs) {
  auto [it, added] = queues_.try_emplace(name);
  if (!added) return false;
  Queue& q = it->second;
  q.name = std::move(name);
  q.attrs = attrs;
  q.incarnation = next_incarnation_++;
  const int64_t now = WallMs();
  q.creation_date = DateText(now, "%Y-%m-%d");
  q.creation_time = DateText(now, "%H.%M.%S");
  return true;
}

MQLONG QueueManager::Delete(std::string_view name, bool purge) {
  Queue* q = FindQueue(name);
  if (!q) return MQRC_UNKNOWN_OBJECT_NAME;
  if (q->open_input || q->open_output) return MQRC_OBJECT_IN_USE;
  if (!q->messages.empty() && !purge) return MQRC_Q_NOT_EMPTY;
  return Erase(*q) ? MQRC_NONE : MQRC_RESOURCE_PROBLEM;
}

MQLONG QueueManager::Clear(std::string_view name) {
  Queue* q = FindQueue(name);
  if (!q) return MQRC_UNKNOWN_OBJECT_NAME;
  if (q->attrs.type != MQQT_LOCAL) return MQRC_OBJECT_TYPE_ERROR;
  if (q->open_input || q->open_output || q->messages.held()) return MQRC_OBJECT_IN_USE;
  if (log_ && RecoveryLog::Logged(*q)) {
    if (!log_->Clear(q->name)) return MQRC_RESOURCE_PROBLEM;
    log_->RequireDurable();
  }
  q->messages.Clear();
  return MQRC_NONE;
}

bool QueueManager::Erase(Queue& q) {
  if (log_ && RecoveryLog::Logged(q)) {
    if (!log_->Delete(q.name)) return false;
    log_->RequireDurable();
  }
  if (q.messages.held()) {
    q.messages.ForEach([&](Message& m) {
      if (!m.held()) return;
      if (Session* s = FindSession(m.put_session ? m.put_session : m.get_session))
        Unlink<&Message::uow>(s->unit_of_work, &m);
    });
  }
  queues_.erase(queues_.find(q.name));
  return true;
}

bool QueueManager::InhibitPut(std::string_view queue, bool inhibit) {
  Queue* q = FindQueue(queue);
  if (!q) return false;
  q->attrs.inhibit_put = inhibit ? MQQA_PUT_INHIBITED : MQQA_PUT_ALLOWED;
  return true;
}

bool QueueManager::IsLocalQmgr(std::string_view qmgr) const { return qmgr.empty() || qmgr == name_; }

Handle* QueueManager::FindHandle(Session& s, MQHOBJ hobj) {
  auto it = s.handles.find(hobj);
  return it == s.handles.end() ? nullptr : &it->second;
}

Queue* QueueManager::HandleQueue(const Handle& h) {
  if (h.queue.empty()) return nullptr;
  Queue* q = FindQueue(h.queue);
  return q && q->incarnation == h.incarnation ? q : nullptr;
}

// ---- MQOPEN / MQCLOSE ----------------------------------------------------------------

OpenResult QueueManager::Open(Session& s, const ObjectRef& od, MQLONG options) {
  OpenResult r;
  const MQLONG input = options & kInputOptions;
  if (std::popcount(static_cast<uint32_t>(input)) > 1 || !(options & kAccessOptions) ||
      (options & ~kKnownOpenOptions) ||
      ((options & kOutputContextOptions) && !(options & MQOO_OUTPUT)) ||
      ((options & MQOO_SAVE_ALL_CONTEXT) && !input)) {
    r.outcome = Outcome::Fail(MQRC_OPTIONS_ERROR);
    return r;
  }
  if (od.type == MQOT_Q_MGR) {
    const std::string qm = Trimmed(od.name);
    if (!IsLocalQmgr(qm)) {
      r.outcome = Outcome::Fail(MQRC_UNKNOWN_OBJECT_NAME);
      return r;
    }
    if (options & ~(MQOO_INQUIRE | MQOO_ALTERNATE_USER_AUTHORITY | MQOO_FAIL_IF_QUIESCING)) {
      r.outcome = Outcome::Fail(MQRC_OPTION_NOT_VALID_FOR_TYPE);
      return r;
    }
    Handle h;
    h.options = options;
    r.hobj = s.next_handle++;
    s.handles.emplace(r.hobj, std::move(h));
    r.object_name = name_;
    return r;
  }
  if (od.type != MQOT_Q) {
    r.outcome = Outcome::Fail(MQRC_OBJECT_TYPE_ERROR);
    return r;
  }
  if (!IsLocalQmgr(Trimmed(od.qmgr))) {
    r.outcome = Outcome::Fail(MQRC_UNKNOWN_REMOTE_Q_MGR);
    return r;
  }
  return OpenQueue(s, od, options);
}

OpenResult QueueManager::OpenQueue(Session& s, const ObjectRef& od, MQLONG options) {
  OpenResult r;
  Queue* q = FindQueue(Trimmed(od.name));
  if (!q) {
    r.outcome = Outcome::Fail(MQRC_UNKNOWN_OBJECT_NAME);
    return r;
  }
  bool created = false;
  if (q->attrs.type == MQQT_MODEL) {
    MQLONG reason = MQRC_NONE;
    auto name = CreateDynamic(*q, Trimmed(od.dynamic), reason);
    if (!name) {
      r.outcome = Outcome::Fail(reason);
      return r;
    }
    q = FindQueue(*name);
    created = true;
  }
  MQLONG input = options & kInputOptions;
  if (input == MQOO_INPUT_AS_Q_DEF) input = q->attrs.def_input_open_option;
  if (input == MQOO_INPUT_SHARED && q->attrs.shareability == MQQA_NOT_SHAREABLE)
    input = MQOO_INPUT_EXCLUSIVE;
  if (input && (q->exclusive || (input == MQOO_INPUT_EXCLUSIVE && q->open_input > 0))) {
    r.outcome = Outcome::Fail(MQRC_OBJECT_IN_USE);
    return r;
  }
  Handle h;
  h.queue = q->name;
  h.incarnation = q->incarnation;
  h.options = options;
  h.input = input != 0;
  r.hobj = s.next_handle++;
  if (h.input) {
    ++q->open_input;
    q->exclusive = input == MQOO_INPUT_EXCLUSIVE;
  }
  if (options & MQOO_OUTPUT) ++q->open_output;
  if (created && q->attrs.definition_type == MQQDT_TEMPORARY_DYNAMIC) {
    q->owner_session = s.id;
    q->owner_handle = r.hobj;
  }
  s.handles.emplace(r.hobj, std::move(h));
  r.object_name = q->name;
  return r;
}

std::optional<std::string> QueueManager::CreateDynamic(const Queue& model, std::string_view dyn,
                                                       MQLONG& reason) {
  reason = MQRC_DYNAMIC_Q_NAME_ERROR;
  if (dyn.empty()) return std::nullopt;
  std::string name;
  const size_t star = dyn.find('*');
  if (star == std::string_view::npos) {
    if (!ValidObjectName(dyn)) return std::nullopt;
    if (FindQueue(dyn)) {
      reason = MQRC_OBJECT_ALREADY_EXISTS;
      return std::nullopt;
    }
    name = dyn;
  } else {
    // The asterisk ends the name and sits within its first 33 characters.
    if (star != dyn.size() - 1 || star > 32) return std::nullopt;
    const std::string prefix(dyn.substr(0, star));
    if (!prefix.empty() && !ValidObjectName(prefix)) return std::nullopt;
    do {
      char suffix[17];
      std::snprintf(suffix, sizeof suffix, "%016llX",
                    static_cast<unsigned long long>(msgid_counter_ + ++dynamic_counter_));
      name = (prefix + suffix).substr(0, 48);
    } while (FindQueue(name));
  }
  QueueAttrs attrs = model.attrs;
  attrs.type = MQQT_LOCAL;
  Define(name, attrs);
  const Queue& made = *FindQueue(name);
  if (log_ && RecoveryLog::Logged(made)) {
    if (!log_->Define(made)) {
      queues_.erase(name);
      reason = MQRC_RESOURCE_PROBLEM;
      return std::nullopt;
    }
    log_->RequireDurable();
  }
  return name;
}

Outcome QueueManager::Close(Session& s, MQHOBJ hobj, MQLONG options) {
  auto it = s.handles.find(hobj);
  if (it == s.handles.end()) return Outcome::Fail(MQRC_HOBJ_ERROR);
  if (options & ~(MQCO_DELETE | MQCO_DELETE_PURGE)) return Outcome::Fail(MQRC_OPTIONS_ERROR);
  Queue* q = HandleQueue(it->second);
  const bool dynamic = q && q->attrs.definition_type != MQQDT_PREDEFINED;
  if (options && !dynamic) return Outcome::Fail(MQRC_OPTION_NOT_VALID_FOR_TYPE);
  if (options == MQCO_DELETE && q && !q->messages.empty()) return Outcome::Fail(MQRC_Q_NOT_EMPTY);
  const Handle h = std::move(it->second);
  s.handles.erase(it);
  if (!q) return {};
  if (h.cursor) q->messages.DeleteCursor(h.cursor);
  if (h.input) {
    --q->open_input;
    q->exclusive = false;
  }
  if (h.options & MQOO_OUTPUT) --q->open_output;
  const bool owner = q->owner_session == s.id && q->owner_handle == hobj;
  if ((owner || options) && !Erase(*q)) return Outcome::Fail(MQRC_RESOURCE_PROBLEM);
  return {};
}

// ---- MQPUT / MQPUT1 ------------------------------------------------------------------

void QueueManager::MakeMsgId(MQBYTE24& id) {
  std::memcpy(id, "AMQ ", 4);
  SetField(reinterpret_cast<char*>(id) + 4, 12, name_);
  const uint64_t n = ++msgid_counter_;
  std::memcpy(id + 16, &n, 8);
}

void QueueManager::StampOrigin(Session& s, MQMD& md) {
  md.PutApplType = MQAT_UNIX;
  SetField(md.PutApplName, s.appl_name);
  PutStamp(WallMs(), md.PutDate, md.PutTime);
  SetField(md.ApplOriginData, "");
}

Outcome QueueManager::SetContext(Session& s, MQMD& md, const PutOptions& pmo) {
  const MQLONG ctx = pmo.options & kPutContextOptions;
  if (std::popcount(static_cast<uint32_t>(ctx)) > 1) return Outcome::Fail(MQRC_OPTIONS_ERROR);
  if (ctx == MQPMO_SET_ALL_CONTEXT) return {};
  if (ctx == MQPMO_NO_CONTEXT) {
    MQMD blank = {MQMD_DEFAULT};
    CopyIdentity(blank, md);
    CopyOrigin(blank, md);
    return {};
  }
  if (ctx == MQPMO_PASS_IDENTITY_CONTEXT || ctx == MQPMO_PASS_ALL_CONTEXT) {
    Handle* from = FindHandle(s, pmo.context);
    if (!from || !(from->options & MQOO_SAVE_ALL_CONTEXT)) return Outcome::Fail(MQRC_CONTEXT_HANDLE_ERROR);
    MQMD saved = {MQMD_DEFAULT};
    if (from->saved_context) saved = *from->saved_context;
    CopyIdentity(saved, md);
    if (ctx == MQPMO_PASS_ALL_CONTEXT) {
      CopyOrigin(saved, md);
      return {};
    }
  } else if (ctx != MQPMO_SET_IDENTITY_CONTEXT) {
    MQMD blank = {MQMD_DEFAULT};
    CopyIdentity(blank, md);
    SetField(md.UserIdentifier, s.user);
    if (s.accounting.size() == sizeof md.AccountingToken)
      std::memcpy(md.AccountingToken, s.accounting.data(), sizeof md.AccountingToken);
  }
  StampOrigin(s, md);
  return {};
}

Outcome QueueManager::PutToQueue(Session& s, Queue& q, MQMD& md, const PutOptions& pmo,
                                 std::span<const uint8_t> data) {
  if (std::memcmp(md.StrucId, MQMD_STRUC_ID, 4) != 0) return Outcome::Fail(MQRC_MD_ERROR);
  if (md.Expiry <= 0 && md.Expiry != MQEI_UNLIMITED) return Outcome::Fail(MQRC_EXPIRY_ERROR);
  if (md.Persistence < MQPER_NOT_PERSISTENT || md.Persistence > MQPER_PERSISTENCE_AS_Q_DEF)
    return Outcome::Fail(MQRC_PERSISTENCE_ERROR);
  if (md.Priority < MQPRI_PRIORITY_AS_Q_DEF) return Outcome::Fail(MQRC_PRIORITY_ERROR);
  const bool appl_type = md.MsgType >= MQMT_APPL_FIRST && md.MsgType <= MQMT_APPL_LAST;
  if (!appl_type && md.MsgType != MQMT_DATAGRAM && md.MsgType != MQMT_REQUEST &&
      md.MsgType != MQMT_REPLY && md.MsgType != MQMT_REPORT)
    return Outcome::Fail(MQRC_MSG_TYPE_ERROR);
  const MQLONG wants_reply = MQRO_COA | MQRO_COD | MQRO_EXPIRATION | MQRO_EXCEPTION;
  if ((md.MsgType == MQMT_REQUEST || (md.Report & wants_reply)) && Blank(md.ReplyToQ, 48))
    return Outcome::Fail(MQRC_MISSING_REPLY_TO_Q);
  if ((pmo.options & MQPMO_SYNCPOINT) && (pmo.options & MQPMO_NO_SYNCPOINT))
    return Outcome::Fail(MQRC_OPTIONS_ERROR);
  if (q.attrs.inhibit_put == MQQA_PUT_INHIBITED) return Outcome::Fail(MQRC_PUT_INHIBITED);
  if (data.size() > kMaxMsgLength) return Outcome::Fail(MQRC_MSG_TOO_BIG_FOR_Q_MGR);
  if (data.size() > static_cast<size_t>(q.attrs.max_msg_length)) return Outcome::Fail(MQRC_MSG_TOO_BIG_FOR_Q);
  if (q.messages.depth() >= static_cast<size_t>(q.attrs.max_depth)) return Outcome::Fail(MQRC_Q_FULL);
  if (Outcome c = SetContext(s, md, pmo); c.failed()) return c;

  Outcome outcome;
  if (IsNone(md.MsgId) || (pmo.options & MQPMO_NEW_MSG_ID)) MakeMsgId(md.MsgId);
  if (pmo.options & MQPMO_NEW_CORREL_ID) MakeMsgId(md.CorrelId);
  auto m = std::make_unique<Message>();
  m->md = md;
  m->md.Version = MQMD_VERSION_2;
  if (m->md.Priority == MQPRI_PRIORITY_AS_Q_DEF) m->md.Priority = q.attrs.def_priority;
  if (m->md.Priority > kMaxPriority) {
    m->md.Priority = kMaxPriority;
    outcome = Outcome::Warn(MQRC_PRIORITY_EXCEEDS_MAXIMUM);
  }
  if (m->md.Persistence == MQPER_PERSISTENCE_AS_Q_DEF) m->md.Persistence = q.attrs.def_persistence;
  if (m->md.CodedCharSetId == MQCCSI_Q_MGR) m->md.CodedCharSetId = ccsid();
  m->data.assign(data.begin(), data.end());
  if (md.Expiry > 0) m->expires_at = SteadyMs() + int64_t{md.Expiry} * 100;
  if (pmo.options & MQPMO_SYNCPOINT) m->put_session = s.id;
  if (!LogPut(s, q, *m, pmo.options & MQPMO_SYNCPOINT)) return Outcome::Fail(MQRC_RESOURCE_PROBLEM);
  Message* stored = Enqueue(q, std::move(m));
  if (stored->put_session) {
    PushBack<&Message::uow>(s.unit_of_work, stored);
    s.in_unit_of_work = true;
  } else {
    Arrived(*stored);
  }
  return outcome;
}

Outcome QueueManager::Put(Session& s, MQHOBJ hobj, MQMD& md, const PutOptions& pmo,
                          std::span<const uint8_t> data) {
  Handle* h = FindHandle(s, hobj);
  if (!h) return Outcome::Fail(MQRC_HOBJ_ERROR);
  if (!(h->options & MQOO_OUTPUT)) return Outcome::Fail(MQRC_NOT_OPEN_FOR_OUTPUT);
  Queue* q = HandleQueue(*h);
  if (!q) return Outcome::Fail(MQRC_Q_DELETED);
  return PutToQueue(s, *q, md, pmo, data);
}

Outcome QueueManager::Put1(Session& s, const ObjectRef& od, MQMD& md, const PutOptions& pmo,
                           std::span<const uint8_t> data) {
  MQLONG options = MQOO_OUTPUT;
  if (pmo.options & MQPMO_PASS_IDENTITY_CONTEXT) options |= MQOO_PASS_IDENTITY_CONTEXT;
  if (pmo.options & MQPMO_PASS_ALL_CONTEXT) options |= MQOO_PASS_ALL_CONTEXT;
  if (pmo.options & MQPMO_SET_IDENTITY_CONTEXT) options |= MQOO_SET_IDENTITY_CONTEXT;
  if (pmo.options & MQPMO_SET_ALL_CONTEXT) options |= MQOO_SET_ALL_CONTEXT;
  if (od.type != MQOT_Q) return Outcome::Fail(MQRC_OBJECT_TYPE_ERROR);
  OpenResult opened = Open(s, od, options);
  if (opened.outcome.failed()) return opened.outcome;
  Outcome put = Put(s, opened.hobj, md, pmo, data);
  Close(s, opened.hobj, MQCO_NONE);
  return put;
}

// ---- MQGET ---------------------------------------------------------------------------

void QueueManager::Convert(Message& m, MQMD& md, Outcome& outcome) {
  // md holds the caller's requested CodedCharSetId and Encoding on entry.
  const MQLONG want_ccsid = md.CodedCharSetId == MQCCSI_Q_MGR ? ccsid() : md.CodedCharSetId;
  const MQLONG want_encoding = md.Encoding;
  const bool same = m.md.CodedCharSetId == want_ccsid && m.md.Encoding == want_encoding;
  md = m.md;
  if (same) return;
  MQLONG reason = MQRC_NOT_CONVERTED;
  if (std::memcmp(m.md.Format, MQFMT_STRING, 8) == 0) {
    std::vector<uint8_t> data = m.data;
    reason = ConvertText(data, m.md.CodedCharSetId, want_ccsid);
    if (reason == MQRC_NONE) {
      m.data = std::move(data);
      m.md.CodedCharSetId = want_ccsid;
      m.md.Encoding = want_encoding;
      md = m.md;
      return;
    }
  } else if (std::memcmp(m.md.Format, MQFMT_NONE, 8) == 0) {
    reason = MQRC_FORMAT_ERROR;   // data of no stated format is never converted
  }
  outcome = Outcome::Warn(reason);
}

GetResult QueueManager::Get(Session& s, MQHOBJ hobj, MQMD& md, const GetOptions& gmo,
                            MQLONG buffer_length) {
  GetResult r;
  Handle* h = FindHandle(s, hobj);
  if (!h) return GetFailed(MQRC_HOBJ_ERROR);
  const bool browse_first = gmo.options & MQGMO_BROWSE_FIRST;
  const bool browse_next = gmo.options & MQGMO_BROWSE_NEXT;
  const bool browse_under = gmo.options & MQGMO_BROWSE_MSG_UNDER_CURSOR;
  const bool get_under = gmo.options & MQGMO_MSG_UNDER_CURSOR;
  const bool browse = browse_first || browse_next || browse_under;
  const MQLONG positions = MQGMO_BROWSE_FIRST | MQGMO_BROWSE_NEXT | MQGMO_BROWSE_MSG_UNDER_CURSOR | MQGMO_MSG_UNDER_CURSOR;
  if (std::popcount(static_cast<uint32_t>(gmo.options & positions)) > 1 ||
      ((gmo.options & MQGMO_SYNCPOINT) && (gmo.options & MQGMO_NO_SYNCPOINT)))
    return GetFailed(MQRC_OPTIONS_ERROR);
  if ((browse || get_under) && !(h->options & MQOO_BROWSE)) return GetFailed(MQRC_NOT_OPEN_FOR_BROWSE);
  if (!browse && !h->input) return GetFailed(MQRC_NOT_OPEN_FOR_INPUT);
  if (buffer_length < 0) return GetFailed(MQRC_BUFFER_LENGTH_ERROR);
  Queue* q = HandleQueue(*h);
  if (!q) return GetFailed(MQRC_Q_DELETED);
  if (q->attrs.inhibit_get == MQQA_GET_INHIBITED) return GetFailed(MQRC_GET_INHIBITED);

  const MQBYTE24* msg_id = (gmo.match & MQMO_MATCH_MSG_ID) && !IsNone(md.MsgId) ? &md.MsgId : nullptr;
  const MQBYTE24* correl_id =
      (gmo.match & MQMO_MATCH_CORREL_ID) && !IsNone(md.CorrelId) ? &md.CorrelId : nullptr;
  MessageStore& store = q->messages;
  if (browse && !h->cursor) h->cursor = store.NewCursor();
  if (browse_first) store.ResetCursor(h->cursor);
  // Expired messages met on the way are discarded (with their reports) and never returned.
  const int64_t now = SteadyMs();
  Message* found = nullptr;
  if (browse_under || get_under) {
    // The message last browsed through this handle, while it is still there to take.
    found = h->cursor ? store.UnderCursor(h->cursor) : nullptr;
    if (found && found->expires_at && now >= found->expires_at) {
      Expire(found);
      found = nullptr;
    }
    if (!found) return GetFailed(MQRC_NO_MSG_UNDER_CURSOR);
  }
  while (!found) {
    found = browse ? store.NextAfter(h->cursor, msg_id, correl_id) : store.First(msg_id, correl_id);
    if (!found) return GetFailed(MQRC_NO_MSG_AVAILABLE);
    if (found->expires_at && now >= found->expires_at) {
      Expire(found);
      found = nullptr;
    }
  }

  Message& m = *found;
  if (log_ && m.log_id) log_->ReadsLogged();
  if (gmo.options & MQGMO_CONVERT) {
    Convert(m, md, r.outcome);
  } else {
    md = m.md;
  }
  if (m.expires_at) md.Expiry = static_cast<MQLONG>(std::max<int64_t>(1, (m.expires_at - now + 99) / 100));
  const size_t skip = gmo.properties ? TakeRfh2Properties(m.data, md, r.properties) : StripInternalRfh2(m.data, md);
  const std::span<const uint8_t> body = std::span<const uint8_t>(m.data).subspan(skip);
  r.data_length = static_cast<MQLONG>(body.size());
  // The buffer gets as much as fits even when the message stays where it is (2080); a
  // browse cursor then stays where it was, or before the first message after BROWSE_FIRST.
  r.data.assign(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(body.size(), static_cast<size_t>(buffer_length))));
  if (r.data_length > buffer_length) {
    if (!(gmo.options & MQGMO_ACCEPT_TRUNCATED_MSG)) {
      r.outcome = Outcome::Warn(MQRC_TRUNCATED_MSG_FAILED);
      return r;
    }
    r.outcome = Outcome::Warn(MQRC_TRUNCATED_MSG_ACCEPTED);
  }
  if (browse) {
    store.PlaceCursor(h->cursor, &m);
    return r;
  }
  const bool syncpoint = (gmo.options & MQGMO_SYNCPOINT) ||
                         ((gmo.options & MQGMO_SYNCPOINT_IF_PERSISTENT) &&
                          m.md.Persistence == MQPER_PERSISTENT);
  if (!LogGet(s, m, syncpoint)) return GetFailed(MQRC_RESOURCE_PROBLEM);
  if (h->options & MQOO_SAVE_ALL_CONTEXT) h->saved_context = m.md;
  if (syncpoint) {
    store.Hold(&m, s.id);
    PushBack<&Message::uow>(s.unit_of_work, &m);
    s.in_unit_of_work = true;
    return r;
  }
  Removed(*store.Take(&m), true);
  return r;
}

// ---- Units of work -------------------------------------------------------------------

// Commit and backout visit the unit of work's own messages only, in the order they were
// put or got.
bool QueueManager::EndUnitOfWork(Session& s, bool commit) {
  if (!s.in_unit_of_work) return true;
  s.in_unit_of_work = false;
  const bool asked = commit;
  if (log_ && s.log_uow) {
    // A commit that cannot be logged backs the unit of work out, as IBM MQ does when its
    // log is full; a backout needs no record to hold (a unit left open is backed out at
    // restart), so its record is written when it can be.
    if (commit && log_->Commit(s.log_uow)) {
      log_->RequireDurable();
    } else {
      commit = false;
      log_->Backout(s.log_uow);
    }
    s.log_uow = 0;
  }
  while (Message* m = s.unit_of_work.head) {
    Unlink<&Message::uow>(s.unit_of_work, m);
    MessageStore& store = *m->store;
    if (m->put_session == s.id) {
      if (!commit) {
        store.Take(m);
        continue;
      }
      store.Release(m);
      Arrived(*m);
    } else if (commit) {
      Removed(*store.Take(m), true);
    } else {
      ++m->md.BackoutCount;
      store.Release(m);
    }
  }
  activity_ = true;
  return commit == asked;
}

Outcome QueueManager::Commit(Session& s) {
  return EndUnitOfWork(s, true) ? Outcome{} : Outcome::Fail(MQRC_BACKED_OUT);
}

Outcome QueueManager::Backout(Session& s) {
  EndUnitOfWork(s, false);
  return {};
}

// ---- MQINQ / MQSET -------------------------------------------------------------------

namespace {

struct CharAttr {
  MQLONG selector;
  size_t length;
};

constexpr CharAttr kCharAttrs[] = {
    {MQCA_Q_NAME, 48},           {MQCA_Q_DESC, 64},         {MQCA_TRIGGER_DATA, 64},
    {MQCA_PROCESS_NAME, 48},     {MQCA_INITIATION_Q_NAME, 48}, {MQCA_CREATION_DATE, 12},
    {MQCA_CREATION_TIME, 8},     {MQCA_BACKOUT_REQ_Q_NAME, 48}, {MQCA_Q_MGR_NAME, 48},
    {MQCA_Q_MGR_DESC, 64},       {MQCA_DEAD_LETTER_Q_NAME, 48}, {MQCA_COMMAND_INPUT_Q_NAME, 48},
    {MQCA_Q_MGR_IDENTIFIER, 48},
};

std::optional<size_t> CharAttrLength(MQLONG selector) {
  for (const auto& a : kCharAttrs)
    if (a.selector == selector) return a.length;
  return std::nullopt;
}

bool IsIntSelector(MQLONG selector) { return selector >= MQIA_FIRST && selector <= MQIA_LAST; }

}  // namespace

std::optional<MQLONG> QueueIntAttr(const Queue& q, MQLONG selector) {
  const QueueAttrs& a = q.attrs;
  switch (selector) {
    case MQIA_CURRENT_Q_DEPTH: return static_cast<MQLONG>(q.messages.depth());
    case MQIA_MAX_Q_DEPTH: return a.max_depth;
    case MQIA_OPEN_INPUT_COUNT: return q.open_input;
    case MQIA_OPEN_OUTPUT_COUNT: return q.open_output;
    case MQIA_TRIGGER_CONTROL: return a.trigger_control;
    case MQIA_TRIGGER_TYPE: return a.trigger_type;
    case MQIA_TRIGGER_DEPTH: return a.trigger_depth;
    case MQIA_TRIGGER_MSG_PRIORITY: return a.trigger_msg_priority;
    case MQIA_Q_TYPE: return a.type;
    case MQIA_DEFINITION_TYPE: return a.definition_type;
    case MQIA_INHIBIT_GET: return a.inhibit_get;
    case MQIA_INHIBIT_PUT: return a.inhibit_put;
    case MQIA_MAX_MSG_LENGTH: return a.max_msg_length;
    case MQIA_DEF_PERSISTENCE: return a.def_persistence;
    case MQIA_DEF_PRIORITY: return a.def_priority;
    case MQIA_SHAREABILITY: return a.shareability;
    case MQIA_DEF_INPUT_OPEN_OPTION: return a.def_input_open_option;
    case MQIA_USAGE: return a.usage;
    case MQIA_BACKOUT_THRESHOLD: return a.backout_threshold;
    case MQIA_MSG_DELIVERY_SEQUENCE: return MQMDS_PRIORITY;
    default: return std::nullopt;
  }
}

std::optional<std::string> QueueCharAttr(const Queue& q, MQLONG selector) {
  switch (selector) {
    case MQCA_Q_NAME: return q.name;
    case MQCA_Q_DESC: return q.attrs.description;
    case MQCA_TRIGGER_DATA: return q.attrs.trigger_data;
    case MQCA_PROCESS_NAME: return q.attrs.process_name;
    case MQCA_INITIATION_Q_NAME: return q.attrs.initiation_queue;
    case MQCA_BACKOUT_REQ_Q_NAME: return q.attrs.backout_queue;
    case MQCA_CREATION_DATE: return q.creation_date;
    case MQCA_CREATION_TIME: return q.creation_time;
    default: return std::nullopt;
  }
}

static std::optional<MQLONG> QmgrInt(MQLONG selector, MQLONG ccsid) {
  switch (selector) {
    case MQIA_COMMAND_LEVEL: return QueueManager::kCommandLevel;
    case MQIA_PLATFORM: return MQPL_UNIX;
    case MQIA_CODED_CHAR_SET_ID: return ccsid;
    case MQIA_MAX_MSG_LENGTH: return static_cast<MQLONG>(kMaxMsgLength);
    case MQIA_MAX_PRIORITY: return 9;
    case MQIA_SYNCPOINT: return MQSP_AVAILABLE;
    case MQIA_MAX_HANDLES: return 256;
    default: return std::nullopt;
  }
}

Outcome QueueManager::Inquire(Session& s, MQHOBJ hobj, std::span<const MQLONG> selectors,
                              std::vector<MQLONG>& ints, MQLONG int_count, std::string& chars,
                              MQLONG char_length) {
  Handle* h = FindHandle(s, hobj);
  if (!h) return Outcome::Fail(MQRC_HOBJ_ERROR);
  if (!(h->options & MQOO_INQUIRE)) return Outcome::Fail(MQRC_NOT_OPEN_FOR_INQUIRE);
  if (selectors.size() > 256) return Outcome::Fail(MQRC_SELECTOR_COUNT_ERROR);
  if (int_count < 0) return Outcome::Fail(MQRC_INT_ATTR_COUNT_ERROR);
  if (char_length < 0) return Outcome::Fail(MQRC_CHAR_ATTR_LENGTH_ERROR);
  const Queue* q = h->queue.empty() ? nullptr : FindQueue(h->queue);
  if (!h->queue.empty() && !q) return Outcome::Fail(MQRC_Q_DELETED);
  Outcome outcome;
  auto warn = [&](MQLONG rc) { if (!outcome.rc) outcome = Outcome::Warn(rc); };
  for (MQLONG sel : selectors) {
    if (IsIntSelector(sel)) {
      auto v = q ? QueueIntAttr(*q, sel) : QmgrInt(sel, ccsid());
      if (!v) {
        if (!QueueIntAttr(Queue{}, sel) && !QmgrInt(sel, 0)) return Outcome::Fail(MQRC_SELECTOR_ERROR);
        warn(MQRC_SELECTOR_NOT_FOR_TYPE);
      }
      if (static_cast<MQLONG>(ints.size()) >= int_count) { warn(MQRC_INT_ATTR_COUNT_TOO_SMALL); continue; }
      ints.push_back(v.value_or(MQIAV_NOT_APPLICABLE));
      continue;
    }
    auto length = CharAttrLength(sel);
    if (!length) return Outcome::Fail(MQRC_SELECTOR_ERROR);
    std::optional<std::string> text;
    if (q) {
      text = QueueCharAttr(*q, sel);
    } else if (sel == MQCA_Q_MGR_NAME || sel == MQCA_Q_MGR_IDENTIFIER) {
      text = name_;
    } else if (sel == MQCA_DEAD_LETTER_Q_NAME) {
      text = kDeadLetterQueue;
    } else if (sel == MQCA_COMMAND_INPUT_Q_NAME) {
      text = kCommandQueue;
    } else if (sel == MQCA_Q_MGR_DESC) {
      text = "";
    }
    if (chars.size() + *length > static_cast<size_t>(char_length)) { warn(MQRC_CHAR_ATTRS_TOO_SHORT); continue; }
    if (!text) {
      warn(MQRC_SELECTOR_NOT_FOR_TYPE);
      chars.append(*length, '*');
      continue;
    }
    std::string field(*length, ' ');
    SetField(field.data(), *length, *text);
    chars += field;
  }
  return outcome;
}

Outcome QueueManager::SetAttrs(Session& s, MQHOBJ hobj, std::span<const MQLONG> selectors,
                               std::span<const MQLONG> ints, std::string_view chars) {
  Handle* h = FindHandle(s, hobj);
  if (!h) return Outcome::Fail(MQRC_HOBJ_ERROR);
  if (!(h->options & MQOO_SET)) return Outcome::Fail(MQRC_NOT_OPEN_FOR_SET);
  if (selectors.size() > 256) return Outcome::Fail(MQRC_SELECTOR_COUNT_ERROR);
  Queue* q = FindQueue(h->queue);
  if (!q) return Outcome::Fail(MQRC_Q_DELETED);
  // Check everything first: MQSET changes all attributes or none.
  QueueAttrs a = q->attrs;
  size_t next_int = 0, next_char = 0;
  for (MQLONG sel : selectors) {
    if (sel == MQCA_TRIGGER_DATA) {
      if (chars.size() < next_char + 64) return Outcome::Fail(MQRC_CHAR_ATTR_LENGTH_ERROR);
      a.trigger_data = Trimmed(chars.data() + next_char, 64);
      next_char += 64;
      continue;
    }
    if (!IsIntSelector(sel)) return Outcome::Fail(MQRC_SELECTOR_ERROR);
    if (next_int >= ints.size()) return Outcome::Fail(MQRC_INT_ATTR_COUNT_ERROR);
    const MQLONG v = ints[next_int++];
    switch (sel) {
      case MQIA_INHIBIT_GET:
        if (v != MQQA_GET_ALLOWED && v != MQQA_GET_INHIBITED) return Outcome::Fail(MQRC_INHIBIT_VALUE_ERROR);
        a.inhibit_get = v;
        break;
      case MQIA_INHIBIT_PUT:
        if (v != MQQA_PUT_ALLOWED && v != MQQA_PUT_INHIBITED) return Outcome::Fail(MQRC_INHIBIT_VALUE_ERROR);
        a.inhibit_put = v;
        break;
      case MQIA_TRIGGER_CONTROL:
        if (v != MQTC_OFF && v != MQTC_ON) return Outcome::Fail(MQRC_TRIGGER_CONTROL_ERROR);
        a.trigger_control = v;
        break;
      case MQIA_TRIGGER_TYPE:
        if (v < MQTT_NONE || v > MQTT_DEPTH) return Outcome::Fail(MQRC_TRIGGER_TYPE_ERROR);
        a.trigger_type = v;
        break;
      case MQIA_TRIGGER_DEPTH:
        if (v <= 0) return Outcome::Fail(MQRC_TRIGGER_DEPTH_ERROR);
        a.trigger_depth = v;
        break;
      case MQIA_TRIGGER_MSG_PRIORITY:
        if (v < 0 || v > kMaxPriority) return Outcome::Fail(MQRC_TRIGGER_MSG_PRIORITY_ERR);
        a.trigger_msg_priority = v;
        break;
      default:
        return Outcome::Fail(MQRC_SELECTOR_ERROR);
    }
  }
  if (const MQLONG rc = StoreDefinition(q->name, a)) return Outcome::Fail(rc);
  return {};
}

}  // namespace vrqsim

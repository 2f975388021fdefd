// Messages the queue manager generates itself: confirm-on-arrival, confirm-on-delivery and
// expiration reports, the identifiers replies and reports carry, delivery to ReplyToQ at
// ReplyToQMgr, and the dead-letter queue (with an MQDLH) for what cannot be delivered there.
#include <cmqc.h>

#include <algorithm>
#include <cstdio>

#include "queue_manager.h"

namespace vrqsim {

namespace {

// Report data: the first 100 bytes with a _WITH_DATA option, everything with _FULL_DATA.
constexpr size_t kReportDataLength = 100;

bool Has(MQLONG report, MQLONG option) { return (report & option) == option; }

}  // namespace

void QueueManager::ReplyIdentity(const MQMD& original, MQMD& reply) {
  if (original.Report & MQRO_PASS_MSG_ID)
    std::memcpy(reply.MsgId, original.MsgId, sizeof reply.MsgId);
  else
    std::memset(reply.MsgId, 0, sizeof reply.MsgId);
  if (original.Report & MQRO_PASS_CORREL_ID)
    std::memcpy(reply.CorrelId, original.CorrelId, sizeof reply.CorrelId);
  else
    std::memcpy(reply.CorrelId, original.MsgId, sizeof reply.CorrelId);
  if (original.Report & MQRO_PASS_DISCARD_AND_EXPIRY) {
    reply.Report = original.Report & MQRO_DISCARD_MSG;
    reply.Expiry = original.Expiry;
  } else {
    reply.Report = MQRO_NONE;
    reply.Expiry = MQEI_UNLIMITED;
  }
}

void QueueManager::Arrived(const Message& m) {
  activity_ = true;
  if (m.md.MsgType != MQMT_REPORT && (m.md.Report & MQRO_COA))
    Report(m, MQFB_COA, MQRO_COA_WITH_DATA, MQRO_COA_WITH_FULL_DATA);
}

void QueueManager::Removed(const Message& m, bool by_get) {
  if (by_get && m.md.MsgType != MQMT_REPORT && (m.md.Report & MQRO_COD))
    Report(m, MQFB_COD, MQRO_COD_WITH_DATA, MQRO_COD_WITH_FULL_DATA);
}

void QueueManager::Report(const Message& m, MQLONG feedback, MQLONG with_data, MQLONG full_data) {
  MQMD r = {MQMD_DEFAULT};
  r.Version = MQMD_VERSION_2;
  MQMD original = m.md;
  if (m.expires_at)
    original.Expiry = static_cast<MQLONG>(std::max<int64_t>(1, (m.expires_at - SteadyMs() + 99) / 100));
  ReplyIdentity(original, r);
  r.MsgType = MQMT_REPORT;
  r.Feedback = feedback;
  r.Priority = m.md.Priority;
  r.Persistence = m.md.Persistence;
  r.Encoding = m.md.Encoding;
  r.CodedCharSetId = m.md.CodedCharSetId;
  std::memcpy(r.UserIdentifier, m.md.UserIdentifier, sizeof r.UserIdentifier);
  std::memcpy(r.AccountingToken, m.md.AccountingToken, sizeof r.AccountingToken);
  r.PutApplType = MQAT_QMGR;
  SetField(r.PutApplName, name_);
  PutStamp(WallMs(), r.PutDate, r.PutTime);
  size_t n = 0;
  if (Has(m.md.Report, full_data))
    n = m.data.size();
  else if (Has(m.md.Report, with_data))
    n = std::min(m.data.size(), kReportDataLength);
  if (n) std::memcpy(r.Format, m.md.Format, sizeof r.Format);
  Deliver(r, {m.data.data(), n}, Trimmed(m.md.ReplyToQ), Trimmed(m.md.ReplyToQMgr));
}

void QueueManager::Deliver(MQMD md, std::span<const uint8_t> data, std::string_view queue,
                           std::string_view qmgr) {
  if (!IsLocalQmgr(qmgr)) return DeadLetter(md, data, MQRC_UNKNOWN_REMOTE_Q_MGR, queue, qmgr);
  Queue* q = queue.empty() ? nullptr : FindQueue(queue);
  MQLONG reason = MQRC_NONE;
  if (!q || q->attrs.type != MQQT_LOCAL)
    reason = MQRC_UNKNOWN_OBJECT_NAME;
  else if (q->attrs.inhibit_put == MQQA_PUT_INHIBITED)
    reason = MQRC_PUT_INHIBITED;
  else if (q->messages.depth() >= static_cast<size_t>(q->attrs.max_depth))
    reason = MQRC_Q_FULL;
  else if (data.size() > static_cast<size_t>(q->attrs.max_msg_length))
    reason = MQRC_MSG_TOO_BIG_FOR_Q;
  if (reason) return DeadLetter(md, data, reason, queue, qmgr);

  auto m = std::make_unique<Message>();
  m->md = md;
  bool none = true;
  for (MQBYTE b : md.MsgId) none = none && b == 0;
  if (none) MakeMsgId(m->md.MsgId);
  if (m->md.CodedCharSetId == MQCCSI_Q_MGR) m->md.CodedCharSetId = ccsid();
  if (m->md.Priority < 0) m->md.Priority = q->attrs.def_priority;
  if (m->md.Priority > 9) m->md.Priority = 9;
  if (m->md.Persistence == MQPER_PERSISTENCE_AS_Q_DEF) m->md.Persistence = q->attrs.def_persistence;
  m->data.assign(data.begin(), data.end());
  if (md.Expiry > 0) m->expires_at = SteadyMs() + int64_t{md.Expiry} * 100;
  LogGenerated(*q, *m);
  Arrived(*Enqueue(*q, std::move(m)));
}

Message* QueueManager::Enqueue(Queue& q, std::unique_ptr<Message> m) {
  m->seq = next_seq_++;
  return q.messages.Add(std::move(m));
}

void QueueManager::Expire(Message* m) {
  Report(*m, MQFB_EXPIRATION, MQRO_EXPIRATION_WITH_DATA, MQRO_EXPIRATION_WITH_FULL_DATA);
  LogRemoval(*m);
  if (m->store) m->store->Take(m);
}

void QueueManager::DeadLetter(MQMD md, std::span<const uint8_t> data, MQLONG reason,
                              std::string_view queue, std::string_view qmgr) {
  if (md.Report & MQRO_DISCARD_MSG) return;
  Queue* dlq = FindQueue(kDeadLetterQueue);
  if (!dlq || dlq->attrs.inhibit_put == MQQA_PUT_INHIBITED ||
      dlq->messages.depth() >= static_cast<size_t>(dlq->attrs.max_depth) ||
      data.size() + sizeof(MQDLH) > static_cast<size_t>(dlq->attrs.max_msg_length)) {
    std::fprintf(stderr, "message for %.*s discarded: no usable dead-letter queue\n",
                 static_cast<int>(queue.size()), queue.data());
    return;
  }
  // The log says once per destination and reason why messages go to the dead-letter queue
  // (a reply queue at its MAXDEPTH, for example), without a line for every message.
  if (dead_lettered_.insert(std::string(queue) + ' ' + std::to_string(reason)).second)
    std::fprintf(stderr, "messages for %.*s go to %s: reason %d (this destination and reason are logged once)\n",
                 static_cast<int>(queue.size()), queue.data(), kDeadLetterQueue, static_cast<int>(reason));
  MQDLH dlh = {MQDLH_DEFAULT};
  dlh.Reason = reason;
  SetField(dlh.DestQName, queue);
  SetField(dlh.DestQMgrName, qmgr.empty() ? std::string_view(name_) : qmgr);
  dlh.Encoding = md.Encoding;
  dlh.CodedCharSetId = md.CodedCharSetId == MQCCSI_Q_MGR ? ccsid() : md.CodedCharSetId;
  std::memcpy(dlh.Format, md.Format, sizeof dlh.Format);
  dlh.PutApplType = MQAT_QMGR;
  SetField(dlh.PutApplName, name_);
  PutStamp(WallMs(), dlh.PutDate, dlh.PutTime);

  auto m = std::make_unique<Message>();
  m->md = md;
  bool none = true;
  for (MQBYTE b : md.MsgId) none = none && b == 0;
  if (none) MakeMsgId(m->md.MsgId);
  std::memcpy(m->md.Format, MQFMT_DEAD_LETTER_HEADER, 8);
  m->md.Encoding = MQENC_NATIVE;
  m->md.CodedCharSetId = ccsid();
  if (m->md.Priority < 0) m->md.Priority = 0;
  if (m->md.Priority > 9) m->md.Priority = 9;
  if (m->md.Persistence == MQPER_PERSISTENCE_AS_Q_DEF) m->md.Persistence = MQPER_NOT_PERSISTENT;
  const auto* h = reinterpret_cast<const uint8_t*>(&dlh);
  m->data.assign(h, h + sizeof dlh);
  m->data.insert(m->data.end(), data.begin(), data.end());
  LogGenerated(*dlq, *m);
  Enqueue(*dlq, std::move(m));
  activity_ = true;
}

int64_t QueueManager::ExpireScan() {
  const int64_t now = SteadyMs();
  int64_t next = 0;
  for (auto& [name, q] : queues_) {
    while (Message* m = q.messages.FirstExpired(now)) Expire(m);
    const int64_t deadline = q.messages.NextExpiry();
    if (deadline && (!next || deadline < next)) next = deadline;
  }
  return next;
}

}  // namespace vrqsim

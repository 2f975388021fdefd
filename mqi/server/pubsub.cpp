// Topics, subscriptions and publications. A publication is put, as one message per
// matching subscription, on the subscription's queue with the publisher's unit of work;
// the copy carries its topic string in an MQRFH2 <mqps> folder (the MQTopicString property
// of a getter's message handle), the subscription's correlation id and, when the
// subscription names one, its priority. A subscription queue that cannot take a copy (full,
// put-inhibited) misses that publication; the publisher and the other subscribers do not.
#include "pubsub.h"

#include <cmqc.h>

#include <algorithm>
#include <cstdio>

namespace vrqsim {

namespace {

constexpr const char* kBaseTopic = "SYSTEM.BASE.TOPIC";

std::vector<std::string_view> Levels(std::string_view s) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    const size_t slash = s.find('/', start);
    out.push_back(s.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
    if (slash == std::string_view::npos) return out;
    start = slash + 1;
  }
}

bool LevelsMatch(const std::vector<std::string_view>& p, size_t i, const std::vector<std::string_view>& t, size_t j) {
  while (i < p.size()) {
    if (p[i] == "#") {
      if (i + 1 == p.size()) return true;
      for (size_t k = j; k <= t.size(); ++k)
        if (LevelsMatch(p, i + 1, t, k)) return true;
      return false;
    }
    if (j >= t.size()) return false;
    if (p[i] != "+" && p[i] != t[j]) return false;
    ++i;
    ++j;
  }
  return j == t.size();
}

bool GlobMatch(std::string_view p, std::string_view t) {
  size_t i = 0, j = 0, star = std::string_view::npos, mark = 0;
  while (j < t.size()) {
    if (i < p.size() && (p[i] == '?' || p[i] == t[j])) {
      ++i;
      ++j;
    } else if (i < p.size() && p[i] == '*') {
      star = i++;
      mark = j;
    } else if (star != std::string_view::npos) {
      i = star + 1;
      j = ++mark;
    } else {
      return false;
    }
  }
  while (i < p.size() && p[i] == '*') ++i;
  return i == p.size();
}

ObjectRef QueueRef(const std::string& queue) {
  ObjectRef od{};
  od.type = MQOT_Q;
  SetField(od.name, queue);
  SetField(od.qmgr, "");
  SetField(od.dynamic, "");
  SetField(od.alternate_user, "");
  return od;
}

}  // namespace

bool PubSub::TopicMatches(std::string_view pattern, std::string_view topic, bool char_wildcards) {
  if (char_wildcards) return GlobMatch(pattern, topic);
  return LevelsMatch(Levels(pattern), 0, Levels(topic), 0);
}

std::optional<std::string> PubSub::FullTopic(const std::string& object_name, const std::string& object_string,
                                             MQLONG& reason) const {
  reason = MQRC_NONE;
  if (!object_name.empty() && object_name != kBaseTopic) {
    reason = MQRC_UNKNOWN_OBJECT_NAME;
    return std::nullopt;
  }
  if (object_name.empty() && object_string.empty()) {
    reason = MQRC_UNKNOWN_OBJECT_NAME;
    return std::nullopt;
  }
  if (object_string.find('\0') != std::string::npos) {
    reason = MQRC_TOPIC_STRING_ERROR;
    return std::nullopt;
  }
  return object_string;
}

OpenReply PubSub::OpenTopic(Session& s, const ObjectRef& od, const std::string& object_string, MQLONG options) {
  OpenReply reply;
  auto fail = [&](MQLONG rc) {
    reply.cc = MQCC_FAILED;
    reply.rc = rc;
    return reply;
  };
  if (options & (MQOO_INPUT_AS_Q_DEF | MQOO_INPUT_SHARED | MQOO_INPUT_EXCLUSIVE | MQOO_BROWSE))
    return fail(MQRC_FUNCTION_NOT_SUPPORTED);   // subscribing by MQOPEN: use MQSUB
  if (!(options & MQOO_OUTPUT)) return fail(MQRC_OPTIONS_ERROR);
  MQLONG reason;
  auto topic = FullTopic(Trimmed(od.name), object_string, reason);
  if (!topic) return fail(reason);
  reply.hobj = next_handle_++;
  topics_[reply.hobj] = TopicHandle{s.id, *topic, options};
  reply.object_name = Trimmed(od.name);
  reply.topic = *topic;
  return reply;
}

void PubSub::StampContext(Session& s, MQMD& md, const PutOptions& pmo) {
  const MQLONG ctx = pmo.options & (MQPMO_SET_ALL_CONTEXT | MQPMO_SET_IDENTITY_CONTEXT | MQPMO_NO_CONTEXT);
  if (ctx == MQPMO_SET_ALL_CONTEXT) return;
  if (ctx == MQPMO_NO_CONTEXT) {
    const MQMD blank = {MQMD_DEFAULT};
    std::memcpy(md.UserIdentifier, blank.UserIdentifier, sizeof md.UserIdentifier);
    std::memset(md.AccountingToken, 0, sizeof md.AccountingToken);
    std::memcpy(md.ApplIdentityData, blank.ApplIdentityData, sizeof md.ApplIdentityData);
    std::memcpy(md.PutApplName, blank.PutApplName, sizeof md.PutApplName);
    md.PutApplType = MQAT_NO_CONTEXT;
    std::memcpy(md.PutDate, blank.PutDate, sizeof md.PutDate);
    std::memcpy(md.PutTime, blank.PutTime, sizeof md.PutTime);
    std::memcpy(md.ApplOriginData, blank.ApplOriginData, sizeof md.ApplOriginData);
    return;
  }
  if (ctx != MQPMO_SET_IDENTITY_CONTEXT) {
    SetField(md.UserIdentifier, s.user);
    std::memset(md.AccountingToken, 0, sizeof md.AccountingToken);
    if (s.accounting.size() == sizeof md.AccountingToken)
      std::memcpy(md.AccountingToken, s.accounting.data(), sizeof md.AccountingToken);
    SetField(md.ApplIdentityData, "");
  }
  md.PutApplType = MQAT_UNIX;
  SetField(md.PutApplName, s.appl_name);
  PutStamp(WallMs(), md.PutDate, md.PutTime);
  SetField(md.ApplOriginData, "");
}

bool PubSub::Send(Session& s, const Subscription& sub, const std::string& topic, MQMD md, const PutOptions& pmo,
                  std::span<const uint8_t> data, bool retained) {
  MQMD inner = md;
  Properties props;
  size_t header = std::memcmp(md.Format, MQFMT_RF_HEADER_2, 8) == 0 ? TakeRfh2Properties(data, inner, props) : 0;
  std::erase_if(props, [](const Property& p) { return p.name == kTopicStringProperty; });
  props.push_back(Property{kTopicStringProperty, MQTYPE_STRING, topic});
  if (retained) props.push_back(Property::Int(kRetainedProperty, MQTYPE_BOOLEAN, 1));
  std::vector<uint8_t> copy = BuildRfh2(props, inner.Encoding, inner.CodedCharSetId, inner.Format);
  copy.insert(copy.end(), data.begin() + static_cast<std::ptrdiff_t>(header), data.end());
  // The header is labelled with the publication's own character set and encoding, so a
  // getter asking for those gets it without conversion.
  std::memcpy(md.Format, MQFMT_RF_HEADER_2, sizeof md.Format);
  md.Encoding = inner.Encoding;
  md.CodedCharSetId = inner.CodedCharSetId;
  std::memset(md.MsgId, 0, sizeof md.MsgId);
  if (sub.correl_id.size() == sizeof md.CorrelId) std::memcpy(md.CorrelId, sub.correl_id.data(), sizeof md.CorrelId);
  if (sub.priority != MQPRI_PRIORITY_AS_PUBLISHED) md.Priority = sub.priority;
  PutOptions put{MQPMO_SET_ALL_CONTEXT | (pmo.options & (MQPMO_SYNCPOINT | MQPMO_NO_SYNCPOINT)), 0};
  return !qm_.Put1(s, QueueRef(sub.queue), md, put, copy).failed();
}

Outcome PubSub::Deliver(Session& s, const std::string& topic, MQMD md, const PutOptions& pmo,
                        std::span<const uint8_t> data, bool retain) {
  if (std::memcmp(md.StrucId, MQMD_STRUC_ID, 4) != 0) return Outcome::Fail(MQRC_MD_ERROR);
  if (md.Expiry <= 0 && md.Expiry != MQEI_UNLIMITED) return Outcome::Fail(MQRC_EXPIRY_ERROR);
  if (md.Persistence < MQPER_NOT_PERSISTENT || md.Persistence > MQPER_PERSISTENCE_AS_Q_DEF)
    return Outcome::Fail(MQRC_PERSISTENCE_ERROR);
  if (md.Priority < MQPRI_PRIORITY_AS_Q_DEF || md.Priority > 9) return Outcome::Fail(MQRC_PRIORITY_ERROR);
  if ((pmo.options & MQPMO_SYNCPOINT) && (pmo.options & MQPMO_NO_SYNCPOINT)) return Outcome::Fail(MQRC_OPTIONS_ERROR);
  StampContext(s, md, pmo);
  if (md.Priority == MQPRI_PRIORITY_AS_Q_DEF) md.Priority = 0;
  if (md.Persistence == MQPER_PERSISTENCE_AS_Q_DEF) md.Persistence = MQPER_NOT_PERSISTENT;
  if (md.CodedCharSetId == MQCCSI_Q_MGR) md.CodedCharSetId = qm_.ccsid();
  if (retain) retained_[topic] = Retained{md, {data.begin(), data.end()}};
  size_t matched = 0;
  for (auto& [id, sub] : subs_) {
    if (sub.on_request || !TopicMatches(sub.topic, topic, sub.char_wildcards)) continue;
    ++matched;
    Send(s, sub, topic, md, pmo, data, false);
  }
  if (!matched && (pmo.options & MQPMO_WARN_IF_NO_SUBS_MATCHED)) return Outcome::Warn(MQRC_NO_SUBS_MATCHED);
  return {};
}

Outcome PubSub::Publish(Session& s, MQHOBJ hobj, MQMD& md, const PutOptions& pmo, std::span<const uint8_t> data) {
  auto it = topics_.find(hobj);
  if (it == topics_.end() || it->second.session != s.id) return Outcome::Fail(MQRC_HOBJ_ERROR);
  return Deliver(s, it->second.topic, md, pmo, data, pmo.options & MQPMO_RETAIN);
}

Outcome PubSub::Publish1(Session& s, const ObjectRef& od, const std::string& object_string, MQMD& md,
                         const PutOptions& pmo, std::span<const uint8_t> data) {
  MQLONG reason;
  auto topic = FullTopic(Trimmed(od.name), object_string, reason);
  if (!topic) return Outcome::Fail(reason);
  return Deliver(s, *topic, md, pmo, data, pmo.options & MQPMO_RETAIN);
}

std::string PubSub::NewCorrelId() {
  std::string id(24, '\0');
  std::memcpy(id.data(), "SUB ", 4);
  std::string qm = qm_.name().substr(0, 12);
  qm.resize(12, ' ');
  std::memcpy(id.data() + 4, qm.data(), 12);
  const uint64_t n = (static_cast<uint64_t>(WallMs()) << 20) + ++correl_counter_;
  std::memcpy(id.data() + 16, &n, 8);
  return id;
}

SubReply PubSub::Subscribe(Session& s, const SubRequest& r) {
  SubReply reply;
  auto fail = [&](MQLONG rc) {
    reply.cc = MQCC_FAILED;
    reply.rc = rc;
    return reply;
  };
  const bool durable = r.options & MQSO_DURABLE;
  auto existing = subs_.end();
  if (!r.sub_name.empty())
    existing = std::find_if(subs_.begin(), subs_.end(), [&](const auto& e) { return e.second.name == r.sub_name; });
  Subscription* sub = nullptr;
  if (existing != subs_.end()) {
    if (!(r.options & (MQSO_RESUME | MQSO_ALTER))) return fail(MQRC_SUB_ALREADY_EXISTS);
    if (existing->second.session && existing->second.session != s.id) return fail(MQRC_SUBSCRIPTION_IN_USE);
    if (existing->second.durable != durable) return fail(MQRC_DURABILITY_NOT_ALLOWED);
    sub = &existing->second;
    if (sub->session == s.id) return fail(MQRC_SUBSCRIPTION_IN_USE);
    if (r.options & MQSO_ALTER) {
      sub->user_data = r.user_data;
      sub->priority = r.priority;
    }
  } else {
    if (!(r.options & MQSO_CREATE)) return fail(MQRC_NO_SUBSCRIPTION);
    MQLONG reason;
    auto topic = FullTopic(r.object_name, r.topic, reason);
    if (!topic) return fail(reason);
    Subscription fresh;
    fresh.name = r.sub_name;
    fresh.topic = *topic;
    fresh.durable = durable;
    fresh.managed = r.options & MQSO_MANAGED;
    fresh.char_wildcards = r.options & MQSO_WILDCARD_CHAR;
    fresh.on_request = r.options & MQSO_PUBLICATIONS_ON_REQUEST;
    fresh.correl_id = (r.options & MQSO_SET_CORREL_ID) && r.correl_id.size() == 24 ? r.correl_id : NewCorrelId();
    fresh.user_data = r.user_data;
    fresh.priority = r.priority;
    if (fresh.managed) {
      char suffix[17];
      std::snprintf(suffix, sizeof suffix, "%016llX", static_cast<unsigned long long>(WallMs() * 1000 + next_sub_));
      fresh.queue = std::string(durable ? "SYSTEM.MANAGED.DURABLE." : "SYSTEM.MANAGED.NDURABLE.") + suffix;
      if (!qm_.Define(fresh.queue, QueueAttrs{})) return fail(MQRC_RESOURCE_PROBLEM);
    } else {
      auto h = s.handles.find(r.destination);
      if (h == s.handles.end() || h->second.queue.empty()) return fail(MQRC_HOBJ_ERROR);
      if (!(h->second.options & MQOO_OUTPUT)) return fail(MQRC_NOT_OPEN_FOR_OUTPUT);
      fresh.queue = h->second.queue;
    }
    sub = &subs_.emplace(next_sub_++, std::move(fresh)).first->second;
  }
  reply.hobj = r.destination;
  if (sub->managed) {
    const OpenResult opened = qm_.Open(s, QueueRef(sub->queue), MQOO_INPUT_AS_Q_DEF | MQOO_BROWSE | MQOO_INQUIRE);
    if (opened.outcome.failed()) {
      if (existing == subs_.end()) Remove(std::prev(subs_.end()));
      return fail(opened.outcome.rc);
    }
    reply.hobj = opened.hobj;
  }
  sub->session = s.id;
  sub->hsub = next_handle_++;
  reply.hsub = sub->hsub;
  reply.topic = sub->topic;
  reply.correl_id = sub->correl_id;
  reply.object_name = sub->queue;
  if (existing == subs_.end() && !sub->on_request && !(r.options & MQSO_NEW_PUBLICATIONS_ONLY)) {
    for (const auto& [retained_topic, publication] : retained_)
      if (TopicMatches(sub->topic, retained_topic, sub->char_wildcards))
        Send(s, *sub, retained_topic, publication.md, PutOptions{MQPMO_NO_SYNCPOINT, 0}, publication.data, true);
  }
  return reply;
}

PubSub::Subscription* PubSub::FindByHandle(Session& s, MQHOBJ hsub) {
  for (auto& [id, sub] : subs_)
    if (sub.hsub == hsub && sub.session == s.id) return &sub;
  return nullptr;
}

SubRqReply PubSub::Request(Session& s, const SubRqRequest& r) {
  SubRqReply reply;
  Subscription* sub = FindByHandle(s, r.hsub);
  if (!sub) {
    reply.cc = MQCC_FAILED;
    reply.rc = MQRC_HOBJ_ERROR;
    return reply;
  }
  for (const auto& [topic, publication] : retained_)
    if (TopicMatches(sub->topic, topic, sub->char_wildcards) &&
        Send(s, *sub, topic, publication.md, PutOptions{MQPMO_NO_SYNCPOINT, 0}, publication.data, true))
      ++reply.publications;
  if (!reply.publications) {
    reply.cc = MQCC_FAILED;
    reply.rc = MQRC_NO_RETAINED_MSG;
  }
  return reply;
}

void PubSub::Remove(std::map<uint64_t, Subscription>::iterator it) {
  if (it->second.managed) doomed_queues_.push_back(it->second.queue);
  subs_.erase(it);
}

Outcome PubSub::Close(Session& s, MQHOBJ h, MQLONG options) {
  if (auto t = topics_.find(h); t != topics_.end() && t->second.session == s.id) {
    if (options != MQCO_NONE) return Outcome::Fail(MQRC_OPTIONS_ERROR);
    topics_.erase(t);
    return {};
  }
  for (auto it = subs_.begin(); it != subs_.end(); ++it) {
    if (it->second.hsub != h || it->second.session != s.id) continue;
    if (options & ~(MQCO_KEEP_SUB | MQCO_REMOVE_SUB) || options == (MQCO_KEEP_SUB | MQCO_REMOVE_SUB))
      return Outcome::Fail(MQRC_OPTIONS_ERROR);
    if ((options & MQCO_KEEP_SUB) && !it->second.durable) return Outcome::Fail(MQRC_OPTION_NOT_VALID_FOR_TYPE);
    if (!it->second.durable || (options & MQCO_REMOVE_SUB)) {
      Remove(it);
    } else {
      it->second.session = 0;
      it->second.hsub = 0;
    }
    Tidy();
    return {};
  }
  return Outcome::Fail(MQRC_HOBJ_ERROR);
}

void PubSub::EndSession(Session& s) {
  std::erase_if(topics_, [&](const auto& t) { return t.second.session == s.id; });
  for (auto it = subs_.begin(); it != subs_.end();) {
    auto next = std::next(it);
    if (it->second.session == s.id) {
      if (it->second.durable) {
        it->second.session = 0;
        it->second.hsub = 0;
      } else {
        Remove(it);
      }
    }
    it = next;
  }
}

void PubSub::Tidy() {
  std::erase_if(doomed_queues_, [&](const std::string& q) {
    const MQLONG rc = qm_.Delete(q, true);
    return rc == MQRC_NONE || rc == MQRC_UNKNOWN_OBJECT_NAME;
  });
}

}  // namespace vrqsim

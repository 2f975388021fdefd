// Publish/subscribe on the stand-in queue manager: a topic tree of '/'-separated strings,
// subscriptions (durable and non-durable, to managed or named queues, with the '#' and
// '+' topic wildcards or '*'/'?' character wildcards), publications put to topic handles
// and delivered as messages carrying their topic string, and retained publications. Topic
// handles and subscription handles are numbered apart from the queue manager's object
// handles, so the server loop can tell whose they are.
#pragma once

#include <cmqc.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "protocol.h"
#include "queue_manager.h"

namespace vrqsim {

class PubSub {
 public:
  explicit PubSub(QueueManager& qm) : qm_(qm) {}

  static bool Owns(MQHOBJ h) { return h >= kFirstHandle; }

  OpenReply OpenTopic(Session& s, const ObjectRef& od, const std::string& object_string, MQLONG options);
  Outcome Publish(Session& s, MQHOBJ hobj, MQMD& md, const PutOptions& pmo, std::span<const uint8_t> data);
  Outcome Publish1(Session& s, const ObjectRef& od, const std::string& object_string, MQMD& md,
                   const PutOptions& pmo, std::span<const uint8_t> data);
  SubReply Subscribe(Session& s, const SubRequest& r);
  SubRqReply Request(Session& s, const SubRqRequest& r);
  // Closes a topic or subscription handle of the session.
  Outcome Close(Session& s, MQHOBJ h, MQLONG options);
  // Before the queue manager ends a session: its non-durable subscriptions go, its durable
  // ones stay (unused).
  void EndSession(Session& s);
  // After the queue manager has ended it: managed queues no longer open are deleted.
  void Tidy();

  // Matching of a topic string against a subscription's.
  static bool TopicMatches(std::string_view pattern, std::string_view topic, bool char_wildcards);

 private:
  static constexpr MQHOBJ kFirstHandle = 0x40000000;

  struct Subscription {
    std::string name;           // empty for an unnamed non-durable subscription
    std::string topic;
    bool durable = false;
    bool managed = false;
    bool char_wildcards = false;
    bool on_request = false;
    std::string queue;          // destination
    std::string correl_id;      // 24 bytes
    std::string user_data;
    MQLONG priority = MQPRI_PRIORITY_AS_PUBLISHED;
    uint32_t session = 0;       // the session holding it open; 0 when none
    MQHOBJ hsub = 0;
  };
  struct Retained {
    MQMD md{};
    std::vector<uint8_t> data;
  };
  struct TopicHandle {
    uint32_t session = 0;
    std::string topic;
    MQLONG options = 0;
  };

  // The full topic string of an object name and object string; nullopt with reason set
  // when it is not valid.
  std::optional<std::string> FullTopic(const std::string& object_name, const std::string& object_string,
                                       MQLONG& reason) const;
  Outcome Deliver(Session& s, const std::string& topic, MQMD md, const PutOptions& pmo,
                  std::span<const uint8_t> data, bool retain);
  // Puts one publication on a subscription's queue; false when it could not be put.
  bool Send(Session& s, const Subscription& sub, const std::string& topic, MQMD md, const PutOptions& pmo,
            std::span<const uint8_t> data, bool retained);
  void StampContext(Session& s, MQMD& md, const PutOptions& pmo);
  Subscription* FindByHandle(Session& s, MQHOBJ hsub);
  std::string NewCorrelId();
  void Remove(std::map<uint64_t, Subscription>::iterator it);

  QueueManager& qm_;
  std::map<uint64_t, Subscription> subs_;       // by creation number
  std::map<std::string, Retained> retained_;    // by topic string
  std::map<MQHOBJ, TopicHandle> topics_;
  std::vector<std::string> doomed_queues_;      // managed queues to delete when closed
  MQHOBJ next_handle_ = kFirstHandle;
  uint64_t next_sub_ = 1;
  uint64_t correl_counter_ = 0;
};

}  // namespace vrqsim

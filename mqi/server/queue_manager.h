// The stand-in queue manager's state and the MQI semantics on it: queues and their
// messages, sessions (one per client connection) with their object handles and units of
// work, expiry, report messages and the dead-letter rules. Nothing here touches a socket;
// the server loop and the command server call these operations.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include <cmqc.h>

#include "message_store.h"
#include "qm_dir.h"
#include "rfh2.h"
#include "wire.h"

namespace vrqsim {

class RecoveryLog;

// Milliseconds on the monotonic clock (expiry and waits) and of wall time (put stamps).
int64_t SteadyMs();
int64_t WallMs();

struct Outcome {
  MQLONG cc = MQCC_OK;
  MQLONG rc = MQRC_NONE;
  static Outcome Fail(MQLONG rc) { return {MQCC_FAILED, rc}; }
  static Outcome Warn(MQLONG rc) { return {MQCC_WARNING, rc}; }
  bool failed() const { return cc == MQCC_FAILED; }
};

struct QueueAttrs {
  MQLONG type = MQQT_LOCAL;
  MQLONG definition_type = MQQDT_PREDEFINED;
  MQLONG max_depth = 5000;
  MQLONG max_msg_length = static_cast<MQLONG>(kMaxMsgLength);
  MQLONG inhibit_put = MQQA_PUT_ALLOWED;
  MQLONG inhibit_get = MQQA_GET_ALLOWED;
  MQLONG def_persistence = MQPER_NOT_PERSISTENT;
  MQLONG def_priority = 0;
  MQLONG shareability = MQQA_SHAREABLE;
  MQLONG def_input_open_option = MQOO_INPUT_SHARED;
  MQLONG trigger_control = MQTC_OFF;
  MQLONG trigger_type = MQTT_FIRST;
  MQLONG trigger_depth = 1;
  MQLONG trigger_msg_priority = 0;
  MQLONG usage = MQUS_NORMAL;
  MQLONG backout_threshold = 0;
  std::string description;
  std::string trigger_data;
  std::string process_name;
  std::string initiation_queue;
  std::string backout_queue;
};

struct Queue {
  Queue() = default;
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  std::string name;
  QueueAttrs attrs;
  std::string creation_date;   // "YYYY-MM-DD"
  std::string creation_time;   // "HH.MM.SS"
  MessageStore messages;
  uint64_t incarnation = 0;    // tells a queue from a later one of the same name
  int open_input = 0;
  int open_output = 0;
  bool exclusive = false;      // one input opener holds it exclusively
  uint32_t owner_session = 0;  // temporary dynamic queue: the session whose handle made it
  MQHOBJ owner_handle = 0;
};

struct Handle {
  std::string queue;           // empty for the queue manager object
  MQLONG options = 0;
  bool input = false;
  std::optional<MQMD> saved_context;   // last message got through a SAVE_ALL_CONTEXT handle
  uint64_t incarnation = 0;            // of the queue opened
  Message* cursor = nullptr;           // browse cursor, kept by the queue's store
};

struct Session {
  uint32_t id = 0;
  std::string appl_name;       // PutApplName stamp (28 characters)
  std::string user;            // UserIdentifier stamp (12 characters)
  std::string accounting;      // AccountingToken stamp (32 bytes, or empty)
  std::map<MQHOBJ, Handle> handles;
  MQHOBJ next_handle = 101;
  bool in_unit_of_work = false;
  MessageList unit_of_work;    // the messages it put or got under syncpoint, in that order
  uint64_t log_uow = 0;        // its unit of work's number in the recovery log, once it has one
};

struct PutOptions {
  MQLONG options = 0;
  MQHOBJ context = 0;
};

struct GetOptions {
  MQLONG options = 0;
  MQLONG match = MQMO_MATCH_MSG_ID | MQMO_MATCH_CORREL_ID;
  bool properties = false;     // move MQRFH2 properties out of the data
};

struct GetResult {
  Outcome outcome;
  std::vector<uint8_t> data;   // at most the buffer length
  MQLONG data_length = 0;      // full length of the message
  Properties properties;
};

struct OpenResult {
  Outcome outcome;
  MQHOBJ hobj = MQHO_UNUSABLE_HOBJ;
  std::string object_name;     // the opened (for a model queue: the created) queue's name
};

class QueueManager {
 public:
  explicit QueueManager(std::string name);

  const std::string& name() const { return name_; }
  MQLONG ccsid() const { return 819; }
  static constexpr MQLONG kCommandLevel = MQCMDL_LEVEL_940;
  static constexpr const char* kCommandQueue = "SYSTEM.ADMIN.COMMAND.QUEUE";
  static constexpr const char* kDeadLetterQueue = "SYSTEM.DEAD.LETTER.QUEUE";

  // Sessions. Ending without commit backs the unit of work out.
  Session& OpenSession(std::string appl_name, std::string user);
  void EndSession(uint32_t id, bool commit);
  Session* FindSession(uint32_t id);

  OpenResult Open(Session& s, const ObjectRef& od, MQLONG options);
  Outcome Close(Session& s, MQHOBJ hobj, MQLONG options);
  Outcome Put(Session& s, MQHOBJ hobj, MQMD& md, const PutOptions& pmo,
              std::span<const uint8_t> data);
  Outcome Put1(Session& s, const ObjectRef& od, MQMD& md, const PutOptions& pmo,
               std::span<const uint8_t> data);
  GetResult Get(Session& s, MQHOBJ hobj, MQMD& md, const GetOptions& gmo, MQLONG buffer_length);
  Outcome Inquire(Session& s, MQHOBJ hobj, std::span<const MQLONG> selectors,
                  std::vector<MQLONG>& ints, MQLONG int_count, std::string& chars,
                  MQLONG char_length);
  Outcome SetAttrs(Session& s, MQHOBJ hobj, std::span<const MQLONG> selectors,
                   std::span<const MQLONG> ints, std::string_view chars);
  Outcome Commit(Session& s);
  Outcome Backout(Session& s);

  // Expired messages anywhere are discarded (with their reports); returns the next
  // deadline (SteadyMs) or 0 when no message expires.
  int64_t ExpireScan();

  // Queue definitions, for the definition file and the command server.
  Queue* FindQueue(std::string_view name);
  std::map<std::string, Queue, std::less<>>& queues() { return queues_; }
  const std::map<std::string, Queue, std::less<>>& queues() const { return queues_; }
  // Defines a queue; false when the name is taken.
  bool Define(std::string name, const QueueAttrs& attrs);
  // Defines a queue or replaces the attributes of one, as a command asks at run time; the
  // change is logged first (MQRC_RESOURCE_PROBLEM, nothing changed, when it cannot be).
  MQLONG StoreDefinition(const std::string& name, const QueueAttrs& attrs);
  // Deletes a queue; reason when it cannot be deleted (open, not empty without purge).
  MQLONG Delete(std::string_view name, bool purge);
  // Removes every message of a local queue; reason when it is open or a unit of work holds
  // one of its messages.
  MQLONG Clear(std::string_view name);

  // Puts a message generated by the queue manager (reply, report) to ReplyToQ at
  // ReplyToQMgr, with the dead-letter rules when it cannot be put there.
  void Deliver(MQMD md, std::span<const uint8_t> data, std::string_view queue,
               std::string_view qmgr);

  // Builds the identifiers, Report and Expiry of a reply or report to an original
  // message, as the report options of the original ask.
  static void ReplyIdentity(const MQMD& original, MQMD& reply);

  // The recovery log that persistent work and run-time definitions go to (none: nothing is
  // logged, as while the definition file is carried out and the log replayed).
  void AttachLog(RecoveryLog* log) { log_ = log; }
  RecoveryLog* recovery_log() const { return log_; }
  // A message read back from the recovery log, put at the end of its queue.
  void Restore(Queue& q, std::unique_ptr<Message> m);

  // Fault on demand: puts refused with 2051 on the queue (or allowed again).
  bool InhibitPut(std::string_view queue, bool inhibit);

  // Counts messages that became available since the last call (waiting gets retry).
  bool TakeActivity() { bool a = activity_; activity_ = false; return a; }

 private:
  Handle* FindHandle(Session& s, MQHOBJ hobj);
  // The queue a handle opened; null when it has been deleted since.
  Queue* HandleQueue(const Handle& h);
  Message* Enqueue(Queue& q, std::unique_ptr<Message> m);
  void Expire(Message* m);
  // Erases a queue with its messages, taking them out of the units of work holding them;
  // false, with nothing erased, when the deletion of a logged queue cannot be logged.
  bool Erase(Queue& q);
  OpenResult OpenQueue(Session& s, const ObjectRef& od, MQLONG options);
  std::optional<std::string> CreateDynamic(const Queue& model, std::string_view dyn, MQLONG& reason);
  Outcome PutToQueue(Session& s, Queue& q, MQMD& md, const PutOptions& pmo,
                     std::span<const uint8_t> data);
  Outcome SetContext(Session& s, MQMD& md, const PutOptions& pmo);
  void StampOrigin(Session& s, MQMD& md);
  void MakeMsgId(MQBYTE24& id);
  void Arrived(const Message& m);
  void Removed(const Message& m, bool by_get);
  void Report(const Message& m, MQLONG feedback, MQLONG with_data_option, MQLONG full_data_option);
  void DeadLetter(MQMD md, std::span<const uint8_t> data, MQLONG reason, std::string_view queue,
                  std::string_view qmgr);
  bool IsLocalQmgr(std::string_view qmgr) const;
  // Ends the unit of work; false when a commit could not be logged and it was backed out.
  bool EndUnitOfWork(Session& s, bool commit);
  // Logs a persistent message's put or get; false when the log cannot be written.
  bool LogPut(Session& s, const Queue& q, Message& m, bool syncpoint);
  bool LogGet(Session& s, const Message& m, bool syncpoint);
  // A persistent message the queue manager makes (report, reply, dead letter) and one that
  // expires: logged when the log can be written (else it is simply not kept, or comes back
  // at restart to expire again).
  void LogGenerated(const Queue& q, Message& m);
  void LogRemoval(const Message& m);
  void Convert(Message& m, MQMD& md, Outcome& outcome);

  std::string name_;
  std::map<std::string, Queue, std::less<>> queues_;
  std::map<uint32_t, std::unique_ptr<Session>> sessions_;
  uint32_t next_session_ = 1;
  uint64_t next_seq_ = 1;
  uint64_t msgid_counter_ = 0;
  uint64_t dynamic_counter_ = 0;
  uint64_t next_incarnation_ = 1;
  bool activity_ = false;
  RecoveryLog* log_ = nullptr;
  std::set<std::string> dead_lettered_;  // "queue reason" pairs already logged
};

// The value of a queue attribute by MQIA_/MQCA_ selector; nullopt when it does not apply.
std::optional<MQLONG> QueueIntAttr(const Queue& q, MQLONG selector);
std::optional<std::string> QueueCharAttr(const Queue& q, MQLONG selector);

// Date and time texts of a wall-clock instant (UTC): "YYYYMMDD" and "HHMMSSTH".
void PutStamp(int64_t wall_ms, char date[8], char time[8]);

}  // namespace vrqsim

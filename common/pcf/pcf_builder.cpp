// BuildPcfCmd: completes a PCF message that holds only its MQCFH into a request for one
// of the common inquiry and control commands, from one object name and one integer. Each
// command has one row of parameter steps in a table; a step builds one attribute in a
// temporary record, appends it and deletes the record.
#include "vrqapi.h"

#include <cmqc.h>
#include <cmqxc.h>
#include <cmqcfc.h>

#include <algorithm>
#include <array>

namespace {

// The toolkit's own commands that the builder knows.
constexpr int EXCMD_START_MCA = 10001;
constexpr int EXCMD_STOP_MCA = 10002;
constexpr int EXCMD_START_Q_MGR = 10003;
constexpr int EXCMD_STOP_Q_MGR = 10004;
constexpr int EXCMD_OPEN_EVENT = 10005;
constexpr int EXCMD_CLOSE_EVENT = 10006;
constexpr int EXCMD_INQUIRE_Q_MGR_NAMES = 10007;
constexpr int EXCMD_MQ_OPEN = 10008;
constexpr int EXCMD_MQ_CLOSE = 10009;
constexpr int EXCMD_CREATE_Q_MGR = 10012;
constexpr int EXCMD_DELETE_Q_MGR = 10013;
constexpr int EXCMD_MQSC_SCRIPT = 10014;
constexpr int EXCMD_INQUIRE_LISTENER_NAMES = 10021;
constexpr int EXCMD_INQUIRE_SERVICE_NAMES = 10022;
constexpr int EXCMD_INQUIRE_SUBSCRIPTION_NAMES = 10024;
constexpr int EXCMD_START_MANAGER = 10105;
constexpr int EXCMD_STOP_MANAGER = 10106;
constexpr int EXCMD_MANAGE_MQNODE = 10129;
constexpr int EXCMD_UNMANAGE_MQNODE = 10130;
constexpr int EXCMD_INQUIRE_Q_MGR_EVENT = 10160;
constexpr int EXCMD_INQUIRE_LOGGER_EVENT = 10162;
constexpr int EXCMD_INQUIRE_BRIDGE_EVENT = 10164;
constexpr int EXCMD_INQUIRE_CHANNEL_EVENT = 10170;
constexpr int EXCMD_INQUIRE_MANAGER_EVENT = 10180;
constexpr int EXCMD_INQUIRE_PERFM_EVENT = 10190;
constexpr int EXCMD_INQUIRE_ALTER_EVENT = 10200;
constexpr int EXCMD_INQUIRE_ACCT_MQI = 10400;
constexpr int EXCMD_INQUIRE_ACCT_Q = 10402;
constexpr int EXCMD_INQUIRE_STAT_MQI = 10410;
constexpr int EXCMD_INQUIRE_STAT_Q = 10412;
constexpr int EXCMD_INQUIRE_STAT_CHANNEL = 10414;

// The toolkit's own parameter identifiers used by those commands.
constexpr int EXCA_MANAGER_NAME = 20006;
constexpr int EXCA_MQNODE_NAME = 20007;
constexpr int EXIA_MQ_OPEN_OPTIONS = 20101;
constexpr int EXIA_EVENT_SELECTOR = 20110;
constexpr int EXIA_MANAGE_MQNODE = 20135;
constexpr int EXIA_STOP_Q_MGR_MODE = 20141;

// MQAUTHOPT_NAME_AS_WILDCARD | MQAUTHOPT_NAME_ALL_MATCHING | MQAUTHOPT_ENTITY_EXPLICIT.
constexpr int kAuthRecOptions = 97;
constexpr int kClientConnChannel = MQCHT_CLNTCONN;

enum class Kind {
  kNone,
  kName,            // Str parameter = name
  kNameAsValueId,   // Str with identifier value = name
  kValue,           // Int parameter = value
  kValueIfAbove0,   // Int parameter = value, only when value > 0
  kValueIfClntconn, // Int parameter = value, only when value is MQCHT_CLNTCONN
  kValueOrAll,      // Int parameter = value, or the constant when value < 1
  kConstant,        // Int parameter = constant
  kListOf,          // List parameter = [constant]
};

struct Step {
  Kind kind = Kind::kNone;
  int parameter = 0;
  int constant = 0;
};

constexpr Step Name(int p) { return {Kind::kName, p, 0}; }
constexpr Step NameAsValueId() { return {Kind::kNameAsValueId, 0, 0}; }
constexpr Step Value(int p) { return {Kind::kValue, p, 0}; }
constexpr Step ValueIfAbove0(int p) { return {Kind::kValueIfAbove0, p, 0}; }
constexpr Step ValueIfClntconn(int p) { return {Kind::kValueIfClntconn, p, 0}; }
constexpr Step ValueOrAll(int p, int all) { return {Kind::kValueOrAll, p, all}; }
constexpr Step Constant(int p, int v) { return {Kind::kConstant, p, v}; }
constexpr Step ListOf(int p, int v) { return {Kind::kListOf, p, v}; }
constexpr Step AllAttrs(int p) { return ListOf(p, MQIACF_ALL); }

enum class Flow {
  kSteps,        // append the steps, re-index, result of the last append
  kReturnAtOnce, // nothing appended, 1 without re-indexing
  kIndexOnly,    // nothing appended, 1 after re-indexing
};

struct Row {
  int command;
  Flow flow;
  std::array<Step, 3> steps;
};

constexpr Row Steps(int command, Step a = {}, Step b = {}, Step c = {}) {
  return {command, Flow::kSteps, {a, b, c}};
}

// One row per command code. Queue status asks for the queue-status attributes
// (MQIACF_Q_STATUS_ATTRS) with the status type as an integer, and topic status names the
// topic string with the status type as an integer and all status attributes: the forms a
// command server accepts.
constexpr auto kRows = std::to_array<Row>({
    Steps(MQCMD_INQUIRE_Q_MGR, AllAttrs(MQIACF_Q_MGR_ATTRS)),
    Steps(MQCMD_INQUIRE_PROCESS, Name(MQCA_PROCESS_NAME), AllAttrs(MQIACF_PROCESS_ATTRS)),
    Steps(MQCMD_INQUIRE_Q, Name(MQCA_Q_NAME), ValueIfAbove0(MQIA_Q_TYPE), AllAttrs(MQIACF_Q_ATTRS)),
    Steps(MQCMD_RESET_Q_STATS, Name(MQCA_Q_NAME)),
    Steps(MQCMD_INQUIRE_Q_NAMES, Name(MQCA_Q_NAME), Constant(MQIA_Q_TYPE, MQQT_ALL)),
    Steps(MQCMD_INQUIRE_PROCESS_NAMES, Name(MQCA_PROCESS_NAME)),
    Steps(MQCMD_INQUIRE_CHANNEL_NAMES, Name(MQCACH_CHANNEL_NAME), ValueIfClntconn(MQIACH_CHANNEL_TYPE)),
    Steps(MQCMD_INQUIRE_CHANNEL, Name(MQCACH_CHANNEL_NAME), ValueIfClntconn(MQIACH_CHANNEL_TYPE),
          AllAttrs(MQIACF_CHANNEL_ATTRS)),
    Steps(MQCMD_PING_CHANNEL, Name(MQCACH_CHANNEL_NAME), Value(MQIACH_DATA_COUNT)),
    Steps(MQCMD_RESET_CHANNEL, Name(MQCACH_CHANNEL_NAME), Value(MQIACH_MSG_SEQUENCE_NUMBER)),
    Steps(MQCMD_START_CHANNEL, Name(MQCACH_CHANNEL_NAME)),
    Steps(MQCMD_STOP_CHANNEL, Name(MQCACH_CHANNEL_NAME), Value(MQIACF_MODE)),
    Steps(MQCMD_START_CHANNEL_INIT, Name(MQCA_INITIATION_Q_NAME)),
    Steps(MQCMD_START_CHANNEL_LISTENER, Name(MQCACH_LISTENER_NAME)),
    Steps(MQCMD_INQUIRE_NAMELIST, Name(MQCA_NAMELIST_NAME), AllAttrs(MQIACF_NAMELIST_ATTRS)),
    Steps(MQCMD_INQUIRE_NAMELIST_NAMES, Name(MQCA_NAMELIST_NAME)),
    Steps(MQCMD_ESCAPE, Constant(MQIACF_ESCAPE_TYPE, MQET_MQSC), Name(MQCACF_ESCAPE_TEXT)),
    Steps(EXCMD_MQSC_SCRIPT, Constant(MQIACF_ESCAPE_TYPE, MQET_MQSC), Name(MQCACF_ESCAPE_TEXT)),
    Steps(MQCMD_RESOLVE_CHANNEL, Name(MQCACH_CHANNEL_NAME), Value(MQIACH_IN_DOUBT)),
    {MQCMD_PING_Q_MGR, Flow::kReturnAtOnce, {}},
    Steps(MQCMD_INQUIRE_Q_STATUS, Name(MQCA_Q_NAME), AllAttrs(MQIACF_Q_STATUS_ATTRS),
          Constant(MQIACF_Q_STATUS_TYPE, MQIACF_Q_STATUS)),
    Steps(MQCMD_INQUIRE_CHANNEL_STATUS, Name(MQCACH_CHANNEL_NAME), AllAttrs(MQIACH_CHANNEL_INSTANCE_ATTRS)),
    Steps(MQCMD_INQUIRE_CLUSTER_Q_MGR, Name(MQCA_CLUSTER_Q_MGR_NAME), AllAttrs(MQIACF_CLUSTER_Q_MGR_ATTRS)),
    Steps(MQCMD_RESUME_Q_MGR_CLUSTER, NameAsValueId()),
    Steps(MQCMD_SUSPEND_Q_MGR_CLUSTER, NameAsValueId()),
    Steps(MQCMD_REFRESH_CLUSTER, Name(MQCA_CLUSTER_NAME)),
    Steps(MQCMD_RESET_CLUSTER, Name(MQCA_CLUSTER_NAME)),
    {MQCMD_REFRESH_SECURITY, Flow::kIndexOnly, {}},
    Steps(MQCMD_INQUIRE_AUTH_INFO, Name(MQCA_AUTH_INFO_NAME), AllAttrs(MQIACF_AUTH_INFO_ATTRS)),
    Steps(MQCMD_INQUIRE_AUTH_INFO_NAMES, Name(MQCA_AUTH_INFO_NAME)),
    Steps(MQCMD_INQUIRE_AUTH_RECS, Constant(MQIACF_AUTH_OPTIONS, kAuthRecOptions),
          Name(MQCACF_AUTH_PROFILE_NAME), ValueOrAll(MQIACF_OBJECT_TYPE, MQOT_ALL)),
    Steps(MQCMD_RESET_Q_MGR, Value(MQIACF_ACTION)),
    Steps(MQCMD_INQUIRE_LISTENER, Name(MQCACH_LISTENER_NAME), AllAttrs(MQIACF_LISTENER_ATTRS)),
    Steps(MQCMD_INQUIRE_LISTENER_STATUS, Name(MQCACH_LISTENER_NAME), AllAttrs(MQIACF_LISTENER_STATUS_ATTRS)),
    Steps(MQCMD_STOP_CHANNEL_LISTENER, Name(MQCACH_LISTENER_NAME)),
    Steps(MQCMD_INQUIRE_SERVICE, Name(MQCA_SERVICE_NAME), AllAttrs(MQIACF_SERVICE_ATTRS)),
    Steps(MQCMD_INQUIRE_SERVICE_STATUS, Name(MQCA_SERVICE_NAME), AllAttrs(MQIACF_SERVICE_STATUS_ATTRS)),
    Steps(MQCMD_START_SERVICE, Name(MQCA_SERVICE_NAME)),
    Steps(MQCMD_STOP_SERVICE, Name(MQCA_SERVICE_NAME)),
    Steps(MQCMD_INQUIRE_Q_MGR_STATUS, AllAttrs(MQIACF_Q_MGR_STATUS_ATTRS)),
    Steps(MQCMD_INQUIRE_TOPIC, Name(MQCA_TOPIC_NAME), AllAttrs(MQIACF_TOPIC_ATTRS)),
    Steps(MQCMD_INQUIRE_TOPIC_NAMES, Name(MQCA_TOPIC_NAME)),
    Steps(MQCMD_INQUIRE_SUBSCRIPTION, Name(MQCACF_SUB_NAME), AllAttrs(MQIACF_SUB_ATTRS)),
    Steps(MQCMD_INQUIRE_SUB_STATUS, Name(MQCACF_SUB_NAME), AllAttrs(MQIACF_SUB_STATUS_ATTRS)),
    Steps(MQCMD_INQUIRE_TOPIC_STATUS, Name(MQCA_TOPIC_STRING), AllAttrs(MQIACF_TOPIC_STATUS_ATTRS),
          Constant(MQIACF_TOPIC_STATUS_TYPE, MQIACF_TOPIC_STATUS)),
    Steps(MQCMD_INQUIRE_PUBSUB_STATUS, AllAttrs(MQIACF_PUBSUB_STATUS_ATTRS)),
    Steps(EXCMD_START_MCA, Name(MQCACH_MCA_NAME)),
    Steps(EXCMD_STOP_MCA, Name(MQCACH_MCA_NAME)),
    Steps(EXCMD_START_Q_MGR, Name(MQCA_Q_MGR_NAME)),
    Steps(EXCMD_OPEN_EVENT, Name(MQCA_Q_MGR_NAME)),
    Steps(EXCMD_CLOSE_EVENT, Name(MQCA_Q_MGR_NAME)),
    Steps(EXCMD_INQUIRE_Q_MGR_NAMES, Name(MQCA_Q_MGR_NAME)),
    Steps(EXCMD_CREATE_Q_MGR, Name(MQCA_Q_MGR_NAME)),
    Steps(EXCMD_DELETE_Q_MGR, Name(MQCA_Q_MGR_NAME)),
    Steps(EXCMD_STOP_Q_MGR, Name(MQCA_Q_MGR_NAME), Value(EXIA_STOP_Q_MGR_MODE)),
    Steps(EXCMD_MQ_OPEN, Name(MQCA_Q_MGR_NAME), Value(EXIA_MQ_OPEN_OPTIONS)),
    Steps(EXCMD_MQ_CLOSE, Name(MQCA_Q_MGR_NAME), Value(EXIA_MQ_OPEN_OPTIONS)),
    Steps(EXCMD_INQUIRE_LISTENER_NAMES, Name(MQCACH_LISTENER_NAME)),
    Steps(EXCMD_INQUIRE_SERVICE_NAMES, Name(MQCA_SERVICE_NAME)),
    Steps(EXCMD_INQUIRE_SUBSCRIPTION_NAMES, Name(MQCACF_SUB_NAME)),
    Steps(EXCMD_START_MANAGER, Name(EXCA_MANAGER_NAME)),
    Steps(EXCMD_STOP_MANAGER, Name(EXCA_MANAGER_NAME)),
    Steps(EXCMD_MANAGE_MQNODE, Name(EXCA_MQNODE_NAME), Value(EXIA_MANAGE_MQNODE)),
    Steps(EXCMD_UNMANAGE_MQNODE, Name(EXCA_MQNODE_NAME)),
    Steps(EXCMD_INQUIRE_Q_MGR_EVENT, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_LOGGER_EVENT, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_BRIDGE_EVENT, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_CHANNEL_EVENT, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_MANAGER_EVENT, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_PERFM_EVENT, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_ALTER_EVENT, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_ACCT_MQI, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_ACCT_Q, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_STAT_MQI, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_STAT_Q, Value(EXIA_EVENT_SELECTOR)),
    Steps(EXCMD_INQUIRE_STAT_CHANNEL, Value(EXIA_EVENT_SELECTOR)),
});

const Row* FindRow(int command) {
  const auto* it = std::find_if(kRows.begin(), kRows.end(), [command](const Row& r) { return r.command == command; });
  return it == kRows.end() ? nullptr : it;
}

// Builds the step's attribute into attr. 0 when the step adds nothing for this value.
bool BuildStep(const Step& step, const char* name, int value, MESSAGE* attr, int* created) {
  *created = 0;
  switch (step.kind) {
    case Kind::kNone:
      return false;
    case Kind::kName:
      *created = CreatePcfStrAttr(attr, step.parameter, name);
      return true;
    case Kind::kNameAsValueId:
      *created = CreatePcfStrAttr(attr, value, name);
      return true;
    case Kind::kValueIfAbove0:
      if (value <= 0) return false;
      *created = CreatePcfIntAttr(attr, step.parameter, value);
      return true;
    case Kind::kValueIfClntconn:
      if (value != kClientConnChannel) return false;
      *created = CreatePcfIntAttr(attr, step.parameter, value);
      return true;
    case Kind::kValue:
      *created = CreatePcfIntAttr(attr, step.parameter, value);
      return true;
    case Kind::kValueOrAll:
      *created = CreatePcfIntAttr(attr, step.parameter, value < 1 ? step.constant : value);
      return true;
    case Kind::kConstant:
      *created = CreatePcfIntAttr(attr, step.parameter, step.constant);
      return true;
    case Kind::kListOf:
      *created = CreatePcfIntListAttr(attr, step.parameter, 1) && SetPcfIntListAttrValue(attr, 0, step.constant);
      return true;
  }
  return false;
}

}  // namespace

extern "C" {

VRQAPI_API int BuildPcfCmd(PcfMessage* msg, const char* name, int value) {
  if (msg == nullptr || msg->pPcfHdr == nullptr) return 0;
  const char* text = name != nullptr ? name : "";
  const Row* row = FindRow(msg->pPcfHdr->Command);
  if (row != nullptr && row->flow == Flow::kReturnAtOnce) return 1;
  int result = row != nullptr && row->flow == Flow::kIndexOnly ? 1 : 0;
  if (row != nullptr && row->flow == Flow::kSteps) {
    for (const Step& step : row->steps) {
      MESSAGE attr{};
      int created = 0;
      if (!BuildStep(step, text, value, &attr, &created)) continue;
      // A record that could not be built counts as a failed append.
      result = created ? AppendAttr(msg, &attr) : 0;
      DeleteMessage(&attr);
    }
  }
  RawToPcf(msg);
  return result;
}

}  // extern "C"

// The command server's commands: ping, create/change/delete queue, inquire queue, inquire
// queue names and inquire queue manager. Each request is checked as a queue manager does it
// (message format, header, parameters the command takes, required parameters, values) and
// answered with MQCFT_RESPONSE messages, the last one carrying MQCFC_LAST.
#include "command_server.h"

#include <cmqc.h>
#include <cmqcfc.h>

#include <algorithm>

namespace vrqsim {

namespace {

constexpr const char* kApplName = "vrqsim command server";

struct ParamRule {
  MQLONG command;
  MQLONG id;
  MQLONG type;
  bool required;
};

struct IntAttrRule {
  MQLONG id;
  MQLONG QueueAttrs::*field;
  MQLONG min;
  MQLONG max;
};

struct StrAttrRule {
  MQLONG id;
  std::string QueueAttrs::*field;
  size_t width;
};

constexpr IntAttrRule kIntAttrs[] = {
    {MQIA_MAX_Q_DEPTH, &QueueAttrs::max_depth, 0, 999999999},
    {MQIA_MAX_MSG_LENGTH, &QueueAttrs::max_msg_length, 0, static_cast<MQLONG>(kMaxMsgLength)},
    {MQIA_INHIBIT_PUT, &QueueAttrs::inhibit_put, 0, 1},
    {MQIA_INHIBIT_GET, &QueueAttrs::inhibit_get, 0, 1},
    {MQIA_DEF_PERSISTENCE, &QueueAttrs::def_persistence, 0, 1},
    {MQIA_DEF_PRIORITY, &QueueAttrs::def_priority, 0, 9},
    {MQIA_SHAREABILITY, &QueueAttrs::shareability, 0, 1},
    {MQIA_DEF_INPUT_OPEN_OPTION, &QueueAttrs::def_input_open_option, MQOO_INPUT_SHARED, MQOO_INPUT_EXCLUSIVE},
    {MQIA_DEFINITION_TYPE, &QueueAttrs::definition_type, MQQDT_PERMANENT_DYNAMIC, MQQDT_TEMPORARY_DYNAMIC},
    {MQIA_TRIGGER_CONTROL, &QueueAttrs::trigger_control, 0, 1},
    {MQIA_TRIGGER_TYPE, &QueueAttrs::trigger_type, MQTT_NONE, MQTT_DEPTH},
    {MQIA_TRIGGER_DEPTH, &QueueAttrs::trigger_depth, 1, 999999999},
    {MQIA_TRIGGER_MSG_PRIORITY, &QueueAttrs::trigger_msg_priority, 0, 9},
    {MQIA_USAGE, &QueueAttrs::usage, MQUS_NORMAL, MQUS_TRANSMISSION},
    {MQIA_BACKOUT_THRESHOLD, &QueueAttrs::backout_threshold, 0, 999999999},
};

constexpr StrAttrRule kStrAttrs[] = {
    {MQCA_Q_DESC, &QueueAttrs::description, 64},
    {MQCA_TRIGGER_DATA, &QueueAttrs::trigger_data, 64},
    {MQCA_PROCESS_NAME, &QueueAttrs::process_name, 48},
    {MQCA_INITIATION_Q_NAME, &QueueAttrs::initiation_queue, 48},
    {MQCA_BACKOUT_REQ_Q_NAME, &QueueAttrs::backout_queue, 48},
};

// Parameters beyond the queue attributes, per command.
constexpr ParamRule kParams[] = {
    {MQCMD_CREATE_Q, MQCA_Q_NAME, MQCFT_STRING, true},
    {MQCMD_CREATE_Q, MQIA_Q_TYPE, MQCFT_INTEGER, true},
    {MQCMD_CREATE_Q, MQIACF_REPLACE, MQCFT_INTEGER, false},
    {MQCMD_CHANGE_Q, MQCA_Q_NAME, MQCFT_STRING, true},
    {MQCMD_CHANGE_Q, MQIA_Q_TYPE, MQCFT_INTEGER, true},
    {MQCMD_DELETE_Q, MQCA_Q_NAME, MQCFT_STRING, true},
    {MQCMD_DELETE_Q, MQIA_Q_TYPE, MQCFT_INTEGER, false},
    {MQCMD_DELETE_Q, MQIACF_PURGE, MQCFT_INTEGER, false},
    {MQCMD_INQUIRE_Q, MQCA_Q_NAME, MQCFT_STRING, true},
    {MQCMD_INQUIRE_Q, MQIA_Q_TYPE, MQCFT_INTEGER, false},
    {MQCMD_INQUIRE_Q, MQIACF_Q_ATTRS, MQCFT_INTEGER_LIST, false},
    {MQCMD_INQUIRE_Q_NAMES, MQCA_Q_NAME, MQCFT_STRING, true},
    {MQCMD_INQUIRE_Q_NAMES, MQIA_Q_TYPE, MQCFT_INTEGER, false},
    {MQCMD_INQUIRE_Q_MGR, MQIACF_Q_MGR_ATTRS, MQCFT_INTEGER_LIST, false},
};

constexpr MQLONG kCommands[] = {MQCMD_PING_Q_MGR, MQCMD_CREATE_Q, MQCMD_CHANGE_Q, MQCMD_DELETE_Q,
                                MQCMD_INQUIRE_Q, MQCMD_INQUIRE_Q_NAMES, MQCMD_INQUIRE_Q_MGR};

// Attributes reported by INQUIRE_Q, in response order.
constexpr MQLONG kQueueInts[] = {
    MQIA_DEFINITION_TYPE, MQIA_CURRENT_Q_DEPTH, MQIA_MAX_Q_DEPTH, MQIA_MAX_MSG_LENGTH,
    MQIA_OPEN_INPUT_COUNT, MQIA_OPEN_OUTPUT_COUNT, MQIA_INHIBIT_PUT, MQIA_INHIBIT_GET,
    MQIA_DEF_PERSISTENCE, MQIA_DEF_PRIORITY, MQIA_SHAREABILITY, MQIA_DEF_INPUT_OPEN_OPTION,
    MQIA_TRIGGER_CONTROL, MQIA_TRIGGER_TYPE, MQIA_TRIGGER_DEPTH, MQIA_TRIGGER_MSG_PRIORITY,
    MQIA_USAGE, MQIA_BACKOUT_THRESHOLD, MQIA_MSG_DELIVERY_SEQUENCE};
constexpr std::pair<MQLONG, size_t> kQueueChars[] = {
    {MQCA_Q_DESC, 64}, {MQCA_TRIGGER_DATA, 64}, {MQCA_PROCESS_NAME, 48}, {MQCA_INITIATION_Q_NAME, 48},
    {MQCA_BACKOUT_REQ_Q_NAME, 48}, {MQCA_CREATION_DATE, 12}, {MQCA_CREATION_TIME, 8}};

// The reason for a parameter that the command does not take, by its structure type.
MQLONG ParamIdError(MQLONG type) {
  switch (type) {
    case MQCFT_INTEGER: return MQRCCF_CFIN_PARM_ID_ERROR;
    case MQCFT_STRING: return MQRCCF_CFST_PARM_ID_ERROR;
    case MQCFT_INTEGER_LIST: return MQRCCF_CFIL_PARM_ID_ERROR;
    case MQCFT_STRING_LIST: return MQRCCF_CFSL_PARM_ID_ERROR;
    case MQCFT_BYTE_STRING: return MQRCCF_CFBS_PARM_ID_ERROR;
    default: return MQRCCF_STRUCTURE_TYPE_ERROR;
  }
}

bool TakesQueueAttrs(MQLONG command) { return command == MQCMD_CREATE_Q || command == MQCMD_CHANGE_Q; }

// The rule for a parameter of a command: its expected type, or 0 when the command does not
// take it.
MQLONG ExpectedType(MQLONG command, MQLONG id) {
  for (const auto& r : kParams)
    if (r.command == command && r.id == id) return r.type;
  if (TakesQueueAttrs(command)) {
    for (const auto& r : kIntAttrs)
      if (r.id == id) return MQCFT_INTEGER;
    for (const auto& r : kStrAttrs)
      if (r.id == id) return MQCFT_STRING;
  }
  return 0;
}

const PcfParam* Find(const PcfCommand& cmd, MQLONG id) {
  for (const auto& p : cmd.params)
    if (p.id == id) return &p;
  return nullptr;
}

bool Matches(std::string_view pattern, std::string_view name) {
  if (!pattern.empty() && pattern.back() == '*') return name.substr(0, pattern.size() - 1) == pattern.substr(0, pattern.size() - 1);
  return pattern == name;
}

std::vector<uint8_t> Error(MQLONG command, MQLONG reason, MQLONG param = 0) {
  PcfWriter w(command, 1, true, MQCC_FAILED, reason);
  if (param) w.Int(MQIACF_PARAMETER_ID, param);
  return w.Finish();
}

}  // namespace

bool CommandServer::Start() {
  if (running()) return true;
  Session& s = qm_.OpenSession(kApplName, "vrqsim");
  ObjectRef od{};
  od.type = MQOT_Q;
  SetField(od.name, QueueManager::kCommandQueue);
  OpenResult r = qm_.Open(s, od, MQOO_INPUT_SHARED);
  if (r.outcome.failed()) {
    qm_.EndSession(s.id, false);
    return false;
  }
  session_ = s.id;
  hobj_ = r.hobj;
  return true;
}

void CommandServer::Stop() {
  if (!running()) return;
  qm_.EndSession(session_, true);
  session_ = 0;
}

void CommandServer::Poll() {
  while (Session* s = qm_.FindSession(session_)) {
    if (delay_ms_ > 0 && SteadyMs() < next_due_) return;
    MQMD md = {MQMD_DEFAULT};
    GetOptions gmo;
    gmo.options = MQGMO_NO_SYNCPOINT | MQGMO_ACCEPT_TRUNCATED_MSG;
    GetResult r = qm_.Get(*s, hobj_, md, gmo, static_cast<MQLONG>(kMaxMsgLength));
    if (r.outcome.failed()) return;
    Answer(md, r.data);
    if (delay_ms_ > 0) next_due_ = SteadyMs() + delay_ms_;
  }
}

void CommandServer::Answer(const MQMD& request, std::span<const uint8_t> data) {
  if (Trimmed(request.ReplyToQ).empty()) return;
  std::vector<std::vector<uint8_t>> responses;
  PcfCommand cmd;
  if (std::memcmp(request.Format, MQFMT_ADMIN, 8) != 0) {
    MQLONG command = 0;
    if (data.size() >= sizeof(MQCFH)) std::memcpy(&command, data.data() + offsetof(MQCFH, Command), 4);
    responses.push_back(Error(command, MQRCCF_MD_FORMAT_ERROR));
  } else if (MQLONG rc = ParsePcf(data, cmd)) {
    responses.push_back(Error(cmd.header.Command, rc));
  } else {
    responses = Execute(cmd);
  }
  for (const auto& body : responses) {
    MQMD md = {MQMD_DEFAULT};
    md.Version = MQMD_VERSION_2;
    QueueManager::ReplyIdentity(request, md);
    md.MsgType = MQMT_REPLY;
    std::memcpy(md.Format, MQFMT_ADMIN, 8);
    md.Priority = request.Priority;
    md.Persistence = request.Persistence;
    md.Encoding = MQENC_NATIVE;
    md.CodedCharSetId = qm_.ccsid();
    std::memcpy(md.UserIdentifier, request.UserIdentifier, sizeof md.UserIdentifier);
    md.PutApplType = MQAT_QMGR;
    SetField(md.PutApplName, kApplName);
    PutStamp(WallMs(), md.PutDate, md.PutTime);
    qm_.Deliver(md, body, Trimmed(request.ReplyToQ), Trimmed(request.ReplyToQMgr));
  }
}

std::vector<std::vector<uint8_t>> CommandServer::Execute(const PcfCommand& cmd) {
  const MQLONG command = cmd.header.Command;
  if (std::find(std::begin(kCommands), std::end(kCommands), command) == std::end(kCommands))
    return {Error(command, MQRCCF_CFH_COMMAND_ERROR)};
  // Every parameter must be one the command takes, of the right type, given once.
  for (size_t i = 0; i < cmd.params.size(); ++i) {
    const PcfParam& p = cmd.params[i];
    if (ExpectedType(command, p.id) != p.type) return {Error(command, ParamIdError(p.type), p.id)};
    for (size_t j = 0; j < i; ++j)
      if (cmd.params[j].id == p.id)
        return {Error(command, p.type == MQCFT_STRING ? MQRCCF_CFST_DUPLICATE_PARM : MQRCCF_CFIN_DUPLICATE_PARM, p.id)};
  }
  for (const auto& r : kParams)
    if (r.command == command && r.required && !Find(cmd, r.id)) return {Error(command, MQRCCF_PARM_COUNT_TOO_SMALL, r.id)};

  const PcfParam* qname = Find(cmd, MQCA_Q_NAME);
  const PcfParam* qtype = Find(cmd, MQIA_Q_TYPE);
  const std::string name = qname ? qname->strings[0] : std::string();
  const MQLONG type = qtype ? qtype->ints[0] : MQQT_ALL;
  auto ok = [&] { return std::vector<std::vector<uint8_t>>{PcfWriter(command, 1, true, MQCC_OK, MQRC_NONE).Finish()}; };

  switch (command) {
    case MQCMD_PING_Q_MGR:
      return ok();
    case MQCMD_CREATE_Q:
    case MQCMD_CHANGE_Q: {
      if (type != MQQT_LOCAL && type != MQQT_MODEL) return {Error(command, MQRCCF_Q_TYPE_ERROR, MQIA_Q_TYPE)};
      if (!ValidObjectName(name)) return {Error(command, MQRCCF_OBJECT_NAME_ERROR, MQCA_Q_NAME)};
      Queue* existing = qm_.FindQueue(name);
      const PcfParam* replace = Find(cmd, MQIACF_REPLACE);
      if (command == MQCMD_CHANGE_Q && !existing) return {Error(command, MQRC_UNKNOWN_OBJECT_NAME)};
      if (command == MQCMD_CREATE_Q && existing && !(replace && replace->ints[0] == MQRP_YES))
        return {Error(command, MQRCCF_OBJECT_ALREADY_EXISTS)};
      if (existing && existing->attrs.type != type) return {Error(command, MQRCCF_Q_WRONG_TYPE)};
      QueueAttrs attrs = existing ? existing->attrs : QueueAttrs{};
      attrs.type = type;
      if (!existing && type == MQQT_MODEL) attrs.definition_type = MQQDT_TEMPORARY_DYNAMIC;
      for (const auto& p : cmd.params) {
        for (const auto& r : kIntAttrs) {
          if (r.id != p.id) continue;
          if (p.ints[0] < r.min || p.ints[0] > r.max) return {Error(command, MQRCCF_PARM_VALUE_ERROR, p.id)};
          if (r.id == MQIA_DEFINITION_TYPE && type != MQQT_MODEL) return {Error(command, MQRCCF_CFIN_PARM_ID_ERROR, p.id)};
          attrs.*r.field = p.ints[0];
        }
        for (const auto& r : kStrAttrs) {
          if (r.id != p.id) continue;
          if (p.strings[0].size() > r.width) return {Error(command, MQRCCF_CFST_STRING_LENGTH_ERR, p.id)};
          attrs.*r.field = p.strings[0];
        }
      }
      if (const MQLONG rc = qm_.StoreDefinition(name, attrs)) return {Error(command, rc)};
      return ok();
    }
    case MQCMD_DELETE_Q: {
      const Queue* q = qm_.FindQueue(name);
      if (!q) return {Error(command, MQRC_UNKNOWN_OBJECT_NAME)};
      if (qtype && type != MQQT_ALL && q->attrs.type != type) return {Error(command, MQRCCF_Q_WRONG_TYPE)};
      const PcfParam* purge = Find(cmd, MQIACF_PURGE);
      const MQLONG rc = qm_.Delete(name, purge && purge->ints[0] == MQPO_YES);
      if (rc == MQRC_OBJECT_IN_USE) return {Error(command, MQRCCF_OBJECT_OPEN)};
      if (rc) return {Error(command, rc)};
      return ok();
    }
    case MQCMD_INQUIRE_Q: {
      std::vector<const Queue*> found;
      for (const auto& [n, q] : qm_.queues())
        if (Matches(name, n) && (type == MQQT_ALL || q.attrs.type == type)) found.push_back(&q);
      if (found.empty()) return {Error(command, MQRC_UNKNOWN_OBJECT_NAME)};
      const PcfParam* attrs = Find(cmd, MQIACF_Q_ATTRS);
      auto wanted = [&](MQLONG sel) {
        if (!attrs) return true;
        return std::any_of(attrs->ints.begin(), attrs->ints.end(), [&](MQLONG a) { return a == sel || a == MQIACF_ALL; });
      };
      std::vector<std::vector<uint8_t>> out;
      for (size_t i = 0; i < found.size(); ++i) {
        const Queue& q = *found[i];
        PcfWriter w(command, static_cast<MQLONG>(i + 1), i + 1 == found.size(), MQCC_OK, MQRC_NONE);
        w.String(MQCA_Q_NAME, q.name, 48);
        w.Int(MQIA_Q_TYPE, q.attrs.type);
        for (MQLONG sel : kQueueInts)
          if (wanted(sel))
            if (auto v = QueueIntAttr(q, sel)) w.Int(sel, *v);
        for (auto [sel, width] : kQueueChars)
          if (wanted(sel))
            if (auto v = QueueCharAttr(q, sel)) w.String(sel, *v, width);
        out.push_back(w.Finish());
      }
      return out;
    }
    case MQCMD_INQUIRE_Q_NAMES: {
      std::vector<std::string> names;
      std::vector<MQLONG> types;
      for (const auto& [n, q] : qm_.queues()) {
        if (!Matches(name, n) || (type != MQQT_ALL && q.attrs.type != type)) continue;
        names.push_back(n);
        types.push_back(q.attrs.type);
      }
      PcfWriter w(command, 1, true, MQCC_OK, MQRC_NONE);
      w.StringList(MQCACF_Q_NAMES, names, 48);
      w.IntList(MQIACF_Q_TYPES, types);
      return {w.Finish()};
    }
    default: {  // MQCMD_INQUIRE_Q_MGR
      PcfWriter w(command, 1, true, MQCC_OK, MQRC_NONE);
      w.String(MQCA_Q_MGR_NAME, qm_.name(), 48);
      w.Int(MQIA_COMMAND_LEVEL, QueueManager::kCommandLevel);
      w.Int(MQIA_PLATFORM, MQPL_UNIX);
      w.Int(MQIA_CODED_CHAR_SET_ID, qm_.ccsid());
      w.Int(MQIA_MAX_MSG_LENGTH, static_cast<MQLONG>(kMaxMsgLength));
      w.Int(MQIA_MAX_PRIORITY, 9);
      w.Int(MQIA_SYNCPOINT, MQSP_AVAILABLE);
      w.String(MQCA_DEAD_LETTER_Q_NAME, QueueManager::kDeadLetterQueue, 48);
      w.String(MQCA_COMMAND_INPUT_Q_NAME, QueueManager::kCommandQueue, 48);
      return {w.Finish()};
    }
  }
}

}  // namespace vrqsim

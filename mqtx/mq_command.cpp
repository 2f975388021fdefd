// Command posting on top of the queue-manager object: reading posted messages, the
// queue-manager self-test that reports each failed check as a parameter of a PCF
// response, changing a queue's description through the command server, ending a unit of
// work, and the classification of PCF commands as inquiries.
#include <cmqc.h>
#include <cmqcfc.h>

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "mqtx_internal.h"

using namespace vrq::mqtx;

namespace {

constexpr const char* kDefaultModelQueue = "ORVANE.MODEL.QUEUE";
constexpr const char* kFallbackModelQueue = "SYSTEM.DEFAULT.MODEL.QUEUE";
constexpr const char* kCreatingText = "QueueManager(\"%s\") : Creating %s...\n";
constexpr const char* kNoCommandQueueText = "qmUpdateQueInfo: pQMgr->pCmdQ is NULL\n";
constexpr MQLONG kCommandOpenOptions = MQOO_OUTPUT | MQOO_INQUIRE;
constexpr MQLONG kReplyOpenOptions = MQOO_INPUT_EXCLUSIVE;
constexpr MQLONG kReplyWait = 10000;
constexpr int kCommandCapacity = 512;
constexpr std::size_t kDescriptionMax = 64;

// PCF commands that only inquire.
constexpr MQLONG kInquiryCommands[] = {
    2,   7,   13,  18,  19,  20,  25,  36,  37,  38,  41,  42,  70,  83,  84,  85,
    87,  88,  97,  98,  114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125,
    126, 147, 148, 153, 154, 161, 169, 174, 175, 176, 182, 183, 10024};

struct PcfDeleter {
  void operator()(PcfMessage* m) const { DeletePcfMessage(m); }
};
using Pcf = std::unique_ptr<PcfMessage, PcfDeleter>;

struct ManagerDeleter {
  void operator()(MQManager* m) const { DeleteMQManager(m); }
};

bool AppendInt(PcfMessage* pcf, MQLONG parameter, MQLONG value) {
  MESSAGE attr{};
  const bool ok = CreatePcfIntAttr(&attr, parameter, value) != 0 && AppendAttr(pcf, &attr) != 0;
  DeleteMessage(&attr);
  return ok;
}

bool AppendStr(PcfMessage* pcf, MQLONG parameter, const char* value) {
  MESSAGE attr{};
  const bool ok = CreatePcfStrAttr(&attr, parameter, value) != 0 && AppendAttr(pcf, &attr) != 0;
  DeleteMessage(&attr);
  return ok;
}

std::string ModelQueueName() {
  MQQual qual{};
  RetreiveQual(&qual);
  return qual.szModelQueue[0] != '\0' ? std::string(qual.szModelQueue) : kDefaultModelQueue;
}

// Puts a command and reads its reply into the same message. On failure *reason is the
// failing queue's reason.
bool Exchange(MQManager* m, PcfMessage* command, MQLONG* reason) {
  if (qmWrite(&command->PcfMsg, m) == 0) {
    *reason = m->pCmdQ->lReason;
    return false;
  }
  ResetMessage(&command->PcfMsg);
  if (qmRead(&command->PcfMsg, kReplyWait, m) == 0) {
    *reason = m->pReplyCmdQ->lReason;
    return false;
  }
  return true;
}

// The self-test's record of failures: one parameter per failed check, the last failing
// reason in code.
class TestReport {
 public:
  explicit TestReport(PcfMessage* response) : response_(response) {}
  void Fail(MQLONG parameter, MQLONG reason) {
    code = reason;
    AppendInt(response_, parameter, reason);
  }
  MQLONG code = MQRC_NONE;

 private:
  PcfMessage* response_;
};

bool CreateModelQueue(MQManager* m, const std::string& model, MQLONG* reason) {
  std::printf(kCreatingText, m->szName, model.c_str());
  Pcf create(CreatePcfMessage(MQCMD_CREATE_Q, MQCFT_COMMAND, kCommandCapacity));
  if (!create) {
    *reason = MQRC_STORAGE_NOT_AVAILABLE;
    return false;
  }
  AppendStr(create.get(), MQCA_Q_NAME, model.c_str());
  AppendInt(create.get(), MQIA_Q_TYPE, MQQT_MODEL);
  AppendInt(create.get(), MQIA_DEFINITION_TYPE, MQQDT_TEMPORARY_DYNAMIC);
  AppendInt(create.get(), MQIA_DEF_PERSISTENCE, MQPER_NOT_PERSISTENT);
  AppendInt(create.get(), MQIA_SHAREABILITY, MQQA_SHAREABLE);
  AppendInt(create.get(), MQIA_DEF_INPUT_OPEN_OPTION, MQOO_INPUT_SHARED);
  return Exchange(m, create.get(), reason);
}

bool Ping(MQManager* m, MQLONG* reason) {
  Pcf ping(CreatePcfMessage(MQCMD_PING_Q_MGR, MQCFT_COMMAND, kCommandCapacity));
  if (!ping) {
    *reason = MQRC_STORAGE_NOT_AVAILABLE;
    return false;
  }
  return Exchange(m, ping.get(), reason);
}

// Check 20302: the command reply queue, with the fallback to the system's model queue
// (and creation of the missing one) when the configured model queue is unknown. Returns
// true when the queue opened at the first try.
bool CheckReplyQueue(MQManager* m, const std::string& model, TestReport* report) {
  MQueue* reply = m->pReplyCmdQ;
  if (reply->Ops.Open(kReplyOpenOptions, reply, "") != 0) return true;
  if (reply->lReason != MQRC_UNKNOWN_OBJECT_NAME) {
    report->Fail(QMTEST_REPLY_QUEUE, reply->lReason);
    return false;
  }
  report->code = MQRC_UNKNOWN_OBJECT_NAME;
  SetField(reply->ObjDesc.ObjectName, MQ_Q_NAME_LENGTH, kFallbackModelQueue);
  if (reply->Ops.Open(kReplyOpenOptions, reply, "") == 0) return false;
  if (qqIsOpenInput(m->pCmdQ) == 0) {
    report->Fail(QMTEST_REPLY_QUEUE, VRQ_RC_NO_COMMAND_SERVER);
    return false;
  }
  MQLONG reason = MQRC_NONE;
  if (!CreateModelQueue(m, model, &reason)) report->Fail(QMTEST_REPLY_QUEUE, reason);
  return false;
}

void RunChecks(MQManager* m, TestReport* report) {
  const std::string model = ModelQueueName();
  if (m->pCmdQ == nullptr || m->pReplyCmdQ == nullptr || m->pEventQ == nullptr) {
    report->Fail(QMTEST_CONNECT, MQRC_STORAGE_NOT_AVAILABLE);
    return;
  }
  if (m->pCmdQ->Ops.Open(kCommandOpenOptions, m->pCmdQ, "") == 0) {
    report->Fail(QMTEST_CMD_QUEUE, m->pCmdQ->lReason);
  }
  const bool replyAtFirstTry = CheckReplyQueue(m, model, report);
  if (replyAtFirstTry && report->code == MQRC_NONE) {
    MQLONG reason = MQRC_NONE;
    if (qqIsOpenInput(m->pCmdQ) == 0) {
      report->Fail(QMTEST_PING, VRQ_RC_NO_COMMAND_SERVER);
    } else if (!Ping(m, &reason)) {
      report->Fail(QMTEST_PING, reason);
    }
  }
  if (qqOpenDynamic(kReplyOpenOptions, m->pEventQ, model.c_str(), "") == 0) {
    report->Fail(QMTEST_EVENT_QUEUE, m->pEventQ->lReason);
  }
}

}  // namespace

extern "C" {

VRQMQTX_API int qmPost(MESSAGE* message, MQLONG wait, MQManager* manager) {
  if (manager == nullptr || message == nullptr || manager->pEventQ == nullptr) return 0;
  ManagerTraceScope trace("qmPost", manager);
  MQGMO gmo = DefaultGmo();
  gmo.Version = MQGMO_VERSION_1;
  gmo.Options = MQGMO_CONVERT | MQGMO_FAIL_IF_QUIESCING | MQGMO_NO_SYNCPOINT;
  if (wait > 0 || wait == MQWI_UNLIMITED) {
    gmo.Options |= MQGMO_WAIT;
    gmo.WaitInterval = wait;
  }
  MQueue* q = manager->pEventQ;
  const int ok = q->Ops.Read(message, &gmo, q);
  manager->lReason = q->lReason;
  return ok;
}

VRQMQTX_API int qmTest(const char* name, const char* commandQueue, const char* replyPrefix,
                       const char* replyPrefixFormat, PcfMessage* response) {
  if (response == nullptr || response->pPcfHdr == nullptr) return 0;
  std::unique_ptr<MQManager, ManagerDeleter> m(
      CreateDMQManager(name, commandQueue, replyPrefix, replyPrefixFormat));
  ResetPcfMessage(response, response->pPcfHdr->Command, MQCFT_RESPONSE);
  TestReport report(response);
  if (!m) {
    report.Fail(QMTEST_CONNECT, MQRC_RESOURCE_PROBLEM);
  } else if (m->lReason != MQRC_NONE) {
    report.Fail(QMTEST_CONNECT, m->lReason);
  } else {
    RunQMgrTrace("qmTest: before", m.get());
    RunChecks(m.get(), &report);
  }
  if (report.code != MQRC_NONE) {
    response->pPcfHdr->CompCode = MQCC_FAILED;
    response->pPcfHdr->Reason = report.code;
  }
  RunQMgrTrace("qmTest: after", m.get());
  m.reset();
  RawToPcf(response);
  return report.code == MQRC_NONE ? 1 : 0;
}

VRQMQTX_API int qmUpdateQueInfo(MQManager* manager, const char* queue, const char* description,
                                MQLONG* reason) {
  if (manager == nullptr || queue == nullptr || reason == nullptr) return 0;
  if (manager->pCmdQ == nullptr) {
    std::fputs(kNoCommandQueueText, stdout);
    return 0;
  }
  MQueue* cmdQ = manager->pCmdQ;
  if (cmdQ->Ops.Open(kCommandOpenOptions, cmdQ, "") == 0) {
    *reason = cmdQ->lReason;
    return 0;
  }
  char text[kDescriptionMax + 1] = {};
  if (description != nullptr) std::strncpy(text, description, kDescriptionMax);
  int result = 0;
  Pcf change(CreatePcfMessage(MQCMD_CHANGE_Q, MQCFT_COMMAND, kCommandCapacity));
  if (!change) {
    *reason = MQRC_STORAGE_NOT_AVAILABLE;
  } else {
    AppendStr(change.get(), MQCA_Q_NAME, queue);
    AppendInt(change.get(), MQIA_Q_TYPE, MQQT_LOCAL);
    AppendStr(change.get(), MQCA_Q_DESC, text);
    if (qmWrite(&change->PcfMsg, manager) != 0) {
      ResetPcfMessage(change.get(), MQCMD_CHANGE_Q, MQCFT_RESPONSE);
      result = qmRead(&change->PcfMsg, kReplyWait, manager);
      *reason = manager->lReason;
    } else {
      *reason = cmdQ->lReason;
    }
  }
  cmdQ->Ops.Close(cmdQ);
  return result;
}

VRQMQTX_API int qmEndTrans(MQManager* manager, int commit) {
  if (manager == nullptr || manager->hConn == 0) return 0;
  MQLONG compCode = MQCC_FAILED;
  if (commit != 0) {
    MQCMIT(manager->hConn, &compCode, &manager->lReason);
  } else {
    MQBACK(manager->hConn, &compCode, &manager->lReason);
  }
  return compCode == MQCC_OK ? 1 : 0;
}

VRQMQTX_API int IsInquiryPcf(MQLONG command) {
  return std::find(std::begin(kInquiryCommands), std::end(kInquiryCommands), command) !=
                 std::end(kInquiryCommands)
             ? 1
             : 0;
}

VRQMQTX_API void UpdateZOSPcfCmd(void) {}

VRQMQTX_API void UpdateZOSPcfReply(void) {}

}  // extern "C"

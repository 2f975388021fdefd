// MQManager: one connection to a queue manager with the command queue, the three private
// dynamic queues made from the model queue (inquiry replies, command replies, command
// hash) and an optional event or post queue. Creation in two variants, opening and
// emptying the private queues, writing requests whose reply-to fields name the object's
// own reply queue, reading replies, and the trace hooks.
#include <cmqc.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <atomic>
#include <string>
#include <vector>

#include "mqtx_internal.h"

// The record's layout is part of the interface (64-bit build).
constexpr bool kLp64 = sizeof(void*) == 8;
static_assert(!kLp64 || (sizeof(MQManagerOps) == 56 && sizeof(MQManager) == 192));
static_assert(sizeof(MQCredentials) == (kLp64 ? 24 : 16) && offsetof(MQCredentials, pPassword) == sizeof(void*) &&
              offsetof(MQCredentials, lPasswordLength) == 2 * sizeof(void*) &&
              offsetof(MQCredentials, lReserved) == 2 * sizeof(void*) + 4);
static_assert(!kLp64 || (offsetof(MQManager, hConn) == 56 && offsetof(MQManager, lCommandLevel) == 64 &&
                         offsetof(MQManager, pCmdQ) == 72 && offsetof(MQManager, pReplyCmdQ) == 104 &&
                         offsetof(MQManager, Ops) == 112 && offsetof(MQManager, pTraceContext) == 184));

using namespace vrq::mqtx;

namespace {

constexpr const char* kManagerTag = "MQManager";
constexpr const char* kDefaultModelQueue = "ORVANE.MODEL.QUEUE";
constexpr const char* kDefaultCommandQueue = "SYSTEM.ADMIN.COMMAND.QUEUE";
constexpr const char* kDefaultPrefix = "DEFAULT";
constexpr std::size_t kPostBaseMax = 8;
// The MQI accepts the asterisk of a DynamicQName only within its first 33 characters.
constexpr std::size_t kAsteriskLimit = 33;
constexpr int kPrefixFormatArgument = 8;

constexpr const char* kNoEventQueueText =
    "0100W CreateMQManager: Unable to create event queue %s:%s RC(%d)";
constexpr const char* kNoReplyQueueText =
    "0101W CreateMQManager: Unable to create reply queue %s:%s RC(%d)";
constexpr const char* kNoHashQueueText =
    "0101W CreateMQManager: Unable to create command hash queue %s:%s RC(%d)";
constexpr const char* kNoQueuesText =
    "0103E qmOpen: Command Queue and/or Reply Queue not specified in pQMgr.";
constexpr const char* kNotConnectedText =
    "0109E qmOpen: Connect to queue manager \"%s\" failed, REASON(%d)";

constexpr MQLONG kHashOpenOptions = 0x203C;   // INPUT_EXCLUSIVE BROWSE OUTPUT INQUIRE FIQ
constexpr MQLONG kReplyOpenOptions = 0x2024;  // INPUT_EXCLUSIVE INQUIRE FIQ
constexpr MQLONG kQMgrInquireOptions = 0x2020;

constexpr MQManagerOps kManagerOps = {qmOpen,  qmClose, qmPost, qmWrite,
                                      qmRead,  qmWriteSelectReply, qmReadSelectReply};

// Process-wide defaults handed to every manager created afterwards.
MQManagerTrace g_managerTrace = nullptr;
MQueueTrace g_managerQueueTrace = nullptr;
void* g_managerTraceContext = nullptr;

void Log(const char* format, const char* manager, const char* queue, MQLONG reason) {
  char text[512];
  std::snprintf(text, sizeof text, format, manager, queue, static_cast<int>(reason));
  LOGMSG(text, 1);
}

MQManager* NewManager(const char* name) {
  void* block = nullptr;
  if (fNewMemory(&block, sizeof(MQManager), kManagerTag) == 0) return nullptr;
  auto* m = static_cast<MQManager*>(block);
  m->pTrace = g_managerTrace;
  m->pQueueTrace = g_managerQueueTrace;
  m->pTraceContext = g_managerTraceContext;
  m->lReason = MQRC_NONE;
  m->hConn = 0;
  m->lKind = MQMANAGER_KIND;
  SetName(m->szName, name);
  m->Ops = kManagerOps;
  return m;
}

// Objects whose MQCONN answered 2002: their handle is the thread's existing connection,
// which belongs to whoever made it, so closing them must not disconnect it. The record's
// layout is fixed, so the mark is kept here.
std::vector<const MQManager*> g_shared;

// A spin lock around the list: its critical sections are a few instructions long, and it
// needs no thread library (the Windows build's runtime has no std::mutex).
std::atomic_flag g_sharedLock = ATOMIC_FLAG_INIT;
struct SharedListLock {
  SharedListLock() {
    while (g_sharedLock.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~SharedListLock() { g_sharedLock.clear(std::memory_order_release); }
  SharedListLock(const SharedListLock&) = delete;
  SharedListLock& operator=(const SharedListLock&) = delete;
};

void MarkShared(const MQManager* m) {
  SharedListLock lock;
  g_shared.push_back(m);
}

// Whether m holds a shared connection; the mark is dropped.
bool TakeShared(const MQManager* m) {
  SharedListLock lock;
  for (auto it = g_shared.begin(); it != g_shared.end(); ++it) {
    if (*it == m) {
      g_shared.erase(it);
      return true;
    }
  }
  return false;
}

// MQCONN; a refused connection leaves the handle -1 and the reason in the object. Reason
// 2002 (already connected) still gives a usable handle, which is marked as not ours.
// With credentials: MQCONNX with an MQCSP that points at the caller's user id and password
// (no copy of the password is made; it is not kept after the call).
bool Connect(MQManager* m, const MQCredentials* credentials) {
  MQCHAR name[MQ_Q_MGR_NAME_LENGTH + 1] = {};
  SetField(name, MQ_Q_MGR_NAME_LENGTH, m->szName);
  MQLONG compCode = MQCC_FAILED;
  MQLONG reason = MQRC_NONE;
  if (credentials == nullptr) {
    MQCONN(name, &m->hConn, &compCode, &reason);
  } else {
    MQCSP csp = {MQCSP_DEFAULT};
    csp.AuthenticationType = MQCSP_AUTH_USER_ID_AND_PWD;
    csp.CSPUserIdPtr = const_cast<char*>(credentials->pszUserId != nullptr ? credentials->pszUserId : "");
    csp.CSPUserIdLength = static_cast<MQLONG>(std::strlen(static_cast<const char*>(csp.CSPUserIdPtr)));
    csp.CSPPasswordPtr = const_cast<char*>(credentials->pPassword != nullptr ? credentials->pPassword : "");
    csp.CSPPasswordLength = credentials->pPassword != nullptr && credentials->lPasswordLength > 0
                                ? credentials->lPasswordLength : 0;
    MQCNO cno = {MQCNO_DEFAULT};
    cno.Version = MQCNO_VERSION_5;
    cno.SecurityParmsPtr = &csp;
    MQCONNX(name, &cno, &m->hConn, &compCode, &reason);
    csp.CSPPasswordPtr = nullptr;
  }
  if (compCode != MQCC_OK && reason != MQRC_ALREADY_CONNECTED) {
    m->hConn = kNoHandle;
    m->lReason = reason;
    return false;
  }
  if (reason == MQRC_ALREADY_CONNECTED) MarkShared(m);
  return true;
}

std::string ModelQueue(const MQQual& qual) {
  return qual.szModelQueue[0] != '\0' ? std::string(qual.szModelQueue) : kDefaultModelQueue;
}

// A format may hold at most one conversion, and only an integer one, since it is given the
// number 8; anything else is used as it stands.
bool TakesOneInteger(const char* format) {
  int conversions = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    if (*++p == '%') continue;
    while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) ++p;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
      ++p;
      while (*p >= '0' && *p <= '9') ++p;
    }
    if (*p == '\0' || std::strchr("diouxXc", *p) == nullptr || ++conversions > 1) return false;
  }
  return true;
}

std::string PrintPrefix(const char* format) {
  if (format == nullptr || format[0] == '\0') return kDefaultPrefix;
  if (!TakesOneInteger(format)) return format;
  char text[256];
  std::snprintf(text, sizeof text, format, kPrefixFormatArgument);
  return text;
}

std::string Stripped(std::string text) {
  strip_spaces(text.data());
  text.resize(std::strlen(text.c_str()));
  return text;
}

// The reply-queue prefix: the printed format through the reply naming of the qualifiers.
std::string ReplyPrefix(const char* format, const MQQual& qual) {
  char name[VRQ_MQ_NAME_SIZE];
  SetName(name, PrintPrefix(format).c_str());
  return Stripped(GenerateQueName(name, &qual, QNAME_REPLY));
}

// A dynamic name: base and suffix followed by "*", so that the queue manager completes a
// unique name. The asterisk counts only within the first 33 characters, so a long base is
// cut (its suffix kept) rather than leaving a fixed name that a second user would collide
// with.
std::string DynamicName(std::string base, const std::string& suffix = std::string()) {
  const std::size_t room = kAsteriskLimit - 1;
  if (suffix.size() >= room) return suffix.substr(0, room) + '*';
  if (base.size() + suffix.size() > room) base.resize(room - suffix.size());
  return base + suffix + '*';
}

MQueue* CreateDynamic(const MQManager* m, const std::string& model, const std::string& name) {
  return CreateMQDynamic(m->hConn, model.c_str(), name.c_str());
}

void AttachQueueTraces(MQManager* m) {
  for (MQueue* q : {m->pCmdQ, m->pHashQ, m->pEventQ, m->pReplyInqQ, m->pReplyCmdQ}) {
    if (q != nullptr) OnQTrace(q, m->pQueueTrace, m->pTraceContext);
  }
}

void DeleteQueue(MQueue** q) {
  DeleteMQueue(*q);
  *q = nullptr;
}

MQueue* ReplyQueue(MQManager* m, int which) {
  return which == QM_REPLY_INQUIRY ? m->pReplyInqQ : m->pReplyCmdQ;
}

int WriteWithReplyTo(MESSAGE* message, MQManager* m, MQueue* replyQueue) {
  if (m == nullptr || message == nullptr || message->pMdHdr == nullptr || m->pCmdQ == nullptr) {
    return 0;
  }
  ManagerTraceScope trace("qmWrite", m);
  MQPMO pmo = DefaultPmo();
  pmo.Version = MQPMO_VERSION_1;
  pmo.Options = MQPMO_NO_SYNCPOINT | MQPMO_FAIL_IF_QUIESCING;
  pmo.Timeout = -1;
  MQMD& md = message->MsgDesc;
  SetField(md.ReplyToQ, MQ_Q_NAME_LENGTH, replyQueue != nullptr ? replyQueue->szName : "");
  SetField(md.ReplyToQMgr, MQ_Q_MGR_NAME_LENGTH, m->szName);
  const MDHDR* hdr = message->pMdHdr;
  std::memcpy(md.MsgId, hdr->MsgId, MQ_MSG_ID_LENGTH);
  std::memcpy(md.CorrelId, hdr->CorrelId, MQ_CORREL_ID_LENGTH);
  std::memcpy(m->pCmdQ->ObjDesc.AlternateUserId, hdr->UserId, MQ_USER_ID_LENGTH);
  const int ok = m->pCmdQ->Ops.Write(message, &pmo, m->pCmdQ);
  m->lReason = m->pCmdQ->lReason;
  return ok;
}

int ReadFrom(MESSAGE* message, MQLONG wait, MQManager* m, MQueue* queue) {
  if (m == nullptr || message == nullptr || message->pMdHdr == nullptr || queue == nullptr) {
    return 0;
  }
  ManagerTraceScope trace("qmRead", m);
  MQGMO gmo = DefaultGmo();
  gmo.Version = MQGMO_VERSION_1;
  gmo.MatchOptions = MQMO_MATCH_MSG_ID | MQMO_MATCH_CORREL_ID;
  gmo.Options = MQGMO_CONVERT | MQGMO_NO_SYNCPOINT | MQGMO_FAIL_IF_QUIESCING;
  if (wait != 0) {
    gmo.Options |= MQGMO_WAIT;
    gmo.WaitInterval = wait > 0 || wait == MQWI_UNLIMITED ? wait : 0;
  }
  const int ok = queue->Ops.Read(message, &gmo, queue);
  MDHDR* hdr = message->pMdHdr;
  std::memcpy(hdr->MsgId, message->MsgDesc.MsgId, MQ_MSG_ID_LENGTH);
  std::memcpy(hdr->CorrelId, message->MsgDesc.CorrelId, MQ_CORREL_ID_LENGTH);
  m->lReason = queue->lReason;
  return ok;
}

// One private queue of qmOpen: opened with its options, then emptied.
struct PrivateQueue {
  MQueue* MQManager::*queue;
  MQLONG options;
  bool withUser;
  const char* openFailed;
  const char* clearFailed;
};

constexpr std::array<PrivateQueue, 3> kPrivateQueues = {{
    {&MQManager::pHashQ, kHashOpenOptions, true,
     "0102W qmOpen: Open Hash Queue failed, HashQ %s:%s REASON(%d) UserID(%s) AltID(%s)",
     "0107W qmOpen: Clear Hash Queue failed, HashQ %s:%s REASON(%d) UserID(%s) AltID(%s)"},
    {&MQManager::pReplyInqQ, kReplyOpenOptions, false,
     "0102W qmOpen: Open Reply Queue failed, ReplyInqQ %s:%s REASON(%d) UserID(%s) AltID(%s)",
     "0107W qmOpen: Clear Reply Queue failed, ReplyInqQ %s:%s REASON(%d) UserID(%s) AltID(%s)"},
    {&MQManager::pReplyCmdQ, kReplyOpenOptions, false,
     "0102W qmOpen: Open Reply Queue failed, ReplyCmdQ %s:%s REASON(%d) UserID(%s) AltID(%s)",
     "0107W qmOpen: Clear Reply Queue failed, ReplyCmdQ %s:%s REASON(%d) UserID(%s) AltID(%s)"},
}};

void LogQueueFailure(const char* format, MQManager* m, MQueue* q, const char* user) {
  m->lReason = q->lReason;
  std::string name(q->szName);
  name.erase(name.find_last_not_of(' ') + 1);
  char altId[MQ_USER_ID_LENGTH + 1] = {};
  std::memcpy(altId, q->ObjDesc.AlternateUserId, MQ_USER_ID_LENGTH);
  char text[512];
  std::snprintf(text, sizeof text, format, m->szName, name.c_str(), static_cast<int>(q->lReason),
                user, altId);
  LOGMSG(text, 1);
}

}  // namespace

extern "C" {

VRQMQTX_API MQManager* CreateMQManager(const char* name, const char* commandQueue,
                                       const char* eventQueue, const char* replyPrefixFormat) {
  return CreateMQManagerAuth(name, commandQueue, eventQueue, replyPrefixFormat, nullptr);
}

VRQMQTX_API MQManager* CreateDMQManager(const char* name, const char* commandQueue,
                                        const char* replyPrefix, const char* replyPrefixFormat) {
  return CreateDMQManagerAuth(name, commandQueue, replyPrefix, replyPrefixFormat, nullptr);
}

VRQMQTX_API MQManager* CreateMQManagerAuth(const char* name, const char* commandQueue,
                                           const char* eventQueue, const char* replyPrefixFormat,
                                           const MQCredentials* credentials) {
  MQManager* m = NewManager(name);
  if (m == nullptr) return nullptr;
  MQQual qual{};
  RetreiveQual(&qual);
  const std::string model = ModelQueue(qual);
  if (Connect(m, credentials)) {
    DetermineCommandLevel(m);
    if (eventQueue != nullptr && eventQueue[0] != '\0') {
      char eventName[VRQ_MQ_NAME_SIZE];
      SetName(eventName, eventQueue);
      m->pEventQ = CreateMQueue(m->hConn, eventName);
      if (m->pEventQ == nullptr) {
        Log(kNoEventQueueText, m->szName, eventName, MQRC_STORAGE_NOT_AVAILABLE);
      }
    }
    const std::string prefix = ReplyPrefix(replyPrefixFormat, qual);
    const std::string inqName = DynamicName(prefix, ".INQ");
    const std::string cmdName = DynamicName(prefix, ".CMD");
    const std::string hashName = DynamicName(prefix, ".HASH");
    m->pReplyInqQ = CreateDynamic(m, model, inqName);
    if (m->pReplyInqQ == nullptr) {
      Log(kNoReplyQueueText, m->szName, inqName.c_str(), MQRC_STORAGE_NOT_AVAILABLE);
    }
    m->pReplyCmdQ = CreateDynamic(m, model, cmdName);
    if (m->pReplyCmdQ == nullptr) {
      Log(kNoReplyQueueText, m->szName, cmdName.c_str(), MQRC_STORAGE_NOT_AVAILABLE);
    }
    m->pCmdQ = CreateMQueue(m->hConn, commandQueue != nullptr ? commandQueue
                                                              : kDefaultCommandQueue);
    m->pHashQ = CreateDynamic(m, model, hashName);
    if (m->pHashQ == nullptr) {
      Log(kNoHashQueueText, m->szName, hashName.c_str(), MQRC_STORAGE_NOT_AVAILABLE);
    }
    AttachQueueTraces(m);
  }
  RunQMgrTrace("CreateMQManager", m);
  return m;
}

VRQMQTX_API MQManager* CreateDMQManagerAuth(const char* name, const char* commandQueue,
                                            const char* replyPrefix, const char* replyPrefixFormat,
                                            const MQCredentials* credentials) {
  MQManager* m = NewManager(name);
  if (m == nullptr) return nullptr;
  MQQual qual{};
  RetreiveQual(&qual);
  const std::string model = ModelQueue(qual);
  if (Connect(m, credentials)) {
    const std::string prefix = ReplyPrefix(replyPrefixFormat, qual);
    m->pCmdQ = CreateMQueue(m->hConn, commandQueue != nullptr ? commandQueue
                                                              : kDefaultCommandQueue);
    char postName[VRQ_MQ_NAME_SIZE] = {};
    std::strncpy(postName, replyPrefix != nullptr ? replyPrefix : kDefaultPrefix, kPostBaseMax);
    const std::string post =
        DynamicName(Stripped(GenerateQueName(postName, &qual, QNAME_EVENT)));
    m->pEventQ = CreateMQueue(m->hConn, post.c_str());
    m->pHashQ = CreateDynamic(m, model, DynamicName(prefix, ".HASH"));
    m->pReplyInqQ = CreateDynamic(m, model, DynamicName(prefix, ".INQ"));
    m->pReplyCmdQ = CreateDynamic(m, model, DynamicName(prefix, ".CMD"));
    AttachQueueTraces(m);
  }
  RunQMgrTrace("CreateDMQManager", m);
  return m;
}

VRQMQTX_API int DeleteMQManager(MQManager* manager) {
  RunQMgrTrace("DeleteMQManager", manager);
  if (manager == nullptr) return 0;
  manager->Ops.Close(manager);
  TakeShared(manager);  // a close operation replaced by the caller may have left the mark
  FreeMemory(manager);
  return 1;
}

VRQMQTX_API int qmOpen(MQManager* manager, const char* user) {
  if (manager == nullptr) return 0;
  ManagerTraceScope trace("qmOpen", manager);
  if (manager->hConn == kNoHandle) {
    // Nothing to open without a connection: say that, with the connect's reason.
    char text[256];
    std::snprintf(text, sizeof text, kNotConnectedText, manager->szName,
                  static_cast<int>(manager->lReason));
    LOGMSG(text, 1);
    return 0;
  }
  if (manager->pCmdQ == nullptr || manager->pHashQ == nullptr || manager->pReplyInqQ == nullptr ||
      manager->pReplyCmdQ == nullptr) {
    LOGMSG(kNoQueuesText, 1);
    return 0;
  }
  const char* shownUser = user != nullptr ? user : "";
  for (const PrivateQueue& p : kPrivateQueues) {
    MQueue* q = manager->*p.queue;
    if (q->Ops.Open(p.options, q, p.withUser ? user : "") == 0) {
      LogQueueFailure(p.openFailed, manager, q, shownUser);
      return 0;
    }
    if (q->Ops.Clear(q) == 0) {
      LogQueueFailure(p.clearFailed, manager, q, shownUser);
      return 0;
    }
  }
  manager->lReason = MQRC_NONE;
  return 1;
}

VRQMQTX_API int qmClose(MQManager* manager) {
  if (manager == nullptr) return 0;
  ManagerTraceScope trace("qmClose", manager);
  DeleteQueue(&manager->pCmdQ);
  DeleteQueue(&manager->pEventQ);
  DeleteQueue(&manager->pReplyInqQ);
  DeleteQueue(&manager->pReplyCmdQ);
  DeleteQueue(&manager->pHashQ);
  MQLONG compCode = MQCC_OK;
  manager->lReason = MQRC_NONE;
  // A shared connection (MQCONN answered 2002) is left to its owner.
  if (TakeShared(manager)) {
    manager->hConn = kNoHandle;
    return 1;
  }
  if (manager->hConn >= 0) MQDISC(&manager->hConn, &compCode, &manager->lReason);
  manager->hConn = kNoHandle;
  return compCode == MQCC_OK ? 1 : 0;
}

VRQMQTX_API int qmWrite(MESSAGE* message, MQManager* manager) {
  return WriteWithReplyTo(message, manager,
                          manager != nullptr ? manager->pReplyCmdQ : nullptr);
}

VRQMQTX_API int qmWriteSelectReply(MESSAGE* message, MQManager* manager, int which) {
  return WriteWithReplyTo(message, manager,
                          manager != nullptr ? ReplyQueue(manager, which) : nullptr);
}

VRQMQTX_API int qmRead(MESSAGE* message, MQLONG wait, MQManager* manager) {
  return ReadFrom(message, wait, manager, manager != nullptr ? manager->pReplyCmdQ : nullptr);
}

VRQMQTX_API int qmReadSelectReply(MESSAGE* message, MQLONG wait, MQManager* manager,
                                  int which) {
  return ReadFrom(message, wait, manager,
                  manager != nullptr ? ReplyQueue(manager, which) : nullptr);
}

VRQMQTX_API int DetermineCommandLevel(MQManager* manager) {
  if (manager == nullptr) return 0;
  manager->lCommandLevel = 0;
  MQOD od = DefaultOd();
  od.ObjectType = MQOT_Q_MGR;
  MQHOBJ hObj = kNoHandle;
  MQLONG compCode = MQCC_FAILED;
  MQOPEN(manager->hConn, &od, kQMgrInquireOptions, &hObj, &compCode, &manager->lReason);
  if (compCode == MQCC_FAILED) return 0;
  MQLONG selector = MQIA_COMMAND_LEVEL;
  MQLONG level = 0;
  MQINQ(manager->hConn, hObj, 1, &selector, 1, &level, 0, nullptr, &compCode,
        &manager->lReason);
  const bool known = compCode != MQCC_FAILED;
  if (known) manager->lCommandLevel = level;
  MQLONG closeReason = MQRC_NONE;
  MQCLOSE(manager->hConn, &hObj, MQCO_NONE, &compCode, &closeReason);
  return known ? 1 : 0;
}

VRQMQTX_API int OnQMgrTrace(MQManager* manager, MQManagerTrace trace, MQueueTrace queueTrace,
                            void* context) {
  if (manager == nullptr) return 0;
  manager->pTrace = trace;
  manager->pQueueTrace = queueTrace;
  manager->pTraceContext = context;
  AttachQueueTraces(manager);
  return 1;
}

VRQMQTX_API int OnGQMgrTrace(MQManagerTrace trace, MQueueTrace queueTrace, void* context) {
  g_managerTrace = trace;
  g_managerQueueTrace = queueTrace;
  g_managerTraceContext = context;
  return 1;
}

VRQMQTX_API void RunQMgrTrace(const char* text, MQManager* manager) {
  if (manager != nullptr && manager->pTrace != nullptr) manager->pTrace(text, manager);
}

}  // extern "C"

// MQueue: one queue reached through a connection, with its object descriptor, open handle,
// last reason code and operations table; opening (plain, dynamic, alternate user), closing,
// putting (MQPUT or one-shot MQPUT1), getting with one growth of the buffer, getting the
// descriptor only, clearing, and the trace hooks.
#include <cmqc.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "mqtx_internal.h"

// The record's layout is part of the interface (64-bit build).
constexpr bool kLp64 = sizeof(void*) == 8;
static_assert(!kLp64 || (sizeof(MQueueOps) == 48 && sizeof(MQueue) == 560));
static_assert(!kLp64 || (offsetof(MQueue, hConn) == 56 && offsetof(MQueue, ObjDesc) == 64 &&
                         offsetof(MQueue, lReason) == 488 && offsetof(MQueue, Ops) == 496 &&
                         offsetof(MQueue, pTraceContext) == 552));

using namespace vrq::mqtx;

namespace {

constexpr const char* kQueueTag = "MQueue";
constexpr const char* kShortBufferText =
    "qqRead may fail, buffer to small, RC(%d), Available Buffer (%d), Required Buffer (%d)\n";
constexpr int kClearBufferSize = 32000;

// Process-wide default trace hook for queues created afterwards.
MQueueTrace g_queueTrace = nullptr;
void* g_queueTraceContext = nullptr;

constexpr MQueueOps kQueueOps = {qqOpen, qqClose, qqRead, qqWrite, qqClear, qqIsOpen};

MQueue* NewQueue(MQHCONN connection, const char* objectName, const char* name) {
  void* block = nullptr;
  if (fNewMemory(&block, sizeof(MQueue), kQueueTag) == 0) return nullptr;
  auto* q = static_cast<MQueue*>(block);
  q->lKind = MQUEUE_KIND;
  SetName(q->szName, name);
  q->hConn = connection;
  q->hObj = kNoHandle;
  q->ObjDesc = DefaultOd();
  q->ObjDesc.ObjectType = MQOT_Q;
  SetField(q->ObjDesc.ObjectName, MQ_Q_NAME_LENGTH, objectName);
  q->lReason = MQRC_NONE;
  q->Ops = kQueueOps;
  q->pTrace = g_queueTrace;
  q->pTraceContext = g_queueTraceContext;
  return q;
}

MQLONG DataLength(const MESSAGE* m) { return m->lMsgLength - kHeaderLength; }
MQLONG Capacity(const MESSAGE* m) { return m->lMaxLength - kHeaderLength; }

bool ReadSucceeded(MQLONG compCode, MQLONG reason) {
  return compCode == MQCC_OK ||
         (compCode == MQCC_WARNING &&
          (reason == MQRC_SOURCE_CCSID_ERROR || reason == MQRC_NOT_CONVERTED));
}

}  // namespace

extern "C" {

VRQMQTX_API MQueue* CreateMQueue(MQHCONN connection, const char* name) {
  MQueue* q = NewQueue(connection, name, name);
  RunQTrace("CreateMQueue", q);
  return q;
}

VRQMQTX_API MQueue* CreateMQDynamic(MQHCONN connection, const char* model, const char* name) {
  MQueue* q = NewQueue(connection, model, name);
  if (q != nullptr) SetField(q->ObjDesc.DynamicQName, MQ_Q_NAME_LENGTH, name);
  RunQTrace("CreateMQDynamic", q);
  return q;
}

VRQMQTX_API int DeleteMQueue(MQueue* queue) {
  RunQTrace("DeleteMQueue", queue);
  if (queue == nullptr) return 0;
  queue->Ops.Close(queue);
  FreeMemory(queue);
  return 1;
}

VRQMQTX_API int qqOpen(MQLONG options, MQueue* queue, const char* user) {
  if (queue == nullptr) return 0;
  QueueTraceScope trace("qqOpen", queue);
  MQOD& od = queue->ObjDesc;
  SetField(od.AlternateUserId, MQ_USER_ID_LENGTH, user);
  if (HasUser(od.AlternateUserId)) options |= MQOO_ALTERNATE_USER_AUTHORITY;
  options |= MQOO_FAIL_IF_QUIESCING;
  MQLONG compCode = MQCC_FAILED;
  MQOPEN(queue->hConn, &od, options, &queue->hObj, &compCode, &queue->lReason);
  if (compCode == MQCC_FAILED) queue->hObj = kNoHandle;
  std::memcpy(queue->szName, od.ObjectName, MQ_Q_NAME_LENGTH);
  queue->szName[MQ_Q_NAME_LENGTH] = '\0';
  return compCode == MQCC_OK ? 1 : 0;
}

VRQMQTX_API int qqOpenDynamic(MQLONG options, MQueue* queue, const char* model,
                              const char* user) {
  if (queue == nullptr) return 0;
  QueueTraceScope trace("qqOpenDynamic", queue);
  SetField(queue->ObjDesc.ObjectName, MQ_Q_NAME_LENGTH, model);
  SetField(queue->ObjDesc.DynamicQName, MQ_Q_NAME_LENGTH, queue->szName);
  return qqOpen(options, queue, user);
}

VRQMQTX_API int qqClose(MQueue* queue) {
  if (queue == nullptr) return 0;
  QueueTraceScope trace("qqClose", queue);
  if (!qqIsOpen(queue)) return 1;
  MQLONG compCode = MQCC_FAILED;
  MQCLOSE(queue->hConn, &queue->hObj, MQCO_NONE, &compCode, &queue->lReason);
  if (compCode != MQCC_OK) return 0;
  queue->hObj = kNoHandle;
  return 1;
}

VRQMQTX_API int qqIsOpen(MQueue* queue) {
  return queue != nullptr && queue->hConn != kNoHandle && queue->hObj != kNoHandle ? 1 : 0;
}

VRQMQTX_API int qqIsOpenInput(MQueue* queue) {
  if (!qqIsOpen(queue)) return 0;
  MQLONG selectors[] = {MQIA_OPEN_INPUT_COUNT, MQIA_OPEN_OUTPUT_COUNT};
  MQLONG values[2] = {0, 0};
  MQLONG compCode = MQCC_FAILED;
  MQINQ(queue->hConn, queue->hObj, 2, selectors, 2, values, 0, nullptr, &compCode,
        &queue->lReason);
  return compCode == MQCC_OK && values[0] > 0 ? 1 : 0;
}

VRQMQTX_API int qqWrite(MESSAGE* message, MQPMO* putOptions, MQueue* queue) {
  if (queue == nullptr || message == nullptr || message->pData == nullptr) return 0;
  QueueTraceScope trace("qqWrite", queue);
  MQPMO localPmo = DefaultPmo();
  MQPMO* pmo = putOptions != nullptr ? putOptions : &localPmo;
  MQMD* md = &message->MsgDesc;
  const MQLONG length = std::max<MQLONG>(0, DataLength(message));
  MQLONG compCode = MQCC_FAILED;
  if (queue->hObj < 0) {
    const MQOD& od = queue->ObjDesc;
    if (HasUser(od.AlternateUserId) && (pmo->Options & MQPMO_SET_IDENTITY_CONTEXT) == 0) {
      if ((pmo->Options & MQPMO_SET_ALL_CONTEXT) == 0) pmo->Options |= MQPMO_SET_IDENTITY_CONTEXT;
      pmo->Options |= MQPMO_ALTERNATE_USER_AUTHORITY;
      std::memcpy(md->UserIdentifier, od.AlternateUserId, MQ_USER_ID_LENGTH);
    }
    MQPUT1(queue->hConn, &queue->ObjDesc, md, pmo, length, message->pData, &compCode,
           &queue->lReason);
  } else {
    MQPUT(queue->hConn, queue->hObj, md, pmo, length, message->pData, &compCode,
          &queue->lReason);
  }
  return compCode == MQCC_OK ? 1 : 0;
}

VRQMQTX_API int qqRead(MESSAGE* message, MQGMO* getOptions, MQueue* queue) {
  if (queue == nullptr || message == nullptr || message->pData == nullptr) return 0;
  QueueTraceScope trace("qqRead", queue);
  MQGMO localGmo = DefaultGmo();
  MQGMO* gmo = getOptions != nullptr ? getOptions : &localGmo;
  MQLONG dataLength = 0;
  MQLONG compCode = MQCC_FAILED;
  MQGET(queue->hConn, queue->hObj, &message->MsgDesc, gmo, Capacity(message), message->pData,
        &dataLength, &compCode, &queue->lReason);
  if (queue->lReason == MQRC_TRUNCATED_MSG_FAILED) {
    if (SizeMessage(message, dataLength) == 0) return 0;
    MQGET(queue->hConn, queue->hObj, &message->MsgDesc, gmo, Capacity(message), message->pData,
          &dataLength, &compCode, &queue->lReason);
  }
  const MQLONG available = Capacity(message);
  if (available < dataLength) {
    std::printf(kShortBufferText, static_cast<int>(queue->lReason), static_cast<int>(available),
                static_cast<int>(dataLength));
  }
  // A truncated message fills the buffer: the used length never passes the block.
  message->lMsgLength = std::clamp<MQLONG>(dataLength, 0, available) + kHeaderLength;
  return ReadSucceeded(compCode, queue->lReason) ? 1 : 0;
}

VRQMQTX_API int qqReadHdr(MESSAGE* message, MQGMO* getOptions, MQueue* queue) {
  if (queue == nullptr || message == nullptr) return 0;
  QueueTraceScope trace("qqReadHdr", queue);
  MQGMO localGmo = DefaultGmo();
  MQGMO* gmo = getOptions != nullptr ? getOptions : &localGmo;
  MQLONG dataLength = 0;
  MQLONG compCode = MQCC_FAILED;
  MQGET(queue->hConn, queue->hObj, &message->MsgDesc, gmo, 0, nullptr, &dataLength, &compCode,
        &queue->lReason);
  if (queue->lReason == MQRC_TRUNCATED_MSG_ACCEPTED) {
    queue->lReason = MQRC_NONE;
    compCode = MQCC_OK;
    message->MsgDesc.OriginalLength = dataLength;
  }
  if (message->pData != nullptr) message->lMsgLength = kHeaderLength;
  return ReadSucceeded(compCode, queue->lReason) ? 1 : 0;
}

VRQMQTX_API int qqClear(MQueue* queue) {
  if (queue == nullptr) return 0;
  QueueTraceScope trace("qqClear", queue);
  MESSAGE work{};
  if (CreateMessage(&work, kClearBufferSize) == 0) return 0;
  MQGMO gmo = DefaultGmo();
  gmo.Version = MQGMO_VERSION_1;
  gmo.Options = MQGMO_NO_SYNCPOINT | MQGMO_ACCEPT_TRUNCATED_MSG;
  while (queue->Ops.Read(&work, &gmo, queue) != 0 ||
         queue->lReason == MQRC_TRUNCATED_MSG_ACCEPTED) {
    work.MsgDesc = DefaultMd();
  }
  DeleteMessage(&work);
  return queue->lReason == MQRC_NO_MSG_AVAILABLE ||
                 queue->lReason == MQRC_TRUNCATED_MSG_ACCEPTED
             ? 1
             : 0;
}

VRQMQTX_API int OnQTrace(MQueue* queue, MQueueTrace trace, void* context) {
  if (queue == nullptr) return 0;
  queue->pTrace = trace;
  queue->pTraceContext = context;
  return 1;
}

VRQMQTX_API int OnGQTrace(MQueueTrace trace, void* context) {
  g_queueTrace = trace;
  g_queueTraceContext = context;
  return 1;
}

VRQMQTX_API void RunQTrace(const char* text, MQueue* queue) {
  if (queue != nullptr && queue->pTrace != nullptr) queue->pTrace(text, queue);
}

}  // extern "C"

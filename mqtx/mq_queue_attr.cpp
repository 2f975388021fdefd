// Queue attributes and message properties: integer and character attributes inquired or
// set through a temporary queue object opened by name, the statistics of an open queue,
// and message handles passed through to the MQI.
#include <cmqc.h>

#include <cstring>
#include <memory>

#include "mqtx_internal.h"

using namespace vrq::mqtx;

namespace {

// A temporary queue object, deleted (and so closed) at scope end.
struct QueueDeleter {
  void operator()(MQueue* q) const { DeleteMQueue(q); }
};
using TempQueue = std::unique_ptr<MQueue, QueueDeleter>;

// Opens name with options; on any failure sets *reason and returns null.
TempQueue OpenByName(MQHCONN connection, const char* name, MQLONG options, MQLONG* reason) {
  TempQueue q(CreateMQueue(connection, name));
  if (!q) {
    *reason = MQRC_STORAGE_NOT_AVAILABLE;
    return nullptr;
  }
  if (qqOpen(options, q.get(), "") == 0) {
    *reason = q->lReason;
    return nullptr;
  }
  return q;
}

bool Inquire(MQueue* q, MQLONG count, MQLONG* selectors, MQLONG* values) {
  MQLONG compCode = MQCC_FAILED;
  MQINQ(q->hConn, q->hObj, count, selectors, count, values, 0, nullptr, &compCode, &q->lReason);
  return compCode == MQCC_OK;
}

}  // namespace

extern "C" {

VRQMQTX_API int qqGetStats(MQueue* queue, MQLONG* depth, MQLONG* maxDepth) {
  if (queue == nullptr || depth == nullptr || maxDepth == nullptr) return 0;
  MQLONG selectors[] = {MQIA_CURRENT_Q_DEPTH, MQIA_MAX_Q_DEPTH};
  MQLONG values[2] = {0, 0};
  if (!Inquire(queue, 2, selectors, values)) return 0;
  *depth = values[0];
  *maxDepth = values[1];
  return 1;
}

VRQMQTX_API int qqGetIntAttr2(MQueue* queue, MQLONG selector, MQLONG* value) {
  if (queue == nullptr || value == nullptr) return 0;
  *value = 0;
  return Inquire(queue, 1, &selector, value) ? 1 : 0;
}

VRQMQTX_API int qqGetIntAttr(MQHCONN connection, const char* name, MQLONG selector,
                             MQLONG* value, MQLONG* reason) {
  if (value == nullptr || reason == nullptr) return 0;
  TempQueue q = OpenByName(connection, name, MQOO_INQUIRE, reason);
  if (!q) return 0;
  const bool ok = Inquire(q.get(), 1, &selector, value);
  *reason = q->lReason;
  return ok ? 1 : 0;
}

VRQMQTX_API int qqGetAllQStats(MQHCONN connection, const char* name, MQLONG* depth,
                               MQLONG* maxDepth, MQLONG* openInput, MQLONG* openOutput,
                               MQLONG* triggerControl, MQLONG* reason) {
  if (reason == nullptr) return 0;
  TempQueue q = OpenByName(connection, name, MQOO_INQUIRE | MQOO_BROWSE, reason);
  if (!q) return 0;
  MQLONG selectors[] = {MQIA_CURRENT_Q_DEPTH, MQIA_MAX_Q_DEPTH, MQIA_OPEN_INPUT_COUNT,
                        MQIA_OPEN_OUTPUT_COUNT, MQIA_TRIGGER_CONTROL};
  MQLONG values[5] = {};
  const bool ok = Inquire(q.get(), 5, selectors, values);
  *reason = q->lReason;
  MQLONG* outs[] = {depth, maxDepth, openInput, openOutput, triggerControl};
  for (int i = 0; ok && i < 5; ++i) {
    if (outs[i] != nullptr) *outs[i] = values[i];
  }
  return ok ? 1 : 0;
}

VRQMQTX_API int qqSetCharAttr(MQHCONN connection, const char* name, MQLONG selector,
                              MQLONG length, const char* value, MQLONG* reason) {
  if (reason == nullptr || value == nullptr || length < 0) return 0;
  TempQueue q = OpenByName(connection, name, MQOO_SET, reason);
  if (!q) return 0;
  MQLONG compCode = MQCC_FAILED;
  MQSET(q->hConn, q->hObj, 1, &selector, 0, nullptr, length, const_cast<char*>(value), &compCode,
        &q->lReason);
  *reason = q->lReason;
  return compCode == MQCC_OK ? 1 : 0;
}

VRQMQTX_API int qqOpenMsgHandle(MQHCONN connection, MQLONG createOptions, MQHMSG* handle,
                                MQLONG* reason) {
  if (handle == nullptr || reason == nullptr) return 0;
  MQCMHO options = {MQCMHO_DEFAULT};
  options.Options = createOptions;
  MQLONG compCode = MQCC_FAILED;
  MQCRTMH(connection, &options, handle, &compCode, reason);
  return compCode != MQCC_FAILED ? 1 : 0;
}

VRQMQTX_API int qqCloseMsgHandle(MQHCONN connection, MQLONG deleteOptions, MQHMSG* handle,
                                 MQLONG* reason) {
  if (handle == nullptr || reason == nullptr) return 0;
  MQDMHO options = {MQDMHO_DEFAULT};
  options.Options = deleteOptions;
  MQLONG compCode = MQCC_FAILED;
  MQDLTMH(connection, handle, &options, &compCode, reason);
  return compCode != MQCC_FAILED ? 1 : 0;
}

VRQMQTX_API int qqGetMsgProperty(MQHCONN connection, MQHMSG handle, MQLONG inquireOptions,
                                 const char* name, MQPD* descriptor, MQLONG* type,
                                 MQLONG valueLength, void* value, MQLONG* dataLength,
                                 MQLONG* reason) {
  if (name == nullptr || descriptor == nullptr || type == nullptr || dataLength == nullptr ||
      reason == nullptr || valueLength < 0) {
    return 0;
  }
  MQIMPO options = {MQIMPO_DEFAULT};
  options.Options = inquireOptions;
  MQCHARV propertyName = {MQCHARV_DEFAULT};
  propertyName.VSPtr = const_cast<char*>(name);
  propertyName.VSLength = static_cast<MQLONG>(std::strlen(name));
  MQLONG compCode = MQCC_FAILED;
  MQINQMP(connection, handle, &options, &propertyName, descriptor, type, valueLength, value,
          dataLength, &compCode, reason);
  return compCode != MQCC_FAILED ? 1 : 0;
}

}  // extern "C"

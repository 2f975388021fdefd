// Internal helpers of the queue-manager access library: blank-padded MQI name fields,
// the MQI's published default structures, and trace scopes that report an operation's
// name with ": before" and ": after".
#pragma once

#include <cmqc.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "vrqmqtx.h"

namespace vrq::mqtx {

inline constexpr MQLONG kNoHandle = -1;
inline constexpr int kHeaderLength = MDHDR_LENGTH;

// Copies text (null = empty) into a fixed MQI character field of n bytes, cut at n and
// padded with NUL bytes.
inline void SetField(MQCHAR* field, std::size_t n, const char* text) {
  std::memset(field, 0, n);
  if (text != nullptr) std::memcpy(field, text, strnlen(text, n));
}

// Copies text into a terminated name buffer of VRQ_MQ_NAME_SIZE bytes, cut at 48.
inline void SetName(char* name, const char* text) {
  SetField(name, VRQ_MQ_NAME_SIZE - 1, text);
  name[VRQ_MQ_NAME_SIZE - 1] = '\0';
}

// True when an alternate user is set: neither empty nor starting with a blank.
inline bool HasUser(const MQCHAR* user) { return user[0] != '\0' && user[0] != ' '; }

inline MQOD DefaultOd() {
  MQOD od = {MQOD_DEFAULT};
  return od;
}
inline MQMD DefaultMd() {
  MQMD md = {MQMD_DEFAULT};
  return md;
}
inline MQGMO DefaultGmo() {
  MQGMO gmo = {MQGMO_DEFAULT};
  return gmo;
}
inline MQPMO DefaultPmo() {
  MQPMO pmo = {MQPMO_DEFAULT};
  return pmo;
}

// Runs the queue's trace hook with "<op>: before" now and "<op>: after" at scope end.
class QueueTraceScope {
 public:
  QueueTraceScope(const char* op, MQueue* queue) : op_(op), queue_(queue) { Run(": before"); }
  ~QueueTraceScope() { Run(": after"); }
  QueueTraceScope(const QueueTraceScope&) = delete;
  QueueTraceScope& operator=(const QueueTraceScope&) = delete;

 private:
  void Run(const char* when) {
    if (queue_ != nullptr && queue_->pTrace != nullptr) RunQTrace((op_ + when).c_str(), queue_);
  }
  std::string op_;
  MQueue* queue_;
};

class ManagerTraceScope {
 public:
  ManagerTraceScope(const char* op, MQManager* manager) : op_(op), manager_(manager) {
    Run(": before");
  }
  ~ManagerTraceScope() { Run(": after"); }
  ManagerTraceScope(const ManagerTraceScope&) = delete;
  ManagerTraceScope& operator=(const ManagerTraceScope&) = delete;

 private:
  void Run(const char* when) {
    if (manager_ != nullptr && manager_->pTrace != nullptr) {
      RunQMgrTrace((op_ + when).c_str(), manager_);
    }
  }
  std::string op_;
  MQManager* manager_;
};

}  // namespace vrq::mqtx

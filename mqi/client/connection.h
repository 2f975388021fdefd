// The client library's connection table: one socket per connection, found by its handle,
// each call a request frame and its reply under the connection's lock. A connection whose
// socket fails is broken for good: every later call on it gives MQRC_CONNECTION_BROKEN.
#pragma once

#include <cmqc.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "protocol.h"

// The MQI entry points are the library's only exports.
#if defined(_WIN32)
#define MQI_EXPORT extern "C" __declspec(dllexport)
#else
#define MQI_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace vrqsim::client {

struct Dispatcher;

// What MQSTAT reports of the puts made with MQPMO_ASYNC_RESPONSE since it was last asked.
struct AsyncStatus {
  MQLONG cc = MQCC_OK;
  MQLONG rc = MQRC_NONE;
  MQLONG successes = 0;
  MQLONG warnings = 0;
  MQLONG failures = 0;
  MQLONG object_type = MQOT_Q;
  std::string object_name;
};

struct Connection {
  MQHCONN hconn = MQHC_UNUSABLE_HCONN;
  int fd = -1;
  std::mutex mu;                // held for one request and its reply
  bool broken = false;
  std::string qmgr;
  // MQCNO_HANDLE_SHARE_BLOCK or _NO_BLOCK: any thread may use the handle; otherwise only
  // `owner` (and the thread running its callbacks). MQCONN handles are not restricted.
  MQLONG share = 0;
  bool restricted = false;
  std::thread::id owner;
  bool client = false;          // reached over TCP as a client connection

  std::mutex state_mu;          // guards what follows
  std::map<MQHOBJ, std::string> queues;   // the queue each object handle opened
  bool in_unit = false;         // syncpoint work not yet committed or backed out
  bool global_unit = false;     // begun by MQBEGIN
  AsyncStatus status;
  std::shared_ptr<Dispatcher> async;
};

std::shared_ptr<Connection> FindConnection(MQHCONN hconn);
// Registers a new connection and returns its handle; RemoveConnection takes it out.
MQHCONN AddConnection(std::shared_ptr<Connection> c);
std::shared_ptr<Connection> RemoveConnection(MQHCONN hconn);

// The connection behind a handle, when this thread may use it; otherwise sets cc/rc to the
// failure (MQRC_HCONN_ERROR) and returns null.
std::shared_ptr<Connection> UseConnection(MQHCONN hconn, PMQLONG cc, PMQLONG rc);

// Sends the request and decodes the reply. Returns MQRC_NONE, MQRC_CONNECTION_BROKEN (the
// connection is now broken) or MQRC_CALL_IN_PROGRESS (a MQCNO_HANDLE_SHARE_NO_BLOCK
// handle is busy on another thread).
template <typename Request, typename Reply>
MQLONG Call(Connection& c, Op op, const Request& request, Reply& reply);

// Message properties held by message handles (MQCRTMH); MQGET fills them, MQPUT sends them.
bool HandleUsable(MQHMSG hmsg, MQHCONN hconn);
bool SetHandleProperties(MQHMSG hmsg, MQHCONN hconn, Properties props);
bool HandleProperties(MQHMSG hmsg, MQHCONN hconn, Properties& props);
void ForgetHandles(MQHCONN hconn);

// Asynchronous consumption: a consumer goes when its object handle is closed, all of them
// (and the dispatching thread) when the connection ends.
void ForgetConsumer(Connection& c, MQHOBJ hobj);
void StopDispatcher(Connection& c);
bool OnDispatcherThread(Connection& c);

// Result helpers shared by the verbs.
inline bool Report(PMQLONG cc, PMQLONG rc, MQLONG c, MQLONG r) {
  if (cc) *cc = c;
  if (rc) *rc = r;
  return c != MQCC_FAILED;
}
inline bool Fail(PMQLONG cc, PMQLONG rc, MQLONG r) { return Report(cc, rc, MQCC_FAILED, r); }

template <size_t N>
bool StrucIs(const char (&id)[N], const char* expected) {
  return std::memcmp(id, expected, N) == 0;
}

// MQGET's work without the handle checks, for MQGET itself and the callback dispatcher.
// gmo is the caller's (version 1 to 4); md the caller's (version 1 or 2).
void DoGet(Connection& c, MQHOBJ hobj, void* md, MQGMO* gmo, MQLONG buffer_length, void* buffer,
           PMQLONG data_length, PMQLONG cc, PMQLONG rc);

}  // namespace vrqsim::client

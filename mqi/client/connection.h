// The client library's connection table: one socket per MQCONN, found by its handle, each
// call a request frame and its reply under the connection's lock. A connection whose
// socket fails is broken for good: every later call on it gives MQRC_CONNECTION_BROKEN.
#pragma once

#include <cmqc.h>

#include <memory>
#include <mutex>
#include <string>
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

struct Connection {
  MQHCONN hconn = MQHC_UNUSABLE_HCONN;
  int fd = -1;
  std::mutex mu;
  bool broken = false;
  std::string qmgr;
};

std::shared_ptr<Connection> FindConnection(MQHCONN hconn);
// Registers a new connection and returns its handle; RemoveConnection takes it out.
MQHCONN AddConnection(std::shared_ptr<Connection> c);
std::shared_ptr<Connection> RemoveConnection(MQHCONN hconn);

// Sends the request and decodes the reply; false when the connection is (now) broken.
template <typename Request, typename Reply>
bool Call(Connection& c, Op op, const Request& request, Reply& reply);

// Message properties held by message handles (MQCRTMH); MQGET fills them.
bool HandleUsable(MQHMSG hmsg, MQHCONN hconn);
bool SetHandleProperties(MQHMSG hmsg, MQHCONN hconn, Properties props);
void ForgetHandles(MQHCONN hconn);

}  // namespace vrqsim::client

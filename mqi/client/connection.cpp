// The connection table and the request/reply exchange of the client library.
#include "connection.h"

#include <cmqc.h>

#include <map>

#include "platform.h"
#include "socket_io.h"

namespace vrqsim::client {

namespace {

std::mutex g_table_mu;
std::map<MQHCONN, std::shared_ptr<Connection>> g_connections;
MQHCONN g_next_hconn = 1;

}  // namespace

std::shared_ptr<Connection> FindConnection(MQHCONN hconn) {
  std::lock_guard lock(g_table_mu);
  auto it = g_connections.find(hconn);
  return it == g_connections.end() ? nullptr : it->second;
}

MQHCONN AddConnection(std::shared_ptr<Connection> c) {
  std::lock_guard lock(g_table_mu);
  c->hconn = g_next_hconn++;
  g_connections[c->hconn] = c;
  return c->hconn;
}

std::shared_ptr<Connection> RemoveConnection(MQHCONN hconn) {
  std::lock_guard lock(g_table_mu);
  auto it = g_connections.find(hconn);
  if (it == g_connections.end()) return nullptr;
  auto c = std::move(it->second);
  g_connections.erase(it);
  return c;
}

std::shared_ptr<Connection> UseConnection(MQHCONN hconn, PMQLONG cc, PMQLONG rc) {
  auto c = FindConnection(hconn);
  if (c && c->restricted && c->owner != std::this_thread::get_id() && !OnDispatcherThread(*c)) c = nullptr;
  if (!c) Fail(cc, rc, MQRC_HCONN_ERROR);
  return c;
}

template <typename Request, typename Reply>
MQLONG Call(Connection& c, Op op, const Request& request, Reply& reply) {
  std::unique_lock lock(c.mu, std::defer_lock);
  if (c.share == MQCNO_HANDLE_SHARE_NO_BLOCK) {
    if (!lock.try_lock()) return MQRC_CALL_IN_PROGRESS;
  } else {
    lock.lock();
  }
  if (c.broken) return MQRC_CONNECTION_BROKEN;
  Writer w;
  Encode(w, request);
  std::vector<uint8_t> frame = w.frame(static_cast<uint32_t>(op));
  const bool sent = SendAll(c.fd, frame);
  if (op == Op::Conn) {  // the connect request carries the MQCSP password
    w.wipe();
    Wipe(frame);
  }
  uint32_t code = 0;
  std::vector<uint8_t> payload;
  if (sent && ReadFrame(c.fd, code, payload) && code == static_cast<uint32_t>(op) && Decode(payload, reply))
    return MQRC_NONE;
  c.broken = true;
  ShutdownSocket(c.fd);
  return MQRC_CONNECTION_BROKEN;
}

template MQLONG Call(Connection&, Op, const ConnRequest&, ConnReply&);
template MQLONG Call(Connection&, Op, const NoArguments&, StatusReply&);
template MQLONG Call(Connection&, Op, const OpenRequest&, OpenReply&);
template MQLONG Call(Connection&, Op, const CloseRequest&, StatusReply&);
template MQLONG Call(Connection&, Op, const PutRequest&, PutReply&);
template MQLONG Call(Connection&, Op, const GetRequest&, GetReply&);
template MQLONG Call(Connection&, Op, const InqRequest&, InqReply&);
template MQLONG Call(Connection&, Op, const SetRequest&, StatusReply&);
template MQLONG Call(Connection&, Op, const AdminRequest&, AdminReply&);
template MQLONG Call(Connection&, Op, const SubRequest&, SubReply&);
template MQLONG Call(Connection&, Op, const SubRqRequest&, SubRqReply&);

}  // namespace vrqsim::client

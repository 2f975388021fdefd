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

template <typename Request, typename Reply>
bool Call(Connection& c, Op op, const Request& request, Reply& reply) {
  std::lock_guard lock(c.mu);
  if (c.broken) return false;
  Writer w;
  Encode(w, request);
  uint32_t code = 0;
  std::vector<uint8_t> payload;
  if (SendAll(c.fd, w.frame(static_cast<uint32_t>(op))) && ReadFrame(c.fd, code, payload) &&
      code == static_cast<uint32_t>(op) && Decode(payload, reply))
    return true;
  c.broken = true;
  ShutdownSocket(c.fd);
  return false;
}

template bool Call(Connection&, Op, const ConnRequest&, ConnReply&);
template bool Call(Connection&, Op, const NoArguments&, StatusReply&);
template bool Call(Connection&, Op, const OpenRequest&, OpenReply&);
template bool Call(Connection&, Op, const CloseRequest&, StatusReply&);
template bool Call(Connection&, Op, const PutRequest&, PutReply&);
template bool Call(Connection&, Op, const GetRequest&, GetReply&);
template bool Call(Connection&, Op, const InqRequest&, InqReply&);
template bool Call(Connection&, Op, const SetRequest&, StatusReply&);
template bool Call(Connection&, Op, const AdminRequest&, AdminReply&);

}  // namespace vrqsim::client

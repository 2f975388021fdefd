// The server loop: non-blocking sockets under one poll(), request frames decoded strictly
// (a malformed frame drops the connection, backing its unit of work out), parked gets, the
// command server, the expiry scan and the admin requests of the vrqsim command line.
#include "server.h"

#include <cmqc.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sstream>

#include "operator.h"

namespace vrqsim {

namespace {

volatile std::sig_atomic_t g_stop = 0;

constexpr size_t kMaxClients = 1000;
constexpr int64_t kScanIntervalMs = 200;
constexpr size_t kReadChunk = 64 * 1024;

template <typename Req>
bool DecodeInto(std::span<const uint8_t> p, Req& r) {
  try {
    return Decode(p, r);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

void Server::RequestStop() { g_stop = 1; }

Server::Server(QueueManager& qm, CommandServer& cmd, int listen_fd)
    : qm_(qm), cmd_(cmd), listen_fd_(listen_fd) {}

void Server::Accept(int listener) {
  for (;;) {
    const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (clients_.size() >= kMaxClients) {
      close(fd);
      continue;
    }
    auto c = std::make_unique<Client>();
    c->fd = fd;
    clients_[fd] = std::move(c);
  }
}

void Server::Drop(int fd) {
  auto it = clients_.find(fd);
  if (it == clients_.end()) return;
  if (it->second->session) EndSession(it->second->session, false);
  close(fd);
  clients_.erase(it);
}

void Server::EndSession(uint32_t session, bool commit) {
  if (Session* s = qm_.FindSession(session)) pubsub_.EndSession(*s);
  qm_.EndSession(session, commit);
  pubsub_.Tidy();
}

bool Server::ReadFrom(Client& c) {
  uint8_t buf[kReadChunk];
  for (;;) {
    const ssize_t n = recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    c.in.insert(c.in.end(), buf, buf + n);
    if (c.in.size() > kMaxFrame + kFrameHeader) return false;
  }
}

bool Server::ProcessFrames(Client& c) {
  size_t pos = 0;
  bool ok = true;
  while (ok && c.in.size() - pos >= kFrameHeader) {
    // A client sends nothing while its call is in progress.
    if (c.waiting || c.out_pos < c.out.size() || c.close_after_write) { ok = false; break; }
    uint32_t length, op;
    std::memcpy(&length, c.in.data() + pos, 4);
    std::memcpy(&op, c.in.data() + pos + 4, 4);
    if (length > kMaxFrame) { ok = false; break; }
    if (c.in.size() - pos - kFrameHeader < length) break;
    ok = Handle(c, op, {c.in.data() + pos + kFrameHeader, length});
    pos += kFrameHeader + length;
  }
  c.in.erase(c.in.begin(), c.in.begin() + static_cast<std::ptrdiff_t>(pos));
  return ok;
}

void Server::Send(Client& c, uint32_t op, const Writer& w) {
  auto frame = w.frame(op);
  c.out.insert(c.out.end(), frame.begin(), frame.end());
}

bool Server::Flush(Client& c) {
  while (c.out_pos < c.out.size()) {
    const ssize_t n = send(c.fd, c.out.data() + c.out_pos, c.out.size() - c.out_pos, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    c.out_pos += static_cast<size_t>(n);
  }
  c.out.clear();
  c.out_pos = 0;
  return true;
}

bool Server::TryGet(Client& c, bool final_try) {
  Session* s = qm_.FindSession(c.session);
  if (!s) return false;
  GetReply reply;
  if (c.get.wait < MQWI_UNLIMITED && (c.get.options & MQGMO_WAIT)) {
    reply.cc = MQCC_FAILED;
    reply.rc = MQRC_WAIT_INTERVAL_ERROR;
  } else {
    reply.md = c.get.md;
    GetOptions gmo{c.get.options, c.get.match, c.get.properties != 0};
    GetResult r = qm_.Get(*s, c.get.hobj, reply.md, gmo, c.get.buffer_length);
    const bool may_wait = (c.get.options & MQGMO_WAIT) && c.get.wait != 0 && !final_try;
    if (r.outcome.rc == MQRC_NO_MSG_AVAILABLE && may_wait) {
      if (!c.waiting) c.deadline = c.get.wait == MQWI_UNLIMITED ? 0 : SteadyMs() + c.get.wait;
      c.waiting = true;
      return true;
    }
    reply.cc = r.outcome.cc;
    reply.rc = r.outcome.rc;
    reply.data_length = r.data_length;
    reply.data = std::move(r.data);
    reply.properties = std::move(r.properties);
  }
  c.waiting = false;
  Writer w;
  Encode(w, reply);
  Send(c, static_cast<uint32_t>(Op::Get), w);
  return true;
}

bool Server::Handle(Client& c, uint32_t op_code, std::span<const uint8_t> payload) {
  const auto op = static_cast<Op>(op_code);
  Writer w;
  if (op == Op::Admin) {
    AdminRequest req;
    if (c.session || !DecodeInto(payload, req)) return false;
    AdminReply reply;
    reply.text = Admin(req.command, c.fd, reply.ok);
    Encode(w, reply);
    Send(c, op_code, w);
    return true;
  }
  if (op == Op::Conn) {
    ConnRequest req;
    if (c.session || !DecodeInto(payload, req)) return false;
    ConnReply reply;
    if (!req.qmgr.empty() && req.qmgr != qm_.name()) {
      reply.cc = MQCC_FAILED;
      reply.rc = MQRC_Q_MGR_NAME_ERROR;
    } else {
      Session& session = qm_.OpenSession(req.appl_name, req.user);
      session.accounting = req.accounting;
      c.session = session.id;
      reply.qmgr = qm_.name();
    }
    Encode(w, reply);
    Send(c, op_code, w);
    return true;
  }
  Session* s = qm_.FindSession(c.session);
  if (!s) return false;
  switch (op) {
    case Op::Disc: {
      if (!payload.empty()) return false;
      EndSession(c.session, true);
      c.session = 0;
      c.close_after_write = true;
      Encode(w, StatusReply{});
      break;
    }
    case Op::Open: {
      OpenRequest req;
      if (!DecodeInto(payload, req)) return false;
      OpenReply reply;
      if (req.od.type == MQOT_TOPIC) {
        reply = pubsub_.OpenTopic(*s, req.od, req.object_string, req.options);
      } else {
        OpenResult r = qm_.Open(*s, req.od, req.options);
        reply.cc = r.outcome.cc;
        reply.rc = r.outcome.rc;
        reply.hobj = r.hobj;
        reply.object_name = r.object_name;
      }
      Encode(w, reply);
      break;
    }
    case Op::Close: {
      CloseRequest req;
      if (!DecodeInto(payload, req)) return false;
      Outcome r = PubSub::Owns(req.hobj) ? pubsub_.Close(*s, req.hobj, req.options) : qm_.Close(*s, req.hobj, req.options);
      pubsub_.Tidy();
      Encode(w, StatusReply{r.cc, r.rc});
      break;
    }
    case Op::Put:
    case Op::Put1: {
      PutRequest req;
      if (!DecodeInto(payload, req)) return false;
      PutOptions pmo{req.options, req.context};
      Outcome r;
      if (op == Op::Put)
        r = PubSub::Owns(req.hobj) ? pubsub_.Publish(*s, req.hobj, req.md, pmo, req.data)
                                   : qm_.Put(*s, req.hobj, req.md, pmo, req.data);
      else
        r = req.od.type == MQOT_TOPIC ? pubsub_.Publish1(*s, req.od, req.object_string, req.md, pmo, req.data)
                                      : qm_.Put1(*s, req.od, req.md, pmo, req.data);
      PutReply reply;
      reply.cc = r.cc;
      reply.rc = r.rc;
      reply.md = req.md;
      Encode(w, reply);
      break;
    }
    case Op::Get:
      if (!DecodeInto(payload, c.get)) return false;
      c.waiting = false;
      return TryGet(c, false);
    case Op::Inq: {
      InqRequest req;
      if (!DecodeInto(payload, req)) return false;
      InqReply reply;
      Outcome r = qm_.Inquire(*s, req.hobj, req.selectors, reply.ints, req.int_count, reply.chars, req.char_length);
      reply.cc = r.cc;
      reply.rc = r.rc;
      Encode(w, reply);
      break;
    }
    case Op::Set: {
      SetRequest req;
      if (!DecodeInto(payload, req)) return false;
      Outcome r = qm_.SetAttrs(*s, req.hobj, req.selectors, req.ints, req.chars);
      Encode(w, StatusReply{r.cc, r.rc});
      break;
    }
    case Op::Sub: {
      SubRequest req;
      if (!DecodeInto(payload, req)) return false;
      Encode(w, pubsub_.Subscribe(*s, req));
      break;
    }
    case Op::SubRq: {
      SubRqRequest req;
      if (!DecodeInto(payload, req)) return false;
      Encode(w, pubsub_.Request(*s, req));
      break;
    }
    case Op::Cmit:
    case Op::Back: {
      if (!payload.empty()) return false;
      Outcome r = op == Op::Cmit ? qm_.Commit(*s) : qm_.Backout(*s);
      Encode(w, StatusReply{r.cc, r.rc});
      break;
    }
    default:
      return false;
  }
  Send(c, op_code, w);
  return true;
}

std::string Server::Admin(const std::string& command, int requester, bool& ok) {
  std::istringstream in(command);
  std::string verb, arg;
  in >> verb >> arg;
  ok = true;
  const size_t space = command.find(' ');
  const std::string rest = space == std::string::npos ? std::string() : command.substr(space + 1);
  if (auto reply = OperatorCommand(qm_, verb, rest)) {
    ok = reply->ok;
    return reply->text;
  }
  if (verb == "stop") {
    stopping_ = true;
    return "queue manager " + qm_.name() + " ending";
  }
  if (verb == "status") {
    size_t connected = 0;
    for (const auto& [fd, c] : clients_) connected += c->session ? 1 : 0;
    return "queue manager " + qm_.name() + " running; connections " + std::to_string(connected) +
           "; command server " + (cmd_.running() ? "running" : "stopped");
  }
  if (verb == "cmdserver" && arg == "stop") {
    cmd_.Stop();
    return "command server stopped";
  }
  if (verb == "cmdserver" && arg == "delay") {
    const std::string ms = rest.size() > 6 ? rest.substr(rest.find("delay") + 6) : std::string();
    char* end = nullptr;
    const long long v = ms.empty() ? -1 : std::strtoll(ms.c_str(), &end, 10);
    ok = v >= 0 && v <= 3600000 && end && *end == '\0';
    if (ok) cmd_.SetDelay(v);
    return ok ? "command server delay " + std::to_string(v) + " ms" : "cmdserver delay takes milliseconds (0 to 3600000)";
  }
  if (verb == "cmdserver" && arg == "start") {
    ok = cmd_.Start();
    return ok ? "command server started" : "command server cannot open its queue";
  }
  if ((verb == "put-inhibit" || verb == "put-allow") && !arg.empty()) {
    ok = qm_.InhibitPut(arg, verb == "put-inhibit");
    return ok ? "queue " + arg + (verb == "put-inhibit" ? " put-inhibited" : " put-enabled") : "no queue " + arg;
  }
  if (verb == "drop-connections") {
    std::vector<int> fds;
    for (const auto& [fd, c] : clients_)
      if (fd != requester) fds.push_back(fd);
    for (int fd : fds) Drop(fd);
    return std::to_string(fds.size()) + " connections dropped";
  }
  if (verb == "crash") _exit(9);
  ok = false;
  return "unknown request: " + command;
}

void Server::Settle() {
  const int64_t now = SteadyMs();
  if (now >= next_expiry_) {
    const int64_t next = qm_.ExpireScan();
    next_expiry_ = next ? std::min(next, now + kScanIntervalMs) : now + 5 * kScanIntervalMs;
  }
  do {
    cmd_.Poll();
    for (auto& [fd, c] : clients_)
      if (c->waiting) TryGet(*c, c->deadline && SteadyMs() >= c->deadline);
  } while (qm_.TakeActivity());
}

int Server::PollTimeout() const {
  int64_t until = next_expiry_;
  if (const int64_t due = cmd_.NextDue(); due && due < until) until = due;
  for (const auto& [fd, c] : clients_)
    if (c->waiting && c->deadline && c->deadline < until) until = c->deadline;
  const int64_t ms = until - SteadyMs();
  return static_cast<int>(std::clamp<int64_t>(ms, 0, 1000));
}

int Server::Run() {
  while (!stopping_ && !g_stop) {
    Settle();
    std::vector<pollfd> fds;
    fds.push_back({listen_fd_, POLLIN, 0});
    const size_t listeners = tcp_fd_ >= 0 ? 2 : 1;
    if (tcp_fd_ >= 0) fds.push_back({tcp_fd_, POLLIN, 0});
    for (auto& [fd, c] : clients_) {
      Flush(*c);
      short events = POLLIN;
      if (c->out_pos < c->out.size()) events |= POLLOUT;
      fds.push_back({fd, events, 0});
    }
    const int n = poll(fds.data(), fds.size(), PollTimeout());
    if (n < 0 && errno != EINTR) return 1;
    if (n <= 0) continue;
    if (fds[0].revents & POLLIN) Accept(listen_fd_);
    if (listeners == 2 && (fds[1].revents & POLLIN)) Accept(tcp_fd_);
    for (size_t i = listeners; i < fds.size(); ++i) {
      auto it = clients_.find(fds[i].fd);
      if (it == clients_.end() || !fds[i].revents) continue;
      Client& c = *it->second;
      bool keep = true;
      if (fds[i].revents & POLLOUT) keep = Flush(c);
      if (keep && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) keep = ReadFrom(c) && ProcessFrames(c);
      if (keep) keep = Flush(c);
      if (!keep || (c.close_after_write && c.out.empty())) Drop(fds[i].fd);
    }
  }
  std::vector<int> all;
  for (auto& [fd, c] : clients_) {
    Flush(*c);
    all.push_back(fd);
  }
  for (int fd : all) Drop(fd);
  return 0;
}

}  // namespace vrqsim

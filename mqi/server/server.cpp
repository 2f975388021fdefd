// The server loop: non-blocking sockets under one poll(), request frames decoded strictly
// (a malformed frame drops the connection, backing its unit of work out), parked gets, the
// command server, the expiry scan and the admin requests of the vrqsim command line.
#include "server.h"

#include <cmqc.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "operator.h"
#include "recovery_log.h"

namespace vrqsim {

namespace {

volatile std::sig_atomic_t g_stop = 0;

// Connections through the Unix-domain socket (local bindings and the command line); TCP
// connections have their own limits, so that they can never take these.
constexpr size_t kMaxLocalClients = 1000;
// A connection that has not sent its opening request by then is closed.
constexpr int64_t kOpeningTimeoutMs = 5000;
// Accepting waits this long after the process ran out of descriptors.
constexpr int64_t kAcceptPauseMs = 100;
// Descriptors kept for the listeners, the files the queue manager writes and its command
// line's requests.
constexpr size_t kSpareDescriptors = 64;

// Raises the descriptor limit to its hard limit; the soft limit that results.
size_t RaiseDescriptorLimit() {
  rlimit rl{};
  if (getrlimit(RLIMIT_NOFILE, &rl) != 0) return 1024;
  if (rl.rlim_cur < rl.rlim_max) {
    rlimit raised = rl;
    raised.rlim_cur = rl.rlim_max == RLIM_INFINITY ? std::max<rlim_t>(rl.rlim_cur, 65536) : rl.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) rl = raised;
  }
  return rl.rlim_cur == RLIM_INFINITY ? 1u << 20 : static_cast<size_t>(rl.rlim_cur);
}

std::string PeerAddress(int fd) {
  sockaddr_storage addr{};
  socklen_t size = sizeof addr;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &size) != 0) return {};
  char text[INET6_ADDRSTRLEN] = "";
  if (addr.ss_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&addr)->sin_addr, text, sizeof text);
  else if (addr.ss_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&addr)->sin6_addr, text, sizeof text);
  return text;
}

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
  const bool tcp = listener == tcp_fd_;
  for (;;) {
    const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
        paused_until_[tcp ? 1 : 0] = SteadyMs() + kAcceptPauseMs;
      return;
    }
    const size_t backlog = security_ ? static_cast<size_t>(security_->config().backlog) : 100;
    if (tcp ? tcp_count_ >= tcp_limit_ || tcp_unopened_ >= backlog : local_count_ >= kMaxLocalClients) {
      close(fd);
      continue;
    }
    auto c = std::make_unique<Client>();
    c->fd = fd;
    c->tcp = tcp;
    c->opened = SteadyMs();
    if (tcp) {
      c->address = PeerAddress(fd);
      ++tcp_count_;
      ++tcp_unopened_;
    } else {
      ++local_count_;
    }
    clients_[fd] = std::move(c);
  }
}

void Server::Drop(int fd) {
  auto it = clients_.find(fd);
  if (it == clients_.end()) return;
  const Client& c = *it->second;
  if (c.session) EndSession(c.session, false);
  if (c.tcp) {
    --tcp_count_;
    if (!c.connected) --tcp_unopened_;
  } else {
    --local_count_;
  }
  close(fd);
  clients_.erase(it);
}

void Server::DropUnopened(int64_t now) {
  std::vector<int> late;
  for (const auto& [fd, c] : clients_) {
    if (c->connected || now - c->opened < kOpeningTimeoutMs || now < c->hold_until) continue;
    Flush(*c);   // a refusal whose delay is over goes out first
    late.push_back(fd);
  }
  for (int fd : late) Drop(fd);
}

void Server::Connect(Client& c, ConnRequest& req, ConnReply& reply) {
  std::string user = req.user;
  MQLONG rc = MQRC_NONE;
  if (!req.qmgr.empty() && req.qmgr != qm_.name()) {
    rc = MQRC_Q_MGR_NAME_ERROR;
  } else if (security_) {
    rc = security_->Admit(req, c.tcp, user);
  }
  Wipe(req.csp_password);
  if (rc == MQRC_NONE && c.tcp && security_) {
    if (const ChannelLimits* limits = security_->Limits(req.channel)) {
      long on_channel = 0, from_address = 0;
      for (const auto& [fd, other] : clients_) {
        if (!other->tcp || !other->session || other->channel != req.channel) continue;
        ++on_channel;
        if (other->address == c.address) ++from_address;
      }
      if (on_channel >= limits->max_instances || from_address >= limits->max_instances_per_client) {
        std::fprintf(stderr, "channel %s: %s reached; a connection from %s refused\n", LoggableText(req.channel).c_str(),
                     on_channel >= limits->max_instances ? "MAXINST" : "MAXINSTC", c.address.c_str());
        rc = MQRC_CHANNEL_NOT_AVAILABLE;
      }
    }
  }
  if (rc != MQRC_NONE) {
    reply.cc = MQCC_FAILED;
    reply.rc = rc;
    c.close_after_write = true;   // a refused connection ends, as a refused channel does
    if (rc == MQRC_NOT_AUTHORIZED && security_) c.hold_until = SteadyMs() + security_->config().fail_delay_ms;
    return;
  }
  Session& session = qm_.OpenSession(req.appl_name, user);
  session.accounting = req.accounting;
  c.session = session.id;
  c.channel = req.channel;
  c.connected = true;
  if (c.tcp) --tcp_unopened_;
  reply.qmgr = qm_.name();
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
    if (!c.connected) {   // the opening request may hold a password: no copy is left behind
      volatile uint8_t* p = buf;
      for (ssize_t i = 0; i < n; ++i) p[i] = 0;
    }
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
    if (op == static_cast<uint32_t>(Op::Conn)) {   // it carries the MQCSP password
      volatile uint8_t* p = c.in.data() + pos;
      for (size_t i = 0; i < kFrameHeader + length; ++i) p[i] = 0;
    }
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
  if (c.hold_until && SteadyMs() < c.hold_until) return true;
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
    // Requests of the queue manager's command line come only through its own socket.
    AdminRequest req;
    if (c.tcp || c.session || !DecodeInto(payload, req)) return false;
    AdminReply reply;
    reply.text = Admin(req.command, c.fd, reply.ok);
    Encode(w, reply);
    Send(c, op_code, w);
    return true;
  }
  if (op == Op::Conn) {
    ConnRequest req;
    if (c.session || c.connected || !DecodeInto(payload, req)) {
      Wipe(req.csp_password);
      return false;
    }
    ConnReply reply;
    Connect(c, req, reply);
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
  if ((verb == "log-write-fail" || verb == "log-write-ok") && qm_.recovery_log()) {
    qm_.recovery_log()->FailWrites(verb == "log-write-fail");
    return verb == "log-write-fail" ? "recovery log writes fail" : "recovery log writes succeed";
  }
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
  const int64_t now = SteadyMs();
  for (const auto& [fd, c] : clients_) {
    if (c->waiting && c->deadline && c->deadline < until) until = c->deadline;
    if (c->hold_until > now) until = std::min(until, c->hold_until);
    if (!c->connected) until = std::min(until, std::max(c->opened + kOpeningTimeoutMs, c->hold_until));
  }
  for (int64_t paused : paused_until_)
    if (paused > now && paused < until) until = paused;
  const int64_t ms = until - now;
  return static_cast<int>(std::clamp<int64_t>(ms, 0, 1000));
}

int Server::Run() {
  const size_t descriptors = RaiseDescriptorLimit();
  const size_t room = descriptors > kMaxLocalClients + kSpareDescriptors ? descriptors - kMaxLocalClients - kSpareDescriptors : 0;
  const size_t wanted = security_ ? static_cast<size_t>(security_->config().max_channels) : 1000;
  tcp_limit_ = std::min(wanted, room);
  if (tcp_fd_ >= 0 && tcp_limit_ < wanted)
    std::fprintf(stderr, "TCP connections limited to %zu by the descriptor limit %zu\n", tcp_limit_, descriptors);
  while (!stopping_ && !g_stop) {
    Settle();
    // Replies held for the recovery log go out after one fdatasync for all of them.
    if (RecoveryLog* log = qm_.recovery_log()) log->MakeDurable(qm_);
    const int64_t now = SteadyMs();
    DropUnopened(now);
    // A listener is left out of the poll while accepting is paused, so that a process out
    // of descriptors does not spin on a connection it cannot take.
    std::vector<pollfd> fds;
    fds.push_back({listen_fd_, static_cast<short>(now >= paused_until_[0] ? POLLIN : 0), 0});
    const size_t listeners = tcp_fd_ >= 0 ? 2 : 1;
    if (tcp_fd_ >= 0) fds.push_back({tcp_fd_, static_cast<short>(now >= paused_until_[1] ? POLLIN : 0), 0});
    for (auto& [fd, c] : clients_) {
      Flush(*c);
      short events = POLLIN;
      if (c->out_pos < c->out.size() && (!c->hold_until || now >= c->hold_until)) events |= POLLOUT;
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
      RecoveryLog* log = qm_.recovery_log();
      if (log) log->BeginCall();
      if (keep && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) keep = ReadFrom(c) && ProcessFrames(c);
      if (keep && !(log && log->HoldsReply())) keep = Flush(c);
      if (!keep || (c.close_after_write && c.out.empty())) Drop(fds[i].fd);
    }
  }
  if (RecoveryLog* log = qm_.recovery_log()) log->MakeDurable(qm_);
  std::vector<int> all;
  for (auto& [fd, c] : clients_) {
    Flush(*c);
    all.push_back(fd);
  }
  for (int fd : all) Drop(fd);
  return 0;
}

}  // namespace vrqsim

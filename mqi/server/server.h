// The queue manager's event loop: accepts client connections on the Unix-domain socket,
// reads request frames, runs them against the queue manager, parks MQGETs that wait (no
// CPU while they wait) and answers them when a message arrives or the wait ends, and runs
// the command server and the periodic expiry scan. One slow or vanished client never blocks
// another: all sockets are non-blocking and served from one poll().
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "authentication.h"
#include "command_server.h"
#include "protocol.h"
#include "pubsub.h"
#include "queue_manager.h"

namespace vrqsim {

class Server {
 public:
  Server(QueueManager& qm, CommandServer& cmd, int listen_fd);
  // Accepts clients on a second listening socket too (the loopback TCP port).
  void AlsoListen(int fd) { tcp_fd_ = fd; }
  // Checks each connection's opening request and applies the connection limits of the
  // configuration (without one: no checks, and the default limits).
  void UseSecurity(Security* security) { security_ = security; }
  // Serves until stopped by an admin request or a signal; returns the exit status.
  int Run();
  // Asks the loop to end (signal handlers call this through a flag).
  static void RequestStop();

 private:
  struct Client {
    int fd = -1;
    uint32_t session = 0;
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
    size_t out_pos = 0;
    bool close_after_write = false;
    bool waiting = false;
    int64_t deadline = 0;         // SteadyMs(); 0 with waiting = unlimited
    GetRequest get;
    bool tcp = false;             // came through the TCP listener: a client connection
    int64_t opened = 0;           // SteadyMs() at accept
    std::string address;          // the peer's address (TCP)
    std::string channel;          // the channel its opening request named
    bool connected = false;       // its opening exchange has been answered
    int64_t hold_until = 0;       // a refusal is sent no earlier (FAILDLAY)
  };

  void Accept(int listener);
  // False when the client is to be dropped.
  bool ReadFrom(Client& c);
  bool ProcessFrames(Client& c);
  bool Handle(Client& c, uint32_t op, std::span<const uint8_t> payload);
  void Send(Client& c, uint32_t op, const Writer& w);
  bool Flush(Client& c);
  void Drop(int fd);
  void EndSession(uint32_t session, bool commit);
  bool TryGet(Client& c, bool final_try);
  void Settle();
  int PollTimeout() const;
  std::string Admin(const std::string& command, int requester, bool& ok);
  // The opening request of a connection: its checks and the session it starts.
  void Connect(Client& c, ConnRequest& req, ConnReply& reply);
  // Closes connections that have not finished their opening exchange in time.
  void DropUnopened(int64_t now);

  QueueManager& qm_;
  CommandServer& cmd_;
  PubSub pubsub_{qm_};
  int listen_fd_;
  int tcp_fd_ = -1;
  Security* security_ = nullptr;
  size_t local_count_ = 0;        // connections through the Unix-domain socket
  size_t tcp_count_ = 0;          // connections through the TCP listener
  size_t tcp_unopened_ = 0;       // of those, still in their opening exchange
  size_t tcp_limit_ = 0;          // TCP connections in all: MAXCHANNELS within the descriptors
  int64_t paused_until_[2] = {0, 0};  // accepting paused (Unix, TCP): out of descriptors
  std::map<int, std::unique_ptr<Client>> clients_;
  bool stopping_ = false;
  int64_t next_expiry_ = 0;
};

}  // namespace vrqsim

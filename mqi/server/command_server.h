// The command server: reads PCF commands from SYSTEM.ADMIN.COMMAND.QUEUE (holding it open
// for input, so it counts in the queue's open-input count) and answers each with
// MQCFT_RESPONSE messages to the request's reply-to queue. It can be stopped and started
// on its own.
#pragma once

#include <cmqc.h>

#include <span>
#include <string>
#include <vector>

#include "pcf_codec.h"
#include "queue_manager.h"

namespace vrqsim {

class CommandServer {
 public:
  explicit CommandServer(QueueManager& qm) : qm_(qm) {}
  bool Start();
  void Stop();
  bool running() const { return session_ != 0; }
  // Answers every command waiting on the command queue.
  void Poll();

 private:
  void Answer(const MQMD& request, std::span<const uint8_t> data);
  std::vector<std::vector<uint8_t>> Execute(const PcfCommand& cmd);

  QueueManager& qm_;
  uint32_t session_ = 0;
  MQHOBJ hobj_ = 0;
};

}  // namespace vrqsim

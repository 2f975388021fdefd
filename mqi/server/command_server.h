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
  // Answers every command waiting on the command queue (one per delay, when one is set).
  void Poll();
  // A slow command server for tests: each command is taken no sooner than ms after the
  // one before it (0: at once). The wait holds up nothing else of the queue manager.
  void SetDelay(int64_t ms) { delay_ms_ = ms; }
  // When the next command may be taken (SteadyMs), 0 without a delay.
  int64_t NextDue() const { return delay_ms_ > 0 ? next_due_ : 0; }

 private:
  void Answer(const MQMD& request, std::span<const uint8_t> data);
  std::vector<std::vector<uint8_t>> Execute(const PcfCommand& cmd);

  QueueManager& qm_;
  uint32_t session_ = 0;
  MQHOBJ hobj_ = 0;
  int64_t delay_ms_ = 0;
  int64_t next_due_ = 0;
};

}  // namespace vrqsim

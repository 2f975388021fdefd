// The operator's commands on a running queue manager, asked for by the vrqsim command line
// over the admin channel: display queues (name, type, depth, maximum depth, open counts),
// clear a queue, and MQSC-like DEFINE, ALTER and DELETE of local and model queues.
#pragma once

#include <optional>
#include <string>

#include "queue_manager.h"

namespace vrqsim {

struct OperatorReply {
  bool ok = true;
  std::string text;
};

// Runs an operator command ("display MASK", "clear QUEUE", "mqsc TEXT"); nullopt when the
// verb is not one of them.
std::optional<OperatorReply> OperatorCommand(QueueManager& qm, const std::string& verb, const std::string& rest);

// The queue table of display for the queues whose names match the mask (a name, or a
// prefix ending in '*'); empty when none matches.
std::string DisplayQueues(const QueueManager& qm, const std::string& mask);

}  // namespace vrqsim

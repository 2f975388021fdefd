// The operator's message commands of vrqsim, written as any MQI program is: put a message
// to a queue, and get or browse messages, printing each descriptor and its data.
#pragma once

#include <string>
#include <vector>

namespace vrqsim {

// vrqsim put QM QUEUE [text | -f file] [--reply-to Q] [--persistent] [--expiry N]
//                     [--correl-id HEX]
// args start with the queue manager. Returns the exit status.
int PutCommand(const std::vector<std::string>& args);

// vrqsim get|browse QM QUEUE [--wait ms] [--count N|all]. Returns the exit status: 0 when
// at least one message was shown.
int GetCommand(const std::vector<std::string>& args, bool browse);

// The text of an MQ reason code with IBM's name for it, as "2085 MQRC_UNKNOWN_OBJECT_NAME"
// ("2999" when IBM names none).
std::string ReasonText(long reason);

}  // namespace vrqsim

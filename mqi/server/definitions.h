// MQSC-like queue commands, for the definition file a queue manager reads at start and for
// the operator's define, alter and delete on a running one:
//   DEFINE QLOCAL(APP.IN) MAXDEPTH(100) DESCR('requests') PUT(DISABLED)
//   DEFINE QMODEL(APP.MODEL) DEFTYPE(PERMDYN)
//   ALTER QLOCAL(SYSTEM.DEFAULT.LOCAL.QUEUE) MAXDEPTH(100000)
//   DELETE QLOCAL(APP.OLD) PURGE
// with '*' or '#' comment lines. Unknown keywords and bad values are errors with the line.
#pragma once

#include <cmqc.h>

#include <optional>
#include <string>
#include <vector>

#include "queue_manager.h"

namespace vrqsim {

struct Keyword {
  std::string name;            // upper case
  std::optional<std::string> value;
};

struct Definition {
  enum class Verb { kDefine, kAlter, kDelete };
  Verb verb = Verb::kDefine;
  MQLONG type = MQQT_LOCAL;    // QLOCAL or QMODEL as written
  std::string name;
  std::vector<Keyword> attributes;
  bool replace = false;
  bool purge = false;
  int line = 0;
};

// Splits one MQSC-like line into keywords with their values; false on unbalanced text.
bool TokenizeCommand(const std::string& line, std::vector<Keyword>& out);

// Parses the text; on failure returns false with "line N: reason" in error.
bool ParseDefinitions(const std::string& text, std::vector<Definition>& out, std::string& error);

// Carries out one command; false with the reason (a name taken without REPLACE, a queue
// missing or of the other type, a queue in use or not empty). done says what was done.
bool ApplyDefinition(QueueManager& qm, const Definition& d, std::string& done, std::string& error);

// Carries out every command in order; the error names the failing command's line.
bool ApplyDefinitions(QueueManager& qm, const std::vector<Definition>& defs, std::string& error);

}  // namespace vrqsim

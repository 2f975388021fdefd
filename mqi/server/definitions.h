// The definition file a queue manager reads at start: MQSC-like lines
//   DEFINE QLOCAL(APP.IN) MAXDEPTH(100) DESCR('requests') PUT(DISABLED)
//   DEFINE QMODEL(APP.MODEL) DEFTYPE(PERMDYN)
// with '*' or '#' comment lines. Unknown keywords and bad values are errors with the line.
#pragma once

#include <string>
#include <vector>

#include "queue_manager.h"

namespace vrqsim {

struct Definition {
  std::string name;
  QueueAttrs attrs;
  bool replace = false;
};

// Parses the text; on failure returns false with "line N: reason" in error.
bool ParseDefinitions(const std::string& text, std::vector<Definition>& out, std::string& error);

// Applies parsed definitions; false with the reason when a name is taken without REPLACE.
bool ApplyDefinitions(QueueManager& qm, const std::vector<Definition>& defs, std::string& error);

}  // namespace vrqsim

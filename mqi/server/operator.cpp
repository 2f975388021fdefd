// Operator commands on a running queue manager: display, clear, and queue definitions
// given as MQSC-like text.
#include "operator.h"

#include <cmqc.h>

#include <algorithm>
#include <cstdio>

#include "definitions.h"

namespace vrqsim {

namespace {

bool MaskMatches(std::string_view mask, std::string_view name) {
  if (!mask.empty() && mask.back() == '*') return name.substr(0, mask.size() - 1) == mask.substr(0, mask.size() - 1);
  return mask == name;
}

std::string TypeName(MQLONG type) { return type == MQQT_MODEL ? "QMODEL" : "QLOCAL"; }

OperatorReply Clear(QueueManager& qm, const std::string& queue) {
  const Queue* q = qm.FindQueue(queue);
  const size_t depth = q ? q->messages.depth() : 0;
  switch (qm.Clear(queue)) {
    case MQRC_NONE: return {true, "queue " + queue + " cleared: " + std::to_string(depth) + " messages removed"};
    case MQRC_UNKNOWN_OBJECT_NAME: return {false, "queue " + queue + " does not exist"};
    case MQRC_OBJECT_TYPE_ERROR: return {false, "queue " + queue + " is not a local queue"};
    case MQRC_RESOURCE_PROBLEM: return {false, "queue " + queue + ": the recovery log cannot be written"};
    default: return {false, "queue " + queue + " is open or holds uncommitted messages"};
  }
}

OperatorReply Mqsc(QueueManager& qm, const std::string& text) {
  std::vector<Definition> defs;
  std::string error;
  if (text.find('\n') != std::string::npos) return {false, "one command at a time"};
  if (!ParseDefinitions(text, defs, error)) return {false, error.substr(error.find(": ") + 2)};
  if (defs.empty()) return {false, "no command"};
  std::string done;
  if (!ApplyDefinition(qm, defs[0], done, error)) return {false, error};
  return {true, done};
}

}  // namespace

std::string DisplayQueues(const QueueManager& qm, const std::string& mask) {
  std::vector<const Queue*> found;
  size_t width = 5;
  for (const auto& [name, q] : qm.queues()) {
    if (!MaskMatches(mask, name)) continue;
    found.push_back(&q);
    width = std::max(width, name.size());
  }
  if (found.empty()) return {};
  auto row = [&](const std::string& name, const std::string& type, const std::string& depth,
                 const std::string& max, const std::string& in, const std::string& out) {
    char line[160];
    std::snprintf(line, sizeof line, "%-*s  %-6s  %9s  %9s  %7s  %7s\n", static_cast<int>(width), name.c_str(),
                  type.c_str(), depth.c_str(), max.c_str(), in.c_str(), out.c_str());
    return std::string(line);
  };
  std::string text = row("QUEUE", "TYPE", "CURDEPTH", "MAXDEPTH", "IPPROCS", "OPPROCS");
  for (const Queue* q : found) {
    const bool local = q->attrs.type == MQQT_LOCAL;
    text += row(q->name, TypeName(q->attrs.type), local ? std::to_string(q->messages.depth()) : "-",
                std::to_string(q->attrs.max_depth), local ? std::to_string(q->open_input) : "-",
                local ? std::to_string(q->open_output) : "-");
  }
  return text;
}

std::optional<OperatorReply> OperatorCommand(QueueManager& qm, const std::string& verb, const std::string& rest) {
  if (verb == "display") {
    const std::string mask = rest.empty() ? "*" : rest;
    std::string table = DisplayQueues(qm, mask);
    if (table.empty()) return OperatorReply{false, "no queue matches " + mask};
    table.pop_back();
    return OperatorReply{true, table};
  }
  if (verb == "clear") return Clear(qm, rest);
  if (verb == "mqsc") return Mqsc(qm, rest);
  return std::nullopt;
}

}  // namespace vrqsim

// Parsing of queue commands (DEFINE, ALTER and DELETE of QLOCAL and QMODEL with their MQSC
// keywords) and carrying them out on a queue manager.
#include "definitions.h"

#include <cmqc.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

namespace vrqsim {

namespace {

using Token = Keyword;

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

// Splits "KEY(value) KEY2 KEY3('quoted value')" into tokens; false on unbalanced text.
bool Tokenize(const std::string& line, std::vector<Token>& out) {
  size_t i = 0;
  while (i < line.size()) {
    if (std::isspace(static_cast<unsigned char>(line[i]))) { ++i; continue; }
    size_t start = i;
    while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_')) ++i;
    if (i == start) return false;
    Token t{Upper(line.substr(start, i - start)), std::nullopt};
    if (i < line.size() && line[i] == '(') {
      ++i;
      std::string value;
      if (i < line.size() && line[i] == '\'') {
        ++i;
        for (;;) {
          if (i >= line.size()) return false;
          if (line[i] == '\'') {
            if (i + 1 < line.size() && line[i + 1] == '\'') { value += '\''; i += 2; continue; }
            ++i;
            break;
          }
          value += line[i++];
        }
        if (i >= line.size() || line[i] != ')') return false;
      } else {
        const size_t close = line.find(')', i);
        if (close == std::string::npos) return false;
        value = line.substr(i, close - i);
        while (!value.empty() && value.back() == ' ') value.pop_back();
        i = close;
      }
      ++i;
      t.value = value;
    }
    out.push_back(std::move(t));
  }
  return true;
}

struct Choice {
  const char* keyword;
  const char* value;
  MQLONG QueueAttrs::*field;
  MQLONG setting;
};

// Keywords whose value is one of a few words, or that stand alone (value nullptr).
constexpr Choice kChoices[] = {
    {"PUT", "ENABLED", &QueueAttrs::inhibit_put, MQQA_PUT_ALLOWED},
    {"PUT", "DISABLED", &QueueAttrs::inhibit_put, MQQA_PUT_INHIBITED},
    {"GET", "ENABLED", &QueueAttrs::inhibit_get, MQQA_GET_ALLOWED},
    {"GET", "DISABLED", &QueueAttrs::inhibit_get, MQQA_GET_INHIBITED},
    {"DEFPSIST", "NO", &QueueAttrs::def_persistence, MQPER_NOT_PERSISTENT},
    {"DEFPSIST", "YES", &QueueAttrs::def_persistence, MQPER_PERSISTENT},
    {"DEFSOPT", "SHARED", &QueueAttrs::def_input_open_option, MQOO_INPUT_SHARED},
    {"DEFSOPT", "EXCL", &QueueAttrs::def_input_open_option, MQOO_INPUT_EXCLUSIVE},
    {"DEFTYPE", "TEMPDYN", &QueueAttrs::definition_type, MQQDT_TEMPORARY_DYNAMIC},
    {"DEFTYPE", "PERMDYN", &QueueAttrs::definition_type, MQQDT_PERMANENT_DYNAMIC},
    {"TRIGTYPE", "NONE", &QueueAttrs::trigger_type, MQTT_NONE},
    {"TRIGTYPE", "FIRST", &QueueAttrs::trigger_type, MQTT_FIRST},
    {"TRIGTYPE", "EVERY", &QueueAttrs::trigger_type, MQTT_EVERY},
    {"TRIGTYPE", "DEPTH", &QueueAttrs::trigger_type, MQTT_DEPTH},
    {"USAGE", "NORMAL", &QueueAttrs::usage, MQUS_NORMAL},
    {"USAGE", "XMITQ", &QueueAttrs::usage, MQUS_TRANSMISSION},
    {"SHARE", nullptr, &QueueAttrs::shareability, MQQA_SHAREABLE},
    {"NOSHARE", nullptr, &QueueAttrs::shareability, MQQA_NOT_SHAREABLE},
    {"TRIGGER", nullptr, &QueueAttrs::trigger_control, MQTC_ON},
    {"NOTRIGGER", nullptr, &QueueAttrs::trigger_control, MQTC_OFF},
};

struct Number {
  const char* keyword;
  MQLONG QueueAttrs::*field;
  MQLONG min;
  MQLONG max;
};

constexpr Number kNumbers[] = {
    {"MAXDEPTH", &QueueAttrs::max_depth, 0, 999999999},
    {"MAXMSGL", &QueueAttrs::max_msg_length, 0, static_cast<MQLONG>(kMaxMsgLength)},
    {"DEFPRTY", &QueueAttrs::def_priority, 0, 9},
    {"TRIGDPTH", &QueueAttrs::trigger_depth, 1, 999999999},
    {"TRIGMPRI", &QueueAttrs::trigger_msg_priority, 0, 9},
    {"BOTHRESH", &QueueAttrs::backout_threshold, 0, 999999999},
};

struct Text {
  const char* keyword;
  std::string QueueAttrs::*field;
  size_t width;
};

constexpr Text kTexts[] = {
    {"DESCR", &QueueAttrs::description, 64},   {"TRIGDATA", &QueueAttrs::trigger_data, 64},
    {"PROCESS", &QueueAttrs::process_name, 48}, {"INITQ", &QueueAttrs::initiation_queue, 48},
    {"BOQNAME", &QueueAttrs::backout_queue, 48},
};

// Applies one attribute keyword; returns an error text or empty.
std::string ApplyKeyword(const Token& t, QueueAttrs& a) {
  for (const auto& c : kChoices) {
    if (t.name != c.keyword) continue;
    if (!c.value && !t.value) { a.*c.field = c.setting; return {}; }
    if (c.value && t.value && Upper(*t.value) == c.value) { a.*c.field = c.setting; return {}; }
  }
  for (const auto& c : kChoices)
    if (t.name == c.keyword) return "bad value for " + t.name;
  for (const auto& n : kNumbers) {
    if (t.name != n.keyword) continue;
    if (!t.value || t.value->empty() || t.value->size() > 9 ||
        !std::all_of(t.value->begin(), t.value->end(), [](unsigned char ch) { return std::isdigit(ch); }))
      return "bad number for " + t.name;
    const long v = std::stol(*t.value);
    if (v < n.min || v > n.max) return t.name + " out of range";
    a.*n.field = static_cast<MQLONG>(v);
    return {};
  }
  for (const auto& x : kTexts) {
    if (t.name != x.keyword) continue;
    if (!t.value || t.value->size() > x.width) return "bad text for " + t.name;
    a.*x.field = *t.value;
    return {};
  }
  return "unknown keyword " + t.name;
}

// Object keywords and the queue type each names.
constexpr std::pair<const char*, MQLONG> kObjects[] = {{"QLOCAL", MQQT_LOCAL}, {"QMODEL", MQQT_MODEL}};

constexpr std::pair<const char*, Definition::Verb> kVerbs[] = {
    {"DEFINE", Definition::Verb::kDefine}, {"ALTER", Definition::Verb::kAlter}, {"DELETE", Definition::Verb::kDelete}};

const char* ObjectKeyword(MQLONG type) { return type == MQQT_MODEL ? "QMODEL" : "QLOCAL"; }

// Applies the attribute keywords of a command; returns an error text or empty.
std::string ApplyAttributes(const Definition& d, QueueAttrs& a) {
  for (const auto& k : d.attributes) {
    if (k.name == "DEFTYPE" && d.type != MQQT_MODEL) return "DEFTYPE is for QMODEL only";
    if (std::string why = ApplyKeyword(k, a); !why.empty()) return why;
  }
  return {};
}

QueueAttrs DefaultAttrs(MQLONG type) {
  QueueAttrs a;
  a.type = type;
  if (type == MQQT_MODEL) a.definition_type = MQQDT_TEMPORARY_DYNAMIC;
  return a;
}

}  // namespace

bool TokenizeCommand(const std::string& line, std::vector<Keyword>& out) { return Tokenize(line, out); }

bool ParseDefinitions(const std::string& text, std::vector<Definition>& out, std::string& error) {
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    };
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '*' || line[first] == '#') continue;
    std::vector<Token> tokens;
    if (!Tokenize(line, tokens)) return fail("unbalanced parentheses or quotes");
    if (tokens.empty()) continue;  // white space of other kinds
    Definition d;
    d.line = number;
    const auto verb = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                   [&](const auto& v) { return tokens[0].name == v.first; });
    if (tokens.size() < 2 || tokens[0].value || verb == std::end(kVerbs))
      return fail("expected DEFINE, ALTER or DELETE with QLOCAL(name) or QMODEL(name)");
    d.verb = verb->second;
    const Token& object = tokens[1];
    const auto kind = std::find_if(std::begin(kObjects), std::end(kObjects),
                                   [&](const auto& o) { return object.name == o.first; });
    if (kind == std::end(kObjects)) return fail("only QLOCAL and QMODEL queues are known");
    d.type = kind->second;
    if (!object.value || !ValidObjectName(*object.value)) return fail("bad queue name");
    d.name = *object.value;
    for (size_t i = 2; i < tokens.size(); ++i) {
      const Token& t = tokens[i];
      if (d.verb == Definition::Verb::kDefine && t.name == "REPLACE" && !t.value) {
        d.replace = true;
      } else if (d.verb == Definition::Verb::kDefine && t.name == "NOREPLACE" && !t.value) {
        d.replace = false;
      } else if (d.verb == Definition::Verb::kDelete) {
        if (t.value || (t.name != "PURGE" && t.name != "NOPURGE")) return fail("DELETE takes PURGE or NOPURGE only");
        if (d.type != MQQT_LOCAL) return fail("PURGE is for QLOCAL only");
        d.purge = t.name == "PURGE";
      } else {
        d.attributes.push_back(t);
      }
    }
    QueueAttrs scratch = DefaultAttrs(d.type);
    if (std::string why = ApplyAttributes(d, scratch); !why.empty()) return fail(why);
    out.push_back(std::move(d));
  }
  return true;
}

bool ApplyDefinition(QueueManager& qm, const Definition& d, std::string& done, std::string& error) {
  Queue* q = qm.FindQueue(d.name);
  const std::string what = "queue " + d.name;
  if (q && q->attrs.type != d.type && (d.verb != Definition::Verb::kDefine || d.replace)) {
    error = what + " is not a " + ObjectKeyword(d.type) + " queue";
    return false;
  }
  switch (d.verb) {
    case Definition::Verb::kDefine: {
      if (q && !d.replace) {
        error = what + " already exists (add REPLACE to redefine it)";
        return false;
      }
      QueueAttrs attrs = DefaultAttrs(d.type);
      error = ApplyAttributes(d, attrs);
      if (!error.empty()) return false;
      const bool existed = q != nullptr;
      if (qm.StoreDefinition(d.name, attrs) != MQRC_NONE) {
        error = what + ": the recovery log cannot be written";
        return false;
      }
      done = what + (existed ? " replaced" : " defined");
      return true;
    }
    case Definition::Verb::kAlter: {
      if (!q) {
        error = what + " does not exist";
        return false;
      }
      QueueAttrs attrs = q->attrs;
      error = ApplyAttributes(d, attrs);
      if (!error.empty()) return false;
      if (qm.StoreDefinition(d.name, attrs) != MQRC_NONE) {
        error = what + ": the recovery log cannot be written";
        return false;
      }
      done = what + " altered";
      return true;
    }
    case Definition::Verb::kDelete: {
      switch (qm.Delete(d.name, d.purge)) {
        case MQRC_NONE: done = what + " deleted"; return true;
        case MQRC_UNKNOWN_OBJECT_NAME: error = what + " does not exist"; break;
        case MQRC_OBJECT_IN_USE: error = what + " is open"; break;
        case MQRC_Q_NOT_EMPTY: error = what + " is not empty (add PURGE to delete its messages too)"; break;
        case MQRC_RESOURCE_PROBLEM: error = what + ": the recovery log cannot be written"; break;
        default: error = what + " cannot be deleted"; break;
      }
      return false;
    }
  }
  return false;
}

bool ApplyDefinitions(QueueManager& qm, const std::vector<Definition>& defs, std::string& error) {
  for (const auto& d : defs) {
    std::string done;
    if (!ApplyDefinition(qm, d, done, error)) {
      error = "line " + std::to_string(d.line) + ": " + error;
      return false;
    }
  }
  return true;
}

}  // namespace vrqsim

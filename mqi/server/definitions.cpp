// Parsing of queue definitions (DEFINE QLOCAL / QMODEL with their MQSC keywords) and their
// application to a queue manager at start.
#include "definitions.h"

#include <cmqc.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

namespace vrqsim {

namespace {

struct Token {
  std::string keyword;           // upper case
  std::optional<std::string> value;
};

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
    if (t.keyword != c.keyword) continue;
    if (!c.value && !t.value) { a.*c.field = c.setting; return {}; }
    if (c.value && t.value && Upper(*t.value) == c.value) { a.*c.field = c.setting; return {}; }
  }
  for (const auto& c : kChoices)
    if (t.keyword == c.keyword) return "bad value for " + t.keyword;
  for (const auto& n : kNumbers) {
    if (t.keyword != n.keyword) continue;
    if (!t.value || t.value->empty() || t.value->size() > 9 ||
        !std::all_of(t.value->begin(), t.value->end(), [](unsigned char ch) { return std::isdigit(ch); }))
      return "bad number for " + t.keyword;
    const long v = std::stol(*t.value);
    if (v < n.min || v > n.max) return t.keyword + " out of range";
    a.*n.field = static_cast<MQLONG>(v);
    return {};
  }
  for (const auto& x : kTexts) {
    if (t.keyword != x.keyword) continue;
    if (!t.value || t.value->size() > x.width) return "bad text for " + t.keyword;
    a.*x.field = *t.value;
    return {};
  }
  return "unknown keyword " + t.keyword;
}

}  // namespace

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
    if (tokens.size() < 2 || tokens[0].keyword != "DEFINE" || tokens[0].value)
      return fail("expected DEFINE QLOCAL(name) or DEFINE QMODEL(name)");
    Definition d;
    const Token& object = tokens[1];
    if (object.keyword == "QLOCAL") {
      d.attrs.type = MQQT_LOCAL;
    } else if (object.keyword == "QMODEL") {
      d.attrs.type = MQQT_MODEL;
      d.attrs.definition_type = MQQDT_TEMPORARY_DYNAMIC;
    } else {
      return fail("only QLOCAL and QMODEL can be defined");
    }
    if (!object.value || !ValidObjectName(*object.value)) return fail("bad queue name");
    d.name = *object.value;
    for (size_t i = 2; i < tokens.size(); ++i) {
      if (tokens[i].keyword == "REPLACE" && !tokens[i].value) { d.replace = true; continue; }
      if (tokens[i].keyword == "DEFTYPE" && d.attrs.type != MQQT_MODEL) return fail("DEFTYPE is for QMODEL only");
      if (std::string why = ApplyKeyword(tokens[i], d.attrs); !why.empty()) return fail(why);
    }
    out.push_back(std::move(d));
  }
  return true;
}

bool ApplyDefinitions(QueueManager& qm, const std::vector<Definition>& defs, std::string& error) {
  for (const auto& d : defs) {
    if (Queue* q = qm.FindQueue(d.name)) {
      if (!d.replace) {
        error = "queue " + d.name + " already exists (add REPLACE to redefine it)";
        return false;
      }
      q->attrs = d.attrs;
      continue;
    }
    qm.Define(d.name, d.attrs);
  }
  return true;
}

}  // namespace vrqsim

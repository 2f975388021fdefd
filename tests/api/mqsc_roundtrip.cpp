// Every rule row both ways, checked against IBM's MQSC grammar (tests/data/api/mqsc/
// ibm_grammar.tsv: IBM's keyword lists per command and the value names IBM allows, with
// IBM's PCF parameters and constants), never against the tables themselves:
// - PCF to text: a command carrying the row's parameter (every value of an enumerated one)
//   must give text whose every keyword IBM's command takes, in the form IBM writes it
//   (a value, or a bare selector or flag), with a value IBM allows, named as IBM names it;
// - text to PCF: a CSQM201I response carrying each value IBM allows for the keyword must
//   give IBM's parameter with IBM's value, and a number where IBM requires a name must fail.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "mqsc_pcf_support.h"
#include "vrqtest.h"

namespace {

using mqsctest::Pcf;

constexpr int kInt = 7;
constexpr int kUnusedListParameter = 9990;

struct Fact {
  std::set<std::string> forms;  // value, bare, response
  std::string kind;             // name, number, string, list, none, -
  long parameter = -1;
  std::vector<std::pair<std::string, std::string>> names;  // IBM value name -> PCF value ("?" unknown)
  const std::string* Value(const std::string& name) const {
    for (const auto& [n, v] : names)
      if (n == name) return &v;
    return nullptr;
  }
};

using Grammar = std::map<std::pair<std::string, std::string>, Fact>;

const Grammar& Ibm() {
  static const Grammar grammar = [] {
    Grammar g;
    std::istringstream in(vrqtest::DataFile("api/mqsc/ibm_grammar.tsv"));
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      if (header) {
        header = false;
        continue;
      }
      std::vector<std::string> c;
      std::istringstream cells(line);
      std::string cell;
      while (std::getline(cells, cell, '\t')) c.push_back(cell);
      c.resize(6);
      Fact f;
      std::istringstream forms(c[2]);
      while (std::getline(forms, cell, ',')) f.forms.insert(cell);
      f.kind = c[3];
      f.parameter = c[4] == "-" ? -1 : std::stol(c[4]);
      std::istringstream names(c[5]);
      while (std::getline(names, cell, ';')) {
        size_t eq = cell.find('=');
        if (eq != std::string::npos) f.names.emplace_back(cell.substr(0, eq), cell.substr(eq + 1));
      }
      g[{c[0], c[1]}] = f;
    }
    return g;
  }();
  return grammar;
}

const Fact* Find(const std::string& command, const std::string& keyword) {
  auto it = Ibm().find({command, keyword});
  return it == Ibm().end() ? nullptr : &it->second;
}

// Splits MQSC text into tokens at blanks outside quotes and parentheses.
std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false;
  int depth = 0;
  for (char c : text) {
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == '(') ++depth;
    if (!quoted && c == ')') --depth;
    if (!quoted && depth == 1 && c == '(' && cur.empty() && !out.empty()) {  // "KEYWORD (value)"
      cur = out.back();
      out.pop_back();
    }
    if (!quoted && depth == 0 && (c == ' ' || c == '\n' || c == '+')) {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
      continue;
    }
    cur += c;
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

bool IsNumber(const std::string& s) {
  if (s.empty()) return false;
  size_t i = s[0] == '-' ? 1 : 0;
  return i < s.size() && s.find_first_not_of("0123456789", i) == std::string::npos;
}

std::vector<std::string> Items(const std::string& value) {
  std::vector<std::string> out;
  std::istringstream in(value);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(item);
  return out;
}

// The IBM command of a text ("DEFINE QLOCAL('A') ..." -> "DEFINE QLOCAL") and the
// differences of its keywords from IBM's grammar.
std::string CommandOf(const std::vector<std::string>& tokens) {
  if (tokens.size() < 2) return tokens.empty() ? "" : tokens[0];
  return tokens[0] + " " + tokens[1].substr(0, tokens[1].find('('));
}

std::vector<std::string> Differences(const std::string& text) {
  std::vector<std::string> diffs;
  auto tokens = Tokens(text);
  std::string command = CommandOf(tokens);
  for (size_t i = 2; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    size_t open = t.find('(');
    std::string keyword = t.substr(0, open);
    const Fact* f = Find(command, keyword);
    if (f == nullptr) {
      const Fact* words = Find(command, "-");
      if (open == std::string::npos && words != nullptr && words->Value(keyword) != nullptr) continue;
      diffs.push_back(command + ": unknown keyword " + t);
      continue;
    }
    if (open == std::string::npos) {
      if (!f->forms.count("bare")) diffs.push_back(command + ": " + keyword + " needs a value");
      continue;
    }
    if (!f->forms.count("value")) {
      diffs.push_back(command + ": " + keyword + " takes no value here: " + t);
      continue;
    }
    std::string value = t.substr(open + 1, t.size() - open - 2);
    if (f->kind == "name" || (f->kind == "intlist" && !f->names.empty())) {
      for (const auto& item : Items(value))
        if (f->Value(item) == nullptr) diffs.push_back(command + ": " + keyword + " has no value name " + item);
    } else if (f->kind == "intlist") {
      for (const auto& item : Items(value))
        if (!IsNumber(item)) diffs.push_back(command + ": " + keyword + " needs numbers: " + t);
    } else if (f->kind == "number" && !IsNumber(value) && f->Value(value) == nullptr) {
      diffs.push_back(command + ": " + keyword + " needs a number: " + t);
    }
  }
  return diffs;
}

// Commands whose responses are read line by line without keyword(value) pairs.
bool IsFreeForm(int64_t command) { return command == 10632 || command == 10633 || command == 10901; }

void AddValue(Pcf& pcf, const MQSCKEY* e, const char* text, int enumValue) {
  int id = static_cast<int>(e->lId);
  switch (e->lType) {
    case MQSC_TYPE_FLAG: pcf.Int(id, 0); break;
    case MQSC_TYPE_INT: pcf.Int(id, kInt); break;
    case MQSC_TYPE_ENUM: pcf.Int(id, enumValue); break;
    case MQSC_TYPE_STR: pcf.Str(id, text); break;
    case MQSC_TYPE_STRLIST: pcf.StrList(id, {text, "V2"}, 8); break;
    case MQSC_TYPE_ENUMLIST: pcf.IntList(id, {enumValue}); break;
    case MQSC_TYPE_INTLIST: pcf.IntList(id, {kInt}); break;
  }
}

void AddRequired(Pcf& pcf, MQSCRULE* rule, const MQSCRULE* skip) {
  for (MQSCRULE* r = rule + 1; r->lKind != MQSC_RULE_END; ++r) {
    if (r->lKind == MQSC_RULE_REQUIRED && r != skip)
      AddValue(pcf, r->pEntry, "REQ", r->pEntry->ppValues != nullptr ? static_cast<int>(r->pEntry->ppValues[0]->lId) : 0);
  }
}

// A command whose object type is a value glued to the verb (DEFINE QLOCAL, DELETE QALIAS)
// stands for one IBM command per value: the rule row holding that value, or none.
const MQSCRULE* GluedType(MQSCKEY* cmd) {
  const MQSCRULE* r = cmd->pRule + 1;
  if (r->lKind == MQSC_RULE_REQUIRED && r->lWithKeyword == 2 && r->pEntry->pszKeyword[0] == '\0' &&
      r->pEntry->ppValues != nullptr)
    return r;
  return nullptr;
}

// The rows a test translates: the first entry of each PCF code (a second entry of a shared
// code is the same command by another form).
std::vector<MQSCKEY*> Commands() {
  std::vector<MQSCKEY*> out;
  for (MQSCKEY** c = GetCmdTbl() + 1; *c != nullptr; ++c) {
    int32_t code = static_cast<int32_t>((*c)->lId);
    if (tblSearch(GetCmdTbl(), 1, &code) == *c) out.push_back(*c);
  }
  return out;
}

TEST(MqscGrammar, EveryRequestTextIsIbmsSyntaxWithIbmsValueNames) {
  std::vector<std::string> diffs;
  int texts = 0;
  for (MQSCKEY* cmd : Commands()) {
    for (MQSCRULE* row = cmd->pRule + 1; row->lKind != MQSC_RULE_END; ++row) {
      if (row->lKind == 3) continue;  // read from responses only
      MQSCKEY* e = row->pEntry;
      std::vector<int> values{0};
      if (e->ppValues != nullptr && row->lWithValue == 1) {
        values.clear();
        for (MQSCKEY** v = e->ppValues; *v != nullptr; ++v) values.push_back(static_cast<int>((*v)->lId));
      }
      // Object types of a glued-type command: each is tried; a keyword IBM's command for
      // that type does not take must be refused (5008), and some type must take it.
      std::vector<MQSCKEY*> types{nullptr};
      const MQSCRULE* glued = GluedType(cmd);
      if (glued != nullptr && glued != row) {
        types.clear();
        for (MQSCKEY** v = glued->pEntry->ppValues; *v != nullptr; ++v) types.push_back(*v);
      }
      for (int value : values) {
       int written = 0;
       for (MQSCKEY* type : types) {
        Pcf pcf(static_cast<int>(cmd->lId));
        if (type != nullptr) pcf.Int(static_cast<int>(glued->pEntry->lId), static_cast<int>(type->lId));
        AddRequired(pcf, cmd->pRule, type != nullptr ? glued : row);
        if (row->lWithValue == 1 || e->lType == MQSC_TYPE_FLAG) {
          AddValue(pcf, e, "V1", value);
        } else {
          pcf.IntList(kUnusedListParameter, {static_cast<int>(e->lId)});
        }
        auto r = mqsctest::ToMqsc(pcf);
        std::string where = std::string(cmd->pszKeyword) + " row " + e->pszKeyword + " " + std::to_string(e->lId);
        if (type != nullptr && r.reason == 5008) {
          std::string command = std::string(cmd->pszKeyword) + " " + type->pszKeyword;
          std::string keyword = e->pszKeyword[0] != '\0' ? e->pszKeyword : "-";
          if (Find(command, keyword) != nullptr) diffs.push_back(where + ": refused although IBM's " + command + " takes it");
          continue;
        }
        if (r.reason != 0) {
          diffs.push_back(where + ": reason " + std::to_string(r.reason));
          continue;
        }
        ++written;
        ++texts;
        for (const auto& d : Differences(r.text)) diffs.push_back(d + "   <" + r.text + ">");
        // The value name written for a number is the one IBM gives that number.
        if (e->lType == MQSC_TYPE_ENUM && row->lWithValue == 1) {
          auto tokens = Tokens(r.text);
          std::string command = CommandOf(tokens);
          for (const auto& t : tokens) {
            size_t open = t.find('(');
            std::string keyword = e->pszKeyword[0] != '\0' ? std::string(e->pszKeyword) : "-";
            std::string name = keyword == "-" ? t : (t.starts_with(keyword + "(") ? t.substr(open + 1, t.size() - open - 2) : "");
            const Fact* f = Find(command, keyword);
            if (name.empty() || f == nullptr || f->Value(name) == nullptr) continue;
            if (*f->Value(name) != "?" && *f->Value(name) != std::to_string(value))
              diffs.push_back(command + ": " + keyword + " " + std::to_string(value) + " written as " + name);
          }
        }
       }
       if (written == 0 && types.size() > 1)
         diffs.push_back(std::string(cmd->pszKeyword) + " row " + e->pszKeyword + ": no queue type takes it");
      }
    }
  }
  for (const auto& d : diffs) ADD_FAILURE() << d;
  EXPECT_EQ(diffs.size(), 0u);
  EXPECT_GT(texts, 1500);
}

TEST(MqscGrammar, EveryResponseKeywordReadsBackAsIbmsParameterAndValue) {
  std::vector<std::string> diffs;
  int read = 0;
  for (MQSCKEY* cmd : Commands()) {
    if (IsFreeForm(cmd->lId)) continue;
    // The IBM command of this entry: the text of the command with its required rows.
    Pcf request(static_cast<int>(cmd->lId));
    AddRequired(request, cmd->pRule, nullptr);
    std::string command = CommandOf(Tokens(mqsctest::ToMqsc(request).text));
    std::vector<std::string> variants{command};
    const MQSCRULE* glued = GluedType(cmd);
    if (glued != nullptr) {
      variants.clear();
      for (MQSCKEY** v = glued->pEntry->ppValues; *v != nullptr; ++v)
        variants.push_back(std::string(cmd->pszKeyword) + " " + (*v)->pszKeyword);
    }
    for (MQSCRULE* row = cmd->pRule + 1; row->lKind != MQSC_RULE_END; ++row) {
      MQSCKEY* e = row->pEntry;
      std::string keyword = e->pszKeyword[0] != '\0' ? e->pszKeyword : "-";
      if (row->lWithKeyword == 2 && (keyword != "-" || row == glued)) continue;  // part of the command text
      int32_t id = static_cast<int32_t>(e->lId);
      const Fact* f = nullptr;
      for (const auto& v : variants) {
        if (f == nullptr) {
          f = Find(v, keyword);
          command = v;
        }
      }
      std::string where = command + " " + keyword;
      if (f == nullptr && keyword == "-") {
        // Value words IBM lists as bare keywords of the command (REPLACE, NOSHARE, ...).
        for (MQSCKEY** v = e->ppValues; v != nullptr && *v != nullptr; ++v) {
          const Fact* word = nullptr;
          for (const auto& c : variants) {
            if (word == nullptr) {
              word = Find(c, (*v)->pszKeyword);
              command = c;
            }
          }
          if (word == nullptr || (!word->forms.count("bare") && !word->forms.count("response"))) {
            diffs.push_back(where + ": value word " + (*v)->pszKeyword + " not IBM's");
            continue;
          }
          mqsctest::Result back;
          PcfMessage* response = mqsctest::ToPcf(static_cast<int>(cmd->lId), std::string("CSQM201I ") + (*v)->pszKeyword, &back);
          int got = 0;
          const std::string* ibm = word->Value((*v)->pszKeyword);
          if (back.status != 0 || !mqsctest::IntParam(response, id, &got))
            diffs.push_back(where + ": value word " + (*v)->pszKeyword + " not read");
          else if ((word->parameter >= 0 && word->parameter != id) || (ibm != nullptr && *ibm != std::to_string(got)))
            diffs.push_back(where + ": value word " + (*v)->pszKeyword + " read as " + std::to_string(id) + "=" +
                            std::to_string(got));
          DeletePcfMessage(response);
          ++read;
        }
        continue;
      }
      if (f == nullptr) {
        diffs.push_back(where + ": not a keyword of IBM's command");
        continue;
      }
      if (f->parameter >= 0 && f->parameter != id) {
        diffs.push_back(where + ": parameter " + std::to_string(id) + ", IBM " + std::to_string(f->parameter));
        continue;
      }
      std::vector<std::pair<std::string, std::string>> cases;  // response text, expected value
      if (e->lType == MQSC_TYPE_FLAG) {
        cases.emplace_back(keyword, "0");
      } else if (!f->names.empty() && (f->kind == "name" || keyword == "-")) {
        for (const auto& [n, v] : f->names)
          if (v != "?" && !n.empty()) cases.emplace_back(keyword == "-" ? n : keyword + "(" + n + ")", v);
      } else if (f->kind == "number") {
        cases.emplace_back(keyword + "(" + std::to_string(kInt) + ")", std::to_string(kInt));
        for (const auto& [n, v] : f->names) cases.emplace_back(keyword + "(" + n + ")", v);  // EXPIRY(UNLIMITED)
      } else if (f->kind == "list") {
        cases.emplace_back(keyword + "(A,B)", "list");
      } else if (f->kind == "intlist") {
        std::string items, expected;
        for (const auto& [n, v] : f->names) {
          if (v == "?" || n.empty()) continue;
          items += (items.empty() ? "" : ",") + n;
          expected += (expected.empty() ? "" : ",") + v;
        }
        if (f->names.empty()) items = expected = "7,8";
        cases.emplace_back(keyword + "(" + items + ")", "ints:" + expected);
      } else {
        cases.emplace_back(keyword + "(V1)", "V1");
      }
      for (const auto& [text, expected] : cases) {
        mqsctest::Result back;
        PcfMessage* response = mqsctest::ToPcf(static_cast<int>(cmd->lId), "CSQM201I " + text, &back);
        if (back.status != 0) {
          diffs.push_back(where + ": " + text + " not read, reason " + std::to_string(back.reason));
        } else if (expected.starts_with("ints:")) {
          MESSAGE a{};
          std::string got;
          if (GetAttrByID(id, &a, response)) {
            int v = 0;
            for (int i = 0; i < 64 && GetPcfIntListAttrValue(&a, i, &v); ++i) got += (i ? "," : "") + std::to_string(v);
          }
          DeleteMessage(&a);
          if ("ints:" + got != expected) diffs.push_back(where + ": " + text + " read as " + got + ", IBM " + expected);
        } else if (expected == "list") {
          MESSAGE a{};
          char second[16] = "";
          if (!GetAttrByID(id, &a, response) || !GetPcfStrListAttrValue(&a, 1, second, sizeof second - 1) ||
              std::string(second) != "B")
            diffs.push_back(where + ": " + text + " not a list of two");
          DeleteMessage(&a);
        } else if (f->kind == "string" || (f->kind != "name" && f->kind != "number" && keyword != "-" &&
                                           e->lType == MQSC_TYPE_STR)) {
          if (mqsctest::StrParam(response, id) != expected) diffs.push_back(where + ": " + text + " read wrong");
        } else {
          int v = 0;
          if (!mqsctest::IntParam(response, id, &v) || std::to_string(v) != expected)
            diffs.push_back(where + ": " + text + " read as " + std::to_string(v) + ", IBM " + expected);
        }
        DeletePcfMessage(response);
        ++read;
      }
      // A number where IBM names the value is not taken for one.
      if (f->kind == "name" && keyword != "-" && !f->names.empty() && f->Value(std::to_string(kInt)) == nullptr) {
        mqsctest::Result back;
        PcfMessage* response =
            mqsctest::ToPcf(static_cast<int>(cmd->lId), "CSQM201I " + keyword + "(" + std::to_string(kInt) + ")", &back);
        if (back.status == 0) diffs.push_back(where + ": a number was read where IBM requires a name");
        DeletePcfMessage(response);
      }
    }
  }
  for (const auto& d : diffs) ADD_FAILURE() << d;
  EXPECT_EQ(diffs.size(), 0u);
  EXPECT_GT(read, 1500);
}

}  // namespace

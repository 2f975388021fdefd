// The MQSC tables: shape of the command and rule tables, every parameter identifier and
// value constant against IBM's published values, value names both ways, the message-id
// table, and the value-keeping routines.
#include <cmqc.h>
#include <cmqcfc.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "vrqapi.h"
#include "vrqtest.h"

namespace {

using Row = std::vector<std::string>;

std::vector<Row> Tsv(const std::string& name) {
  std::istringstream in(vrqtest::DataFile(name));
  std::vector<Row> rows;
  std::string line;
  bool header = true;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (header && name.find("ibm_constants") == std::string::npos) {
      header = false;
      continue;
    }
    Row row;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, '\t')) row.push_back(cell);
    if (line.back() == '\t') row.push_back("");
    rows.push_back(row);
  }
  return rows;
}

const std::string kTables = "../../common/config/mqsc/";

std::map<std::string, long> IbmConstants() {
  std::map<std::string, long> m;
  for (const Row& r : Tsv("api/mqsc/ibm_constants.tsv")) m[r[0]] = std::stol(r[1]);
  return m;
}

MQSCKEY* Symbol(const std::string& name) { return static_cast<MQSCKEY*>(dlsym(RTLD_DEFAULT, name.c_str())); }

TEST(MqscTables, CommandTableHasEscapeFirstAndOneRuleTablePerCommand) {
  MQSCKEY** table = GetCmdTbl();
  ASSERT_EQ(table, MqCmdTbl);
  EXPECT_EQ(table[0]->lType, MQSC_TYPE_STR);
  EXPECT_EQ(table[0]->lId, 38);
  EXPECT_STREQ(table[0]->pszKeyword, "MQSC_RESPONSE");
  EXPECT_STREQ(table[1]->pszKeyword, "ALTER QMGR");
  EXPECT_STREQ(table[4]->pszKeyword, "DISPLAY QUEUE");
  EXPECT_EQ(table[4]->lId, MQCMD_INQUIRE_Q_NAMES);

  auto ibm = IbmConstants();
  std::set<long> ibmCommands;
  for (const auto& [name, value] : ibm)
    if (name.starts_with("MQCMD_")) ibmCommands.insert(value);

  int commands = 0, rows = 0;
  for (MQSCKEY** e = table + 1; *e != nullptr; ++e, ++commands) {
    SCOPED_TRACE((*e)->pszKeyword);
    EXPECT_EQ((*e)->lType, MQSC_TYPE_COMMAND);
    if ((*e)->lId < 10000) {
      EXPECT_TRUE(ibmCommands.count((*e)->lId)) << (*e)->lId;
    }
    MQSCRULE* rule = (*e)->pRule;
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule[0].pEntry, *e);
    int n = 0;
    for (; rule[n].lKind != MQSC_RULE_END; ++n) {
      ASSERT_LT(n, 400);
      MQSCKEY* entry = rule[n].pEntry;
      ASSERT_NE(entry, nullptr);
      EXPECT_GE(entry->lType, 0);
      EXPECT_LE(entry->lType, 7);
      // Kind 3: a keyword read from responses only.
      EXPECT_TRUE(rule[n].lKind == MQSC_RULE_OPTIONAL || rule[n].lKind == MQSC_RULE_REQUIRED || rule[n].lKind == 3);
      EXPECT_TRUE(rule[n].lJoiner == ' ' || rule[n].lJoiner == '*');
      if (entry->lType == MQSC_TYPE_ENUM || entry->lType == MQSC_TYPE_ENUMLIST) {
        EXPECT_NE(entry->ppValues, nullptr);
      }
      if (n > 0) {
        EXPECT_NE(entry->lType, MQSC_TYPE_COMMAND);
      }
    }
    rows += n + 1;
  }
  EXPECT_EQ(commands, 105);
  EXPECT_GT(rows, 1500);
}

TEST(MqscTables, EveryIdentifierAndConstantIsIbmsPublishedValue) {
  auto ibm = IbmConstants();
  for (const Row& k : Tsv(kTables + "keywords.tsv")) {
    SCOPED_TRACE(k[0]);
    long id = std::stol(k[3]);
    if (id < 20000) {
      ASSERT_TRUE(ibm.count(k[2])) << k[2];
      EXPECT_EQ(ibm[k[2]], id);
    }
    MQSCKEY* e = Symbol(k[0]);
    ASSERT_NE(e, nullptr) << "not exported";
    EXPECT_EQ(e->lId, id);
    EXPECT_EQ(e->lType, std::stoi(k[1]));
    EXPECT_STREQ(e->pszKeyword, k[4].c_str());
  }
  for (const Row& v : Tsv(kTables + "values.tsv")) {
    SCOPED_TRACE(v[1]);
    long value = std::stol(v[3]);
    if (v[4] != "-") {
      ASSERT_TRUE(ibm.count(v[4])) << v[4];
      EXPECT_EQ(ibm[v[4]], value);
    }
    MQSCKEY* e = Symbol(v[1]);
    ASSERT_NE(e, nullptr) << "not exported";
    EXPECT_EQ(e->lId, value);
    auto** table = static_cast<MQSCKEY**>(dlsym(RTLD_DEFAULT, v[0].c_str()));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(tblSearch(table, 2, v[2].c_str()), e);
  }
  EXPECT_EQ(Symbol("MqpMqqtLocal")->lId, MQQT_LOCAL);
  EXPECT_STREQ(Symbol("MqaQMgrName")->pszKeyword, "QMNAME");
  EXPECT_NE(dlsym(RTLD_DEFAULT, "rMqcmdInquireQ"), nullptr);
  EXPECT_NE(dlsym(RTLD_DEFAULT, "MqtQType"), nullptr);
}

TEST(MqscTables, EveryValueNameRoundTripsThroughItsTable) {
  int values = 0;
  for (MQSCKEY** c = GetCmdTbl() + 1; *c != nullptr; ++c) {
    for (MQSCRULE* r = (*c)->pRule; r->lKind != MQSC_RULE_END; ++r) {
      MQSCKEY** table = r->pEntry->ppValues;
      if (table == nullptr) continue;
      for (MQSCKEY** v = table; *v != nullptr; ++v, ++values) {
        MQSCKEY* byName = tblSearch(table, 2, (*v)->pszKeyword);
        ASSERT_NE(byName, nullptr);
        EXPECT_EQ(byName->lId, (*v)->lId) << (*v)->pszKeyword;
        int32_t id = static_cast<int32_t>((*v)->lId);
        ASSERT_NE(tblSearch(table, 1, &id), nullptr);
        if (r->pEntry->pszKeyword[0] == '\0') {
          EXPECT_NE(cmdSearch((*c)->pRule, 2, (*v)->pszKeyword), nullptr);
        }
      }
    }
  }
  EXPECT_GT(values, 500);
}

TEST(MqscTables, MessageIdsGiveTheirCompletionAndReason) {
  MQSCKEY command{};
  command.lType = MQSC_TYPE_COMMAND;
  auto check = [&](const char* id, MQLONG cc, MQLONG rc) {
    char text[16];
    std::strcpy(text, id);
    command.value.psz = text;
    MQLONG c = -1, r = -1;
    EXPECT_EQ(MqscRcToPcf(&command, &c, &r), 1);
    EXPECT_EQ(c, cc) << id;
    EXPECT_EQ(r, rc) << id;
  };
  check("CSQM094I", 2, 2085);
  check("CSQM999I", 2, 2085);
  check("CSQM090E", 2, 3008);
  check("CSQX533I", 2, 4064);
  check("CSQ9022I", 0, 0);
  check("CSQM201I", 0, 0);
  check("CSQM777I", 0, 0);
  check("AMQ8409I", 0, 0);
  check("XYZ", 0, 0);
  EXPECT_EQ(GetTable("AMQ8409I"), nullptr);
  EXPECT_EQ(GetTable("CSQM201I"), CSQRc);
  int ids = 0;
  while (CSQRc[ids].pszMsgId != nullptr) ++ids;
  EXPECT_EQ(ids, 71);
}

TEST(MqscTables, ValuesAreKeptByTypeAndHandedOutOnce) {
  MQSCKEY str{MQSC_TYPE_STR, 2013, "DESCR", nullptr, 0, nullptr, {nullptr}, -1, 510};
  char out[32];
  EXPECT_EQ(tblGetValue(&str, out), 1);
  EXPECT_STREQ(out, "''");
  EXPECT_EQ(tblSetValue(&str, "first", 5), 1);
  EXPECT_EQ(tblSetValue(&str, "second value", 6), 1);  // the old copy is released
  EXPECT_EQ(tblGetValue(&str, out), 1);
  EXPECT_STREQ(out, "second");
  EXPECT_EQ(tblGetValue(&str, out), 1);
  EXPECT_STREQ(out, "''");

  MQSCKEY list{MQSC_TYPE_STRLIST, 2020, "NAMES", nullptr, 0, nullptr, {nullptr}, -1, 510};
  EXPECT_EQ(tblSetValue(&list, "A,B", 100), 1);
  EXPECT_EQ(tblGetValue(&list, out), 1);
  EXPECT_STREQ(out, "A,B");

  MQSCKEY num{MQSC_TYPE_INT, 15, "MAXDEPTH", nullptr, 0, nullptr, {nullptr}, -1, 510};
  int32_t five = 5, got = 0;
  EXPECT_EQ(tblSetValue(&num, &five, 0), 1);
  EXPECT_EQ(tblGetValue(&num, &got), 1);
  EXPECT_EQ(got, 5);

  MQSCKEY* local = Symbol("MqpMqqtLocal");
  MQSCKEY* type = Symbol("MqaQType");
  MQSCKEY chosen{};
  EXPECT_EQ(tblSetValue(type, local, 0), 1);
  EXPECT_EQ(tblGetValue(type, &chosen), 1);
  EXPECT_EQ(chosen.lId, MQQT_LOCAL);
  type->value.pKey = nullptr;

  MQSCKEY bad{9, 0, "", nullptr, 0, nullptr, {nullptr}, -1, 510};
  EXPECT_EQ(tblSetValue(&bad, "x", 1), 0);
  EXPECT_EQ(tblGetValue(&bad, out), 0);
}

TEST(MqscTables, SearchesFindFirstMatchOrNothing) {
  int32_t code = MQCMD_INQUIRE_Q;
  MQSCKEY* cmd = tblSearch(GetCmdTbl(), 1, &code);
  ASSERT_NE(cmd, nullptr);
  EXPECT_STREQ(cmd->pszKeyword, "DISPLAY QUEUE");
  EXPECT_EQ(tblSearch(GetCmdTbl(), 2, "DISPLAY QUEUE")->lId, MQCMD_INQUIRE_Q_NAMES);
  int32_t none = 4242;
  EXPECT_EQ(tblSearch(GetCmdTbl(), 1, &none), nullptr);
  EXPECT_EQ(tblSearch(GetCmdTbl(), 3, "x"), nullptr);
  EXPECT_EQ(tblSearch(nullptr, 1, &code), nullptr);

  int32_t depth = MQIA_CURRENT_Q_DEPTH;
  EXPECT_STREQ(cmdSearch(cmd->pRule, 1, &depth)->pszKeyword, "CURDEPTH");
  EXPECT_EQ(cmdSearch(cmd->pRule, 2, "CURDEPTH")->lId, MQIA_CURRENT_Q_DEPTH);
  EXPECT_EQ(cmdSearch(cmd->pRule, 2, "SHARE")->lId, MQIA_SHAREABILITY);  // found by its value name
  EXPECT_EQ(cmdSearch(cmd->pRule, 2, "NOSUCH"), nullptr);
}

// The number of an IBM name written NAME(value).
long ValueOf(const std::string& named) { return std::stol(named.substr(named.find('(') + 1)); }

// Every keyword and value name the tables share with IBM's MS03 SupportPac (saveqmgr, which
// writes MQSC definitions from PCF inquiries) must stand for the same PCF parameter and
// constant there. The SupportPac is a source the tables' generator never reads, so a wrong
// parameter in the correspondence it reads fails here even when both MQSC tests agree.
TEST(MqscTables, KeywordsAndValueNamesAgreeWithIbmsSaveqmgr) {
  int confirmed = 0, notCarried = 0;
  for (const Row& f : Tsv("api/mqsc/ibm_ms03_facts.tsv")) {
    const std::string& keyword = f[1];
    long param = ValueOf(f[2]);
    std::vector<std::pair<std::string, long>> values;
    std::istringstream list(f[3]);
    for (std::string v; std::getline(list, v, ';');) values.emplace_back(v.substr(0, v.find('=')), ValueOf(v));
    std::istringstream commands(f[0]);
    for (std::string command; std::getline(commands, command, ',');) {
      SCOPED_TRACE(command + " " + (keyword.empty() ? values.at(0).first : keyword));
      std::vector<MQSCKEY*> entries;
      for (MQSCKEY** c = GetCmdTbl() + 1; *c != nullptr; ++c) {
        if ((*c)->lId != ValueOf(command)) continue;
        for (MQSCRULE* r = (*c)->pRule + 1; r->lKind != MQSC_RULE_END; ++r) {
          MQSCKEY* e = r->pEntry;
          bool same = keyword.empty() ? e->pszKeyword[0] == '\0' && e->ppValues != nullptr &&
                                            tblSearch(e->ppValues, 2, values.at(0).first.c_str()) != nullptr
                                      : keyword == e->pszKeyword;
          if (same) entries.push_back(e);
        }
      }
      if (entries.empty()) {
        ++notCarried;
        continue;
      }
      for (MQSCKEY* e : entries) {
        EXPECT_EQ(e->lId, param) << "the SupportPac reads " << f[2];
        confirmed += e->lId == param;
        if (e->ppValues == nullptr) continue;
        for (const auto& [name, value] : values) {
          MQSCKEY* v = tblSearch(e->ppValues, 2, name.c_str());
          if (v == nullptr) continue;
          EXPECT_EQ(v->lId, value) << name;
          confirmed += v->lId == value;
        }
      }
    }
  }
  std::printf("%d keyword and value facts of IBM's SupportPac confirmed, %d keywords not in the tables\n",
              confirmed, notCarried);
  EXPECT_GT(confirmed, 400);
}

}  // namespace

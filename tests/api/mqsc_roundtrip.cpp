// Every row of every rule table both ways: a PCF command carrying the row's parameter
// gives MQSC text with its keyword and value, and a CSQM201I response carrying that
// keyword and value gives back the same PCF parameter and value.
#include <gtest/gtest.h>

#include <string>

#include "mqsc_pcf_support.h"

namespace {

using mqsctest::Pcf;

constexpr int kInt = 7;
constexpr int kUnusedListParameter = 9990;

// Commands whose responses are read line by line without keyword(value) pairs.
bool IsFreeForm(int64_t command) { return command == 10632 || command == 10633 || command == 10901; }

bool IsIntType(int32_t t) { return t == MQSC_TYPE_INT || t == MQSC_TYPE_ENUM || t == MQSC_TYPE_FLAG; }

// Adds the value a test gives an entry to a PCF command.
void AddValue(Pcf& pcf, const MQSCKEY* e, const char* text) {
  int id = static_cast<int>(e->lId);
  switch (e->lType) {
    case MQSC_TYPE_FLAG: pcf.Int(id, 0); break;
    case MQSC_TYPE_INT: pcf.Int(id, kInt); break;
    case MQSC_TYPE_ENUM: pcf.Int(id, static_cast<int>(e->ppValues[0]->lId)); break;
    case MQSC_TYPE_STR: pcf.Str(id, text); break;
    case MQSC_TYPE_STRLIST: pcf.StrList(id, {text}, 8); break;
    case MQSC_TYPE_ENUMLIST: pcf.IntList(id, {static_cast<int>(e->ppValues[0]->lId)}); break;
    case MQSC_TYPE_INTLIST: pcf.IntList(id, {kInt}); break;
  }
}

std::string ValueText(const MQSCKEY* e) {
  switch (e->lType) {
    case MQSC_TYPE_INT:
    case MQSC_TYPE_INTLIST: return std::to_string(kInt);
    case MQSC_TYPE_ENUM:
    case MQSC_TYPE_ENUMLIST: return e->ppValues[0]->pszKeyword;
    default: return "V1";
  }
}

// The command with every required row filled, plus the row under test.
void AddRequired(Pcf& pcf, MQSCRULE* rule, const MQSCRULE* skip) {
  for (MQSCRULE* r = rule + 1; r->lKind != MQSC_RULE_END; ++r) {
    if (r->lKind == MQSC_RULE_REQUIRED && r != skip) AddValue(pcf, r->pEntry, "REQ");
  }
}

TEST(MqscRoundTrip, EveryRuleRowToTextAndBack) {
  int toText = 0, toPcf = 0;
  for (MQSCKEY** c = GetCmdTbl() + 1; *c != nullptr; ++c) {
    MQSCKEY* cmd = *c;
    int32_t code = static_cast<int32_t>(cmd->lId);
    if (tblSearch(GetCmdTbl(), 1, &code) != cmd) continue;  // a second entry of a shared code
    for (MQSCRULE* row = cmd->pRule + 1; row->lKind != MQSC_RULE_END; ++row) {
      MQSCKEY* e = row->pEntry;
      int32_t id = static_cast<int32_t>(e->lId);
      SCOPED_TRACE(std::string(cmd->pszKeyword) + " " + std::to_string(cmd->lId) + " row " + e->pszKeyword + " " +
                   std::to_string(e->lId));
      if (cmdSearch(cmd->pRule, 1, &id) != e) continue;  // shadowed by an earlier row

      // PCF command to text.
      Pcf pcf(static_cast<int>(cmd->lId));
      AddRequired(pcf, cmd->pRule, row);
      if (row->lWithValue == 1) {
        AddValue(pcf, e, "V1");
      } else {
        pcf.IntList(kUnusedListParameter, {id});
      }
      auto r = mqsctest::ToMqsc(pcf);
      ASSERT_EQ(r.reason, 0) << r.text;
      std::string keyword = e->pszKeyword[0] != '\0' || e->ppValues == nullptr ? e->pszKeyword : e->ppValues[0]->pszKeyword;
      if (row->lWithKeyword == 1) {
        EXPECT_NE(r.text.find(keyword), std::string::npos) << r.text;
      }
      if (row->lWithValue == 1 && e->lType != MQSC_TYPE_FLAG) {
        EXPECT_NE(r.text.find(ValueText(e)), std::string::npos) << r.text;
      }
      ++toText;

      // Response text back to PCF.
      if (e->pszKeyword[0] == '\0') {
        keyword = e->ppValues[0]->pszKeyword;
      } else if (e->lType != MQSC_TYPE_FLAG) {
        keyword += "(" + ValueText(e) + ")";
      }
      if (cmdSearch(cmd->pRule, 2, keyword.substr(0, keyword.find('(')).c_str()) != e) continue;
      if (IsFreeForm(cmd->lId)) continue;  // answered by lines without keywords
      mqsctest::Result back;
      PcfMessage* response = mqsctest::ToPcf(static_cast<int>(cmd->lId), "CSQM201I " + keyword, &back);
      ASSERT_EQ(back.status, 0) << keyword;
      if (IsIntType(e->lType)) {
        int v = -1;
        EXPECT_TRUE(mqsctest::IntParam(response, id, &v)) << keyword;
        int expected = e->lType == MQSC_TYPE_INT ? kInt : e->lType == MQSC_TYPE_FLAG ? 0 : static_cast<int>(e->ppValues[0]->lId);
        EXPECT_EQ(v, expected) << keyword;
      } else if (e->lType == MQSC_TYPE_STR) {
        EXPECT_EQ(mqsctest::StrParam(response, id), "V1") << keyword;
      } else {
        MESSAGE a{};
        char item[64] = "";
        EXPECT_TRUE(GetAttrByID(id, &a, response));
        GetPcfStrListAttrValue(&a, 0, item, sizeof item - 1);
        EXPECT_EQ(std::string(item), ValueText(e)) << keyword;
        DeleteMessage(&a);
      }
      DeletePcfMessage(response);
      ++toPcf;
    }
  }
  EXPECT_GT(toText, 1300);
  EXPECT_GT(toPcf, 1300);
}

}  // namespace

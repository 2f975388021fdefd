// The three matchers and their differing wildcard rules; the expression match is also
// compared with a plain backtracking reference and timed on patterns that would take a
// backtracking search practically forever.
#include <gtest/gtest.h>
#include <vrqapi.h>

#include <random>
#include <string>

namespace {

TEST(SimpleMask, StarIsFirstFitWithoutBacktracking) {
  EXPECT_EQ(IsMaskMatch("*", ""), 1);
  EXPECT_EQ(IsMaskMatch("", "ABC"), 0);
  EXPECT_EQ(IsMaskMatch("", ""), 0);
  EXPECT_EQ(IsMaskMatch("ABC", "ABC"), 1);
  EXPECT_EQ(IsMaskMatch("ABC", "ABC   "), 1);
  EXPECT_EQ(IsMaskMatch("ABC", "ABC DEF"), 1);
  EXPECT_EQ(IsMaskMatch("ABC", "ABCD"), 0);
  EXPECT_EQ(IsMaskMatch("ABC", "AB"), 0);
  EXPECT_EQ(IsMaskMatch("AB*", "AB"), 1);
  EXPECT_EQ(IsMaskMatch("AB*", "ABXYZ"), 1);
  EXPECT_EQ(IsMaskMatch("A*C", "ABC"), 1);
  EXPECT_EQ(IsMaskMatch("A*C", "ACBC"), 0);
  EXPECT_EQ(IsMaskMatch("A*C", "ABCD"), 0);
  EXPECT_EQ(IsMaskMatch("A?C", "ABC"), 0);  // "?" is an ordinary character here
  EXPECT_EQ(IsMaskMatch("A*", "A*"), 1);    // a literal "*" in the name
  EXPECT_EQ(IsMaskMatch("abc", "ABC"), 0);
  EXPECT_EQ(IsMaskMatchIgnoreCase("abc", "ABC"), 1);
  EXPECT_EQ(IsMaskMatchIgnoreCase("q*.x", "QM.X"), 1);
  EXPECT_EQ(IsMaskMatch(nullptr, "A"), 0);
}

TEST(ExpressionMatch, WildcardsClassesAndBlanks) {
  EXPECT_EQ(IsRegExpMatch("Q?.*", "Q1.X", 0), 1);
  EXPECT_EQ(IsRegExpMatch("[A-C]X", "BX", 0), 1);
  EXPECT_EQ(IsRegExpMatch("[A-C]X", "DX", 0), 0);
  EXPECT_EQ(IsRegExpMatch("a*b", "aXXb", 0), 1);
  EXPECT_EQ(IsRegExpMatch("a*b", "aXbXb", 0), 1);  // backtracks past the first "b"
  EXPECT_EQ(IsRegExpMatch("a*b", "aXbX", 0), 0);
  EXPECT_EQ(IsRegExpMatch("A*", "", 0), 0);
  EXPECT_EQ(IsRegExpMatch("*", "", 0), 1);
  EXPECT_EQ(IsRegExpMatch(" ", "", 0), 1);
  EXPECT_EQ(IsRegExpMatch("", " x", 0), 1);
  EXPECT_EQ(IsRegExpMatch("", "x", 0), 0);
  EXPECT_EQ(IsRegExpMatch("AB**", "AB", 0), 1);
  EXPECT_EQ(IsRegExpMatch("[a-c]", "B", 1), 1);
  EXPECT_EQ(IsRegExpMatch("[a-c]", "B", 0), 0);
  EXPECT_EQ(IsRegExpMatch("[xyz]1", "Y1", 1), 1);
  EXPECT_EQ(IsRegExpMatch("[^ab]c", "bc", 0), 0);
  EXPECT_EQ(IsRegExpMatch("[^ab]c", "xc", 0), 1);
  EXPECT_EQ(IsRegExpMatch("[^ab][ab]", "xa", 0), 1);  // the negation stays in its class
  EXPECT_EQ(IsRegExpMatch("[", "a", 0), 0);
  EXPECT_EQ(IsRegExpMatch("[a-]", "a", 0), 0);
  EXPECT_EQ(IsRegExpMatch("[a-", "a", 0), 0);
  EXPECT_EQ(IsRegExpMatch("[ab", "a", 0), 0);
  EXPECT_EQ(IsRegExpMatch("ABC", "ABC ", 0), 0);
}

// The rules read as a plain recursive search, used as the reference.
bool Reference(const char* p, const char* n, bool fold) {
  auto up = [fold](char c) { return fold && c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  if (*n == '\0') {
    while (*p == '*') ++p;
    return *p == '\0';
  }
  if (*p == '\0') return false;
  if (*p == '?') return Reference(p + 1, n + 1, fold);
  if (*p == '*') {
    if (p[1] == '\0') return true;
    for (const char* s = n; *s != '\0'; ++s)
      if (Reference(p + 1, s, fold)) return true;
    return Reference(p + 1, n + std::char_traits<char>::length(n), fold);
  }
  if (*p == '[') {
    const char* q = p + 1;
    if (*q == '\0') return false;
    bool neg = false, member = false;
    for (; *q != '\0' && *q != ']'; ++q) {
      if (*q == '^') { neg = true; continue; }
      if (q[1] == '-') {
        if (q[2] == '\0' || q[2] == ']') return false;
        member = member || (up(*n) >= up(*q) && up(*n) <= up(q[2]));
        q += 2;
        continue;
      }
      member = member || up(*q) == up(*n);
    }
    if (*q == '\0' || member == neg) return false;
    return Reference(q + 1, n + 1, fold);
  }
  return up(*p) == up(*n) && Reference(p + 1, n + 1, fold);
}

TEST(ExpressionMatch, AgreesWithTheBacktrackingReference) {
  std::mt19937 rng(20261207);
  const std::string patternChars = "ab*?*[]-^A";
  const std::string nameChars = "abAB-";
  auto draw = [&](const std::string& from, int max) {
    std::string s(rng() % (max + 1), ' ');
    for (char& c : s) c = from[rng() % from.size()];
    return s;
  };
  for (int i = 0; i < 50000; ++i) {
    std::string p = draw(patternChars, 9);
    std::string n = draw(nameChars, 8);
    if (p == "*" || n.empty() || p.empty()) continue;  // the top-level shortcuts
    bool fold = (i & 1) != 0;
    ASSERT_EQ(IsRegExpMatch(p.c_str(), n.c_str(), fold), Reference(p.c_str(), n.c_str(), fold) ? 1 : 0)
        << "pattern '" << p << "' name '" << n << "' fold " << fold;
  }
}

TEST(ExpressionMatch, PathologicalPatternsAnswerInBoundedWork) {
  // A plain backtracking search needs about C(20000, 40) steps for this pair.
  std::string pattern;
  for (int i = 0; i < 40; ++i) pattern += "*a";
  std::string name(20000, 'a');
  EXPECT_EQ(IsRegExpMatch((pattern + "b").c_str(), name.c_str(), 0), 0);
  EXPECT_EQ(IsRegExpMatch((pattern + "*").c_str(), name.c_str(), 0), 1);
  EXPECT_EQ(IsRegExpMatch((pattern + "[b-c]").c_str(), (name + "c").c_str(), 0), 1);
}

TEST(PermitMask, OnlyPermissionEntriesMatchElementByElement) {
  EXPECT_EQ(IsPermitMaskMatch("*", "anything at all"), 1);
  EXPECT_EQ(IsPermitMaskMatch("Other:QM1", "Other:QM1"), 0);
  EXPECT_EQ(IsPermitMaskMatch("UserAuthority:QM1:Q*", "UserAuthority:QM1:QA:extra"), 1);
  EXPECT_EQ(IsPermitMaskMatch("UserAuthority:QM1:Q*", "UserAuthority:QM2:QA"), 0);
  EXPECT_EQ(IsPermitMaskMatch("Audit QM? Q*", "Audit QM1 QB"), 1);
  EXPECT_EQ(IsPermitMaskMatch("Audit:QM1:Q1:more", "Audit:QM1:Q1"), 0);  // more elements
  EXPECT_EQ(IsPermitMaskMatch("Audit:QM1:*", "Audit:QM1:$SYSTEM$"), 0);
  EXPECT_EQ(IsPermitMaskMatch("Audit:QM1:$SYSTEM$", "Audit:QM1:$SYSTEM$"), 1);
  EXPECT_EQ(IsPermitMaskMatch("Audit:QM1", "Audit:QM1:$SYSTEM$"), 1);  // surplus key elements
  EXPECT_EQ(IsPermitMaskMatch("Audit:QM1 # a comment", "Audit:QM1"), 1);
  EXPECT_EQ(CompareMaskToKey("Audit:QM1", "Audit:QM1"), 1);
  int result = -1;
  EXPECT_EQ(CompareMaskTokensWithKeyTokens("#Audit", "#Audit", &result), 0);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(CompareMaskTokensWithKeyTokens("", "x", &result), 0);
  EXPECT_EQ(CompareMaskTokensWithKeyTokens("a::b", "a:b", &result), 1);  // empty elements drop
  EXPECT_EQ(result, 1);
}

TEST(PermitMask, TailsAfterTheLastBackslashDecideWhenTheMaskHasOne) {
  EXPECT_EQ(IsPermitMaskMatch("UserAuthority:QM1\\user*", "UserAuthority:QM1\\userA"), 1);
  EXPECT_EQ(IsPermitMaskMatch("UserAuthority:QM1\\user*", "UserAuthority:QM1\\admin"), 0);
  EXPECT_EQ(IsPermitMaskMatch("UserAuthority:QM1", "UserAuthority:QM1\\admin"), 1);
  EXPECT_EQ(IsPermitMaskMatch("UserAuthority:QM2\\admin", "UserAuthority:QM1\\admin"), 0);
}

TEST(PermitMask, OverlongTextsAreRefused) {
  std::string key = "UserAuthority:QM1:" + std::string(2100, 'k');
  EXPECT_EQ(IsPermitMaskMatch("UserAuthority:QM1:*", key.c_str()), 0);
  std::string mask = "UserAuthority:QM1:" + std::string(2100, 'k');
  EXPECT_EQ(IsPermitMaskMatch(mask.c_str(), "UserAuthority:QM1:k"), 0);
  EXPECT_EQ(IsPermitMaskMatch("*", key.c_str()), 1);
  std::string element(500, 'e');  // long elements are compared whole, never cut
  EXPECT_EQ(IsPermitMaskMatch(("Audit:" + element).c_str(), ("Audit:" + element).c_str()), 1);
  EXPECT_EQ(IsPermitMaskMatch(("Audit:" + element).c_str(), ("Audit:" + element + "x").c_str()), 0);
}

TEST(PatternMatch, StarTakesACharacterThenLooksForTheRun) {
  EXPECT_EQ(strPatternMatch("A*B", "AxB"), 1);
  EXPECT_EQ(strPatternMatch("A*B", "AxBy"), 1);
  EXPECT_EQ(strPatternMatch("A*B", "AB"), 0);
  EXPECT_EQ(strPatternMatch("A?", "AB"), 1);
  EXPECT_EQ(strPatternMatch("AB*", "AB"), 0);
  EXPECT_EQ(strPatternMatch("AB*", "ABC"), 1);
  EXPECT_EQ(strPatternMatch("*", ""), 1);
  EXPECT_EQ(strPatternMatch("Q", "*"), 1);
  EXPECT_EQ(strPatternMatch("A*B*C", "AxBBzC"), 1);
  EXPECT_EQ(strPatternMatch("A*B*C", "AxCB"), 0);
  EXPECT_EQ(strPatternMatch("A*=", "Ax=1"), 0);  // the run is looked for before "="
  EXPECT_EQ(strPatternMatch("A*?", "AB"), 0);
  EXPECT_EQ(strPatternMatch("A*?", "ABC"), 1);
  EXPECT_EQ(strPatternMatch("A*B?", "AxBy"), 1);
  EXPECT_EQ(strPatternMatch("A**B", "AxB"), 1);  // a run of stars acts as one
  EXPECT_EQ(strPatternMatch("AB", "ABC"), 0);
}

TEST(PatternMatch, ExportedSteps) {
  const char* pattern = "*BC*D";
  const char* element = "xBCyBCz";
  char work[80];
  ASSERT_EQ(strLastSubMask(&pattern, &element, work), 1);
  EXPECT_STREQ(work, "BC");
  EXPECT_STREQ(pattern, "*D");
  EXPECT_STREQ(element, "z");
  const char* missing = "*Q";
  const char* at = "abc";
  EXPECT_EQ(strLastSubMask(&missing, &at, work), 0);
  EXPECT_STREQ(at, "abc");

  const char* text = "name:value";
  EXPECT_EQ(strPushPastDelim(&text, ":="), 1);
  EXPECT_STREQ(text, ":value");
  const char* none = "plain";
  EXPECT_EQ(strPushPastDelim(&none, ":="), 0);
  EXPECT_STREQ(none, "plain");
}

}  // namespace

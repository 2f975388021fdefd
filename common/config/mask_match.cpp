// The three matchers: the simple first-fit mask of the ini lookups, the backtracking
// expression match of the permission lookups, and the element-wise permit mask with its
// exported steps. None allocates; all answer in time bounded by the lengths of their
// inputs.
#include <vrqapi.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

using std::string_view;

constexpr std::size_t kPermitTextLimit = 2057;
constexpr std::size_t kRunArea = 80;
constexpr string_view kDelimiters = ":\\ ";
constexpr string_view kValueEnd = ":\\=";
constexpr string_view kRunEnd = "*?:\\";
constexpr string_view kSystem = "$SYSTEM$";
constexpr string_view kPermitHeads[] = {"UserAuthority", "Audit"};

constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr bool Same(char a, char b, bool fold) { return fold ? Upper(a) == Upper(b) : a == b; }

// ---- simple mask ----

int SimpleMask(const char* mask, const char* name, bool fold) {
  if (mask == nullptr || name == nullptr) return 0;
  if (std::strcmp(mask, "*") == 0) return 1;
  const char* m = mask;
  const char* n = name;
  while (*n != '\0' && *m != '\0') {
    if (Same(*m, *n, fold)) {
      ++m;
      ++n;
      if (*m == '\0' && (*n == '\0' || *n == ' ')) return 1;
      if (*n == '\0' && std::strcmp(m, "*") == 0) return 1;
      continue;
    }
    if (*m != '*') return 0;
    if (m[1] == '\0') return 1;
    // "*" absorbs name characters up to the first one equal to the mask character after it.
    if (Same(m[1], *n, fold))
      ++m;
    else
      ++n;
  }
  return 0;
}

// ---- expression match ----

// The class that opens at pattern[at] ("["), tested against c. Gives the index past the
// closing "]" when c is accepted, or 0 when it is not (or the class is malformed).
std::size_t MatchClass(string_view pattern, std::size_t at, char c, bool fold) {
  std::size_t i = at + 1;
  if (i >= pattern.size()) return 0;
  bool negated = false;
  bool member = false;
  for (; i < pattern.size() && pattern[i] != ']'; ++i) {
    char lo = pattern[i];
    if (lo == '^') {
      negated = true;
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == '-') {
      if (i + 2 >= pattern.size() || pattern[i + 2] == ']') return 0;
      char hi = pattern[i + 2];
      char x = fold ? Upper(c) : c;
      char a = fold ? Upper(lo) : lo;
      char b = fold ? Upper(hi) : hi;
      member = member || (x >= a && x <= b);
      i += 2;
      continue;
    }
    member = member || Same(lo, c, fold);
  }
  if (i >= pattern.size()) return 0;
  return member != negated ? i + 1 : 0;
}

// Accepts one name character with the atom at pattern[p] ("?", a class or a literal);
// gives the pattern index after the atom, or 0 when the character is not accepted.
std::size_t MatchAtom(string_view pattern, std::size_t p, char c, bool fold) {
  if (pattern[p] == '?') return p + 1;
  if (pattern[p] == '[') return MatchClass(pattern, p, c, fold);
  return Same(pattern[p], c, fold) ? p + 1 : 0;
}

// Every atom takes exactly one character, so returning to the latest "*" and letting it
// take one more character explores every start the full backtracking search would try,
// with at most pattern x name steps.
int ExpressionMatch(string_view pattern, string_view name, bool fold) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starP = string_view::npos;
  std::size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      if (p + 1 == pattern.size()) return 1;
      starP = p++;
      starN = n;
      continue;
    }
    if (p < pattern.size()) {
      if (std::size_t next = MatchAtom(pattern, p, name[n], fold); next != 0) {
        p = next;
        ++n;
        continue;
      }
    }
    if (starP == string_view::npos) return 0;
    p = starP + 1;
    n = ++starN;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size() ? 1 : 0;
}

// ---- permit mask ----

// The next element of text at pos (delimiters skipped); empty at the end.
string_view NextElement(string_view text, std::size_t& pos) {
  std::size_t start = text.find_first_not_of(kDelimiters, pos);
  if (start == string_view::npos) {
    pos = text.size();
    return {};
  }
  std::size_t end = text.find_first_of(kDelimiters, start);
  if (end == string_view::npos) end = text.size();
  pos = end;
  return text.substr(start, end - start);
}

std::size_t CountElements(string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; !NextElement(text, pos).empty();) ++count;
  return count;
}

// After a "*" at pattern[p] (p + 1 < size, pattern[p + 1] a literal), with e the
// element position: finds the last occurrence of the literal run in the element's value
// part, moving e past it and p past the run. False when the run does not occur.
bool LastRun(string_view pattern, std::size_t& p, string_view element, std::size_t& e) {
  std::size_t runEnd = pattern.find_first_of(kRunEnd, p + 1);
  if (runEnd == string_view::npos) runEnd = pattern.size();
  string_view run = pattern.substr(p + 1, runEnd - p - 1);
  string_view rest = element.substr(e);
  rest = rest.substr(0, rest.find_first_of(kValueEnd));
  std::size_t found = rest.rfind(run);
  if (found == string_view::npos) return false;
  e += found + run.size();
  p = runEnd;
  return true;
}

int PatternMatch(string_view pattern, string_view element) {
  if (pattern == "*" || element == "*") return 1;
  std::size_t p = 0;
  std::size_t e = 0;
  while (e < element.size()) {
    if (p == pattern.size()) return 0;
    char c = pattern[p];
    if (c == '?' || (c != '*' && c == element[e])) {
      ++p;
      ++e;
      continue;
    }
    if (c != '*') return 0;
    // A run of stars acts as one.
    while (p + 1 < pattern.size() && pattern[p + 1] == '*') ++p;
    if (p + 1 == pattern.size()) return 1;
    ++e;  // the "*" takes the current character
    if (pattern[p + 1] == '?') {
      ++p;
      continue;
    }
    if (!LastRun(pattern, p, element, e)) return 0;
    if (p == pattern.size()) return 1;
  }
  return p == pattern.size() ? 1 : 0;
}

bool ElementsMatch(string_view mask, string_view key) {
  if (mask.empty() || mask.front() == '#') return false;
  mask = mask.substr(0, mask.find('#'));
  if (CountElements(mask) > CountElements(key)) return false;
  std::size_t mPos = 0;
  std::size_t kPos = 0;
  for (int index = 1;; ++index) {
    string_view m = NextElement(mask, mPos);
    if (m.empty()) return true;
    string_view k = NextElement(key, kPos);
    if (index == 3 && k == kSystem) {
      if (m != kSystem) return false;
    } else if (PatternMatch(m, k) == 0) {
      return false;
    }
  }
}

// Splits at the last backslash: head before it, tail after it (empty without one).
void SplitTail(string_view text, string_view& head, string_view& tail) {
  std::size_t at = text.rfind('\\');
  head = at == string_view::npos ? text : text.substr(0, at);
  tail = at == string_view::npos ? string_view{} : text.substr(at + 1);
}

bool MaskToKey(string_view mask, string_view key) {
  bool permitted = false;
  for (string_view head : kPermitHeads) permitted = permitted || mask.starts_with(head);
  if (!permitted) return false;
  string_view maskHead, maskTail, keyHead, keyTail;
  SplitTail(mask, maskHead, maskTail);
  SplitTail(key, keyHead, keyTail);
  if (!ElementsMatch(maskHead, keyHead)) return false;
  return maskTail.empty() || ElementsMatch(maskTail, keyTail);
}

}  // namespace

extern "C" {

int IsMaskMatch(const char* mask, const char* name) { return SimpleMask(mask, name, false); }

int IsMaskMatchIgnoreCase(const char* mask, const char* name) { return SimpleMask(mask, name, true); }

int IsRegExpMatch(const char* pattern, const char* name, int ignoreCase) {
  if (pattern == nullptr || name == nullptr) return 0;
  string_view p(pattern);
  string_view n(name);
  if (p == "*") return 1;
  if (n.empty() && p.starts_with(' ')) return 1;
  if (p.empty() && n.starts_with(' ')) return 1;
  return ExpressionMatch(p, n, ignoreCase != 0);
}

int IsPermitMaskMatch(const char* mask, const char* key) {
  if (mask == nullptr || key == nullptr) return 0;
  if (std::strcmp(mask, "*") == 0) return 1;
  // Texts longer than the matcher's copies are refused rather than cut, so that a cut
  // never turns a mismatch into a permission.
  if (strnlen(mask, kPermitTextLimit + 1) > kPermitTextLimit ||
      strnlen(key, kPermitTextLimit + 1) > kPermitTextLimit)
    return 0;
  return MaskToKey(mask, key) ? 1 : 0;
}

int CompareMaskToKey(const char* mask, const char* key) {
  if (mask == nullptr || key == nullptr) return 0;
  return MaskToKey(mask, key) ? 1 : 0;
}

int CompareMaskTokensWithKeyTokens(const char* mask, const char* key, int* result) {
  int match = mask != nullptr && key != nullptr && ElementsMatch(mask, key) ? 1 : 0;
  if (result != nullptr) *result = match;
  return match;
}

int strPatternMatch(const char* pattern, const char* element) {
  if (pattern == nullptr || element == nullptr) return 0;
  return PatternMatch(pattern, element);
}

int strLastSubMask(const char** pattern, const char** element, char* work) {
  if (pattern == nullptr || element == nullptr || *pattern == nullptr || *element == nullptr ||
      **pattern != '*')
    return 0;
  string_view p(*pattern);
  string_view e(*element);
  std::size_t runEnd = std::min(p.find_first_of(kRunEnd, 1), p.size());
  if (work != nullptr) {
    std::size_t n = std::min(runEnd - 1, kRunArea - 1);
    std::memcpy(work, p.data() + 1, n);
    work[n] = '\0';
  }
  std::size_t pi = 0;
  std::size_t ei = 0;
  if (!LastRun(p, pi, e, ei)) return 0;
  *pattern += pi;
  *element += ei;
  return 1;
}

int strPushPastDelim(const char** position, const char* delimiters) {
  if (position == nullptr || *position == nullptr || delimiters == nullptr) return 0;
  const char* at = std::strpbrk(*position, delimiters);
  if (at == nullptr) return 0;
  *position = at;
  return 1;
}

}  // extern "C"

// The tokenizer and the generic key search behind every ini and permission lookup. A file
// is one stream of tokens separated by delimiter characters or line feeds; "#" starts a
// comment that runs to its line feed. Everything here works on terminated text, never
// writes more than kTokenMax characters into a key or value, and always moves forward, so
// bad input ends in a cut value or a failed lookup, never an overrun or a loop.
#include "ini_scan.h"

#include <cstring>

#include "vrqapi.h"

namespace vrq::ini {
namespace {

// Offset of the next line feed at or after from, or -1.
int32_t NextLineFeed(const char* text, int32_t from) {
  const char* lf = std::strchr(text + from, '\n');
  return lf == nullptr ? -1 : static_cast<int32_t>(lf - text);
}

bool KeyMatches(const Search& s, const char* token) {
  switch (s.match) {
    case KeyMatch::Mask:
      return IsMaskMatch(s.key, token) != 0;
    case KeyMatch::MaskTwoWay:
      return IsMaskMatch(s.key, token) != 0 || IsMaskMatch(token, s.key) != 0;
    case KeyMatch::RegExpTwoWay:
      return IsRegExpMatch(s.key, token, 0) != 0 || IsRegExpMatch(token, s.key, 0) != 0;
    case KeyMatch::Permit:
      return IsPermitMaskMatch(token, s.key) != 0;
    case KeyMatch::AnyKey:
      return true;
  }
  return false;
}

// Offset where the value of the key token scanned at pos begins, or -1 when it has none.
int32_t ValueOffset(const Search& s, int32_t pos, const TokenScan& tok) {
  const char* text = s.text;
  int32_t at = pos + tok.stop;
  switch (s.start) {
    case ValueStart::AfterKeyDelimiter:
      while (text[at] != '\0' && !IsMember(text[at], s.keyDelims)) ++at;
      return text[at] == '\0' ? -1 : at + 1;
    case ValueStart::AfterTokenEnd:
      return text[at] == '\0' ? -1 : at + 1;
    case ValueStart::AfterEquals:
      at = pos + tok.begin;
      while (text[at] != '\0' && text[at] != '=') {
        if (text[at] == '#') {
          int32_t lf = NextLineFeed(text, at);
          if (lf >= 0) at = lf;
        }
        ++at;
      }
      return text[at] == '\0' ? -1 : at + 1;
  }
  return -1;
}

// Copies the value at offset from into value; returns the offset of the stopping character.
int32_t CopyValue(const Search& s, int32_t from, char* value) {
  const char* text = s.text;
  if (s.singleChar) {
    value[0] = text[from];
    value[1] = '\0';
    return from + 1;
  }
  std::size_t n = 0;
  int32_t at = from;
  for (; text[at] != '\0' && !IsMember(text[at], s.valueTerms); ++at) {
    if (n < kTokenMax) value[n++] = text[at];
  }
  value[n] = '\0';
  return at;
}

}  // namespace

TokenScan ScanToken(const char* text, std::string_view delims, char* out) {
  TokenScan r;
  std::size_t n = 0;
  out[0] = '\0';
  if (text[0] == '\0') return r;
  r.found = true;
  bool noLineFeedAhead = false;
  int32_t i = 0;
  for (;;) {
    const char c = text[i];
    if (c == '\0') {
      r.stop = i;
      break;
    }
    if (c == '\n' || IsMember(c, delims)) {
      r.stop = i++;
      break;
    }
    if (c == '#' && !noLineFeedAhead) {
      const int32_t lf = NextLineFeed(text, i);
      if (lf >= 0) {
        i = lf + 1;
        if (n > 0) {
          r.stop = lf;
          break;
        }
        r.begin = i;
        continue;
      }
      noLineFeedAhead = true;  // the '#' and any later one are ordinary characters
    }
    if (n < kTokenMax) out[n++] = c;
    ++i;
  }
  out[n] = '\0';
  r.consumed = i;
  return r;
}

int FindValue(const Search& s, int32_t* pos, char* value) {
  char token[kTokenMax + 1];
  for (;;) {
    const TokenScan tok = ScanToken(s.text + *pos, s.keyDelims, token);
    if (!tok.found) return 0;
    const bool candidate = token[0] != '\0' && token[0] != '#';
    if (candidate && KeyMatches(s, token)) {
      if (s.keyOut != nullptr) std::memcpy(s.keyOut, token, std::strlen(token) + 1);
      const int32_t from = ValueOffset(s, *pos, tok);
      if (from < 0) {
        *pos += static_cast<int32_t>(std::strlen(s.text + *pos));
        return 0;
      }
      *pos = CopyValue(s, from, value);
      return 1;
    }
    *pos += tok.consumed;
  }
}

}  // namespace vrq::ini

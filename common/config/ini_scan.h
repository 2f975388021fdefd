// Internal scanning engine shared by the ini and permission lookups: one tokenizer step
// and one generic key search over a terminated text, parameterised by how a token is
// matched against the caller's key and where its value starts.
#pragma once

#include <cstdint>
#include <string_view>

namespace vrq::ini {

inline constexpr std::size_t kTokenMax = 2048;

// Membership in a delimiter set; the terminating NUL is never a member.
inline bool IsMember(char ch, std::string_view set) {
  return ch != '\0' && set.find(ch) != std::string_view::npos;
}

// One step of the tokenizer over text (terminated).
struct TokenScan {
  bool found = false;     // false when the text was empty
  int32_t consumed = 0;   // characters counted, terminating character included
  int32_t begin = 0;      // offset of the token's first character
  int32_t stop = 0;       // offset of the character that ended the token (or of the end)
};

// Reads one token into out (kTokenMax + 1 bytes, cut beyond kTokenMax).
TokenScan ScanToken(const char* text, std::string_view delims, char* out);

enum class KeyMatch { Mask, MaskTwoWay, RegExpTwoWay, Permit, AnyKey };
// Where a matched key's value begins: after the first key delimiter at or behind the
// character that ended the key; after the next "=" from the key's start (comments skipped);
// or right after the character that ended the key.
enum class ValueStart { AfterKeyDelimiter, AfterEquals, AfterTokenEnd };

struct Search {
  const char* text = nullptr;   // terminated text to scan
  std::string_view keyDelims;
  std::string_view valueTerms;
  const char* key = nullptr;    // the caller's key (unused with AnyKey)
  KeyMatch match = KeyMatch::Mask;
  ValueStart start = ValueStart::AfterKeyDelimiter;
  bool singleChar = false;      // deliver exactly the one character where the value starts
  char* keyOut = nullptr;       // AnyKey: receives the key token
};

// Scans from *pos for the first token matching the search and copies its value. Returns 1
// with the value written and *pos on the character that stopped the copy; 0 with *pos at
// the end of the text when nothing matched or the matched key had no value.
int FindValue(const Search& search, int32_t* pos, char* value);

}  // namespace vrq::ini

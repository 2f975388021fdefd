// Key lookups over a loaded ini handle and over plain terminated texts (the sections of a
// permission file). Each one is a Search of ini_scan.h: how a token is matched against
// the caller's key and where the value begins are the only differences between them.
#include <cstring>

#include "ini_scan.h"
#include "vrqapi.h"

using namespace vrq::ini;

namespace {

bool Loaded(const IniFile* handle) { return handle != nullptr && handle->pText != nullptr; }

// The scan position to start from; a position outside the text ends the lookup.
bool StartAt(const char* text, int fromStart, int32_t* pos) {
  if (fromStart == 1) *pos = 0;
  return *pos >= 0 && static_cast<std::size_t>(*pos) <= std::strlen(text);
}

int Run(const Search& search, int fromStart, int32_t* pos, char* value) {
  if (search.text == nullptr || value == nullptr || pos == nullptr) return 0;
  if (search.match != KeyMatch::AnyKey && search.key == nullptr) return 0;
  if (!StartAt(search.text, fromStart, pos)) return 0;
  return FindValue(search, pos, value);
}

Search OnHandle(const IniFile* handle, const char* key, KeyMatch match, ValueStart start) {
  Search s;
  s.text = handle->pText;
  s.keyDelims = handle->szKeyDelim;
  s.valueTerms = handle->szValueTerm;
  s.key = key;
  s.match = match;
  s.start = start;
  return s;
}

Search OnText(const char* text, const char* keyDelims, const char* valueTerms, const char* key,
              KeyMatch match, ValueStart start) {
  Search s;
  s.text = text;
  s.keyDelims = keyDelims == nullptr ? "" : keyDelims;
  s.valueTerms = valueTerms == nullptr ? "" : valueTerms;
  s.key = key;
  s.match = match;
  s.start = start;
  return s;
}

}  // namespace

extern "C" {

VRQAPI_API int vrqGetValue(IniFile* handle, const char* keyMask, char* value, int fromStart) {
  if (!Loaded(handle)) return 0;
  const Search s = OnHandle(handle, keyMask, KeyMatch::Mask, ValueStart::AfterKeyDelimiter);
  return Run(s, fromStart, &handle->lPos, value);
}

VRQAPI_API int vrqGetValueExt(IniFile* handle, const char* key, char* value, int fromStart) {
  if (!Loaded(handle)) return 0;
  const Search s = OnHandle(handle, key, KeyMatch::MaskTwoWay, ValueStart::AfterEquals);
  return Run(s, fromStart, &handle->lPos, value);
}

VRQAPI_API int vrqGetKeyAndValue(IniFile* handle, char* key, char* value, int fromStart) {
  if (!Loaded(handle) || key == nullptr) return 0;
  Search s = OnHandle(handle, nullptr, KeyMatch::AnyKey, ValueStart::AfterKeyDelimiter);
  s.keyOut = key;
  return Run(s, fromStart, &handle->lPos, value);
}

VRQAPI_API int vrqGetValueExtExt(IniFile* handle, const char* key, char* value, int fromStart,
                                 int32_t* position) {
  if (!Loaded(handle)) return 0;
  Search s = OnHandle(handle, key, KeyMatch::Permit, ValueStart::AfterTokenEnd);
  s.singleChar = true;
  return Run(s, fromStart, position, value);
}

VRQAPI_API int vrqGetValueExt2(const char* text, const char*, const char* keyDelims,
                               const char* valueTerms, const char* key, char* value, int) {
  int32_t pos = 0;
  const Search s =
      OnText(text, keyDelims, valueTerms, key, KeyMatch::MaskTwoWay, ValueStart::AfterEquals);
  return Run(s, 1, &pos, value);
}

VRQAPI_API int vrqGetValuePermits(const char* text, const char* keyDelims,
                                  const char* valueTerms, const char* key, char* value,
                                  int fromStart, int32_t* position) {
  const Search s =
      OnText(text, keyDelims, valueTerms, key, KeyMatch::RegExpTwoWay, ValueStart::AfterEquals);
  return Run(s, fromStart, position, value);
}

VRQAPI_API int vrqGetValueExtExt2(const char* text, const char* keyDelims,
                                  const char* valueTerms, const char* key, char* value,
                                  int fromStart, int32_t* position) {
  const Search s =
      OnText(text, keyDelims, valueTerms, key, KeyMatch::Permit, ValueStart::AfterTokenEnd);
  return Run(s, fromStart, position, value);
}

}  // extern "C"

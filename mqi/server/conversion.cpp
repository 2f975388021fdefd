// Character-set conversion of MQFMT_STRING message data on MQGET with MQGMO_CONVERT,
// through the C library's iconv, between the code pages MQ systems commonly use: UTF-8,
// ISO 8859-1/-15, ASCII, the Windows and DOS Latin pages, and the EBCDIC country pages with
// and without the euro sign.
#include <cmqc.h>

#include "conversion.h"

#include <iconv.h>

namespace vrqsim {

namespace {

struct CodePage {
  MQLONG ccsid;
  const char* name;  // iconv's name
};

constexpr CodePage kCodePages[] = {
    {1208, "UTF-8"},     {819, "ISO-8859-1"},  {923, "ISO-8859-15"}, {367, "ASCII"},
    {437, "IBM437"},     {850, "IBM850"},      {1252, "CP1252"},     {37, "IBM037"},
    {273, "IBM273"},     {285, "IBM285"},      {297, "IBM297"},      {500, "IBM500"},
    {1047, "IBM1047"},   {1140, "IBM1140"},    {1141, "IBM1141"},    {1142, "IBM1142"},
    {1143, "IBM1143"},   {1144, "IBM1144"},    {1145, "IBM1145"},    {1146, "IBM1146"},
    {1147, "IBM1147"},   {1148, "IBM1148"},
};

const char* NameOf(MQLONG ccsid) {
  for (const auto& page : kCodePages)
    if (page.ccsid == ccsid) return page.name;
  return nullptr;
}

}  // namespace

bool KnownCcsid(MQLONG ccsid) { return NameOf(ccsid) != nullptr; }

MQLONG ConvertText(std::vector<uint8_t>& data, MQLONG from, MQLONG to) {
  const char* from_name = NameOf(from);
  const char* to_name = NameOf(to);
  if (!from_name) return MQRC_SOURCE_CCSID_ERROR;
  if (!to_name) return MQRC_TARGET_CCSID_ERROR;
  if (from == to) return MQRC_NONE;
  iconv_t cd = iconv_open(to_name, from_name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return MQRC_NOT_CONVERTED;
  // UTF-8 takes at most four bytes for a character of any of these pages.
  std::vector<uint8_t> out(data.size() * 4 + 4);
  char* in_p = reinterpret_cast<char*>(data.data());
  size_t in_left = data.size();
  char* out_p = reinterpret_cast<char*>(out.data());
  size_t out_left = out.size();
  const size_t done = iconv(cd, &in_p, &in_left, &out_p, &out_left);
  const bool flushed = iconv(cd, nullptr, nullptr, &out_p, &out_left) != static_cast<size_t>(-1);
  iconv_close(cd);
  // Anything not converted exactly (invalid input, a character without an equivalent,
  // which glibc counts as an irreversible conversion) leaves the message as it was.
  if (done != 0 || in_left != 0 || !flushed) return MQRC_NOT_CONVERTED;
  out.resize(out.size() - out_left);
  data = std::move(out);
  return MQRC_NONE;
}

}  // namespace vrqsim

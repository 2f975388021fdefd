// The reply alteration: how a request's data becomes the reply's. Requests with an
// MQRFH or MQRFH2 header get their name/value area edited, their Format set to MQSTR and
// a "REPLY GENERATED (pid)" mark behind the header; other data gets a suffix. Every
// offset taken from the header is bounded by the received data and the buffer.
#include <cmqc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "reply.h"
#include "vrqapi.h"

namespace {

constexpr std::string_view kRfhStrucId = MQRFH_STRUC_ID;
constexpr std::string_view kReplySuffix = " - REPLY GENERATED";
constexpr const char* kReplyMark = "REPLY GENERATED (%d)";
constexpr std::string_view kReplyFormat = MQFMT_STRING;

// Fixed header sizes: the MQRFH, and for later versions the MQRFH2 with its first
// NameValueLength word.
constexpr size_t kRfhFixed1 = MQRFH_STRUC_LENGTH_FIXED;
constexpr size_t kRfhFixed2 = MQRFH_STRUC_LENGTH_FIXED_2 + sizeof(MQLONG);

struct NameValueEdit {
  const char* from;
  const char* to;
};
constexpr NameValueEdit kNameValueEdits[] = {{"jms_none", "jms_text"}, {"Talpa", "XXXXX"}};

MQLONG ReadLong(const uint8_t* p) {
  MQLONG v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

MQLONG HeaderLong(const uint8_t* rfh, size_t offset, bool native) {
  const MQLONG v = ReadLong(rfh + offset);
  return native ? v : static_cast<MQLONG>(bwlong(static_cast<uint32_t>(v)));
}

size_t AlterRfh(uint8_t* data, size_t length, long pid) {
  const bool native = isNative(data) != 0;
  const MQLONG version = HeaderLong(data, offsetof(MQRFH, Version), native);
  const MQLONG struc_length = HeaderLong(data, offsetof(MQRFH, StrucLength), native);
  const size_t fixed = version == MQRFH_VERSION_1 ? kRfhFixed1 : kRfhFixed2;

  // The header ends where StrucLength says, but never inside the fixed part and never
  // past the received data.
  const size_t end = std::clamp<size_t>(struc_length < 0 ? 0 : static_cast<size_t>(struc_length),
                                        fixed, length);
  for (const auto& edit : kNameValueEdits) ReplaceRFHText(data + fixed, end - fixed, edit.from, edit.to);
  std::memcpy(data + offsetof(MQRFH, Format), kReplyFormat.data(), kReplyFormat.size());

  char mark[32];
  const int mark_length = std::snprintf(mark, sizeof mark, kReplyMark, static_cast<int>(pid));
  const size_t with_zero = static_cast<size_t>(mark_length) + 1;
  const size_t written = std::min(with_zero, static_cast<size_t>(kMaxData) - end);
  std::memcpy(data + end, mark, written);

  // The reply grows by the mark's length; bytes past the request that the mark does not
  // cover are cleared rather than left from an earlier, longer message.
  const size_t reply = std::min(length + with_zero, static_cast<size_t>(kMaxData));
  const size_t covered = std::max(length, end + written);
  if (reply > covered) std::memset(data + covered, 0, reply - covered);
  return reply;
}

}  // namespace

int isNative(const uint8_t* rfh) {
  const MQLONG version = ReadLong(rfh + offsetof(MQRFH, Version));
  return version >= 1 && version <= 9 ? 1 : 0;
}

void ReplaceRFHText(uint8_t* data, size_t length, const char* from, const char* to) {
  const size_t n = std::strlen(from);
  if (n == 0 || length < n) return;
  for (size_t at = 0; at + n <= length; ++at) {
    if (std::memcmp(data + at, from, n) == 0) std::memcpy(data + at, to, n);
  }
}

MQLONG AlterReply(uint8_t* buffer, MQLONG length, long pid) {
  const size_t used = static_cast<size_t>(std::clamp<MQLONG>(length, 0, kMaxData));
  const bool rfh = used >= kRfhFixed1 &&
                   std::memcmp(buffer, kRfhStrucId.data(), kRfhStrucId.size()) == 0;
  if (rfh) {
    const bool native = isNative(buffer) != 0;
    const MQLONG version = HeaderLong(buffer, offsetof(MQRFH, Version), native);
    if (version == MQRFH_VERSION_1 || used >= kRfhFixed2)
      return static_cast<MQLONG>(AlterRfh(buffer, used, pid));
  }
  if (used + kReplySuffix.size() > static_cast<size_t>(kMaxData)) return static_cast<MQLONG>(used);
  std::memcpy(buffer + used, kReplySuffix.data(), kReplySuffix.size());
  return static_cast<MQLONG>(used + kReplySuffix.size());
}

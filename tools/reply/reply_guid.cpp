// Unique identifiers of the reply utility: the GUID text of time, process, thread, queue
// manager, application, host and user, and its MD5 digest as the 16-byte identifier.
#include <cstdio>

#include "reply.h"
#include "vrqcrypt.h"

namespace {

constexpr const char* kGuidFormat = "%ld.%.6ld::%ld.%ld::%s::%s::%s::%s";

}  // namespace

void GuidStr(GUIDINFO* guid) {
  const int n = std::snprintf(guid->szGuid, sizeof guid->szGuid, kGuidFormat,
                              guid->TimeInfo.time_sec, guid->TimeInfo.time_usec, guid->lPid,
                              guid->lTid, guid->szQmgr, guid->szAppl, guid->szHost,
                              guid->szUserId);
  const long room = static_cast<long>(sizeof guid->szGuid) - 1;
  guid->lGuid = n < 0 ? 0 : (n > room ? room : n);
}

void GenerateUid(GUIDINFO* guid) {
  TimeMkSec(&guid->TimeInfo);
  GuidStr(guid);
  md5_encrypt(reinterpret_cast<const uint8_t*>(guid->szGuid), static_cast<size_t>(guid->lGuid),
              guid->btGUID);
}

// The reply utility's own records and helpers: the time and GUID records, the reply
// alteration (marking a request's data as a generated reply), the data dump and the
// usage and trace-level helpers. The main loop in vrrpl.cpp is their only caller apart
// from the tests and the fuzz target.
#pragma once

#include <cmqc.h>

#include <cstddef>
#include <cstdint>

// The message buffer holds one byte more than the largest message data used.
constexpr MQLONG kMaxData = 32768;
constexpr size_t kBufferSize = kMaxData + 1;

// A point in time or a duration: seconds and microseconds.
struct VXXTIME {
  long time_sec;
  long time_usec;
};

// The parts of a generated unique identifier, its text and its MD5 digest.
struct GUIDINFO {
  char szHost[257];
  char szQmgr[49];
  char szUserId[49];
  char szAppl[257];
  long lPid;
  long lTid;
  VXXTIME TimeInfo;
  char szGuid[1025];
  long lGuid;
  uint8_t btGUID[16];
};

// Prints the usage text.
void ns_usage();

// The trace level from VXTM_TEST_TRACE (0 when unset); also stored in *level.
int ns_trace(int* level);

// 1 when the Version word of the MQRFH at rfh, read in native order, lies between 1 and
// 9 (the header is in native byte order); else 0.
int isNative(const uint8_t* rfh);

// Overwrites in place every occurrence of from (without its terminator) within the first
// length bytes of data with the same number of bytes of to; from and to have equal length.
void ReplaceRFHText(uint8_t* data, size_t length, const char* from, const char* to);

// Marks the reply in buffer (length bytes of request data, a buffer of kBufferSize
// bytes): an MQRFH/MQRFH2 request gets its name/value edits, Format MQSTR and the text
// "REPLY GENERATED (pid)" after the header; other data gets " - REPLY GENERATED" appended
// when it fits. Returns the reply length, never more than kMaxData.
MQLONG AlterReply(uint8_t* buffer, MQLONG length, long pid);

// Time helpers: now; end - start into *dur (returned); the UTC time as text
// "Www Mmm dd hh:mm:ss.uuuuuu" (out holds at least 27 bytes); now in seconds.
VXXTIME* TimeMkSec(VXXTIME* t);
VXXTIME* Duration(const VXXTIME* start, const VXXTIME* end, VXXTIME* dur);
char* TimeToStr(const VXXTIME* t, char* out);
double pctimer();

// Hex and text dump of size bytes of data to standard output.
void PrintData(const void* data, long size);

// The GUID text of the record's fields into szGuid (and its length into lGuid); and a new
// identifier: the current time, the text, then btGUID = MD5 of the text.
void GuidStr(GUIDINFO* guid);
void GenerateUid(GUIDINFO* guid);

// The thread id for the GUID text: the real one on Windows, the process id elsewhere.
long CurrentThreadId();
long CurrentProcessId();

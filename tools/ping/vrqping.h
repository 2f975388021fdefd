// The ping utility's records and steps: the settings filled from the command line
// (PingArgs), the counters of one cycle (PingStats), the millisecond clock and put-stamp
// conversions, the cycle (init, generate, collect, terminate) and the report.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "vrqclnx.h"
#include "vrqmqtx.h"

inline constexpr const char* kPingVersion = "6.1";
inline constexpr const char* kDefaultQueue = "SYSTEM.ADMIN.COMMAND.QUEUE";
inline constexpr const char* kDefaultPort = "6000";
// Reason of a cycle whose queue-manager object could not be created at all.
inline constexpr int kRcNoManager = 4018;

class PingMonitor;

struct PingArgs {
  char szQMgrName[49];
  char szQueueName[49];
  char szAltUser[14];       // at most 12 significant characters
  int32_t lExpiry;          // tenths of a second, -1 unlimited
  int32_t lWait;            // milliseconds per get
  int32_t lBatch;
  int32_t lSize;            // requested message size, 0 none
  int32_t bRptExpiry;
  int32_t bRptException;
  int32_t bRptCOA;
  int32_t bRptCOD;
  int32_t bDeadLetter;
  int32_t lVerbose;
  int32_t lInterval;        // seconds between cycles, 0 once
  char szHost[128];
  char szPort[32];
  MQManager* pQMgr;
  // Outputs for monitoring systems (-o, kOutput* bits of ping_monitor.h), the Prometheus
  // file (empty: standard output) and the run's monitoring state (null: none).
  int32_t lOutputs;
  char szPromFile[1024];
  PingMonitor* pMonitor;
  // -U: the user id of an MQCSP, -P: where its password is (file:PATH, env:NAME or tty;
  // the terminal when -U comes alone); the credentials they give once read (null: none).
  char szCspUser[1025];
  char szPasswordSource[1030];
  const MQCredentials* pCredentials;
};

struct PingStats {
  int64_t llMinRoundTrip;
  int64_t llMaxRoundTrip;
  double dAvgRoundTrip;
  double dAvgTimeToResponse;
  double dAvgReplyAge;
  double dArrivalRate;
  double dDeliveryRate;
  int64_t llCycleTime;
  int32_t lBytesSent;
  int32_t lBytesReceived;
  int32_t lConfirmedExpiries;
  int32_t lConfirmedDeliveries;
  int32_t lConfirmedArrivals;
  int32_t lOtherReports;
  int32_t lMsgsSent;
  int32_t lMsgsReceived;
  int32_t lReportsReceived;
  int64_t llPutTime;
  int64_t llGetTime;
};

// The indicators derived from one cycle's counters (durations of 0 taken as 1 ms).
struct PingIndicators {
  double dResponseRequestRatio;
  double dTotalTime;
  double dGrossRate, dGrossByteRate, dEffectiveRate;
  double dPutRate, dPutByteRate, dGetRate, dGetByteRate, dPutGetRatio;
  double dOverheadPercent, dOverheadRatio;
  double dAvgLatency, dMaxLatency;
};

// Time helpers: a millisecond clock and the conversion of MQMD put stamps onto it.
int64_t curUtcTimeMsec();
int64_t cnv_milltm(const char* time8);
int64_t cnv_millts(const char* date8, const char* time8);
// Seconds since 1970 of broken-down UTC fields (no time zone involved).
int64_t UtcSeconds(const std::tm& tm);
// What the C library adds to a UTC time when it reads its fields as local time
// (mktime(gmtime(utc)) - utc), daylight saving left to the system; cached per thread.
int64_t LocalOffsetSeconds(int64_t utc);
// The broken-down UTC fields of a time; false when it has none.
bool UtcFields(int64_t utc, std::tm* tm);
// A monotonic clock in microseconds: the round trips of the histogram and the outputs.
int64_t MonotonicMicros();

// Sets the defaults of a zeroed record.
void SetPingDefaults(PingArgs* args);
// Parses the arguments after the program name. Returns 1 when valid; otherwise appends
// the lines to print (invalid-argument lines, then the usage) to *usage and returns 0.
int ParsePingArgs(PingArgs* args, int argc, char** argv, std::string* usage);
// Fills the record; on an invalid command line prints the usage and exits with status 1.
int Init_Args(PingArgs* args, int argc, char** argv);
// Reads the password of -U from where -P says into pCredentials; 0 with the reason (which
// never holds the password).
int ResolvePingCredentials(PingArgs* args, std::string* error);

// Pads a ping with an MQCACF_ESCAPE_TEXT string so that its PCF bytes reach size; without
// memory for the text the ping goes unpadded.
void PadPing(PcfMessage* msg, int32_t size);
int ping_init(PingArgs* args, int* reason);
int ping_generate(PingArgs* args, PingStats* stats, int* reason);
int ping_get_stats(PingArgs* args, PingStats* stats, int* reason);
int ping_terminate(PingArgs* args);

PingIndicators ping_indicators(const PingStats& stats);
// Prints the report of a single run (interval 0 or less) and publishes the indicators
// when a collector host is set. Returns 0, or the socket error when the facts could not
// be sent.
int ping_report(PingArgs* args, PingStats* stats);

// Fact publishing to a collector (UDP datagrams or TCP lines of name=value pairs).
SocketRecord* publishOpen(int udp);
void publishClose(SocketRecord* publisher);
// Sends one fact text; 0 on success or the socket's last error.
int publishFact(SocketRecord* publisher, const char* host, const char* port, const char* text, int udp);
#if !defined(_WIN32)
// Send to the collector named by "VX_OUTPUT" (host:port); nothing when it is unset. The
// Windows build has no such collector.
int publish_fact(SocketRecord* publisher, const char* text);
int publishString(SocketRecord* publisher, const char* name, const char* value);
int publishInt(SocketRecord* publisher, const char* name, int value);
#endif
// The text as it goes on the wire (ASCII, cut to what one send carries) and one send of
// it to address; the socket layer's result.
std::string PublishWireText(const char* text);
int PublishSend(SocketRecord* publisher, std::string& payload, SocketAddress* address);
SocketAddress PublishTarget(std::string_view host, std::string_view port, bool udp);
// The report's 35 facts as one text (cut to 6144 bytes) and their sending.
std::string FormatReportFacts(const PingArgs& args, const PingStats& stats, const PingIndicators& d, int reason);
// 0 when sent (or no host is set), else the error that stopped them.
int PublishReportFacts(const PingArgs& args, const PingStats& stats, const PingIndicators& d, int reason);
// Why sending to host failed when the socket layer only says "no destination": the host
// name look-up's own error text, or empty when the name resolves.
std::string HostLookupError(const char* host);

// The serve mode: vrqmq --serve=TARGETS_FILE [--listen=[ADDR]:PORT] [--interval=SECONDS]
// [--max-probes=N] [--web-config=FILE]. Built where an HTTP server library is (Linux);
// elsewhere RunServe says that the mode is not available.
struct ServeOptions {
  std::string targetsFile;
  std::string listenHost;   // empty: every address
  int port = 9723;
  int maxConcurrent = 256;  // probes at once; more are refused with 503
  int intervalSeconds = 0;  // 0: probe only on request
  std::string webConfig;    // TLS and basic authentication of the endpoint; empty: plain HTTP
};
// Whether the command line asks for the serve mode (an argument starting "--serve").
bool IsServeCommandLine(int argc, char** argv);
// False with the reason for an unknown or malformed option.
bool ParseServeArgs(int argc, char** argv, ServeOptions* options, std::string* error);
// "[ADDR]:PORT", "ADDR:PORT" or ":PORT" (every address); PORT 1 to 65535.
bool ParseListenAddress(std::string_view text, std::string* host, int* port);
// Serves until SIGINT or SIGTERM; the process's exit status.
int RunServe(const ServeOptions& options);

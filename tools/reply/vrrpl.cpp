// vrrpl, the test responder: takes each request from an input queue, marks it as a
// generated reply (unless told not to) and puts it to an output queue or to the request's
// reply-to queue, each get and put in one unit of work, until the wait interval passes
// without a message or an MQ call fails.
#include <cmqc.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "password_source.h"
#include "reply.h"
#include "vrqapi.h"

#ifndef VRRPL_VERSION
#define VRRPL_VERSION "1.0.0"
#endif

namespace {

constexpr const char* kVersion = VRRPL_VERSION;
constexpr const char* kBuildDate = __DATE__;
constexpr int kUsageStatus = 99;
constexpr const char* kTraceVariable = "VXTM_TEST_TRACE";
constexpr std::string_view kNoAlter = "NO";
constexpr std::string_view kReplyToQueue = "*";

constexpr const char* kUsageLines[] = {
    "VRRPL failed to start",
    "VRRPL has the following parameters:",
    "  Required:",
    "   (1) Input queue",
    "   (2) Output queue",
    "  Optional:",
    "   (3) Queue manager name",
    "   (4) MQGET wait interval (msec; default: -1 forever); or \n"
    "       'NO' [Don't alter the reply message; \n"
    "             default: overlay msg with REPLY GENERATED(pid)] )",
    "VRRPL rcvs msg on input queue and sends reply to output queue. \n"
    "Reply is rcvd msg with or without alteration.",
    "\nDefine optional env var VXTM_TEST_TRACE=1 for tracing\n"
    "of message number, MsgId, CorrelId, msg hex/ascii dump.",
};

namespace text {
constexpr const char* kUsageBanner = "VRRPL, V%s, %s\n";
constexpr const char* kStart = "VRRPL start, V%s, %s\n";
constexpr const char* kConnectFailed = "%s failed to connect, RC(%d)\n";
constexpr const char* kInputQueue = "Input queue is %s\n";
constexpr const char* kOutputCopied = "Output queue is copied from inbound message";
constexpr const char* kOutputQueue = "Output queue is %s\n";
constexpr const char* kOpenInputFailed = "%s failed to open request queue, RC(%d)\n";
constexpr const char* kOpenOutputFailed = "%s failed to open reply queue, RC(%d)\n";
constexpr const char* kNoMoreMessages = "no more messages";
constexpr const char* kGetEnded = "MQGET ended with reason code %d\n";
constexpr const char* kPutting = "  Putting message";
constexpr const char* kPutEnded = "MQPUT ended with reason code %d\n";
constexpr const char* kReplyQueueMissing = "Reply queue not available";
constexpr const char* kTrace = "\n%03d MESSAGE:\n\tMSGID(%s)\n\tCORID(%s)\n";
constexpr const char* kDuration = "Duration time is <%ld.%.6ld> for %d messages\n";
constexpr const char* kCloseInput = "MQCLOSE incoming queue ended with RC %d\n";
constexpr const char* kCloseOutput = "MQCLOSE outgoing queue ended with RC %d\n";
constexpr const char* kDisconnect = "MQDISC ended with reason code %d\n";
}  // namespace text

constexpr MQLONG kInputOptions = MQOO_INPUT_AS_Q_DEF | MQOO_SAVE_ALL_CONTEXT | MQOO_FAIL_IF_QUIESCING;
constexpr MQLONG kOutputOptions = MQOO_OUTPUT | MQOO_PASS_IDENTITY_CONTEXT | MQOO_FAIL_IF_QUIESCING;
constexpr MQLONG kGetOptions = MQGMO_WAIT | MQGMO_SYNCPOINT | MQGMO_ACCEPT_TRUNCATED_MSG;

// The command line after parsing.
struct Arguments {
  const char* program = "";
  const char* input = "";
  const char* output = "";
  char QMName[50] = {};
  int bAlterReply = 1;
  int bReply2Q = 0;
  MQLONG lWaitInterval = MQWI_UNLIMITED;
};

// Copies at most size - 1 characters and terminates (a name field of size bytes).
void CopyName(char* to, size_t size, const char* from) {
  std::strncpy(to, from, size - 1);
  to[size - 1] = '\0';
}

// An MQ name field (blank-padded, not terminated) from a text.
void SetObjectName(MQCHAR* field, size_t size, const char* name) {
  std::memset(field, ' ', size);
  std::memcpy(field, name, std::min(std::strlen(name), size));
}

// A decimal wait interval; leading digits are taken as atoi would, values beyond the
// 32-bit range are clamped rather than wrapped.
MQLONG ParseWait(const char* text) {
  const long long v = std::strtoll(text, nullptr, 10);
  return static_cast<MQLONG>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

Arguments ParseArguments(int argc, char** argv) {
  Arguments a;
  a.program = argv[0];
  a.input = argv[1];
  a.output = argv[2];
  a.bReply2Q = kReplyToQueue == argv[2] ? 1 : 0;
  if (argc > 3) CopyName(a.QMName, MQ_Q_MGR_NAME_LENGTH + 1, argv[3]);
  if (argc > 4) {
    if (kNoAlter == argv[4]) {
      a.bAlterReply = 0;
    } else {
      a.lWaitInterval = ParseWait(argv[4]);
    }
  }
  if (argc > 5 && kNoAlter == argv[5]) a.bAlterReply = 0;
  return a;
}

// The connection and the two queues of one run.
struct Session {
  MQHCONN hcon = MQHC_UNUSABLE_HCONN;
  MQHOBJ hobj1 = MQHO_UNUSABLE_HOBJ;
  MQHOBJ hobj2 = MQHO_UNUSABLE_HOBJ;
  MQLONG connect_reason = MQRC_NONE;
};

// The message loop. Returns the number of requests taken and committed; *failure is the
// reason that ended it when that was a failure (a put, a commit, or a get for any reason
// but no message left), else 0.
int ServeRequests(const Arguments& args, Session& s, int lTrace, uint8_t* buffer, MQLONG* failure) {
  *failure = MQRC_NONE;
  MQMD md = {MQMD_DEFAULT};
  MQOD od2 = {MQOD_DEFAULT};
  MQGMO gmo = {MQGMO_DEFAULT};
  MQPMO pmo = {MQPMO_DEFAULT};
  gmo.Options = kGetOptions;
  gmo.WaitInterval = args.lWaitInterval;
  pmo.Options = (pmo.Options & ~MQPMO_NO_SYNCPOINT) | MQPMO_PASS_IDENTITY_CONTEXT | MQPMO_SYNCPOINT;
  pmo.Context = s.hobj1;
  pmo.Timeout = -1;

  const long pid = CurrentProcessId();
  int lMsg = 1;
  int committed = 0;
  MQLONG CompCode = MQCC_OK;
  MQLONG Reason = MQRC_NONE;
  while (CompCode != MQCC_FAILED) {
    MQLONG buflen = kMaxData;
    MQLONG messlen = 0;
    std::memcpy(md.MsgId, MQMI_NONE, sizeof md.MsgId);
    std::memcpy(md.CorrelId, MQCI_NONE, sizeof md.CorrelId);
    md.Encoding = MQENC_NATIVE;
    md.CodedCharSetId = 0;

    MQGET(s.hcon, s.hobj1, &md, &gmo, buflen, buffer, &messlen, &CompCode, &Reason);
    if (Reason != MQRC_NONE) {
      if (Reason == MQRC_NO_MSG_AVAILABLE) {
        std::puts(text::kNoMoreMessages);
      } else {
        std::printf(text::kGetEnded, static_cast<int>(Reason));
      }
      if (Reason == MQRC_TRUNCATED_MSG_FAILED) CompCode = MQCC_FAILED;
    }
    if (CompCode == MQCC_FAILED) {
      if (Reason != MQRC_NO_MSG_AVAILABLE) *failure = Reason;
      ++lMsg;
      break;
    }
    if (CompCode == MQCC_WARNING) std::puts(text::kPutting);

    // A truncated message holds only the buffer's worth of data.
    buflen = messlen < kMaxData ? messlen : kMaxData;
    if (args.bAlterReply) buflen = AlterReply(buffer, buflen, pid);
    md.MsgType = MQMT_REPLY;

    if (args.bReply2Q) {
      std::memcpy(od2.ObjectName, md.ReplyToQ, sizeof od2.ObjectName);
      std::memcpy(od2.ObjectQMgrName, md.ReplyToQMgr, sizeof od2.ObjectQMgrName);
      md.Report = MQRO_NONE;
      MQPUT1(s.hcon, &od2, &md, &pmo, buflen, buffer, &CompCode, &Reason);
    } else {
      std::memcpy(md.CorrelId, md.MsgId, sizeof md.CorrelId);
      MQPUT(s.hcon, s.hobj2, &md, &pmo, buflen, buffer, &CompCode, &Reason);
    }

    if (Reason == MQRC_UNKNOWN_OBJECT_NAME) {
      std::puts(text::kReplyQueueMissing);
      Reason = MQRC_NONE;
      CompCode = MQCC_OK;
    } else if (Reason != MQRC_NONE) {
      std::printf(text::kPutEnded, static_cast<int>(Reason));
      *failure = Reason;
      MQBACK(s.hcon, &CompCode, &Reason);
      break;
    } else if (lTrace != 0) {
      char szID[49], szCID[49];
      ConvertByte24ToText48(md.MsgId, szID);
      ConvertByte24ToText48(md.CorrelId, szCID);
      std::printf(text::kTrace, lMsg, szID, szCID);
      PrintData(buffer, buflen);
    }
    MQCMIT(s.hcon, &CompCode, &Reason);
    if (CompCode == MQCC_FAILED) {
      *failure = Reason;
      break;
    }
    ++committed;
    ++lMsg;
  }
  return committed;
}

void CloseAll(const Arguments& args, Session& s) {
  MQLONG CompCode = MQCC_OK, Reason = MQRC_NONE;
  MQCLOSE(s.hcon, &s.hobj1, MQCO_NONE, &CompCode, &Reason);
  if (Reason != MQRC_NONE) std::printf(text::kCloseInput, static_cast<int>(Reason));
  if (!args.bReply2Q) {
    MQCLOSE(s.hcon, &s.hobj2, MQCO_NONE, &CompCode, &Reason);
    if (Reason != MQRC_NONE) std::printf(text::kCloseOutput, static_cast<int>(Reason));
  }
  if (s.connect_reason != MQRC_ALREADY_CONNECTED) {
    MQDISC(&s.hcon, &CompCode, &Reason);
    if (Reason != MQRC_NONE) std::printf(text::kDisconnect, static_cast<int>(Reason));
  }
}

// The exit status for a reason: only its low 8 bits reach the caller, so a reason such
// as 2048 would read as success; it becomes 255 instead.
int ExitStatus(MQLONG reason) {
  if (reason == MQRC_NONE) return 0;
  return (reason & 0xFF) != 0 ? static_cast<int>(reason) : 255;
}

// The message buffer, zero-filled at start.
uint8_t buffer[kBufferSize];

}  // namespace

void ns_usage() {
  std::printf(text::kUsageBanner, kVersion, kBuildDate);
  for (const char* line : kUsageLines) std::puts(line);
}

int ns_trace(int* level) {
  const char* value = std::getenv(kTraceVariable);
  const int v = value == nullptr ? 0 : std::atoi(value);
  if (level != nullptr) *level = v;
  return v;
}

namespace {

// The -U and -P options, taken out of the command line so that the positional
// parameters keep their places; false with the reason when they are not usable.
struct CredentialOptions {
  const char* user = nullptr;
  const char* source = nullptr;
};

bool TakeCredentialOptions(int& argc, char** argv, CredentialOptions& out) {
  int kept = 1;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.size() > 2 && arg.substr(0, 2) == "-U") {
      ok = ok && out.user == nullptr;
      out.user = argv[i] + 2;
    } else if (arg.size() > 2 && arg.substr(0, 2) == "-P") {
      ok = ok && out.source == nullptr;
      out.source = argv[i] + 2;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  argv[argc] = nullptr;
  return ok && (out.source == nullptr || out.user != nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  CredentialOptions options;
  if (!TakeCredentialOptions(argc, argv, options)) {
    ns_usage();
    return kUsageStatus;
  }
  if (argc < 3) {
    ns_usage();
    return kUsageStatus;
  }
  int lTrace = 0;
  ns_trace(&lTrace);
  std::printf(text::kStart, kVersion, kBuildDate);
  const Arguments args = ParseArguments(argc, argv);

  Session s;
  MQLONG CompCode = MQCC_OK, Reason = MQRC_NONE;
  if (options.user != nullptr) {
    vrq::credentials::PasswordSource source;
    source.kind = vrq::credentials::PasswordSource::Kind::kTerminal;
    std::string error;
    vrq::credentials::Password password;
    if ((options.source != nullptr && !vrq::credentials::ParsePasswordSource(options.source, source)) ||
        !vrq::credentials::ReadPassword(source, std::string("Password of ") + options.user + ": ", password, error)) {
      std::fprintf(stderr, "%s: %s\n", args.program, error.empty() ? "bad -P value" : error.c_str());
      return kUsageStatus;
    }
    MQCSP csp = {MQCSP_DEFAULT};
    csp.AuthenticationType = MQCSP_AUTH_USER_ID_AND_PWD;
    csp.CSPUserIdPtr = const_cast<char*>(options.user);
    csp.CSPUserIdLength = static_cast<MQLONG>(std::strlen(options.user));
    csp.CSPPasswordPtr = const_cast<char*>(password.data());
    csp.CSPPasswordLength = static_cast<MQLONG>(password.size());
    MQCNO cno = {MQCNO_DEFAULT};
    cno.Version = MQCNO_VERSION_5;
    cno.SecurityParmsPtr = &csp;
    MQCONNX(const_cast<char*>(args.QMName), &cno, &s.hcon, &CompCode, &s.connect_reason);
  } else {
    MQCONN(const_cast<char*>(args.QMName), &s.hcon, &CompCode, &s.connect_reason);
  }
  if (CompCode == MQCC_FAILED) {
    std::printf(text::kConnectFailed, args.program, static_cast<int>(s.connect_reason));
    return ExitStatus(s.connect_reason);
  }

  MQOD od1 = {MQOD_DEFAULT};
  MQOD od2 = {MQOD_DEFAULT};
  SetObjectName(od1.ObjectName, sizeof od1.ObjectName, args.input);
  std::printf(text::kInputQueue, args.input);
  if (args.bReply2Q) {
    std::puts(text::kOutputCopied);
  } else {
    SetObjectName(od2.ObjectName, sizeof od2.ObjectName, args.output);
    std::printf(text::kOutputQueue, args.output);
  }

  MQOPEN(s.hcon, &od1, kInputOptions, &s.hobj1, &CompCode, &Reason);
  if (CompCode == MQCC_FAILED) {
    std::printf(text::kOpenInputFailed, args.program, static_cast<int>(Reason));
    return ExitStatus(Reason);
  }
  if (!args.bReply2Q) {
    MQOPEN(s.hcon, &od2, kOutputOptions, &s.hobj2, &CompCode, &Reason);
    if (CompCode == MQCC_FAILED) {
      std::printf(text::kOpenOutputFailed, args.program, static_cast<int>(Reason));
      return ExitStatus(Reason);
    }
  }
  std::fflush(stdout);

  VXXTIME StrTime, EndTime, DurTime;
  TimeMkSec(&StrTime);
  MQLONG failure = MQRC_NONE;
  const int replied = ServeRequests(args, s, lTrace, buffer, &failure);
  TimeMkSec(&EndTime);
  Duration(&StrTime, &EndTime, &DurTime);
  std::printf(text::kDuration, DurTime.time_sec, DurTime.time_usec, replied);
  CloseAll(args, s);
  return ExitStatus(failure);
}

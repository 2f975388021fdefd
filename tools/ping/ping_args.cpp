// The ping utility's command line: each argument is a two-character option with its value
// in the same argument ("-mQM1"). Text values that do not fit their fields are refused
// (queue manager, queue, host, port), except the alternate user, which is cut to 12
// characters. Numeric values must be whole decimal numbers within their option's range.
#include <cmqc.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "password_source.h"
#include "ping_monitor.h"
#include "vrqping.h"

namespace {

constexpr const char* kUsage =
    "Usage: %s\t-mQMgrName [-qQueueName] [-eExpiry] [-wWait] [-bBatch]\n"
    "\t\t[-v0|1|2] [-ualt-user] [-cexp] [-ccoa]\n"
    "\t\t[-ccod] [-cdlq] [-cexc]\n"
    "\t\t[-ojson] [-oprometheus[:File]]\n"
    "\t\t[-UUserId [-Pfile:Path|-Penv:Name|-Ptty]]\n\n";

constexpr const char* kOptions =
    "Options:\n"
    "\t-mQMgrName  -- local queue manager name\n"
    "\t-qQueueName -- queue name of any type (SYSTEM.ADMIN.COMMAND.QUEUE)\n"
    "\t-dInterval  -- generate ping every Interval seconds (0 - once)\n"
    "\t-hHost      -- host name of the target Veltrix Process Wrapper\n"
    "\t-pPort      -- port number of the target Veltrix Process Wrapper (6000)\n"
    "\t-bBatch     -- number of messages in a batch (10)\n"
    "\t-sBytes     -- generate messages of Size bytes\n"
    "\t-wWait      -- milliseconds before timeout (60000)\n"
    "\t-eExpiry    -- messages expire after Expiry time (1/10 sec)\n"
    "\t-uAlt-User  -- issue ping on behalf of the Alt-user\n"
    "\t-ccoa       -- generate confirm-on-arrival report\n"
    "\t-ccod       -- generate confirm-on-delivery report\n"
    "\t-cexp       -- generate confirm-on-expiry report\n"
    "\t-cexc       -- generate confirm-on-exception report\n"
    "\t-cdlq       -- generate messages that will go into DLQ if undelivered\n"
    "\t-v0|1|2     -- set verbose mode to (0) -- summary, 1 -- reports, 2 -- all\n"
    "\t-ojson      -- write each cycle's figures as one JSON object on standard output\n"
    "\t-oprometheus[:File] -- write them in Prometheus text format to File (standard output)\n"
    "\t-UUserId    -- connect with this user id and a password (MQCSP)\n"
    "\t-Pfile:Path -- read the password from Path (only its owner may read it)\n"
    "\t-Penv:Name  -- read the password from environment variable Name\n"
    "\t-Ptty       -- read the password from the terminal (the default with -U)";

constexpr size_t kAltUserLength = 12;
constexpr int32_t kMaxPingSize = 100 * 1024 * 1024;  // IBM MQ's largest message

// Copies a text value into a fixed field; false when it does not fit.
template <size_t N>
bool CopyField(char (&field)[N], std::string_view value) {
  if (value.size() >= N) return false;
  if (!value.empty()) std::memcpy(field, value.data(), value.size());
  field[value.size()] = '\0';
  return true;
}

// A whole decimal value within [low, high]; a value with other characters, or out of the
// range, is refused, so that a typing error never becomes a batch of 0 or a wait of -5.
bool Number(const char* text, int32_t low, int32_t high, int32_t* out) {
  if (text == nullptr || !(*text == '-' || (*text >= '0' && *text <= '9'))) return false;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < low || value > high) return false;
  *out = static_cast<int32_t>(value);
  return true;
}

std::string Format(const char* format, const char* value) {
  int n = std::snprintf(nullptr, 0, format, value);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  std::snprintf(out.data(), out.size() + 1, format, value);
  return out;
}

// Sets the flag of a "-c" suffix; false for an unknown one.
bool SetReportFlag(PingArgs* args, std::string_view suffix) {
  struct Row {
    const char* name;
    int32_t PingArgs::*flag;
  };
  static constexpr Row kFlags[] = {
      {"exp", &PingArgs::bRptExpiry}, {"coa", &PingArgs::bRptCOA},
      {"cod", &PingArgs::bRptCOD},    {"dlq", &PingArgs::bDeadLetter},
      {"exc", &PingArgs::bRptException},
  };
  for (const auto& row : kFlags) {
    if (suffix == row.name) {
      args->*row.flag = 1;
      return true;
    }
  }
  return false;
}

}  // namespace

void SetPingDefaults(PingArgs* args) {
  std::strcpy(args->szQueueName, kDefaultQueue);
  std::strcpy(args->szPort, kDefaultPort);
  args->lExpiry = -1;
  args->lWait = 60000;
  args->lBatch = 10;
}

int ParsePingArgs(PingArgs* args, int argc, char** argv, std::string* usage) {
  bool valid = true;
  int managers = 0;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i] ? argv[i] : "";
    std::string_view option = arg.substr(0, 2);
    std::string_view value = arg.size() > 2 ? arg.substr(2) : std::string_view{};
    const char* number = arg.size() > 2 ? argv[i] + 2 : "";
    if (option == "-c") {
      if (!SetReportFlag(args, value)) valid = false;
      continue;
    }
    bool known = true;
    bool fits = true;
    if (option == "-m") {
      ++managers;
      fits = CopyField(args->szQMgrName, value);
    } else if (option == "-q") {
      fits = CopyField(args->szQueueName, value);
    } else if (option == "-h") {
      fits = CopyField(args->szHost, value);
    } else if (option == "-p") {
      fits = CopyField(args->szPort, value);
    } else if (option == "-u") {
      CopyField(args->szAltUser, value.substr(0, kAltUserLength));
    } else if (option == "-d") {
      fits = Number(number, 0, INT32_MAX, &args->lInterval);
    } else if (option == "-e") {
      // MQMD Expiry: tenths of a second, or -1 for unlimited; 0 is not a valid expiry.
      fits = Number(number, -1, INT32_MAX, &args->lExpiry) && args->lExpiry != 0;
    } else if (option == "-w") {
      fits = Number(number, -1, INT32_MAX, &args->lWait);
    } else if (option == "-b") {
      fits = Number(number, 1, INT32_MAX, &args->lBatch);
    } else if (option == "-s") {
      fits = Number(number, 0, kMaxPingSize, &args->lSize);
    } else if (option == "-v") {
      fits = Number(number, 0, 2, &args->lVerbose);
    } else if (option == "-o") {
      fits = ParseOutputOption(args, value);
    } else if (option == "-U") {
      fits = CopyField(args->szCspUser, value);
    } else if (option == "-P") {
      vrq::credentials::PasswordSource source;
      fits = vrq::credentials::ParsePasswordSource(std::string(value), source) &&
             CopyField(args->szPasswordSource, value);
    } else {
      known = false;
    }
    if (!known) {
      *usage += Format("Invalid argument: %s\n", std::string(option).c_str());
      valid = false;
    } else if (value.empty() || !fits) {
      valid = false;
    }
  }
  if (args->szPasswordSource[0] != '\0' && args->szCspUser[0] == '\0') {
    *usage += "-P needs -U\n";
    valid = false;
  }
  if (valid && managers == 1) return 1;
  *usage += Format(kUsage, argc > 0 && argv[0] ? argv[0] : "vrqmq");
  *usage += kOptions;
  *usage += "\n";
  return 0;
}

namespace {

// The run's credentials; the password buffer is wiped when the program ends.
vrq::credentials::Password g_password;
MQCredentials g_credentials;

}  // namespace

int ResolvePingCredentials(PingArgs* args, std::string* error) {
  args->pCredentials = nullptr;
  if (args->szCspUser[0] == '\0') return 1;
  vrq::credentials::PasswordSource source;
  if (args->szPasswordSource[0] == '\0') source.kind = vrq::credentials::PasswordSource::Kind::kTerminal;
  else vrq::credentials::ParsePasswordSource(args->szPasswordSource, source);
  const std::string prompt = std::string("Password of ") + args->szCspUser + ": ";
  if (!vrq::credentials::ReadPassword(source, prompt, g_password, *error)) return 0;
  g_credentials = {args->szCspUser, g_password.data(), static_cast<MQLONG>(g_password.size()), 0};
  args->pCredentials = &g_credentials;
  return 1;
}

int Init_Args(PingArgs* args, int argc, char** argv) {
  std::string usage;
  if (ParsePingArgs(args, argc, argv, &usage)) {
    std::string error;
    if (ResolvePingCredentials(args, &error)) return 1;
    std::fprintf(stderr, "%s: %s\n", argc > 0 && argv[0] ? argv[0] : "vrqmq", error.c_str());
    std::exit(1);
  }
  std::fputs(usage.c_str(), stdout);
  std::fflush(stdout);
  std::exit(1);
}

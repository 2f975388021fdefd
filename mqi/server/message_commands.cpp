// Put, get and browse from the command line through the MQI, as IBM's sample programs do:
// the put sends one message with the descriptor fields the options name; get and browse
// print the descriptor of each message and its data as a hexadecimal dump with the
// printable characters beside it.
#include "message_commands.h"

#include <cmqc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "value_names.h"
#include "wire.h"

namespace vrqsim {

namespace {

constexpr std::pair<MQLONG, const char*> kMsgTypes[] = {
    {MQMT_REQUEST, "request"}, {MQMT_REPLY, "reply"}, {MQMT_REPORT, "report"}, {MQMT_DATAGRAM, "datagram"}};

int Fail(const std::string& text) {
  std::fprintf(stderr, "vrqsim: %s\n", text.c_str());
  return 1;
}

template <size_t N>
void SetName(char (&field)[N], const std::string& value) {
  std::memset(field, ' ', N);
  std::memcpy(field, value.data(), std::min(N, value.size()));
}

// A fixed-width field without its trailing blanks.
template <size_t N>
std::string Text(const char (&field)[N]) {
  std::string s(field, strnlen(field, N));
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

std::string Hex(const MQBYTE* bytes, size_t n) {
  std::string s = "X'";
  char two[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, "%02X", bytes[i]);
    s += two;
  }
  return s + "'";
}

// Up to 24 bytes from hexadecimal digits, padded with zeros; nullopt when not hexadecimal.
std::optional<std::string> FromHex(const std::string& hex) {
  if (hex.empty() || hex.size() > 48 || hex.size() % 2) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    for (size_t j = i; j < i + 2; ++j) {
      const char c = hex[j];
      unsigned digit;
      if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
      else return std::nullopt;
      value = value * 16 + digit;
    }
    out += static_cast<char>(value);
  }
  return out;
}

// A whole number within [low, high]; nullopt otherwise.
std::optional<long> Number(const std::string& text, long low, long high) {
  if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const long v = std::stol(text);
  if (v < low || v > high) return std::nullopt;
  return v;
}

// A connection and one open queue, closed and disconnected on the way out.
class Session {
 public:
  ~Session() {
    MQLONG cc, rc;
    if (hobj_ != MQHO_UNUSABLE_HOBJ) MQCLOSE(hconn_, &hobj_, MQCO_NONE, &cc, &rc);
    if (hconn_ != MQHC_UNUSABLE_HCONN) MQDISC(&hconn_, &cc, &rc);
  }
  // Empty on success, else the failure to print.
  std::string Open(const std::string& qm, const std::string& queue, MQLONG options) {
    MQCHAR48 name;
    SetName(name, qm);
    MQLONG cc, rc;
    MQCONN(name, &hconn_, &cc, &rc);
    if (cc == MQCC_FAILED) {
      hconn_ = MQHC_UNUSABLE_HCONN;
      if (rc == MQRC_Q_MGR_NOT_AVAILABLE) return "queue manager " + qm + " is not running";
      return "cannot connect to queue manager " + qm + ": reason " + ReasonText(rc);
    }
    MQOD od = {MQOD_DEFAULT};
    SetName(od.ObjectName, queue);
    MQOPEN(hconn_, &od, options, &hobj_, &cc, &rc);
    if (cc == MQCC_FAILED) {
      hobj_ = MQHO_UNUSABLE_HOBJ;
      if (rc == MQRC_UNKNOWN_OBJECT_NAME) return "queue " + queue + " does not exist on " + qm;
      return "cannot open queue " + queue + ": reason " + ReasonText(rc);
    }
    return {};
  }
  MQHCONN hconn() const { return hconn_; }
  MQHOBJ hobj() const { return hobj_; }

 private:
  MQHCONN hconn_ = MQHC_UNUSABLE_HCONN;
  MQHOBJ hobj_ = MQHO_UNUSABLE_HOBJ;
};

void PrintDump(const std::vector<char>& data, size_t n) {
  for (size_t at = 0; at < n; at += 16) {
    std::printf("  %08zX ", at);
    std::string chars;
    for (size_t i = at; i < at + 16; ++i) {
      if (i < n) {
        const auto c = static_cast<unsigned char>(data[i]);
        std::printf(" %02X", c);
        chars += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
      } else {
        std::printf("   ");
      }
    }
    std::printf("  |%s|\n", chars.c_str());
  }
}

void PrintMessage(long number, const MQMD& md, const std::vector<char>& data, MQLONG length) {
  std::string type = std::to_string(md.MsgType);
  for (const auto& [value, name] : kMsgTypes)
    if (value == md.MsgType) type += std::string(" (") + name + ")";
  auto field = [](const char* name, const std::string& value) { std::printf("  %-15s %s\n", name, value.c_str()); };
  auto quoted = [](const std::string& s) { return "'" + s + "'"; };
  std::printf("message %ld\n", number);
  field("MsgType", type);
  field("Format", quoted(Text(md.Format)));
  field("Priority", std::to_string(md.Priority));
  field("Persistence", std::to_string(md.Persistence));
  field("Expiry", std::to_string(md.Expiry));
  field("Report", std::to_string(md.Report));
  field("Feedback", std::to_string(md.Feedback));
  field("Encoding", std::to_string(md.Encoding));
  field("CodedCharSetId", std::to_string(md.CodedCharSetId));
  field("BackoutCount", std::to_string(md.BackoutCount));
  field("MsgId", Hex(md.MsgId, sizeof md.MsgId));
  field("CorrelId", Hex(md.CorrelId, sizeof md.CorrelId));
  field("ReplyToQ", quoted(Text(md.ReplyToQ)));
  field("ReplyToQMgr", quoted(Text(md.ReplyToQMgr)));
  field("UserIdentifier", quoted(Text(md.UserIdentifier)));
  field("PutApplType", std::to_string(md.PutApplType));
  field("PutApplName", quoted(Text(md.PutApplName)));
  field("PutDate", quoted(Text(md.PutDate)));
  field("PutTime", quoted(Text(md.PutTime)));
  field("DataLength", std::to_string(length));
  PrintDump(data, static_cast<size_t>(std::max<MQLONG>(0, length)));
}

}  // namespace

std::string ReasonText(long reason) {
  const char* name = vrqsim_reason_name(static_cast<MQLONG>(reason));
  return name[0] != '\0' ? std::to_string(reason) + " " + name : std::to_string(reason);
}

int PutCommand(const std::vector<std::string>& args) {
  if (args.size() < 2) return Fail("put needs a queue manager and a queue");
  const std::string& qm = args[0];
  const std::string& queue = args[1];
  MQMD md = {MQMD_DEFAULT};
  std::memcpy(md.Format, MQFMT_STRING, MQ_FORMAT_LENGTH);
  std::optional<std::string> data;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--persistent") {
      md.Persistence = MQPER_PERSISTENT;
    } else if (a == "--reply-to" && has_value) {
      const std::string& q = args[++i];
      if (q.empty() || q.size() > MQ_Q_NAME_LENGTH) return Fail("bad reply-to queue name " + q);
      SetName(md.ReplyToQ, q);
      md.MsgType = MQMT_REQUEST;
    } else if (a == "--expiry" && has_value) {
      auto tenths = Number(args[++i], 1, 999999999);
      if (!tenths) return Fail("--expiry takes tenths of a second from 1 to 999999999");
      md.Expiry = static_cast<MQLONG>(*tenths);
    } else if (a == "--correl-id" && has_value) {
      auto bytes = FromHex(args[++i]);
      if (!bytes) return Fail("--correl-id takes up to 48 hexadecimal digits, an even number");
      std::memcpy(md.CorrelId, bytes->data(), bytes->size());
    } else if (a == "-f" && has_value && !data) {
      const std::string& path = args[++i];
      std::ifstream in(path, std::ios::binary);
      if (!in || !std::filesystem::is_regular_file(path)) return Fail("cannot read " + path);
      data = std::string(std::istreambuf_iterator<char>(in), {});
    } else if (!a.empty() && a[0] == '-') {
      return Fail("unknown or incomplete option " + a + " for put");
    } else if (!data) {
      data = a;
    } else {
      return Fail("put takes one message: text or -f file");
    }
  }
  if (!data) return Fail("put needs the message: text or -f file");
  if (data->size() > kMaxMsgLength) return Fail("the message is longer than 4 MB");

  Session session;
  if (std::string error = session.Open(qm, queue, MQOO_OUTPUT | MQOO_FAIL_IF_QUIESCING); !error.empty())
    return Fail(error);
  MQPMO pmo = {MQPMO_DEFAULT};
  pmo.Options = MQPMO_NO_SYNCPOINT | MQPMO_FAIL_IF_QUIESCING;
  MQLONG cc, rc;
  MQPUT(session.hconn(), session.hobj(), &md, &pmo, static_cast<MQLONG>(data->size()), data->data(), &cc, &rc);
  if (cc == MQCC_FAILED) return Fail("put to " + queue + " failed: reason " + ReasonText(rc));
  std::printf("message put to %s on %s, %zu bytes, MsgId %s\n", queue.c_str(), qm.c_str(), data->size(),
              Hex(md.MsgId, sizeof md.MsgId).c_str());
  return 0;
}

int GetCommand(const std::vector<std::string>& args, bool browse) {
  const char* verb = browse ? "browse" : "get";
  if (args.size() < 2) return Fail(std::string(verb) + " needs a queue manager and a queue");
  const std::string& qm = args[0];
  const std::string& queue = args[1];
  long wait = 0;
  long count = 1;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--wait" && has_value) {
      auto ms = Number(args[++i], 0, 999999999);
      if (!ms) return Fail("--wait takes milliseconds from 0 to 999999999");
      wait = *ms;
    } else if (a == "--count" && has_value) {
      const std::string& n = args[++i];
      auto value = n == "all" ? std::optional<long>(-1) : Number(n, 1, 999999999);
      if (!value) return Fail("--count takes a number from 1 to 999999999, or all");
      count = *value;
    } else {
      return Fail("unknown or incomplete option " + a + " for " + verb);
    }
  }

  Session session;
  const MQLONG open = (browse ? MQOO_BROWSE : MQOO_INPUT_AS_Q_DEF) | MQOO_FAIL_IF_QUIESCING;
  if (std::string error = session.Open(qm, queue, open); !error.empty()) return Fail(error);
  std::vector<char> buffer(kMaxMsgLength);
  long shown = 0;
  while (count < 0 || shown < count) {
    MQMD md = {MQMD_DEFAULT};
    MQGMO gmo = {MQGMO_DEFAULT};
    gmo.Version = MQGMO_VERSION_2;
    gmo.MatchOptions = MQMO_NONE;
    gmo.Options = MQGMO_NO_SYNCPOINT | MQGMO_FAIL_IF_QUIESCING;
    if (browse) gmo.Options |= shown ? MQGMO_BROWSE_NEXT : MQGMO_BROWSE_FIRST;
    if (wait) {
      gmo.Options |= MQGMO_WAIT;
      gmo.WaitInterval = static_cast<MQLONG>(wait);
    }
    MQLONG length = 0, cc, rc;
    MQGET(session.hconn(), session.hobj(), &md, &gmo, static_cast<MQLONG>(buffer.size()), buffer.data(), &length, &cc,
          &rc);
    if (rc == MQRC_NO_MSG_AVAILABLE) break;
    if (cc == MQCC_FAILED) {
      Fail(std::string(verb) + " from " + queue + " failed: reason " + ReasonText(rc));
      return 1;
    }
    if (shown) std::printf("\n");
    PrintMessage(++shown, md, buffer, length);
  }
  if (!shown) return Fail("no message on " + queue + " (reason " + ReasonText(MQRC_NO_MSG_AVAILABLE) + ")");
  std::fflush(stdout);
  return 0;
}

}  // namespace vrqsim

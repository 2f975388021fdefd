// Connection authentication: the security lines of the definition file, the users file,
// the password check with crypt(3), the privileged-user rule and the error log entries.
#include "authentication.h"

#include <cmqc.h>

#include <crypt.h>
#include <grp.h>
#include <pwd.h>
#include <shadow.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>

#include "qm_dir.h"

namespace vrqsim {

namespace {

// Longest user id and password checked; longer ones fail without reaching crypt().
constexpr size_t kMaxUserId = 1024;
constexpr size_t kMaxPassword = 1024;
constexpr size_t kMaxUsersFile = 4 * 1024 * 1024;
constexpr long kMaxLimit = 999999999;

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

// One MQSC keyword: NAME, or NAME(value[,value...]) with quoted or plain values.
struct Word {
  std::string name;
  bool has_value = false;
  std::vector<std::string> values;
};

// Splits a line into words; false on unbalanced quotes or parentheses.
bool Words(const std::string& line, std::vector<Word>& out) {
  size_t i = 0;
  const size_t n = line.size();
  auto space = [&] { while (i < n && std::isspace(static_cast<unsigned char>(line[i]))) ++i; };
  for (;;) {
    space();
    if (i >= n) return true;
    const size_t start = i;
    while (i < n && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_')) ++i;
    if (i == start) return false;
    Word w{Upper(line.substr(start, i - start)), false, {}};
    space();
    if (i < n && line[i] == '(') {
      ++i;
      w.has_value = true;
      for (;;) {
        space();
        std::string value;
        if (i < n && line[i] == '\'') {
          ++i;
          for (;;) {
            if (i >= n) return false;
            if (line[i] == '\'') {
              if (i + 1 < n && line[i + 1] == '\'') { value += '\''; i += 2; continue; }
              ++i;
              break;
            }
            value += line[i++];
          }
          space();
        } else {
          while (i < n && line[i] != ',' && line[i] != ')' && line[i] != '(' && line[i] != '\'') value += line[i++];
          while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
        }
        w.values.push_back(std::move(value));
        if (i >= n) return false;
        if (line[i] == ')') { ++i; break; }
        if (line[i] != ',') return false;
        ++i;
      }
    }
    out.push_back(std::move(w));
  }
}

std::optional<CheckMode> ParseMode(const std::string& v) {
  const std::string u = Upper(v);
  if (u == "NONE") return CheckMode::kNone;
  if (u == "OPTIONAL") return CheckMode::kOptional;
  if (u == "REQUIRED") return CheckMode::kRequired;
  if (u == "REQDADM") return CheckMode::kRequiredAdmin;
  return std::nullopt;
}

const char* ModeName(CheckMode m) {
  switch (m) {
    case CheckMode::kNone: return "NONE";
    case CheckMode::kOptional: return "OPTIONAL";
    case CheckMode::kRequired: return "REQUIRED";
    case CheckMode::kRequiredAdmin: return "REQDADM";
  }
  return "?";
}

bool ParseLimit(const Word& w, long low, long& out) {
  if (w.values.size() != 1) return false;
  const std::string& v = w.values[0];
  long value = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  if (ec != std::errc() || end != v.data() + v.size() || value < low || value > kMaxLimit) return false;
  out = value;
  return true;
}

// The single value of a keyword, or nullopt when it has none or several.
std::optional<std::string> One(const Word& w) {
  if (!w.has_value || w.values.size() != 1) return std::nullopt;
  return w.values[0];
}

// Options of the AUTHINFO object being defined; applied when CONNAUTH names it.
struct AuthInfo {
  CheckMode client = CheckMode::kRequiredAdmin;
  CheckMode local = CheckMode::kOptional;
  bool adopt = true;
  std::string users_file;
  long fail_delay_s = 1;
};

// Parses one security line; "" when done, the reason otherwise. not_mine: the line is
// not a security line (left to the queue definitions).
std::string ParseLine(const std::vector<Word>& w, SecurityConfig& config, std::map<std::string, AuthInfo>& authinfos,
                      bool& not_mine) {
  not_mine = false;
  const std::string verb = w[0].name;
  const std::string object = w.size() > 1 ? w[1].name : "";
  auto unknown = [](const Word& k) { return "unknown keyword " + k.name; };
  if (verb == "ALTER" && object == "QMGR") {
    if (w[1].has_value) return "QMGR takes no name";
    for (size_t i = 2; i < w.size(); ++i) {
      const Word& k = w[i];
      if (k.name == "CONNAUTH") {
        const auto v = One(k);
        if (!v || v->size() > 48) return "bad value for CONNAUTH";
        config.connauth_name = Upper(*v);
        while (!config.connauth_name.empty() && config.connauth_name.back() == ' ') config.connauth_name.pop_back();
      } else if (k.name == "CHLAUTH") {
        const auto v = One(k);
        if (!v || (Upper(*v) != "ENABLED" && Upper(*v) != "DISABLED")) return "bad value for CHLAUTH";
        config.chlauth = Upper(*v) == "ENABLED";
      } else if (k.name == "MAXCHANNELS") {
        if (!ParseLimit(k, 1, config.max_channels)) return "bad number for MAXCHANNELS";
      } else {
        return unknown(k);
      }
    }
    return {};
  }
  if ((verb == "DEFINE" || verb == "ALTER") && object == "AUTHINFO") {
    const auto name = One(w[1]);
    if (!name || name->empty() || !ValidObjectName(*name)) return "bad AUTHINFO name";
    AuthInfo& info = authinfos[Upper(*name)];
    if (verb == "DEFINE") info = AuthInfo{};
    bool typed = false;
    for (size_t i = 2; i < w.size(); ++i) {
      const Word& k = w[i];
      const auto v = One(k);
      if (k.name == "AUTHTYPE") {
        if (!v || Upper(*v) != "IDPWOS") return "only AUTHTYPE(IDPWOS) is known";
        typed = true;
      } else if (k.name == "CHCKCLNT" || k.name == "CHCKLOCL") {
        const auto mode = v ? ParseMode(*v) : std::nullopt;
        if (!mode) return "bad value for " + k.name;
        (k.name == "CHCKCLNT" ? info.client : info.local) = *mode;
      } else if (k.name == "ADOPTCTX") {
        if (!v || (Upper(*v) != "YES" && Upper(*v) != "NO")) return "bad value for ADOPTCTX";
        info.adopt = Upper(*v) == "YES";
      } else if (k.name == "FAILDLAY") {
        if (!ParseLimit(k, 0, info.fail_delay_s) || info.fail_delay_s > 60) return "bad number for FAILDLAY (0-60)";
      } else if (k.name == "AUTHENMD") {
        if (!v || Upper(*v) != "OS") return "only AUTHENMD(OS) is known";
      } else if (k.name == "USERFILE") {
        if (!v || v->size() > 4096) return "bad value for USERFILE";
        info.users_file = *v;
      } else if (k.name == "DESCR") {
        if (!v || v->size() > 64) return "bad text for DESCR";
      } else if (k.name != "REPLACE" || k.has_value) {
        return unknown(k);
      }
    }
    if (!typed) return "AUTHINFO needs AUTHTYPE(IDPWOS)";
    return {};
  }
  if (verb == "SET" && object == "CHLAUTH") {
    const auto channel = One(w[1]);
    if (!channel || channel->empty() || channel->size() > 20) return "bad channel name for CHLAUTH";
    std::optional<std::vector<std::string>> users;
    std::string action = "ADD";
    bool blockuser = false;
    for (size_t i = 2; i < w.size(); ++i) {
      const Word& k = w[i];
      const auto v = One(k);
      if (k.name == "TYPE") {
        if (!v || Upper(*v) != "BLOCKUSER") return "only TYPE(BLOCKUSER) is known";
        blockuser = true;
      } else if (k.name == "USERLIST") {
        if (!k.has_value || k.values.empty()) return "bad value for USERLIST";
        for (const auto& u : k.values)
          if (u.empty() || u.size() > 1024) return "bad user id in USERLIST";
        users = k.values;
      } else if (k.name == "ACTION") {
        if (!v || (Upper(*v) != "ADD" && Upper(*v) != "REPLACE" && Upper(*v) != "REMOVE")) return "bad value for ACTION";
        action = Upper(*v);
      } else if (k.name == "DESCR") {
        if (!v || v->size() > 100) return "bad text for DESCR";
      } else if (k.name == "WARN") {
        if (!v || Upper(*v) != "NO") return "only WARN(NO) is known";
      } else {
        return unknown(k);
      }
    }
    if (!blockuser) return "CHLAUTH needs TYPE(BLOCKUSER)";
    auto& rules = config.block_rules;
    auto same = [&](const BlockUserRule& r) { return r.channel == *channel; };
    rules.erase(std::remove_if(rules.begin(), rules.end(), same), rules.end());
    if (action != "REMOVE") {
      if (!users) return "BLOCKUSER needs USERLIST";
      rules.push_back({*channel, *users});
    }
    return {};
  }
  if (verb == "DEFINE" && object == "CHANNEL") {
    const auto name = One(w[1]);
    if (!name || name->empty() || name->size() > 20 || !ValidObjectName(*name)) return "bad channel name";
    ChannelLimits limits;
    bool svrconn = false;
    for (size_t i = 2; i < w.size(); ++i) {
      const Word& k = w[i];
      const auto v = One(k);
      if (k.name == "CHLTYPE") {
        if (!v || Upper(*v) != "SVRCONN") return "only CHLTYPE(SVRCONN) is known";
        svrconn = true;
      } else if (k.name == "TRPTYPE") {
        if (!v || Upper(*v) != "TCP") return "only TRPTYPE(TCP) is known";
      } else if (k.name == "MAXINST") {
        if (!ParseLimit(k, 0, limits.max_instances)) return "bad number for MAXINST";
      } else if (k.name == "MAXINSTC") {
        if (!ParseLimit(k, 0, limits.max_instances_per_client)) return "bad number for MAXINSTC";
      } else if (k.name == "DESCR") {
        if (!v || v->size() > 64) return "bad text for DESCR";
      } else if (k.name == "SSLCIPH" || k.name == "SSLCAUTH" || k.name == "SSLPEER") {
        // the channel's TLS settings, read by the TLS transport
      } else if (k.name != "REPLACE" || k.has_value) {
        return unknown(k);
      }
    }
    if (!svrconn) return "CHANNEL needs CHLTYPE(SVRCONN)";
    config.channels[*name] = limits;
    return {};
  }
  if (verb == "DEFINE" && object == "LISTENER") {
    const auto name = One(w[1]);
    if (!name || name->empty() || !ValidObjectName(*name)) return "bad listener name";
    for (size_t i = 2; i < w.size(); ++i) {
      const Word& k = w[i];
      const auto v = One(k);
      if (k.name == "TRPTYPE") {
        if (!v || Upper(*v) != "TCP") return "only TRPTYPE(TCP) is known";
      } else if (k.name == "BACKLOG") {
        if (!ParseLimit(k, 1, config.backlog)) return "bad number for BACKLOG";
      } else if (k.name == "CONTROL" || k.name == "DESCR" || k.name == "PORT") {
        if (!v) return "bad value for " + k.name;   // the port is VRQSIM_TCP_PORT's
      } else if (k.name != "REPLACE" || k.has_value) {
        return unknown(k);
      }
    }
    return {};
  }
  if (verb == "REFRESH" && object == "SECURITY") {
    for (size_t i = 2; i < w.size(); ++i)
      if (w[i].name != "TYPE") return unknown(w[i]);
    return {};   // a queue manager re-reads its users file whenever it changes
  }
  not_mine = true;
  return {};
}

bool ValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t extra = 0;
    uint32_t cp = 0;
    if (c < 0x80) { ++i; continue; }
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
    else return false;
    if (s.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

bool ParseDay(std::string_view field, long& out) {
  out = -1;
  if (field.empty()) return true;
  long v = 0;
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), v);
  if (ec != std::errc() || end != field.data() + field.size() || v < 0 || v > 10000000) return false;
  out = v;
  return true;
}

long Today() { return static_cast<long>(std::time(nullptr) / 86400); }

// Byte-wise comparison that does not stop at the first difference.
bool SameText(const char* a, const std::string& b) {
  const size_t n = std::strlen(a);
  unsigned diff = n == b.size() ? 0 : 1;
  for (size_t i = 0; i < n && i < b.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

bool Matches(const std::string& pattern, const std::string& channel) {
  if (!pattern.empty() && pattern.back() == '*')
    return channel.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  return pattern == channel;
}

}  // namespace

bool ExtractSecurityDefinitions(const std::string& text, SecurityConfig& config, std::string& rest,
                                std::string& error) {
  std::istringstream in(text);
  std::string line;
  std::ostringstream kept;
  std::map<std::string, AuthInfo> authinfos;
  for (int number = 1; std::getline(in, line); ++number) {
    const size_t first = line.find_first_not_of(" \t\r");
    std::vector<Word> words;
    if (first == std::string::npos || line[first] == '*' || line[first] == '#' || !Words(line, words) ||
        words.size() < 2) {
      kept << line << '\n';   // comments, and whatever the queue definitions judge
      continue;
    }
    bool not_mine = false;
    const std::string why = ParseLine(words, config, authinfos, not_mine);
    if (!why.empty()) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    kept << (not_mine ? line : std::string()) << '\n';
  }
  config.connauth = false;
  if (!config.connauth_name.empty()) {
    auto it = authinfos.find(config.connauth_name);
    if (it == authinfos.end()) {
      error = "CONNAUTH names AUTHINFO " + config.connauth_name + ", which is not defined";
      return false;
    }
    config.connauth = true;
    config.client = it->second.client;
    config.local = it->second.local;
    config.adopt = it->second.adopt;
    config.users_file = it->second.users_file;
    config.fail_delay_ms = it->second.fail_delay_s * 1000;
  }
  rest = kept.str();
  return true;
}

bool ParseUsersFile(std::string_view text, std::vector<UserAccount>& out, std::string& error) {
  out.clear();
  if (text.size() > kMaxUsersFile) {
    error = "larger than " + std::to_string(kMaxUsersFile) + " bytes";
    return false;
  }
  int number = 0;
  while (!text.empty()) {
    ++number;
    const size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(number) + ": " + why;
      out.clear();
      return false;
    };
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string_view> fields;
    for (;;) {
      const size_t colon = line.find(':');
      fields.push_back(line.substr(0, colon));
      if (colon == std::string_view::npos) break;
      line.remove_prefix(colon + 1);
    }
    if (fields.size() < 2 || fields.size() > 9) return fail("expected name:hash[:lastchg:min:max:warn:inactive:expire:]");
    UserAccount a;
    a.name = std::string(fields[0]);
    if (a.name.empty() || a.name.size() > kMaxUserId || !ValidUtf8(a.name) ||
        std::any_of(a.name.begin(), a.name.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
      return fail("bad user name");
    a.hash = std::string(fields[1]);
    std::string_view hash = a.hash;
    if (!hash.empty() && hash[0] == '!') hash.remove_prefix(1);
    const bool sha512 = hash.size() > 3 && hash.substr(0, 3) == "$6$" && hash.find('$', 3) != std::string_view::npos;
    if (!sha512 && hash != "" && hash != "*") return fail("the hash of " + LoggableText(a.name) + " is not SHA-512 crypt ($6$)");
    long unused = 0;
    if ((fields.size() > 2 && !ParseDay(fields[2], a.last_change)) || (fields.size() > 3 && !ParseDay(fields[3], unused)) ||
        (fields.size() > 4 && !ParseDay(fields[4], a.max_days)) || (fields.size() > 5 && !ParseDay(fields[5], unused)) ||
        (fields.size() > 6 && !ParseDay(fields[6], unused)) || (fields.size() > 7 && !ParseDay(fields[7], a.expire)))
      return fail("bad number in the entry of " + LoggableText(a.name));
    if (std::any_of(out.begin(), out.end(), [&](const UserAccount& b) { return b.name == a.name; }))
      return fail("user " + LoggableText(a.name) + " given twice");
    out.push_back(std::move(a));
  }
  return true;
}

std::string CheckAccount(const UserAccount& a, const std::string& password, long today) {
  if (a.hash.empty() || a.hash[0] == '!') return "the account is locked";
  if (a.hash[0] == '*') return "the account has no password";
  if (a.expire >= 0 && today >= a.expire) return "the account has expired";
  if (a.last_change == 0) return "the password must be changed";
  if (a.last_change > 0 && a.max_days >= 0 && today > a.last_change + a.max_days) return "the password has expired";
  crypt_data data{};
  const char* hashed = crypt_r(password.c_str(), a.hash.c_str(), &data);
  const bool same = hashed != nullptr && hashed[0] != '*' && SameText(hashed, a.hash);
  volatile char* p = reinterpret_cast<char*>(&data);
  for (size_t i = 0; i < sizeof data; ++i) p[i] = 0;
  return same ? std::string() : "wrong password";
}

std::string LoggableText(std::string_view user) {
  std::string out;
  size_t shown = 0;
  size_t i = 0;
  while (i < user.size() && shown < 64) {
    const auto c = static_cast<unsigned char>(user[i]);
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len > 1 && (user.size() - i < len || !ValidUtf8(user.substr(i, len)))) len = 0;
    if (len == 0 || (len == 1 && (c < 0x20 || c == 0x7F || c == '\\' || c == '\''))) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
      ++i;
    } else {
      out.append(user.substr(i, len));
      i += len;
    }
    ++shown;
  }
  if (i < user.size()) out += "...";
  return out;
}

Security::Security(std::string qm, SecurityConfig config) : qm_(std::move(qm)), config_(std::move(config)) {}

const ChannelLimits* Security::Limits(const std::string& channel) const {
  auto it = config_.channels.find(channel);
  return it == config_.channels.end() ? nullptr : &it->second;
}

bool Security::Load(std::string& error) {
  if (!config_.connauth || config_.users_file.empty()) return true;
  std::string path = config_.users_file;
  if (path[0] != '/') path = QmDir(qm_) + "/" + path;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    error = "cannot read the users file " + path + ": " + std::strerror(errno);
    return false;
  }
  const int64_t mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (mtime == loaded_mtime_ && st.st_size == loaded_size_) return true;
  if ((st.st_mode & (S_IWGRP | S_IWOTH | S_IROTH)) != 0) {
    error = "the users file " + path + " is refused: users other than its owner (and group, for reading) may "
            "read or change it; make it private with chmod 600 or 640";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (in && static_cast<uint64_t>(st.st_size) <= kMaxUsersFile) {
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
  }
  if (!in) {
    error = "cannot read the users file " + path;
    return false;
  }
  std::vector<UserAccount> accounts;
  if (!ParseUsersFile(text, accounts, error)) {
    error = "users file " + path + ": " + error;
    return false;
  }
  accounts_ = std::move(accounts);
  loaded_mtime_ = mtime;
  loaded_size_ = st.st_size;
  return true;
}

std::string Security::Verify(const std::string& user, const std::string& password) {
  if (user.size() > kMaxUserId) return "the user id is longer than " + std::to_string(kMaxUserId) + " bytes";
  if (!ValidUtf8(user)) return "the user id is not valid UTF-8";
  if (std::any_of(user.begin(), user.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F || c == ':'; }))
    return "the user id holds a control character or a colon";
  if (password.empty()) return "no password was supplied";
  if (password.size() > kMaxPassword) return "the password is longer than " + std::to_string(kMaxPassword) + " bytes";
  if (password.find('\0') != std::string::npos) return "the password holds a NUL byte";
  if (!config_.users_file.empty()) {
    std::string error;
    if (!Load(error)) return error;
    auto it = std::find_if(accounts_.begin(), accounts_.end(), [&](const UserAccount& a) { return a.name == user; });
    if (it == accounts_.end()) return "the user id is not known";
    return CheckAccount(*it, password, Today());
  }
  errno = 0;
  const spwd* entry = getspnam(user.c_str());
  if (!entry) {
    const int e = errno;
    endspent();
    if (e != 0 && e != ENOENT) return std::string("the password database cannot be read: ") + std::strerror(e);
    return "the user id is not known";
  }
  UserAccount a;
  a.name = user;
  a.hash = entry->sp_pwdp ? entry->sp_pwdp : "";
  a.last_change = entry->sp_lstchg;
  a.max_days = entry->sp_max >= 0 && entry->sp_max < 99999 ? entry->sp_max : -1;
  a.expire = entry->sp_expire;
  endspent();
  std::string why = CheckAccount(a, password, Today());
  Wipe(a.hash);
  return why;
}

bool Security::Privileged(const std::string& user) const {
  if (user == "root" || user == "mqm") return true;
  if (const passwd* me = getpwuid(geteuid()); me && user == me->pw_name) return true;
  const passwd* pw = getpwnam(user.c_str());
  if (pw && pw->pw_uid == 0) return true;
  if (const group* g = getgrnam("mqm")) {
    if (pw && pw->pw_gid == g->gr_gid) return true;
    for (char** m = g->gr_mem; m && *m; ++m)
      if (user == *m) return true;
  }
  return false;
}

MQLONG Security::Admit(ConnRequest& req, bool client, std::string& user) {
  user = req.user;
  const bool supplied = req.auth_type == MQCSP_AUTH_USER_ID_AND_PWD && !req.csp_user.empty();
  const CheckMode mode = !config_.connauth ? CheckMode::kNone : client ? config_.client : config_.local;
  const std::string setting = std::string(client ? "CHCKCLNT(" : "CHCKLOCL(") + ModeName(mode) + ")";
  std::string why;
  bool checked = false;
  if (mode != CheckMode::kNone) {
    if (supplied) {
      why = Verify(req.csp_user, req.csp_password);
      checked = why.empty();
    } else if (req.auth_type == MQCSP_AUTH_USER_ID_AND_PWD && !req.csp_password.empty()) {
      why = "a password was supplied without a user id";
    } else if (mode == CheckMode::kRequired ||
               (mode == CheckMode::kRequiredAdmin && Privileged(Trimmed(req.user.data(), req.user.size())))) {
      LogError("AMQ5540E", "Application '" + LoggableText(req.appl_name) + "' did not supply a user ID and password",
               "The queue manager is configured to require a user ID and password, but none was supplied.",
               "Ensure that the application provides a valid user ID and password, or change the queue manager "
               "configuration to OPTIONAL to allow applications to connect which have not supplied a user ID and "
               "password.");
      LogError("AMQ5541I", "The failed authentication check was caused by the queue manager CONNAUTH " + setting +
                               " configuration.",
               "The user ID '" + LoggableText(Trimmed(req.user.data(), req.user.size())) + "' and its password were "
               "required to be supplied by the application, but none was supplied.",
               "None.");
      Wipe(req.csp_password);
      return MQRC_NOT_AUTHORIZED;
    }
  }
  Wipe(req.csp_password);
  if (!why.empty()) {
    const std::string shown = LoggableText(req.csp_user);
    LogError("AMQ5534E", "User ID '" + shown + "' authentication failed",
             "The user ID and password supplied by '" + LoggableText(req.appl_name) + "' could not be authenticated.",
             "Ensure that the correct user ID and password are provided by the application. Ensure that the "
             "authentication repository is correctly configured. Look at previous error messages for any additional "
             "information.");
    LogError("AMQ5542I", "The failed authentication check was caused by the queue manager CONNAUTH " + setting +
                             " configuration.",
             "The user ID '" + shown + "' and its password were checked because the queue manager connection "
             "authentication configuration refers to an authentication information (AUTHINFO) object named '" +
             config_.connauth_name + "' with " + setting + ". The check failed: " + why + ".",
             "Correct the user ID or password, or the account in the authentication repository.");
    return MQRC_NOT_AUTHORIZED;
  }
  if (checked && config_.adopt) user = req.csp_user.substr(0, MQ_USER_ID_LENGTH);
  if (client && config_.chlauth) {
    const std::string who = checked && config_.adopt ? req.csp_user : Trimmed(req.user.data(), req.user.size());
    for (const BlockUserRule& rule : config_.block_rules) {
      if (!Matches(rule.channel, req.channel)) continue;
      for (const std::string& blocked : rule.users) {
        if (blocked == who || (Upper(blocked) == "*MQADMIN" && Privileged(who))) {
          LogError("AMQ9777E", "Channel was blocked",
                   "The inbound channel '" + LoggableText(req.channel) + "' was blocked because the active values of "
                   "the channel were mapped to a user ID which should be blocked. The active values of the channel "
                   "were 'CLNTUSER(" + LoggableText(who) + ")'.",
                   "Contact the systems administrator, who should examine the channel authentication records to "
                   "ensure that the correct settings have been configured.");
          return MQRC_NOT_AUTHORIZED;
        }
      }
    }
  }
  return MQRC_NONE;
}

void WriteErrorLog(const std::string& qm, const std::string& id, const std::string& text,
                   const std::string& explanation, const std::string& action) {
  char when[64] = "";
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(when, sizeof when, "%m/%d/%Y %I:%M:%S %p", &tm);
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  passwd pw{};
  passwd* me = nullptr;
  char buffer[1024];
  getpwuid_r(geteuid(), &pw, buffer, sizeof buffer, &me);
  std::ostringstream entry;
  entry << when << " - Process(" << getpid() << ".1) User(" << (me ? me->pw_name : "?")
        << ") Program(vrqsim)\n                    Host(" << host << ") QMgr(" << qm << ")\n\n"
        << id << ": " << text << "\n\nEXPLANATION:\n" << explanation << "\nACTION:\n" << action
        << "\n-------------------------------------------------------------------------------\n";
  static std::mutex mutex;  // the TLS listener's thread writes here too
  std::lock_guard<std::mutex> lock(mutex);
  std::error_code ec;
  std::filesystem::create_directories(QmDir(qm), ec);
  std::ofstream(QmDir(qm) + "/AMQERR01.LOG", std::ios::app) << entry.str();
  std::fprintf(stderr, "%s: %s\n", id.c_str(), text.c_str());
}

void Security::LogError(const std::string& id, const std::string& text, const std::string& explanation,
                        const std::string& action) const {
  WriteErrorLog(qm_, id, text, explanation, action);
}

}  // namespace vrqsim

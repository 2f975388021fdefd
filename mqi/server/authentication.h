// Connection authentication of the stand-in queue manager: the user id and password of an
// MQCONNX's MQCSP checked against a users file of salted crypt(3) SHA-512 hashes or the
// system's shadow password database, the channel rules that block users on client
// channels, and the connection limits of the TCP listener. Configured by MQSC-like lines of
// the definition file:
//   ALTER QMGR CONNAUTH('USE.PW') CHLAUTH(ENABLED) MAXCHANNELS(200)
//   DEFINE AUTHINFO('USE.PW') AUTHTYPE(IDPWOS) CHCKCLNT(REQUIRED) CHCKLOCL(OPTIONAL)
//          ADOPTCTX(YES) FAILDLAY(1) USERFILE('/etc/vrqsim/users')
//   SET CHLAUTH('*') TYPE(BLOCKUSER) USERLIST('*MQADMIN','guest')
//   DEFINE CHANNEL('APP.SVRCONN') CHLTYPE(SVRCONN) MAXINST(50) MAXINSTC(5)
//   DEFINE LISTENER('TCP.LISTENER') TRPTYPE(TCP) BACKLOG(100)
//   REFRESH SECURITY TYPE(CONNAUTH)
// A failed check answers 2035 and writes the user id and the cause (never the password) to
// the queue manager's error log, AMQERR01.LOG in its folder.
#pragma once

#include <cmqc.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "protocol.h"

namespace vrqsim {

// CHCKCLNT and CHCKLOCL.
enum class CheckMode { kNone, kOptional, kRequired, kRequiredAdmin };

struct BlockUserRule {
  std::string channel;               // a channel name, or a generic one ending in '*'
  std::vector<std::string> users;    // user ids; *MQADMIN stands for every privileged user
};

struct ChannelLimits {
  long max_instances = 999999999;            // MAXINST: connections on the channel
  long max_instances_per_client = 999999999; // MAXINSTC: of those, from one address
};

struct SecurityConfig {
  bool connauth = false;          // ALTER QMGR CONNAUTH names an IDPWOS AUTHINFO object
  std::string connauth_name;
  CheckMode client = CheckMode::kRequiredAdmin;   // IBM's defaults of an IDPWOS object
  CheckMode local = CheckMode::kOptional;
  bool adopt = true;              // ADOPTCTX: a checked user id becomes the connection's
  std::string users_file;         // USERFILE; empty: the system password database
  long fail_delay_ms = 1000;      // FAILDLAY: a refusal is answered this much later
  bool chlauth = true;            // ALTER QMGR CHLAUTH
  std::vector<BlockUserRule> block_rules;
  std::map<std::string, ChannelLimits> channels;  // DEFINE CHANNEL ... MAXINST MAXINSTC
  long max_channels = 1000;       // TCP connections in all (MAXCHANNELS)
  long backlog = 100;             // TCP connections still in their opening exchange (BACKLOG)
};

// Takes the security lines (ALTER QMGR, DEFINE/ALTER AUTHINFO, SET CHLAUTH, DEFINE CHANNEL,
// DEFINE LISTENER, REFRESH SECURITY) out of a definition text into config; rest is the text
// with those lines blanked, so that the queue lines keep their numbers. False with
// "line N: reason" when one of them is malformed.
bool ExtractSecurityDefinitions(const std::string& text, SecurityConfig& config, std::string& rest,
                                std::string& error);

// One account of a users file, in the shadow(5) form
//   name:hash:lastchg:min:max:warn:inactive:expire:
// (fields after the hash may be left out; empty numbers are unset, -1).
struct UserAccount {
  std::string name;
  std::string hash;      // "$6$salt$..." ; "!" in front locks the account
  long last_change = -1; // days since 1970-01-01; 0: the password must be changed
  long max_days = -1;    // the password's lifetime in days
  long expire = -1;      // the day the account expires
};

// Parses a users file; comment lines start with '#'. False with "line N: reason" for a
// malformed line, a hash that is not SHA-512 crypt, or a name given twice.
bool ParseUsersFile(std::string_view text, std::vector<UserAccount>& out, std::string& error);

// Why an account with this password may not connect; empty when it may. today is the day
// number since 1970-01-01.
std::string CheckAccount(const UserAccount& account, const std::string& password, long today);

// Text from a client (a user id, an application or channel name) as it may appear in a
// log: control characters, quotes, backslashes and bytes that are not UTF-8 as \xNN, at
// most 64 characters (longer ones cut, with "...").
std::string LoggableText(std::string_view text);

// Appends one message, in IBM's error-log form, to the error log AMQERR01.LOG in the
// folder of queue manager qm, and its first line to standard error; safe from any thread.
void WriteErrorLog(const std::string& qm, const std::string& id, const std::string& text,
                   const std::string& explanation, const std::string& action);

class Security {
 public:
  Security(std::string qm, SecurityConfig config);

  // Checks the opening request of a connection (client: it came over TCP). MQRC_NONE with
  // the user id the connection runs as in user, or MQRC_NOT_AUTHORIZED with the cause in
  // the error log. The request's password is wiped either way.
  MQLONG Admit(ConnRequest& req, bool client, std::string& user);

  // Loads the users file now; false with the reason when it cannot be read or parsed.
  bool Load(std::string& error);

  const SecurityConfig& config() const { return config_; }
  const ChannelLimits* Limits(const std::string& channel) const;

  // Appends one message to the queue manager's error log (and a line to standard error).
  void LogError(const std::string& id, const std::string& text, const std::string& explanation,
                const std::string& action) const;

 private:
  std::string Verify(const std::string& user, const std::string& password);
  bool Privileged(const std::string& user) const;

  std::string qm_;
  SecurityConfig config_;
  std::vector<UserAccount> accounts_;
  int64_t loaded_mtime_ = -1;
  int64_t loaded_size_ = -1;
};

}  // namespace vrqsim

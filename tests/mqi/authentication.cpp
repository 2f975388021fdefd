// Connection authentication of the stand-in: MQCSP user ids and passwords checked against
// a users file on client connections (and local bindings when configured), the error log
// entries of a refusal, the channel rule that blocks users, the channel instance limits,
// and the TCP listener's defences against peers that never finish their opening exchange.
#include <arpa/inet.h>
#include <crypt.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmqc.h>
#include <cmqxc.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>

#include "mqi_test.h"

using namespace mqitest;

namespace {

std::string Hash(const char* password) {
  crypt_data data{};
  const char* h = crypt_r(password, "$6$vrqauthsalt$", &data);
  return h ? h : "";
}

int RecordedPort(const vrqtest::StandinQm& qm) {
  std::ifstream in(qm.dir() + "/" + qm.name() + "/qm.port");
  int port = 0;
  in >> port;
  return port;
}

std::string ErrorLog(const vrqtest::StandinQm& qm) {
  return vrqtest::ReadFile(qm.dir() + "/" + qm.name() + "/AMQERR01.LOG");
}

// MQCONNX with an MQCSP when user is given; over TCP to port (channel APP.SVRCONN) when
// port is nonzero, by local bindings otherwise.
Result ConnectAs(const std::string& qm, int port, const std::string* user, const std::string* password,
                 MQHCONN& h) {
  MQCD cd = {MQCD_CLIENT_CONN_DEFAULT};
  const std::string conn = "127.0.0.1(" + std::to_string(port) + ")";
  std::memcpy(cd.ConnectionName, conn.data(), conn.size());
  std::memcpy(cd.ChannelName, "APP.SVRCONN", 11);
  MQCSP csp = {MQCSP_DEFAULT};
  MQCNO cno = {MQCNO_DEFAULT};
  cno.Version = MQCNO_VERSION_5;
  cno.Options = MQCNO_HANDLE_SHARE_BLOCK | (port ? MQCNO_CLIENT_BINDING : MQCNO_LOCAL_BINDING);
  if (port) cno.ClientConnPtr = &cd;
  if (user) {
    csp.AuthenticationType = MQCSP_AUTH_USER_ID_AND_PWD;
    csp.CSPUserIdPtr = const_cast<char*>(user->data());
    csp.CSPUserIdLength = static_cast<MQLONG>(user->size());
    csp.CSPPasswordPtr = const_cast<char*>(password->data());
    csp.CSPPasswordLength = static_cast<MQLONG>(password->size());
    cno.SecurityParmsPtr = &csp;
  }
  std::string name = qm;
  name.resize(48, '\0');
  Result r;
  h = MQHC_UNUSABLE_HCONN;
  MQCONNX(name.data(), &cno, &h, &r.cc, &r.rc);
  return r;
}

void Disconnect(MQHCONN& h) {
  MQLONG cc, rc;
  if (h != MQHC_UNUSABLE_HCONN) MQDISC(&h, &cc, &rc);
}

int RawConnect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

// Whether the peer closes the connection within timeout_ms.
bool ClosedByPeer(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  char buf[256];
  for (;;) {
    if (poll(&p, 1, timeout_ms) <= 0) return false;
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return true;
  }
}

class Users {
 public:
  Users() {
    const long today = static_cast<long>(std::time(nullptr) / 86400);
    const std::string good = Hash("alice-pw-1");
    vrqtest::WriteFile(path(), "# accounts of the tests\n"
                               "alice:" + good + ":\n"
                               "bob:!" + good + ":\n"                                   // locked
                               "carol:" + good + "::0:99999:7::" + std::to_string(today - 1) + ":\n"  // expired
                               "dave:" + good + ":0:0:99999:7:::\n"                      // must change
                               "erin:" + good + ":" + std::to_string(today - 100) + ":0:30:7:::\n");  // password too old
    chmod(path().c_str(), 0600);
  }
  std::string path() const { return dir_.file("users"); }

 private:
  vrqtest::TempDir dir_;
};

}  // namespace

TEST(MqiAuthentication, ClientsNeedAValidUserAndPasswordAndFailuresAreLogged) {
  VRQ_SKIP_WITHOUT_STANDIN();
  ScopedEnv tcp("VRQSIM_TCP_PORT", "0");
  Users users;
  vrqtest::StandinQm qm("QM.AUTH",
                        "ALTER QMGR CONNAUTH('USE.PW')\n"
                        "DEFINE AUTHINFO('USE.PW') AUTHTYPE(IDPWOS) CHCKCLNT(REQUIRED) CHCKLOCL(OPTIONAL) "
                        "ADOPTCTX(YES) FAILDLAY(0) USERFILE('" + users.path() + "')\n"
                        "DEFINE CHANNEL('APP.SVRCONN') CHLTYPE(SVRCONN) MAXINST(3)\n"
                        "DEFINE QLOCAL(Q1)\n");
  ASSERT_TRUE(qm.running());
  const int port = RecordedPort(qm);
  ASSERT_GT(port, 0);
  unsetenv("VRQSIM_TCP_PORT");   // local bindings through the Unix-domain socket

  struct Case {
    const char* what;
    std::string user;
    std::string password;
    MQLONG rc;
    const char* logged;   // the cause the error log names, or null
  };
  const std::string long_password(10 * 1024, 'p');
  const std::vector<Case> cases = {
      {"right password", "alice", "alice-pw-1", MQRC_NONE, nullptr},
      {"wrong password", "alice", "wrong-pw-7731", MQRC_NOT_AUTHORIZED, "wrong password"},
      {"unknown user", "mallory", "alice-pw-1", MQRC_NOT_AUTHORIZED, "the user id is not known"},
      {"locked account", "bob", "alice-pw-1", MQRC_NOT_AUTHORIZED, "the account is locked"},
      {"expired account", "carol", "alice-pw-1", MQRC_NOT_AUTHORIZED, "the account has expired"},
      {"password to change", "dave", "alice-pw-1", MQRC_NOT_AUTHORIZED, "the password must be changed"},
      {"password too old", "erin", "alice-pw-1", MQRC_NOT_AUTHORIZED, "the password has expired"},
      {"empty password", "alice", "", MQRC_NOT_AUTHORIZED, "no password was supplied"},
      {"10 KB password", "alice", long_password, MQRC_NOT_AUTHORIZED, "the password is longer than"},
      {"non-UTF-8 user id", "al\xff\xfeice", "alice-pw-1", MQRC_NOT_AUTHORIZED, "not valid UTF-8"},
      {"10 KB user id", std::string(10 * 1024, 'u'), "alice-pw-1", MQRC_NOT_AUTHORIZED, "the user id is longer than"},
      {"user id with a colon", "alice:x", "alice-pw-1", MQRC_NOT_AUTHORIZED, "a control character or a colon"},
  };
  for (const Case& c : cases) {
    MQHCONN h;
    const Result r = ConnectAs("QM.AUTH", port, &c.user, &c.password, h);
    EXPECT_EQ(r.rc, c.rc) << c.what;
    if (r.rc == MQRC_NONE) {
      // The checked user id becomes the connection's (ADOPTCTX(YES)).
      MQHOBJ q;
      ASSERT_EQ(Open(h, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);
      ASSERT_EQ(Put(h, q, "hello").cc, MQCC_OK);
      EXPECT_EQ(Field(Get(h, q).md.UserIdentifier), "alice");
    }
    Disconnect(h);
    if (c.logged) {
      EXPECT_NE(ErrorLog(qm).find(c.logged), std::string::npos) << c.what;
    }
  }
  // No credentials on a client connection: refused (AMQ5540E); on local bindings with
  // CHCKLOCL(OPTIONAL): let in, and a wrong password there is still refused.
  MQHCONN h;
  EXPECT_EQ(ConnectAs("QM.AUTH", port, nullptr, nullptr, h).rc, MQRC_NOT_AUTHORIZED);
  const std::string alice = "alice", wrong = "wrong-pw-7731";
  EXPECT_EQ(ConnectAs("QM.AUTH", 0, nullptr, nullptr, h).rc, MQRC_NONE);
  Disconnect(h);
  EXPECT_EQ(ConnectAs("QM.AUTH", 0, &alice, &wrong, h).rc, MQRC_NOT_AUTHORIZED);

  // A malformed MQCSP is the caller's error, found before anything is sent.
  MQCSP csp = {MQCSP_DEFAULT};
  csp.AuthenticationType = MQCSP_AUTH_USER_ID_AND_PWD;
  csp.CSPUserIdLength = -1;
  MQCNO cno = {MQCNO_DEFAULT};
  cno.Version = MQCNO_VERSION_5;
  cno.SecurityParmsPtr = &csp;
  char name[48] = "QM.AUTH";
  Result r;
  MQCONNX(name, &cno, &h, &r.cc, &r.rc);
  EXPECT_EQ(r.rc, MQRC_CSP_ERROR);

  // MAXINST(3): a fourth connection on the channel is refused, the others keep working.
  const std::string right = "alice-pw-1";
  std::vector<MQHCONN> open(3);
  for (MQHCONN& each : open) ASSERT_EQ(ConnectAs("QM.AUTH", port, &alice, &right, each).rc, MQRC_NONE);
  EXPECT_EQ(ConnectAs("QM.AUTH", port, &alice, &right, h).rc, MQRC_CHANNEL_NOT_AVAILABLE);
  for (MQHCONN& each : open) Disconnect(each);

  const std::string log = ErrorLog(qm);
  EXPECT_NE(log.find("AMQ5534E: User ID 'alice' authentication failed"), std::string::npos);
  EXPECT_NE(log.find("AMQ5542I"), std::string::npos);
  EXPECT_NE(log.find("AMQ5540E"), std::string::npos);
  EXPECT_NE(log.find("User ID 'al\\xFF\\xFEice'"), std::string::npos);   // escaped, not raw bytes
  for (const std::string& secret : {std::string("wrong-pw-7731"), std::string("alice-pw-1"), long_password})
    EXPECT_EQ(log.find(secret), std::string::npos) << "a password reached the error log";
  EXPECT_EQ(vrqtest::ReadFile(qm.dir() + "/QM.AUTH/qm.log").find("wrong-pw-7731"), std::string::npos);
}

TEST(MqiAuthentication, ChannelRuleBlocksNamedUsersOnClientChannelsOnly) {
  VRQ_SKIP_WITHOUT_STANDIN();
  ScopedEnv tcp("VRQSIM_TCP_PORT", "0");
  Users users;
  const passwd* me = getpwuid(geteuid());
  ASSERT_NE(me, nullptr);
  const std::string self = std::string(me->pw_name).substr(0, 12);
  vrqtest::StandinQm qm("QM.BLOCK",
                        "ALTER QMGR CONNAUTH('USE.PW') CHLAUTH(ENABLED)\n"
                        "DEFINE AUTHINFO('USE.PW') AUTHTYPE(IDPWOS) CHCKCLNT(OPTIONAL) USERFILE('" + users.path() + "')\n"
                        "SET CHLAUTH('APP.*') TYPE(BLOCKUSER) USERLIST('" + self + "','nobody')\n");
  ASSERT_TRUE(qm.running());
  const int port = RecordedPort(qm);
  unsetenv("VRQSIM_TCP_PORT");
  MQHCONN h;
  // This process's own user id, asserted by the client: blocked on the channel ...
  EXPECT_EQ(ConnectAs("QM.BLOCK", port, nullptr, nullptr, h).rc, MQRC_NOT_AUTHORIZED);
  EXPECT_NE(ErrorLog(qm).find("AMQ9777E"), std::string::npos);
  // ... but not on local bindings, nor once a checked user id is adopted.
  EXPECT_EQ(ConnectAs("QM.BLOCK", 0, nullptr, nullptr, h).rc, MQRC_NONE);
  Disconnect(h);
  const std::string alice = "alice", pw = "alice-pw-1", wrong = "wrong-pw-7731";
  EXPECT_EQ(ConnectAs("QM.BLOCK", port, &alice, &pw, h).rc, MQRC_NONE);
  Disconnect(h);
  // A refusal is answered after FAILDLAY (1 second unless defined otherwise).
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ConnectAs("QM.BLOCK", port, &alice, &wrong, h).rc, MQRC_NOT_AUTHORIZED);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

TEST(MqiAuthentication, ListenerDropsSilentAndGarbagePeersAndRefusesAdminRequests) {
  VRQ_SKIP_WITHOUT_STANDIN();
  ScopedEnv tcp("VRQSIM_TCP_PORT", "0");
  vrqtest::StandinQm qm("QM.GUARD", "DEFINE LISTENER('L1') TRPTYPE(TCP) BACKLOG(5)\n");
  ASSERT_TRUE(qm.running());
  const int port = RecordedPort(qm);
  unsetenv("VRQSIM_TCP_PORT");
  // Garbage: a frame header announcing more than any frame may hold.
  const int garbage = RawConnect(port);
  ASSERT_GE(garbage, 0);
  const uint32_t header[2] = {0xFFFFFFF0u, 1};
  ASSERT_EQ(send(garbage, header, sizeof header, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof header));
  EXPECT_TRUE(ClosedByPeer(garbage, 30000));
  close(garbage);
  // An admin request ("stop") over TCP: the connection is dropped, the queue manager runs on.
  const int admin = RawConnect(port);
  ASSERT_GE(admin, 0);
  const std::string stop = "stop";
  std::string frame(8 + 4 + stop.size(), '\0');
  const uint32_t length = 4 + static_cast<uint32_t>(stop.size()), op = 12, text = static_cast<uint32_t>(stop.size());
  std::memcpy(frame.data(), &length, 4);
  std::memcpy(frame.data() + 4, &op, 4);
  std::memcpy(frame.data() + 8, &text, 4);
  std::memcpy(frame.data() + 12, stop.data(), stop.size());
  ASSERT_EQ(send(admin, frame.data(), frame.size(), MSG_NOSIGNAL), static_cast<ssize_t>(frame.size()));
  EXPECT_TRUE(ClosedByPeer(admin, 30000));
  close(admin);
  // Silent peers fill the opening backlog (5); local bindings still connect, and the
  // silent ones are closed once their opening time has passed.
  std::vector<int> silent;
  for (int i = 0; i < 8; ++i) silent.push_back(RawConnect(port));
  {
    Connection local("QM.GUARD");
    EXPECT_EQ(local.r.cc, MQCC_OK);
  }
  for (int fd : silent) {
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ClosedByPeer(fd, 60000));
    close(fd);
  }
  MQHCONN h;
  EXPECT_EQ(ConnectAs("QM.GUARD", port, nullptr, nullptr, h).rc, MQRC_NONE);
  Disconnect(h);
}

TEST(MqiAuthentication, BadSecurityLinesAndUsersFilesStopTheStart) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::TempDir dir;
  vrqtest::WriteFile(dir.file("open"), "alice:" + Hash("x") + ":\n");
  chmod(dir.file("open").c_str(), 0666);
  vrqtest::WriteFile(dir.file("md5"), "alice:$1$salt$abcdefghijklmnopqrstuv:\n");
  chmod(dir.file("md5").c_str(), 0600);
  for (const std::string& defs : {
           std::string("ALTER QMGR CONNAUTH('MISSING')\n"),
           std::string("DEFINE AUTHINFO('A') AUTHTYPE(IDPWLDAP)\n"),
           std::string("DEFINE AUTHINFO('A') AUTHTYPE(IDPWOS) CHCKCLNT(SOMETIMES)\n"),
           std::string("SET CHLAUTH('*') TYPE(BLOCKUSER) USERLIST('a'\n"),
           std::string("DEFINE CHANNEL('C') CHLTYPE(SVRCONN) MAXINST(-1)\n")}) {
    vrqtest::WriteFile(dir.file("defs"), defs);
    const vrqtest::ProcessResult r =
        vrqtest::Run({vrqtest::StandinQm::ServerPath(), "create", "QM.BAD", "-d", dir.file("defs")},
                     {"VRQSIM_DIR=" + dir.path()});
    EXPECT_EQ(r.status, 1) << defs;
    EXPECT_NE(r.err.find("definition file: "), std::string::npos) << r.err;
  }
  // Users files are read at start: a missing one, one that others may change, and one with
  // hashes of another kind each stop it.
  vrqtest::StandinQm qm("QM.BAD");
  ASSERT_TRUE(qm.Stop());
  const std::string authinfo = "ALTER QMGR CONNAUTH('A')\nDEFINE AUTHINFO('A') AUTHTYPE(IDPWOS) USERFILE('";
  for (const char* file : {"none", "open", "md5"}) {
    vrqtest::WriteFile(qm.dir() + "/QM.BAD/qm.defs", authinfo + dir.file(file) + "')\n");
    const vrqtest::ProcessResult r = qm.Command({"start", "QM.BAD"});
    EXPECT_EQ(r.status, 1) << file;
    EXPECT_NE(r.err.find("users file"), std::string::npos) << r.err;
  }
}

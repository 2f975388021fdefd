// User ids and passwords: the password sources (a file only its owner may read, an
// environment variable, a credentials file) and, end to end, vrqmq and vrrpl in client mode
// against a stand-in queue manager that requires a password: right credentials ping, wrong
// ones end with 2035, and the password shows up in no output, verbose line, trace, JSON,
// Prometheus file or error log.
#include <gtest/gtest.h>
#include <crypt.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "password_source.h"
#include "standin_qm.h"
#include "vrqtest.h"

using namespace vrq::credentials;

namespace {

constexpr const char* kSecret = "Pw-of-the-test-4471";

std::string PrivateFile(const vrqtest::TempDir& dir, const std::string& name, const std::string& text,
                        mode_t mode = 0600) {
  const std::string path = dir.file(name);
  vrqtest::WriteFile(path, text);
  chmod(path.c_str(), mode);
  return path;
}

}  // namespace

TEST(PasswordSources, FilesEnvironmentAndCredentialsFiles) {
  vrqtest::TempDir dir;
  struct Case {
    const char* what;
    std::string text;
    mode_t mode;
    const char* password;   // expected, or null when refused
    const char* why;        // part of the refusal
  };
  const std::string secret = kSecret, line = secret + "\n", crlf = secret + "\r\n";
  const std::vector<Case> cases = {
      {"private file", line, 0600, kSecret, nullptr},
      {"CRLF ending", crlf, 0400, kSecret, nullptr},
      {"inner spaces kept", " a b \n", 0600, " a b ", nullptr},
      {"group may read", secret, 0640, nullptr, "readable or writable by others than its owner (mode 0640)"},
      {"others may read", secret, 0604, nullptr, "chmod 600"},
      {"empty", "\n", 0600, nullptr, "is empty"},
      {"too long", std::string(kMaxPassword + 1, 'x'), 0600, nullptr, "longer than"},
      {"NUL inside", std::string("ab\0cd", 5), 0600, nullptr, "NUL"},
  };
  for (const Case& c : cases) {
    const std::string path = PrivateFile(dir, "pw", c.text, c.mode);
    PasswordSource source;
    ASSERT_TRUE(ParsePasswordSource("file:" + path, source));
    Password password;
    std::string error;
    const bool ok = ReadPassword(source, "", password, error);
    EXPECT_EQ(ok, c.password != nullptr) << c.what << ": " << error;
    if (c.password) {
      EXPECT_EQ(std::string(password.data(), password.size()), c.password) << c.what;
    }
    if (c.why) {
      EXPECT_NE(error.find(c.why), std::string::npos) << c.what << ": " << error;
    }
    EXPECT_EQ(error.find(kSecret), std::string::npos) << "the password in a message";
  }
  for (const char* bad : {"", "file:", "env:", "env:A=B", "stdin", "tty:x", "kSecret"}) {
    PasswordSource source;
    EXPECT_FALSE(ParsePasswordSource(bad, source)) << bad;
  }
  // An environment variable is read once and then emptied.
  setenv("VRQ_TEST_PW", kSecret, 1);
  PasswordSource env;
  ASSERT_TRUE(ParsePasswordSource("env:VRQ_TEST_PW", env));
  Password password;
  std::string error;
  ASSERT_TRUE(ReadPassword(env, "", password, error)) << error;
  EXPECT_EQ(std::string(password.data(), password.size()), kSecret);
  EXPECT_EQ(std::getenv("VRQ_TEST_PW"), nullptr);
  EXPECT_FALSE(ReadPassword(env, "", password, error));
  EXPECT_NE(error.find("is not set"), std::string::npos);
  password.Clear();
  EXPECT_TRUE(password.empty());

  // Credentials files: a user and where the password is, the password file relative to them.
  PrivateFile(dir, "app.pw", std::string(kSecret) + "\n");
  const std::string creds = PrivateFile(dir, "app.cred", "# target A\nuser = app1\npassword_file = app.pw\n", 0644);
  Credentials loaded;
  ASSERT_TRUE(LoadCredentialsFile(creds, loaded, error)) << error;
  EXPECT_EQ(loaded.user, "app1");
  EXPECT_EQ(std::string(loaded.password.data(), loaded.password.size()), kSecret);
  std::string user;
  PasswordSource where;
  for (const char* bad : {"password_file=x\n", "user=a\n", "user=a\npassword=secret\n", "user=a\nuser=b\npassword_env=X\n",
                          "user=a\npassword_env=X\npassword_file=y\n", "user=a\nport=1\npassword_env=X\n", "user\n"}) {
    EXPECT_FALSE(ParseCredentialsText(bad, dir.path(), user, where, error)) << bad;
    EXPECT_EQ(error.find("secret"), std::string::npos);
  }
}

TEST(PingCredentials, ClientModeWithPasswordFromAFileAndNoPasswordInAnyOutput) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::TempDir dir;
  crypt_data data{};
  const std::string hash = crypt_r(kSecret, "$6$vrqpingsalt$", &data);
  const std::string users = PrivateFile(dir, "users", "app1:" + hash + ":\n");
  const std::string right = PrivateFile(dir, "right.pw", std::string(kSecret) + "\n");
  const std::string wrong = PrivateFile(dir, "wrong.pw", "Wrong-pw-of-the-test-93\n");
  const std::string open = PrivateFile(dir, "open.pw", std::string(kSecret) + "\n", 0644);
  setenv("VRQSIM_TCP_PORT", "0", 1);
  vrqtest::StandinQm qm("PING.AUTH.QM",
                        "ALTER QMGR CONNAUTH('USE.PW')\n"
                        "DEFINE AUTHINFO('USE.PW') AUTHTYPE(IDPWOS) CHCKCLNT(REQUIRED) FAILDLAY(0) USERFILE('" + users + "')\n"
                        "DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN)\n"
                        "DEFINE QLOCAL(APP.IN)\nDEFINE QLOCAL(APP.OUT)\n");
  unsetenv("VRQSIM_TCP_PORT");
  ASSERT_TRUE(qm.running());
  int port = 0;
  std::ifstream(qm.dir() + "/PING.AUTH.QM/qm.port") >> port;
  ASSERT_GT(port, 0);
  std::vector<std::string> env = qm.env();
  env.push_back("MQ_CONNECT_TYPE=CLIENT");
  env.push_back("MQSERVER=APP.SVRCONN/TCP/127.0.0.1(" + std::to_string(port) + ")");
  const std::string prom = dir.file("ping.prom");
  auto ping = [&](const std::vector<std::string>& more, std::vector<std::string> extra_env = {}) {
    std::vector<std::string> args = {VRQMQ_PATH, "-mPING.AUTH.QM", "-b2", "-w5000", "-v2", "-ojson",
                                     "-oprometheus:" + prom};
    args.insert(args.end(), more.begin(), more.end());
    extra_env.insert(extra_env.end(), env.begin(), env.end());
    return vrqtest::Run(args, extra_env);
  };
  std::string everything;
  const vrqtest::ProcessResult ok = ping({"-Uapp1", "-Pfile:" + right});
  EXPECT_EQ(ok.status, 0) << ok.out << ok.err;
  EXPECT_NE(ok.out.find("\"completion_code\":0"), std::string::npos) << ok.out;
  everything += ok.out + ok.err + vrqtest::ReadFile(prom);
  const vrqtest::ProcessResult env_ok = ping({"-Uapp1", "-Penv:VRQ_PING_PW"}, {"VRQ_PING_PW=" + std::string(kSecret)});
  EXPECT_EQ(env_ok.status, 0) << env_ok.out << env_ok.err;
  everything += env_ok.out + env_ok.err;
  for (const auto& [args, rc] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"-Uapp1", "-Pfile:" + wrong}, "2035"},
           {{"-Unobody", "-Pfile:" + right}, "2035"},
           {{}, "2035"}}) {
    const vrqtest::ProcessResult r = ping(args);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find(rc), std::string::npos) << r.out;
    everything += r.out + r.err;
  }
  // Refused before connecting: a password file others may read, -P without -U, no terminal.
  const vrqtest::ProcessResult exposed = ping({"-Uapp1", "-Pfile:" + open});
  EXPECT_EQ(exposed.status, 1);
  EXPECT_NE(exposed.err.find("readable or writable by others than its owner"), std::string::npos) << exposed.err;
  EXPECT_EQ(ping({"-Pfile:" + right}).status, 1);
  const vrqtest::ProcessResult no_tty = vrqtest::Run({"/usr/bin/setsid", VRQMQ_PATH, "-mPING.AUTH.QM", "-Uapp1"}, env);
  EXPECT_EQ(no_tty.status, 1);
  EXPECT_NE(no_tty.err.find("no terminal"), std::string::npos) << no_tty.err;
  everything += exposed.out + exposed.err + no_tty.out + no_tty.err;

#ifdef VRRPL_PATH
  // vrrpl with its trace on: the password in no line of it.
  std::vector<std::string> trace_env = env;
  trace_env.push_back("VXTM_TEST_TRACE=1");
  const vrqtest::ProcessResult reply =
      vrqtest::Run({VRRPL_PATH, "APP.IN", "APP.OUT", "PING.AUTH.QM", "1000", "-Uapp1", "-Pfile:" + right}, trace_env);
  EXPECT_EQ(reply.out.find("failed to connect"), std::string::npos) << reply.out;
  const vrqtest::ProcessResult refused =
      vrqtest::Run({VRRPL_PATH, "APP.IN", "APP.OUT", "PING.AUTH.QM", "1000", "-Uapp1", "-Pfile:" + wrong}, trace_env);
  EXPECT_NE(refused.out.find("failed to connect, RC(2035)"), std::string::npos) << refused.out;
  everything += reply.out + reply.err + refused.out + refused.err;
#endif

  everything += vrqtest::ReadFile(qm.dir() + "/PING.AUTH.QM/AMQERR01.LOG");
  everything += vrqtest::ReadFile(qm.dir() + "/PING.AUTH.QM/qm.log");
  EXPECT_NE(everything.find("AMQ5534E: User ID 'app1' authentication failed"), std::string::npos);
  for (const char* secret : {kSecret, "Wrong-pw-of-the-test-93"})
    EXPECT_EQ(everything.find(secret), std::string::npos) << "password " << secret << " reached an output";
}

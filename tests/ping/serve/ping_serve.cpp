// vrqmq's serve mode: the targets file and listen address, probes from many threads at
// once against stand-in queue managers (healthy, slow, missing, dropped, hung, stopped and
// started again), the HTTP side of the program itself, and the program behind basic
// authentication probing a queue manager that requires a password.
#include <crypt.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ping_serve.h"
#include "standin_qm.h"
#include "vrqtest.h"

extern char** environ;

namespace {

TEST(ServeTargets, EveryFaultNamesFileLineAndReason) {
  struct Case {
    const char* text;
    const char* error;  // its start; empty for a valid file
  };
  const Case cases[] = {
      {"[a]\nqmgr = QM1\nbatch = 3\nsize=100\nwait = 50\ndeadline = 900\n", ""},
      {"; comment\n[a]\nqmgr=QM1\nmqserver = SVR/TCP/mq(1414)\ncredentials = /etc/vrqmq/a.cred\n", ""},
      {"# nothing\n\n", "t.ini: no targets"},
      {"qmgr = QM1\n", "t.ini:1: key 'qmgr' before the first [NAME]"},
      {"[a]\ncolour = red\n", "t.ini:2: unknown key 'colour'"},
      {"[a]\n[b]\n[a]\n", "t.ini:3: duplicate target name 'a'"},
      {"[a]\nbatch = 0\n", "t.ini:2: batch"},
      {"[a]\ndeadline = 5s\n", "t.ini:2: deadline"},
      {"[a]\nmqserver = SVR/TCP\n", "t.ini:2: mqserver"},
      {"[a]\nqmgr = has space\n", "t.ini:2: qmgr"},
      {"[a b]\n", "t.ini:1: target name 'a b'"},
      {"[a]\nqmgr\n", "t.ini:2: expected [NAME] or key = value"},
      {"[a\n", "t.ini:1: a section line ends with ']'"},
  };
  for (const auto& c : cases) {
    std::vector<ServeTarget> targets;
    std::string error;
    bool ok = ParseServeTargets(c.text, "t.ini", &targets, &error);
    EXPECT_EQ(ok, c.error[0] == '\0') << c.text << error;
    if (!ok) {
      EXPECT_EQ(error.substr(0, std::strlen(c.error)), c.error) << c.text;
    }
  }
  std::vector<ServeTarget> targets;
  std::string error;
  ASSERT_TRUE(ParseServeTargets("[a]\nqmgr = QM1\n[b]\nbatch = 7\n", "t.ini", &targets, &error));
  ASSERT_EQ(targets.size(), 2u);
  EXPECT_EQ(targets[0].queue, "SYSTEM.ADMIN.COMMAND.QUEUE");
  EXPECT_EQ(targets[1].batch, 7);
  EXPECT_EQ(targets[1].deadlineMs, 5000);  // below Prometheus' default scrape timeout
  EXPECT_FALSE(LoadServeTargets("/nonexistent/targets.ini", &targets, &error));
  EXPECT_EQ(error, "/nonexistent/targets.ini: cannot be read");
}

TEST(ServeTargets, ListenAddresses) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {":9723", true, "", 9723},        {"127.0.0.1:80", true, "127.0.0.1", 80},
      {"[::1]:9723", true, "::1", 9723}, {"9723", false, "", 0},
      {":0", false, "", 0},             {":65536", false, "", 0},
      {"::1:80", false, "", 0},         {"host:", false, "", 0},
      {"[::1:80", false, "", 0},        {":80x", false, "", 0},
  };
  for (const auto& c : cases) {
    std::string host = "unset";
    int port = -1;
    EXPECT_EQ(ParseListenAddress(c.text, &host, &port), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(host, c.host) << c.text;
      EXPECT_EQ(port, c.port) << c.text;
    }
  }
}

constexpr const char* kDefinitions = "DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN)\n";

ServeTarget Target(const std::string& name, const std::string& qmgr, int deadlineMs) {
  ServeTarget t;
  t.name = name;
  t.qmgr = qmgr;
  t.deadlineMs = deadlineMs;
  return t;
}

bool Succeeded(const std::string& body) { return body.find("\nvrqmq_probe_success 1\n") != std::string::npos; }
std::string Reason(const std::string& body) {
  size_t at = body.find("vrqmq_probe_failure_info{reason=\"");
  if (at == std::string::npos) return "";
  at += std::strlen("vrqmq_probe_failure_info{reason=\"");
  return body.substr(at, body.find('"', at) - at);
}

class ServeProbes : public ::testing::Test {
 protected:
  void SetUp() override {
    VRQ_SKIP_WITHOUT_STANDIN();
    ASSERT_TRUE(qm.running());
    vrqtest::WriteFile(qm.dir() + "/slow.mqsc", kDefinitions);
    ASSERT_EQ(qm.Command({"create", "SERVE.SLOW", "-d", qm.dir() + "/slow.mqsc"}).status, 0);
    ASSERT_EQ(qm.Command({"start", "SERVE.SLOW"}).status, 0);
    // Five pings need 2.5 s of this command server; its target's deadline is 1 s.
    ASSERT_EQ(qm.Command({"fault", "SERVE.SLOW", "cmdserver", "delay", "500"}).status, 0);
    // No model queue: the reply queue cannot be opened.
    ASSERT_EQ(qm.Command({"create", "SERVE.BARE"}).status, 0);
    ASSERT_EQ(qm.Command({"start", "SERVE.BARE"}).status, 0);
  }
  void TearDown() override {
    if (!qm.running()) return;
    qm.Command({"stop", "SERVE.SLOW"});
    qm.Command({"stop", "SERVE.BARE"});
  }
  vrqtest::StandinQm qm{"SERVE.QM", kDefinitions};
};

// Eight threads probe a healthy, a slow and a missing queue manager, and one whose reply
// queue cannot be opened, at once: every probe ends within its own deadline with its own
// result, and the counts add up.
TEST_F(ServeProbes, TargetsAreProbedConcurrentlyAndIndependently) {
  ProbeService service({Target("ok", "SERVE.QM", 10000), Target("slow", "SERVE.SLOW", 1000),
                        Target("gone", "NO.SUCH.QM", 1000), Target("bare", "SERVE.BARE", 1000)},
                       64);
  constexpr int kThreads = 8, kRounds = 3;
  struct Seen {
    std::string name, body;
    double seconds;
  };
  std::vector<std::vector<Seen>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const char* names[] = {"ok", "slow", "gone", "bare"};
      for (int i = 0; i < kRounds * 4; ++i) {
        std::string name = names[(t + i) % 4], body;
        auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(service.Probe(name, 0, &body), ProbeService::Outcome::kOk);
        seen[t].push_back({name, body, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()});
      }
    });
  }
  for (auto& t : threads) t.join();
  int ok = 0;
  for (const auto& list : seen) {
    for (const auto& s : list) {
      if (s.name == "ok") {
        EXPECT_TRUE(Succeeded(s.body)) << s.body;
        EXPECT_NE(s.body.find("vrqmq_probe_pings_answered 5\n"), std::string::npos);
        EXPECT_NE(s.body.find("vrqmq_probe_round_trip_seconds_count 5\n"), std::string::npos);
        ++ok;
      } else {
        EXPECT_FALSE(Succeeded(s.body)) << s.name;
        // The slow one's reads run out (or, on a busy machine, the wait for its thread).
        std::string reason = Reason(s.body);
        if (s.name == "slow")
          EXPECT_TRUE(reason == "MQRC_NO_MSG_AVAILABLE" || reason == "DEADLINE_EXCEEDED") << s.body;
        else
          EXPECT_EQ(reason, s.name == "gone" ? "MQRC_Q_MGR_NAME_ERROR" : "MQRC_UNKNOWN_OBJECT_NAME") << s.body;
        EXPECT_LT(s.seconds, 1.0 + 4.0) << s.name;  // its deadline, and time to spare
      }
    }
  }
  EXPECT_EQ(ok, kThreads * kRounds);
  std::string metrics = service.Metrics();
  EXPECT_NE(metrics.find("vrqmq_serve_probes_total{target=\"ok\"} 24\n"), std::string::npos) << metrics;
  EXPECT_NE(metrics.find("vrqmq_serve_probe_failures_total{target=\"ok\"} 0\n"), std::string::npos);
  EXPECT_NE(metrics.find("vrqmq_serve_probe_failures_total{target=\"gone\"} 24\n"), std::string::npos);
  EXPECT_NE(metrics.find("vrqmq_last_probe_success{target=\"slow\"} 0\n"), std::string::npos);
  EXPECT_NE(service.LandingPage().find("failed: MQRC_Q_MGR_NAME_ERROR"), std::string::npos);
  std::string body;
  EXPECT_EQ(service.Probe("elsewhere", 0, &body), ProbeService::Outcome::kUnknownTarget);
}

// Probes until one succeeds (at most 20); whether one did.
bool ComesBack(TargetProber& prober) {
  for (int i = 0; i < 20; ++i) {
    if (prober.Probe().success) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// The kept connection through a dropped connection, a queue manager that stops answering
// altogether (SIGSTOP), and a stop and start: each probe ends within its deadline, the
// target comes back, and the reconnections are counted.
TEST_F(ServeProbes, ATargetThatHangsOrGoesAwayComesBack) {
  TargetProber prober(Target("ok", "SERVE.QM", 1500));
  ASSERT_TRUE(prober.Probe().success);
  EXPECT_TRUE(prober.Snapshot().connected);

  ASSERT_TRUE(qm.Fault({"drop-connections"}));
  ProbeResult broken = prober.Probe();
  EXPECT_FALSE(broken.success);
  EXPECT_EQ(broken.reason, 2009);  // MQRC_CONNECTION_BROKEN
  EXPECT_TRUE(ComesBack(prober));
  EXPECT_EQ(prober.Snapshot().reconnects, 1u);

  int pid = std::atoi(vrqtest::ReadFile(qm.dir() + "/SERVE.QM/qm.pid").c_str());
  ASSERT_GT(pid, 1);
  ASSERT_EQ(kill(pid, SIGSTOP), 0);
  auto start = std::chrono::steady_clock::now();
  ProbeResult hung = prober.Probe();
  ProbeResult stillHung = prober.Probe();  // its thread is still held: too late at once
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  kill(pid, SIGCONT);
  EXPECT_FALSE(hung.success);
  EXPECT_FALSE(stillHung.success);
  EXPECT_TRUE(hung.timedOut);
  EXPECT_LT(seconds, 2 * 1.5 + 4.0);
  EXPECT_TRUE(ComesBack(prober));

  ASSERT_TRUE(qm.Stop());
  ProbeResult down = prober.Probe();
  EXPECT_FALSE(down.success);
  EXPECT_NE(down.reason, 0);
  ASSERT_TRUE(qm.Start());
  EXPECT_TRUE(ComesBack(prober));
  EXPECT_GE(prober.Snapshot().reconnects, 2u);
  EXPECT_EQ(FormatProbeMetrics(prober.target(), ProbeResult{}).find("vrqmq_probe_success 0\n") != std::string::npos,
            true);
}

// A loopback port free at the time of asking.
int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  int port = -1;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

// The program itself: its answers to good and bad requests, promtool's view of its text,
// the faults that stop its start, and an orderly end on SIGTERM.
TEST_F(ServeProbes, HttpAnswersAndAnOrderlyEnd) {
  vrqtest::TempDir dir;
  const std::string file = dir.file("targets.ini");
  vrqtest::WriteFile(file, "[ok]\nqmgr = SERVE.QM\n\n[slow]\nqmgr = SERVE.SLOW\ndeadline = 1000\n");
  struct Start {
    std::vector<std::string> args;
    const char* err;
  };
  const Start bad[] = {
      {{"--serve=/nonexistent/t.ini"}, "/nonexistent/t.ini: cannot be read"},
      {{"--serve=" + file, "--listen=9723"}, "invalid option: --listen=9723"},
      {{"--serve=" + file, "--colour=red"}, "unknown option in serve mode: --colour=red"},
  };
  for (const auto& b : bad) {
    std::vector<std::string> argv{VRQMQ_PATH};
    argv.insert(argv.end(), b.args.begin(), b.args.end());
    auto r = vrqtest::Run(argv, qm.env(), 20000);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(b.err), std::string::npos) << r.err;
  }

  const int port = FreePort();
  ASSERT_GT(port, 0);
  std::string serve = "--serve=" + file, listen = "--listen=127.0.0.1:" + std::to_string(port);
  char* argv[] = {const_cast<char*>(VRQMQ_PATH), serve.data(), listen.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, VRQMQ_PATH, nullptr, nullptr, argv, environ), 0);
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(30, 0);
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    up = static_cast<bool>(client.Get("/metrics"));
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(up);

  struct Ask {
    const char* method;
    std::string path;
    int status;
    const char* contains;
  };
  const Ask asks[] = {
      {"GET", "/probe?target=ok", 200, "\nvrqmq_probe_success 1\n"},
      {"GET", "/probe?target=slow", 200, "reason=\"MQRC_NO_MSG_AVAILABLE\""},
      {"GET", "/probe", 400, "missing parameter: target"},
      {"GET", "/probe?target=ok&target=slow", 400, "more than once"},
      {"GET", "/probe?target=mq.example.com(1414)", 404, "unknown target"},
      {"GET", "/nothing", 404, "not found"},
      {"POST", "/probe?target=ok", 405, "only GET"},
      {"GET", "/probe?target=" + std::string(2000, 'x'), 414, "too long"},
      {"GET", "/", 200, "<td>ok</td>"},
      {"GET", "/metrics", 200, "vrqmq_serve_probes_total{target=\"ok\"} 1\n"},
  };
  const bool promtool = std::filesystem::exists("/usr/bin/promtool");
  for (const auto& a : asks) {
    auto res = std::string(a.method) == "GET" ? client.Get(a.path.c_str()) : client.Post(a.path.c_str(), "", "text/plain");
    ASSERT_TRUE(res) << a.path;
    EXPECT_EQ(res->status, a.status) << a.path;
    EXPECT_NE(res->body.find(a.contains), std::string::npos) << a.path << ": " << res->body;
    if (promtool && res->status == 200 && a.path != "/") {
      vrqtest::WriteFile(dir.file("text.prom"), res->body);
      auto check = vrqtest::Run({"/bin/sh", "-c", "/usr/bin/promtool check metrics < " + dir.file("text.prom")});
      EXPECT_EQ(check.status, 0) << a.path << check.out << check.err;
    }
  }
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = -1;
  for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (status == -1) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ADD_FAILURE() << "vrqmq --serve did not end within 10 s of SIGTERM";
  } else {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
}

// Waits up to 10 s for pid to end after SIGTERM; its exit status, or -1 (then killed).
int Terminate(pid_t pid) {
  kill(pid, SIGTERM);
  int status = -1;
  for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (status != -1) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

// The program end to end with its secrets: targets with credentials files probing, as a
// client, a queue manager that requires a password, behind basic authentication with a
// bcrypt hash. Right credentials ping, wrong ones fail with 2035, a caller without the
// endpoint's credentials gets 401, an exposed password file or a bad web configuration
// stops the start, and no password reaches an answer or the program's output.
TEST(ServeSecured, CredentialsBehindBasicAuthAndNoPasswordInAnyOutput) {
  VRQ_SKIP_WITHOUT_STANDIN();
  constexpr const char* kSecret = "Pw-of-the-serve-test-6203";
  constexpr const char* kWrong = "Wrong-pw-of-the-serve-test-17";
  constexpr const char* kScrape = "Scrape-pw-of-the-test-88";
  vrqtest::TempDir dir;
  auto file = [&](const std::string& name, const std::string& text, mode_t mode = 0600) {
    vrqtest::WriteFile(dir.file(name), text);
    chmod(dir.file(name).c_str(), mode);
    return dir.file(name);
  };
  crypt_data data{};
  const std::string users = file("users", std::string("app1:") + crypt_r(kSecret, "$6$vrqservesalt$", &data) + ":\n");
  file("right.pw", std::string(kSecret) + "\n");
  file("wrong.pw", std::string(kWrong) + "\n");
  file("open.pw", std::string(kSecret) + "\n", 0644);
  file("right.cred", "user = app1\npassword_file = right.pw\n");
  file("env.cred", "user = app1\npassword_env = VRQ_SERVE_TEST_PW\n");
  file("wrong.cred", "user = app1\npassword_file = wrong.pw\n");
  file("open.cred", "user = app1\npassword_file = open.pw\n");
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  ASSERT_NE(crypt_gensalt_rn("$2b$", 4, nullptr, 0, setting, sizeof setting), nullptr);
  const char* bcrypt = crypt_rn(kScrape, setting, &data, sizeof data);
  ASSERT_NE(bcrypt, nullptr);
  // Over TLS too where openssl is there to make the server's certificate.
  const bool tls = vrqtest::Run({"/bin/sh", "-c", "cd " + dir.path() + " && openssl req -x509 -newkey ec -pkeyopt "
                                 "ec_paramgen_curve:P-256 -nodes -days 2 -keyout server.key -out server.pem "
                                 "-subj /CN=localhost -addext subjectAltName=IP:127.0.0.1"}).status == 0;
  const std::string web = file("web.yml", std::string(tls ? "tls_server_config:\n  cert_file: server.pem\n  key_file: server.key\n" : "") +
                                              "basic_auth_users:\n  prometheus: " + bcrypt + "\n");
  const std::string badWeb = file("bad.yml", "basic_auth_users:\n  prometheus: " + std::string(kScrape) + "\n");

  setenv("VRQSIM_TCP_PORT", "0", 1);
  vrqtest::StandinQm qm("SERVE.AUTH.QM",
                        "ALTER QMGR CONNAUTH('USE.PW')\n"
                        "DEFINE AUTHINFO('USE.PW') AUTHTYPE(IDPWOS) CHCKCLNT(REQUIRED) FAILDLAY(0) USERFILE('" + users + "')\n" +
                            kDefinitions);
  unsetenv("VRQSIM_TCP_PORT");
  ASSERT_TRUE(qm.running());
  int qmPort = 0;
  std::ifstream(qm.dir() + "/SERVE.AUTH.QM/qm.port") >> qmPort;
  ASSERT_GT(qmPort, 0);
  const std::string target = "qmgr = SERVE.AUTH.QM\nmqserver = APP.SVRCONN/TCP/127.0.0.1(" + std::to_string(qmPort) +
                             ")\ndeadline = 10000\n";
  // Two targets share a credentials file whose password is in the environment.
  const std::string targets =
      file("targets.ini", "[right]\n" + target + "credentials = right.cred\n[env1]\n" + target + "credentials = env.cred\n" +
                              "[env2]\n" + target + "credentials = env.cred\n[wrong]\n" + target +
                              "credentials = wrong.cred\n[none]\n" + target, 0644);
  const std::string exposed = file("exposed.ini", "[open]\n" + target + "credentials = open.cred\n", 0644);

  struct Start {
    std::vector<std::string> args;
    const char* err;
  };
  const Start bad[] = {
      {{"--serve=" + exposed}, "open.pw"},
      {{"--serve=" + exposed}, "readable or writable by others than its owner"},
      {{"--serve=" + targets, "--web-config=" + badWeb}, "bad.yml:2: basic_auth_users: prometheus: the password is not"},
      {{"--serve=" + targets, "--web-config=" + dir.file("missing.yml")}, "missing.yml"},
  };
  std::string everything;
  for (const auto& b : bad) {
    std::vector<std::string> argv{VRQMQ_PATH};
    argv.insert(argv.end(), b.args.begin(), b.args.end());
    std::vector<std::string> env = qm.env();
    env.push_back("VRQ_SERVE_TEST_PW=" + std::string(kSecret));
    auto r = vrqtest::Run(argv, env, 20000);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(b.err), std::string::npos) << r.err;
    everything += r.out + r.err;
  }

  const int port = FreePort();
  ASSERT_GT(port, 0);
  std::string serve = "--serve=" + targets, listen = "--listen=127.0.0.1:" + std::to_string(port), config = "--web-config=" + web;
  char* argv[] = {const_cast<char*>(VRQMQ_PATH), serve.data(), listen.data(), config.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, dir.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  setenv("VRQ_SERVE_TEST_PW", kSecret, 1);
  const int spawned = posix_spawn(&pid, VRQMQ_PATH, &actions, nullptr, argv, environ);
  unsetenv("VRQ_SERVE_TEST_PW");
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_EQ(spawned, 0);
  const std::string scheme = tls ? "https" : "http";
  httplib::Client client(scheme + "://127.0.0.1:" + std::to_string(port));
  if (tls) client.set_ca_cert_path(dir.file("server.pem").c_str());
  client.set_read_timeout(30, 0);
  bool up = false;
  for (int i = 0; i < 100 && !up; ++i) {
    up = static_cast<bool>(client.Get("/metrics"));
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!up) {
    Terminate(pid);
    FAIL() << "vrqmq --serve did not answer: " << vrqtest::ReadFile(dir.file("err"));
  }

  struct Ask {
    const char* user;  // null: no credentials
    const char* password;
    const char* path;
    int status;
    const char* contains;
  };
  const Ask asks[] = {
      {nullptr, nullptr, "/probe?target=right", 401, ""},
      {"prometheus", kSecret, "/metrics", 401, ""},
      {"prometheus", kScrape, "/probe?target=right", 200, "\nvrqmq_probe_success 1\n"},
      {"prometheus", kScrape, "/probe?target=env1", 200, "\nvrqmq_probe_success 1\n"},
      {"prometheus", kScrape, "/probe?target=env2", 200, "\nvrqmq_probe_success 1\n"},
      {"prometheus", kScrape, "/probe?target=wrong", 200, "reason=\"MQRC_NOT_AUTHORIZED\""},
      {"prometheus", kScrape, "/probe?target=none", 200, "reason=\"MQRC_NOT_AUTHORIZED\""},
      {"prometheus", kScrape, "/probe?target=right", 200, "\nvrqmq_probe_success 1\n"},
      {"prometheus", kScrape, "/metrics", 200, "vrqmq_serve_probe_failures_total{target=\"wrong\"} 1\n"},
      {"prometheus", kScrape, "/", 200, "<td>right</td>"},
  };
  for (const auto& a : asks) {
    httplib::Headers headers;
    if (a.user) headers.insert(httplib::make_basic_authentication_header(a.user, a.password));
    auto res = client.Get(a.path, headers);
    EXPECT_TRUE(res) << a.path;
    if (!res) continue;
    EXPECT_EQ(res->status, a.status) << a.path << ": " << res->body;
    EXPECT_NE(res->body.find(a.contains), std::string::npos) << a.path << ": " << res->body;
    if (a.status == 401) {
      EXPECT_EQ(res->body.find("vrqmq_"), std::string::npos) << res->body;
    }
    everything += res->body;
  }
  // Nor in the program's environment once read.
  everything += vrqtest::ReadFile("/proc/" + std::to_string(pid) + "/environ");
  EXPECT_EQ(Terminate(pid), 0);
  everything += vrqtest::ReadFile(dir.file("out")) + vrqtest::ReadFile(dir.file("err"));
  EXPECT_NE(everything.find("serving 5 targets on " + scheme + "://127.0.0.1"), std::string::npos) << everything;
  for (const char* secret : {kSecret, kWrong, kScrape})
    EXPECT_EQ(everything.find(secret), std::string::npos) << "password " << secret << " reached an output";
}

}  // namespace

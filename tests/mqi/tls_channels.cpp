// TLS client channels end to end: a stand-in queue manager with TLS channels (certificates
// made by scripts/tls-test-pki.sh for the test), clients connecting by MQCD + MQSCO, by a
// JSON channel table and by the client configuration file, each failure ending with IBM's
// reason code on the client and its cause in the queue manager's error log; then raw
// connections that stall, break off or speak plaintext, while the listener serves others.
#include <cmqc.h>
#include <cmqxc.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "mqi_test.h"

using namespace mqitest;

namespace {

constexpr const char* kQm = "QM.TLS";

int ReadPort(const std::string& path) {
  std::ifstream in(path);
  int port = 0;
  in >> port;
  return port;
}

struct Fixture {
  vrqtest::TempDir pki;
  std::unique_ptr<vrqtest::StandinQm> qm;
  int port = 0;
  std::string log() const { return vrqtest::ReadFile(qm->dir() + "/" + kQm + "/qm.log"); }
};

// The PKI and a queue manager with three TLS channels and a plaintext one; false (with the
// reason in skip) when openssl is not there to make certificates.
bool Prepare(Fixture& f, std::string& skip) {
  const auto made = vrqtest::Run({"/bin/sh", VRQ_TLS_PKI_SCRIPT, f.pki.path()}, {}, 120000);
  if (made.status != 0) {
    skip = "openssl cannot make the test certificates: " + made.err;
    return false;
  }
  const std::string defs = "DEFINE QLOCAL(Q1)\n"
                           "DEFINE CHANNEL(TLS.AES256) CHLTYPE(SVRCONN) SSLCIPH(TLS_AES_256_GCM_SHA384) SSLCAUTH(OPTIONAL)\n"
                           "DEFINE CHANNEL(TLS.RSA12) CHLTYPE(SVRCONN) TRPTYPE(TCP) SSLCIPH(TLS_RSA_WITH_AES_256_GCM_SHA384) "
                           "SSLCAUTH(OPTIONAL)\n"
                           "DEFINE CHANNEL(TLS.MUTUAL) CHLTYPE(SVRCONN) SSLCIPH(ANY_TLS12_OR_HIGHER)\n"
                           "DEFINE CHANNEL(PLAIN.SVRCONN) CHLTYPE(SVRCONN)\n"
                           "ALTER QMGR SSLKEYR('" + f.pki.file("qm") + "')\n";
  ScopedEnv port("VRQSIM_TLS_PORT", "0");
  ScopedEnv limit("VRQSIM_TLS_HANDSHAKE_MS", "3000");
  f.qm = std::make_unique<vrqtest::StandinQm>(kQm, defs);
  f.port = ReadPort(f.qm->dir() + "/" + kQm + "/qm.tlsport");
  return true;
}

struct Client {
  std::string channel;
  std::string cipher;
  std::string repository;   // relative to the PKI folder; empty: none
};

Result ConnectTls(const Fixture& f, const Client& c, MQHCONN& h) {
  MQCD cd = {MQCD_CLIENT_CONN_DEFAULT};
  cd.Version = MQCD_VERSION_7;
  std::memcpy(cd.ChannelName, c.channel.data(), c.channel.size());
  const std::string conn = "localhost(" + std::to_string(f.port) + ")";
  std::memcpy(cd.ConnectionName, conn.data(), conn.size());
  std::memcpy(cd.SSLCipherSpec, c.cipher.data(), c.cipher.size());
  MQSCO sco = {MQSCO_DEFAULT};
  const std::string repo = c.repository.empty() ? std::string() : f.pki.file(c.repository);
  std::memcpy(sco.KeyRepository, repo.data(), repo.size());
  MQCNO cno = {MQCNO_DEFAULT};
  cno.Version = MQCNO_VERSION_4;
  cno.Options = MQCNO_CLIENT_BINDING | MQCNO_HANDLE_SHARE_BLOCK;
  cno.ClientConnPtr = &cd;
  cno.SSLConfigPtr = &sco;
  Result r;
  MQCONNX(const_cast<char*>(kQm), &cno, &h, &r.cc, &r.rc);
  return r;
}

// Puts and gets one message over the connection.
bool RoundTrip(MQHCONN h, const std::string& text) {
  MQHOBJ o;
  if (Open(h, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, o).cc != MQCC_OK) return false;
  const bool ok = Put(h, o, text).cc == MQCC_OK && Get(h, o).data == text;
  Close(h, o);
  return ok;
}

int RawConnect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// True when the peer closes the connection within the time (reads past any data).
bool ClosedWithin(int fd, int ms) {
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  char buf[512];
  for (;;) {
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n == 0) return true;
    if (n < 0) return errno == ECONNRESET;
  }
}

}  // namespace

TEST(MqiTls, ChannelsAcceptTheRightCipherAndRefuseEveryFault) {
  Fixture f;
  std::string skip;
  if (!Prepare(f, skip)) GTEST_SKIP() << skip;
  ASSERT_TRUE(f.qm->running());
  ASSERT_GT(f.port, 0);

  struct Case {
    const char* what;
    Client client;
    MQLONG rc;            // MQRC_NONE: connects and moves a message
    const char* logged;   // what the queue manager's error log gains, or null
  };
  const Case cases[] = {
      {"TLS 1.3 CipherSpec matching the channel", {"TLS.AES256", "TLS_AES_256_GCM_SHA384", "trust.pem"}, MQRC_NONE, nullptr},
      {"TLS 1.2 CipherSpec matching the channel", {"TLS.RSA12", "TLS_RSA_WITH_AES_256_GCM_SHA384", "trust"}, MQRC_NONE, nullptr},
      {"client certificate where one is required", {"TLS.MUTUAL", "ANY_TLS12_OR_HIGHER", "client.pem"}, MQRC_NONE, nullptr},
      {"another TLS 1.3 CipherSpec", {"TLS.AES256", "TLS_AES_128_GCM_SHA256", "trust.pem"}, MQRC_SSL_INITIALIZATION_ERROR,
       "AMQ9631E"},
      {"a TLS 1.2 CipherSpec on a TLS 1.3 channel", {"TLS.AES256", "ECDHE_RSA_AES_256_GCM_SHA384", "trust.pem"},
       MQRC_SSL_INITIALIZATION_ERROR, "AMQ9631E"},
      {"server certificate not trusted", {"TLS.AES256", "TLS_AES_256_GCM_SHA384", "other-trust.pem"},
       MQRC_SSL_INITIALIZATION_ERROR, "AMQ9665E"},
      {"client certificate expired", {"TLS.MUTUAL", "TLS_AES_256_GCM_SHA384", "expired.pem"}, MQRC_SSL_INITIALIZATION_ERROR,
       "AMQ9633E"},
      {"client certificate required and missing", {"TLS.MUTUAL", "TLS_AES_256_GCM_SHA384", "trust.pem"},
       MQRC_SSL_INITIALIZATION_ERROR, "AMQ9637E"},
      {"plaintext client on the TLS port", {"TLS.AES256", "", ""}, MQRC_SSL_INITIALIZATION_ERROR, "AMQ9639E"},
      {"TLS on a channel without SSLCIPH", {"PLAIN.SVRCONN", "ANY_TLS13", "trust.pem"}, MQRC_SSL_INITIALIZATION_ERROR,
       "AMQ9635E"},
      {"channel not defined", {"NO.SUCH.CHL", "ANY_TLS13", "trust.pem"}, MQRC_UNKNOWN_CHANNEL_NAME, "AMQ9520E"},
      {"CipherSpec unknown", {"TLS.AES256", "RC4_MD5_US", "trust.pem"}, MQRC_SSL_INITIALIZATION_ERROR, nullptr},
      {"key repository missing", {"TLS.AES256", "TLS_AES_256_GCM_SHA384", "absent"}, MQRC_KEY_REPOSITORY_ERROR, nullptr},
      {"key repository in CMS form", {"TLS.AES256", "TLS_AES_256_GCM_SHA384", "key.kdb"}, MQRC_KEY_REPOSITORY_ERROR,
       nullptr},
      {"no key repository named", {"TLS.AES256", "TLS_AES_256_GCM_SHA384", ""}, MQRC_KEY_REPOSITORY_ERROR, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t log_before = f.log().size();
    MQHCONN h = MQHC_UNUSABLE_HCONN;
    const Result r = ConnectTls(f, c.client, h);
    EXPECT_EQ(r.rc, c.rc);
    if (r.cc != MQCC_FAILED) {
      EXPECT_TRUE(RoundTrip(h, c.what));
      MQLONG cc, rc;
      MQDISC(&h, &cc, &rc);
    }
    // The queue manager logs from its handshake thread; give it time to write.
    std::string added;
    for (int i = 0; i < 100; ++i) {
      added = f.log().substr(log_before);
      if (!c.logged || added.find(c.logged) != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (c.logged) {
      EXPECT_NE(added.find(c.logged), std::string::npos) << added;
    }
  }

  // A JSON channel table (MQCCDTURL) with the key repository from MQSSLKEYR, and from the
  // client configuration file.
  const std::string table = f.pki.file("ccdt.json");
  vrqtest::WriteFile(table, R"({"channel": [{"name": "TLS.AES256", "type": "clientConnection",
      "clientConnection": {"connection": [{"host": "localhost", "port": )" + std::to_string(f.port) +
                                R"(}], "queueManager": "QM.TLS"},
      "transmissionSecurity": {"cipherSpecification": "TLS_AES_256_GCM_SHA384"}}]})");
  const std::string ini = f.pki.file("mqclient.ini");
  vrqtest::WriteFile(ini, "SSL:\n  SSLKeyRepository=" + f.pki.file("trust.pem") + "\n");
  {
    const std::string url = "file://" + table;
    ScopedEnv ccdt("MQCCDTURL", url.c_str());
    ScopedEnv server("MQSERVER", nullptr);
    MQCNO cno = {MQCNO_DEFAULT};
    cno.Options = MQCNO_CLIENT_BINDING | MQCNO_HANDLE_SHARE_BLOCK;
    for (const char* source : {"MQSSLKEYR", "MQCLNTCF"}) {
      SCOPED_TRACE(source);
      ScopedEnv keyr("MQSSLKEYR", std::string(source) == "MQSSLKEYR" ? f.pki.file("trust.pem").c_str() : nullptr);
      ScopedEnv clntcf("MQCLNTCF", std::string(source) == "MQCLNTCF" ? ini.c_str() : nullptr);
      MQHCONN h = MQHC_UNUSABLE_HCONN;
      Result r;
      MQCONNX(const_cast<char*>(kQm), &cno, &h, &r.cc, &r.rc);
      ASSERT_EQ(r.rc, MQRC_NONE);
      EXPECT_TRUE(RoundTrip(h, "through the table"));
      MQDISC(&h, &r.cc, &r.rc);
    }
    // A table for another queue manager only has nothing to offer.
    MQHCONN h;
    Result r;
    MQCONNX(const_cast<char*>("QM.ELSEWHERE"), &cno, &h, &r.cc, &r.rc);
    EXPECT_EQ(r.rc, MQRC_Q_MGR_NAME_ERROR);
  }

  // Raw connections: one that stalls before its handshake, one that stalls in the middle,
  // a truncated handshake and a plaintext byte stream. The listener serves a good client
  // meanwhile, and ends the stalled ones at its time limit (3 s here).
  const int silent = RawConnect(f.port);
  const int stalled = RawConnect(f.port);
  ASSERT_GE(silent, 0);
  ASSERT_GE(stalled, 0);
  const unsigned char hello_start[] = {0x16, 0x03, 0x01, 0x02, 0x00, 0x01, 0x00, 0x01, 0xfc, 0x03, 0x03};
  ASSERT_EQ(send(stalled, hello_start, sizeof hello_start, 0), static_cast<ssize_t>(sizeof hello_start));
  {
    const int truncated = RawConnect(f.port);
    send(truncated, hello_start, sizeof hello_start, 0);
    close(truncated);
    const int garbage = RawConnect(f.port);
    const std::string noise(4096, 'x');
    send(garbage, noise.data(), noise.size(), MSG_NOSIGNAL);
    EXPECT_TRUE(ClosedWithin(garbage, 20000));
    close(garbage);
  }
  MQHCONN h = MQHC_UNUSABLE_HCONN;
  ASSERT_EQ(ConnectTls(f, {"TLS.AES256", "TLS_AES_256_GCM_SHA384", "trust.pem"}, h).rc, MQRC_NONE);
  EXPECT_TRUE(RoundTrip(h, "while others stall"));
  MQLONG cc, rc;
  MQDISC(&h, &cc, &rc);
  EXPECT_TRUE(ClosedWithin(silent, 30000));
  EXPECT_TRUE(ClosedWithin(stalled, 30000));
  close(silent);
  close(stalled);
  const std::string log = f.log();
  EXPECT_NE(log.find("did not begin with a TLS handshake"), std::string::npos);
  EXPECT_NE(log.find("did not complete its handshake within 3000 ms"), std::string::npos);
  // No secret reaches the log: the repository password stays in its stash file.
  EXPECT_EQ(log.find("stand-in test"), std::string::npos);
  EXPECT_EQ(f.qm->Command({"status", kQm}).status, 0);
}

// A queue manager whose key repository is missing still starts; TLS connections are
// refused with the reason in its log.
TEST(MqiTls, MissingKeyRepositoryRefusesTlsAndLogsWhy) {
  vrqtest::TempDir none;
  std::unique_ptr<vrqtest::StandinQm> qm;
  {
    ScopedEnv port("VRQSIM_TLS_PORT", "0");
    qm = std::make_unique<vrqtest::StandinQm>(
        "QM.NOKEYS", "DEFINE CHANNEL(TLS.AES256) CHLTYPE(SVRCONN) SSLCIPH(TLS_AES_256_GCM_SHA384)\n"
                     "ALTER QMGR SSLKEYR('" + none.file("key") + "')\n");
  }
  ASSERT_TRUE(qm->running());
  Fixture f;
  f.port = ReadPort(qm->dir() + "/QM.NOKEYS/qm.tlsport");
  vrqtest::WriteFile(f.pki.file("trust.pem"), "");
  MQHCONN h;
  EXPECT_EQ(ConnectTls(f, {"TLS.AES256", "TLS_AES_256_GCM_SHA384", "trust.pem"}, h).rc, MQRC_KEY_REPOSITORY_ERROR);
  const std::string log = vrqtest::ReadFile(qm->dir() + "/QM.NOKEYS/qm.log");
  EXPECT_NE(log.find("AMQ9657E"), std::string::npos) << log;
  // A bad channel definition stops the queue manager from being created at all.
  const auto bad = qm->Command({"define", "QM.NOKEYS", "CHANNEL(X)"});
  EXPECT_NE(bad.status, 0);
}

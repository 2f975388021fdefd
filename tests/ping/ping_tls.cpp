// vrqmq in client mode against a stand-in queue manager whose channel requires TLS: the
// channel comes from a JSON channel table (MQCCDTURL), since MQSERVER cannot carry a
// CipherSpec, and the key repository from MQSSLKEYR. The right CipherSpec pings; a wrong one
// and an untrusted queue manager end with IBM's reason code.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "standin_qm.h"
#include "vrqtest.h"

TEST(PingTls, ClientModePingThroughTlsChannel) {
  VRQ_SKIP_WITHOUT_STANDIN();
  vrqtest::TempDir pki;
  const auto made = vrqtest::Run({"/bin/sh", VRQ_TLS_PKI_SCRIPT, pki.path()}, {}, 120000);
  if (made.status != 0) GTEST_SKIP() << "openssl cannot make the test certificates: " << made.err;
  const std::string defs = "DEFINE QMODEL(ORVANE.MODEL.QUEUE) DEFTYPE(TEMPDYN)\n"
                           "DEFINE CHANNEL(PING.TLS) CHLTYPE(SVRCONN) SSLCIPH(TLS_AES_256_GCM_SHA384) SSLCAUTH(OPTIONAL)\n"
                           "ALTER QMGR SSLKEYR('" + pki.file("qm.p12") + "')\n";
  std::unique_ptr<vrqtest::StandinQm> qm;
  setenv("VRQSIM_TLS_PORT", "0", 1);
  qm = std::make_unique<vrqtest::StandinQm>("PING.TLS.QM", defs);
  unsetenv("VRQSIM_TLS_PORT");
  ASSERT_TRUE(qm->running());
  int port = 0;
  std::ifstream(qm->dir() + "/PING.TLS.QM/qm.tlsport") >> port;
  ASSERT_GT(port, 0);

  struct Case {
    const char* what;
    const char* cipher;
    const char* repository;
    bool pings;
    const char* reason;
  };
  const Case cases[] = {
      {"matching CipherSpec", "TLS_AES_256_GCM_SHA384", "trust.pem", true, nullptr},
      {"another CipherSpec", "TLS_AES_128_GCM_SHA256", "trust.pem", false, "2393"},
      {"queue manager not trusted", "TLS_AES_256_GCM_SHA384", "other-trust.pem", false, "2393"},
      {"no key repository", "TLS_AES_256_GCM_SHA384", "absent.p12", false, "2381"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string table = pki.file(std::string("ccdt-") + c.cipher + ".json");
    std::ofstream(table) << R"({"channel": [{"name": "PING.TLS", "type": "clientConnection",
        "clientConnection": {"connection": [{"host": "localhost", "port": )"
                         << port << R"(}], "queueManager": "PING.TLS.QM"},
        "transmissionSecurity": {"cipherSpecification": ")" << c.cipher << R"("}}]})";
    std::vector<std::string> env = qm->env();
    env.push_back("MQ_CONNECT_TYPE=CLIENT");
    env.push_back("MQCCDTURL=file://" + table);
    env.push_back("MQSSLKEYR=" + pki.file(c.repository));
    const auto run = vrqtest::Run({VRQMQ_PATH, "-mPING.TLS.QM", "-b2", "-w10000"}, env, 60000);
    if (c.pings) {
      EXPECT_EQ(run.status, 0) << run.out << run.err;
    } else {
      EXPECT_NE(run.status, 0);
      EXPECT_NE((run.out + run.err).find(std::string("REASON(") + c.reason + ")"), std::string::npos)
          << run.out << run.err;
    }
  }
}

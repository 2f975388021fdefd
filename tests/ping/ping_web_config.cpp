// The web endpoint's configuration file and server: the parser's answers to good and bad
// files, then servers made by MakeWebServer on loopback, with certificates made by openssl
// for the test, reached with httplib's client: basic authentication over TLS, a plaintext
// client refused, and client certificates checked against the CA and the allowed names.
#include <crypt.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ping_web_config.h"
#include "vrqtest.h"

namespace {

// bcrypt of password at the lowest cost, so that the test stays quick.
std::string Bcrypt(const std::string& password) {
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  EXPECT_NE(crypt_gensalt_rn("$2b$", 4, nullptr, 0, setting, sizeof setting), nullptr);
  crypt_data data{};
  const char* hash = crypt_rn(password.c_str(), setting, &data, sizeof data);
  EXPECT_NE(hash, nullptr);
  return hash ? hash : "";
}

TEST(WebConfig, ParserAcceptsTheFormAndRefusesWithFileAndLine) {
  vrqtest::TempDir dir;
  for (const char* f : {"cert.pem", "key.pem", "ca.pem"}) vrqtest::WriteFile(dir.file(f), "-");
  const std::string hash = Bcrypt("secret");
  const std::string users = "basic_auth_users:\n  prometheus: " + hash + "\n";
  struct Case {
    std::string text;
    std::string error;  // expected part of the message; empty: accepted
  } cases[] = {
      {"", ""},
      {"tls_server_config:\n"
       "  cert_file: cert.pem\n"
       "  key_file: " + dir.file("key.pem") + "\n"
       "  client_auth_type: RequireAndVerifyClientCert\n"
       "  client_ca_file: ca.pem\n"
       "  client_allowed_sans: [scraper.example, 10.0.0.1]\n"
       "  min_version: TLS13\n"
       "  cipher_suites: [TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305, TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256]\n"
       "  prefer_server_cipher_suites: false\n"
       "  curve_preferences: [X25519, CurveP256]\n"
       "http_server_config:\n  http2: true\n  headers:\n    x-frame-options: DENY\n    X-XSS-Protection: ''\n" +
           users,
       ""},
      {"tls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n  keyfile: x\n", "cfg:4: tls_server_config: unknown key keyfile"},
      {users + "rate_limit:\n  burst: 2\n", "cfg:3: rate_limit: not supported"},
      {"basic_auth_users: [a\n", "cfg:2: "},
      {"tls_server_config:\n  cert_file: missing.pem\n  key_file: key.pem\n",
       "cfg:2: cert_file " + dir.file("missing.pem") + ": No such file or directory"},
      {"tls_server_config:\n  key_file: key.pem\n", "cfg:2: tls_server_config needs cert_file and key_file"},
      {"basic_auth_users:\n  a: " + hash.substr(0, 59) + "\n", "cfg:2: basic_auth_users: a: the password is not a bcrypt hash"},
      {"basic_auth_users:\n  a: $2b$03$" + hash.substr(7) + "\n", "cfg:2: basic_auth_users: a: the password is not"},
      {users + "basic_auth_users: {}\n", "cfg:3: the web configuration: basic_auth_users given twice"},
      {"basic_auth_users:\n  'a:b': " + hash + "\n", "cfg:2: basic_auth_users: a user name may hold no ':'"},
      {"tls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n  client_auth_type: VerifyClientCertIfGiven\n",
       "cfg:2: tls_server_config: client_auth_type verifies client certificates and needs client_ca_file"},
      {"tls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n  min_version: TLS14\n",
       "cfg:4: min_version: unknown value \"TLS14\""},
      {"tls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n  cipher_suites: [TLS_AES_128_GCM_SHA256]\n",
       "cfg:4: cipher_suites: TLS_AES_128_GCM_SHA256 is a TLS 1.3 suite"},
      {"http_server_config:\n  headers:\n    Set-Cookie: a\n", "cfg:3: headers: Set-Cookie cannot be set here"},
      {"\"unknown\\e[2J\": 1\n", "cfg:1: unknown key unknown?[2J"},
      {"tls_server_config: yes\n", "cfg:1: tls_server_config must be a mapping"},
      {users + "---\n" + users, "cfg:3: more than one YAML document"},
      {"{tls_server_config: [x]}, ba", "cfg:1: did not find expected <document start>"},
      {users + "tls_server_config: &tls\n", "cfg:3: anchors (&name) are not supported"},
      {"basic_auth_users: " + std::string(100000, '['), "cfg:1: nested deeper than 8 levels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    WebConfig config;
    std::string error;
    const bool ok = ParseWebConfig(c.text, "cfg", dir.path(), &config, &error);
    if (c.error.empty()) {
      EXPECT_TRUE(ok) << error;
    } else {
      EXPECT_FALSE(ok);
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      EXPECT_EQ(error.find(hash.substr(7)), std::string::npos) << "a hash in the message: " << error;
    }
  }

  WebConfig config;
  std::string error;
  ASSERT_TRUE(ParseWebConfig(cases[1].text, "cfg", dir.path(), &config, &error)) << error;
  EXPECT_TRUE(config.tls);
  EXPECT_EQ(config.tls_config.cert_file, dir.file("cert.pem"));
  EXPECT_EQ(config.tls_config.client_auth, WebClientAuth::kRequireAndVerify);
  EXPECT_EQ(config.tls_config.min_version, 0x0304);
  EXPECT_EQ(config.tls_config.cipher_list, "ECDHE-RSA-CHACHA20-POLY1305:ECDHE-ECDSA-AES128-GCM-SHA256");
  EXPECT_FALSE(config.tls_config.prefer_server_ciphers);
  EXPECT_EQ(config.tls_config.groups, "X25519:P-256");
  EXPECT_EQ(config.headers, (std::vector<std::pair<std::string, std::string>>{{"X-Frame-Options", "DENY"}}));
  EXPECT_EQ(config.users.at("prometheus"), hash);
}

std::string FindProgram(const std::string& name) {
  std::istringstream path(getenv("PATH") ? getenv("PATH") : "/usr/bin");
  for (std::string dir; std::getline(path, dir, ':');)
    if (access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
  return "";
}

// Runs the server on an ephemeral loopback port until destroyed.
class Running {
 public:
  explicit Running(httplib::Server* server) : server_(server) {
    server_->Get("/metrics", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("vrqmq_up 1\n", "text/plain");
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 1000 && !server_->is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~Running() {
    server_->stop();
    thread_.join();
  }
  int port() const { return port_; }

 private:
  httplib::Server* server_;
  int port_ = -1;
  std::thread thread_;
};

TEST(WebConfig, ServerTakesTlsBasicAuthAndClientCertificates) {
  const std::string openssl = FindProgram("openssl");
  if (openssl.empty()) GTEST_SKIP() << "no openssl program to make the test certificates with";
  vrqtest::TempDir dir;
  const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 ";
  vrqtest::WriteFile(dir.file("good.ext"), "subjectAltName=DNS:scraper.example\n");
  vrqtest::WriteFile(dir.file("other.ext"), "subjectAltName=DNS:intruder.example\n");
  const std::vector<std::string> commands = {
      "req -x509 " + ec + "-keyout server.key -out server.pem -subj /CN=localhost -addext subjectAltName=IP:127.0.0.1",
      "req -x509 " + ec + "-keyout ca.key -out ca.pem -subj /CN=scrapers",
      "req " + ec + "-keyout good.key -out good.csr -subj /CN=good",
      "x509 -req -in good.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile good.ext -out good.pem",
      "req " + ec + "-keyout other.key -out other.csr -subj /CN=other",
      "x509 -req -in other.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile other.ext -out other.pem",
  };
  for (const auto& command : commands) {
    std::vector<std::string> argv{openssl};
    std::istringstream words(command);
    for (std::string w; words >> w;) {
      const bool file = w.size() > 4 && w[w.size() - 4] == '.' && w[0] != '-' && w.find('=') == std::string::npos;
      argv.push_back(file ? dir.file(w) : w);
    }
    const auto result = vrqtest::Run(argv);
    ASSERT_EQ(result.status, 0) << command << "\n" << result.err;
  }

  // TLS with basic authentication, the file naming the certificate relative to itself.
  vrqtest::WriteFile(dir.file("web.yml"),
                     "tls_server_config:\n  cert_file: server.pem\n  key_file: server.key\n"
                     "http_server_config:\n  headers:\n    X-Content-Type-Options: nosniff\n"
                     "basic_auth_users:\n  prometheus: " + Bcrypt("s3cret:with colon") + "\n");
  WebConfig config;
  std::string error;
  ASSERT_TRUE(LoadWebConfig(dir.file("web.yml"), &config, &error)) << error;
  // The caller's own pre-routing handler runs after the authentication.
  auto server = MakeWebServer(config, &error, [](const httplib::Request& req, httplib::Response& res) {
    if (req.path == "/metrics") return httplib::Server::HandlerResponse::Unhandled;
    res.status = 404;
    return httplib::Server::HandlerResponse::Handled;
  });
  ASSERT_NE(server, nullptr) << error;
  {
    Running running(server.get());
    ASSERT_GT(running.port(), 0);
    auto get = [&](const char* user, const char* password, const char* path = "/metrics") {
      httplib::SSLClient client("127.0.0.1", running.port());
      client.set_ca_cert_path(dir.file("server.pem").c_str());
      client.enable_server_certificate_verification(true);
      if (user) client.set_basic_auth(user, password);
      return client.Get(path);
    };
    for (int round = 0; round < 2; ++round) {  // the second one from the remembered check
      auto in = get("prometheus", "s3cret:with colon");
      ASSERT_TRUE(in) << httplib::to_string(in.error());
      EXPECT_EQ(in->status, 200);
      EXPECT_EQ(in->body, "vrqmq_up 1\n");
      EXPECT_EQ(in->get_header_value("X-Content-Type-Options"), "nosniff");
    }
    struct Refused {
      const char* user;
      const char* password;
    } refused[] = {{"prometheus", "s3cret"}, {"prometheus", "s3cret:with colon "}, {"nobody", "s3cret:with colon"},
                   {nullptr, nullptr}};
    for (const auto& r : refused) {
      auto out = get(r.user, r.password);
      ASSERT_TRUE(out) << httplib::to_string(out.error());
      EXPECT_EQ(out->status, 401) << (r.user ? r.user : "no credentials");
      EXPECT_EQ(out->get_header_value("WWW-Authenticate"), "Basic");
      EXPECT_EQ(out->body.find("vrqmq_up"), std::string::npos);
    }
    auto other = get("prometheus", "s3cret:with colon", "/other");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 404);
    other = get("prometheus", "wrong", "/other");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 401);
    httplib::Client plain("127.0.0.1", running.port());
    plain.set_basic_auth("prometheus", "s3cret:with colon");
    auto cleartext = plain.Get("/metrics");
    EXPECT_FALSE(cleartext && cleartext->status == 200) << "a plaintext request was served";
  }

  // Client certificates: verified against the CA, and only the allowed name let in.
  vrqtest::WriteFile(dir.file("mtls.yml"),
                     "tls_server_config:\n  cert_file: server.pem\n  key_file: server.key\n"
                     "  client_auth_type: RequireAndVerifyClientCert\n  client_ca_file: ca.pem\n"
                     "  client_allowed_sans: [scraper.example]\n");
  ASSERT_TRUE(LoadWebConfig(dir.file("mtls.yml"), &config, &error)) << error;
  server = MakeWebServer(config, &error);
  ASSERT_NE(server, nullptr) << error;
  Running running(server.get());
  auto get = [&](const std::string& name) {
    std::unique_ptr<httplib::SSLClient> client =
        name.empty() ? std::make_unique<httplib::SSLClient>("127.0.0.1", running.port())
                     : std::make_unique<httplib::SSLClient>("127.0.0.1", running.port(), dir.file(name + ".pem"),
                                                            dir.file(name + ".key"));
    client->set_ca_cert_path(dir.file("server.pem").c_str());
    client->enable_server_certificate_verification(true);
    auto result = client->Get("/metrics");
    return result ? result->status : -1;
  };
  EXPECT_EQ(get("good"), 200);
  EXPECT_EQ(get(""), -1) << "no client certificate";
  EXPECT_EQ(get("other"), -1) << "a name not allowed";
  EXPECT_EQ(get("server"), -1) << "a certificate the CA did not sign";
}

TEST(WebConfig, MakeWebServerReportsAKeyThatDoesNotFit) {
  const std::string openssl = FindProgram("openssl");
  if (openssl.empty()) GTEST_SKIP() << "no openssl program to make the test certificates with";
  vrqtest::TempDir dir;
  for (const char* name : {"a", "b"}) {
    const auto result = vrqtest::Run({openssl, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                                      "-nodes", "-days", "2", "-subj", "/CN=x", "-keyout", dir.file(std::string(name) + ".key"),
                                      "-out", dir.file(std::string(name) + ".pem")});
    ASSERT_EQ(result.status, 0) << result.err;
  }
  WebConfig config;
  config.tls = true;
  config.tls_config.cert_file = dir.file("a.pem");
  config.tls_config.key_file = dir.file("b.key");
  std::string error;
  EXPECT_EQ(MakeWebServer(config, &error), nullptr);
  EXPECT_EQ(error.rfind("key_file " + dir.file("b.key") + ": ", 0), 0u) << error;
}

}  // namespace

// The ping utility's web endpoint security: the web configuration file in the YAML form
// metrics exporters share (tls_server_config, http_server_config, basic_auth_users), the
// check of a request's basic credentials against the file's bcrypt hashes, and the HTTP or
// HTTPS server made from both. Linux only: it needs cpp-httplib built with OpenSSL,
// libyaml and libcrypt's bcrypt.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <httplib.h>

// How the server treats client certificates (client_auth_type).
enum class WebClientAuth {
  kNone,               // NoClientCert: none asked for
  kRequest,            // RequestClientCert: asked for, neither required nor verified
  kRequireAny,         // RequireAnyClientCert: required, not verified
  kVerifyIfGiven,      // VerifyClientCertIfGiven: verified against the client CA when sent
  kRequireAndVerify,   // RequireAndVerifyClientCert: required and verified
};

struct WebTlsConfig {
  std::string cert_file;          // PEM certificate (chain); paths are resolved against
  std::string key_file;           // the configuration file's folder
  std::string client_ca_file;     // PEM CA certificates for client certificates
  WebClientAuth client_auth = WebClientAuth::kNone;
  std::vector<std::string> allowed_sans;  // DNS names, IP addresses or e-mail addresses
  int min_version = 0x0303;       // protocol numbers: 0x0301 TLS 1.0 ... 0x0304 TLS 1.3
  int max_version = 0x0304;
  std::string cipher_list;        // OpenSSL names for TLS 1.2 and older, ':'-joined;
                                  // empty: OpenSSL's defaults
  bool prefer_server_ciphers = true;
  std::string groups;             // key-exchange groups, ':'-joined; empty: defaults
};

struct WebConfig {
  bool tls = false;               // tls_server_config given
  WebTlsConfig tls_config;
  std::vector<std::pair<std::string, std::string>> headers;  // added to every response
  std::map<std::string, std::string> users;                  // user -> bcrypt hash
};

// Reads and checks the web configuration file at path (at most 1 MiB). Returns true with
// the settings in *config, or false with "FILE:LINE: reason" (or "FILE: reason") in *error.
// Unknown keys, keys given twice, wrong value types, unreadable certificate files and hashes
// that are not bcrypt are refused. Neither error texts nor anything else show a hash.
bool LoadWebConfig(const std::string& path, WebConfig* config, std::string* error);

// The same for text already read: name labels the messages and relative file names are
// taken from folder.
bool ParseWebConfig(std::string_view text, const std::string& name, const std::string& folder,
                    WebConfig* config, std::string* error);

// Checks the Authorization header of requests against the users' bcrypt hashes. bcrypt is
// slow on purpose, so a successful check is remembered (under a keyed hash of user and
// password, never the password itself) and the next request with the same credentials
// costs one HMAC. Failed checks run bcrypt one at a time, so that a flood of wrong
// passwords takes at most one core. Safe to call from several threads.
class WebBasicAuth {
 public:
  explicit WebBasicAuth(std::map<std::string, std::string> users);
  ~WebBasicAuth();
  WebBasicAuth(const WebBasicAuth&) = delete;
  WebBasicAuth& operator=(const WebBasicAuth&) = delete;

  // True when the header value ("Basic " and base64 of "user:password") names a configured
  // user with its password.
  bool Check(std::string_view authorization);
  // Requests refused so far.
  uint64_t failures() const { return failures_.load(); }

 private:
  bool Verify(const std::string& user, const std::string& password);
  std::string CacheKey(const std::string& user, const std::string& password) const;

  std::map<std::string, std::string> users_;
  unsigned char key_[32];        // random, per process: the cache's HMAC key
  std::mutex cache_mutex_;       // guards cache_
  std::set<std::string> cache_;  // keys of credentials verified
  std::mutex bcrypt_mutex_;      // one bcrypt at a time
  std::atomic<uint64_t> failures_{0};
};

// Creates the endpoint's server: an httplib::SSLServer with the certificate, key, protocol
// versions, ciphers, groups and client-certificate policy of config when it has TLS, a plain
// httplib::Server otherwise (an empty WebConfig gives that). When config has users, the
// server's pre-routing handler answers requests without valid credentials with 401 and
// "WWW-Authenticate: Basic" and hands the others to pre_routing (when given); without users
// pre_routing is the handler itself. A post-routing handler adds config's headers to every
// response. The caller adds its routes and listens; it must not replace the two handlers.
// Returns null with the reason in *error when the certificate, key or CA file cannot be used.
std::unique_ptr<httplib::Server> MakeWebServer(const WebConfig& config, std::string* error,
                                               httplib::Server::HandlerWithResponse pre_routing = nullptr);

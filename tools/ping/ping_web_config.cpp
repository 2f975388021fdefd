// The web configuration file (libyaml's event parser reads it into a small tree; every key
// is checked here against the form exporters use), the basic-authentication check with
// libcrypt's bcrypt, and the making of the endpoint's httplib server with OpenSSL settings
// from the file.
#include "ping_web_config.h"

#include <crypt.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <httplib.h>
#include <openssl/err.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <yaml.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "vrqcrypt.h"

namespace {

constexpr size_t kMaxConfigSize = 1 << 20;
// Credentials remembered at most; the set starts again empty when full.
constexpr size_t kMaxCachedCredentials = 256;

struct NamedValue {
  const char* name;
  int value;
};

constexpr NamedValue kClientAuthTypes[] = {
    {"NoClientCert", static_cast<int>(WebClientAuth::kNone)},
    {"RequestClientCert", static_cast<int>(WebClientAuth::kRequest)},
    {"RequireAnyClientCert", static_cast<int>(WebClientAuth::kRequireAny)},
    {"VerifyClientCertIfGiven", static_cast<int>(WebClientAuth::kVerifyIfGiven)},
    {"RequireAndVerifyClientCert", static_cast<int>(WebClientAuth::kRequireAndVerify)},
};

constexpr NamedValue kTlsVersions[] = {
    {"TLS10", TLS1_VERSION}, {"TLS11", TLS1_1_VERSION},
    {"TLS12", TLS1_2_VERSION}, {"TLS13", TLS1_3_VERSION},
};

// Curve names as the file gives them, with OpenSSL's group names.
constexpr std::pair<const char*, const char*> kCurves[] = {
    {"CurveP256", "P-256"}, {"CurveP384", "P-384"}, {"CurveP521", "P-521"}, {"X25519", "X25519"},
};

// The response headers the file may set; an empty value sets none.
constexpr const char* kHeaderNames[] = {
    "Content-Security-Policy", "X-Frame-Options", "X-Content-Type-Options",
    "X-XSS-Protection", "Strict-Transport-Security",
};

// Keys of the form this endpoint does not implement, with what to do instead.
constexpr std::pair<const char*, const char*> kUnsupported[] = {
    {"cert", "not supported, give the certificate in cert_file"},
    {"key", "not supported, give the key in key_file"},
    {"client_ca", "not supported, give the CA certificates in client_ca_file"},
    {"rate_limit", "not supported by vrqmq"},
};

// Nesting deeper than the form needs is refused early: libyaml's time grows with the square
// of the nesting of flow collections.
constexpr size_t kMaxDepth = 8;

struct ConfigError {
  std::string text;
};

// A text from the file as a message shows it: control characters as '?', at most 64 bytes.
std::string Shown(const std::string& text) {
  std::string shown = text.substr(0, 64);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return text.size() > 64 ? shown + "..." : shown;
}

bool HasControl(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) return true;
  return false;
}

// A node of the YAML document: a scalar, a sequence of items, or a mapping whose keys and
// values alternate in items.
struct YamlNode {
  enum Kind { kScalar, kSequence, kMapping } kind = kScalar;
  std::string text;
  bool plain = false;  // unquoted scalar
  size_t line = 0;
  std::vector<std::unique_ptr<YamlNode>> items;

  bool IsNull() const {
    return kind == kScalar && plain && (text.empty() || text == "~" || text == "null" || text == "Null" || text == "NULL");
  }
};

// Walks the YAML document, refusing what the form does not allow; each refusal names the
// file and the line.
class ConfigReader {
 public:
  ConfigReader(const std::string& name, const std::string& folder) : name_(name), folder_(folder) {}

  [[noreturn]] void FailAt(size_t line, const std::string& reason) const {
    throw ConfigError{name_ + ":" + std::to_string(line) + ": " + reason};
  }
  [[noreturn]] void Fail(const YamlNode& at, const std::string& reason) const { FailAt(at.line, reason); }

  // Calls each(key, key node, value) for the entries of a mapping (null: none), refusing
  // keys that are not texts and keys given twice.
  void Entries(const YamlNode& node, const std::string& what,
               const std::function<void(const std::string&, const YamlNode&, const YamlNode&)>& each) const {
    if (node.IsNull()) return;
    if (node.kind != YamlNode::kMapping) Fail(node, what + " must be a mapping of keys to values");
    std::set<std::string> seen;
    for (size_t i = 0; i + 1 < node.items.size(); i += 2) {
      const YamlNode& key = *node.items[i];
      if (key.kind != YamlNode::kScalar) Fail(key, what + ": a key must be a text");
      if (!seen.insert(key.text).second) Fail(key, what + ": " + Shown(key.text) + " given twice");
      each(key.text, key, *node.items[i + 1]);
    }
  }

  std::string Text(const YamlNode& value, const std::string& key) const {
    if (value.IsNull()) return "";
    if (value.kind != YamlNode::kScalar) Fail(value, key + " must be a text");
    return value.text;
  }

  bool Bool(const YamlNode& value, const std::string& key) const {
    const std::string text = Text(value, key);
    if (strcasecmp(text.c_str(), "true") == 0) return true;
    if (strcasecmp(text.c_str(), "false") == 0) return false;
    Fail(value, key + " must be true or false");
  }

  std::vector<std::pair<std::string, const YamlNode*>> List(const YamlNode& value, const std::string& key) const {
    std::vector<std::pair<std::string, const YamlNode*>> items;
    if (value.IsNull()) return items;
    if (value.kind != YamlNode::kSequence) Fail(value, key + " must be a list");
    for (const auto& item : value.items) items.emplace_back(Text(*item, key), item.get());
    return items;
  }

  int Named(const YamlNode& value, const std::string& key, const NamedValue* table, size_t count) const {
    const std::string text = Text(value, key);
    std::string known;
    for (size_t i = 0; i < count; ++i) {
      if (text == table[i].name) return table[i].value;
      known += (i ? ", " : "") + std::string(table[i].name);
    }
    Fail(value, key + ": unknown value \"" + Shown(text) + "\" (known: " + known + ")");
  }

  // A certificate or key file: made absolute against the configuration's folder, and
  // refused unless it is a readable regular file.
  std::string File(const YamlNode& value, const std::string& key) const {
    std::string path = Text(value, key);
    if (path.empty() || HasControl(path)) Fail(value, key + " must name a file, without control characters");
    if (path[0] != '/' && !folder_.empty()) path = folder_ + "/" + path;
    struct stat st{};
    if (stat(path.c_str(), &st) != 0 || access(path.c_str(), R_OK) != 0)
      Fail(value, key + " " + Shown(path) + ": " + strerror(errno));
    if (!S_ISREG(st.st_mode)) Fail(value, key + " " + Shown(path) + ": not a regular file");
    return path;
  }

 private:
  const std::string& name_;
  const std::string& folder_;
};

// Reads the text's YAML document into a tree with libyaml's event parser. Anchors and
// aliases, more than one document and deep nesting are refused; null: an empty text.
std::unique_ptr<YamlNode> LoadYaml(std::string_view text, const ConfigReader& in) {
  yaml_parser_t parser;
  if (!yaml_parser_initialize(&parser)) throw std::bad_alloc();
  std::unique_ptr<yaml_parser_t, void (*)(yaml_parser_t*)> parser_owner(&parser, yaml_parser_delete);
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  std::unique_ptr<YamlNode> root;
  std::vector<YamlNode*> open;
  int documents = 0;
  for (;;) {
    yaml_event_t event;
    if (!yaml_parser_parse(&parser, &event)) {
      std::string problem = parser.problem ? parser.problem : "not YAML";
      if (parser.context) problem += std::string(" (") + parser.context + ")";
      in.FailAt(parser.problem_mark.line + 1, problem);
    }
    std::unique_ptr<yaml_event_t, void (*)(yaml_event_t*)> event_owner(&event, yaml_event_delete);
    const size_t line = event.start_mark.line + 1;
    const yaml_char_t* anchor = nullptr;
    auto node = std::make_unique<YamlNode>();
    node->line = line;
    switch (event.type) {
      case YAML_STREAM_END_EVENT:
        return root;
      case YAML_DOCUMENT_START_EVENT:
        if (++documents > 1) in.FailAt(line, "more than one YAML document");
        continue;
      case YAML_SEQUENCE_END_EVENT:
      case YAML_MAPPING_END_EVENT:
        open.pop_back();
        continue;
      case YAML_ALIAS_EVENT:
        in.FailAt(line, "aliases (*name) are not supported");
      case YAML_SCALAR_EVENT:
        anchor = event.data.scalar.anchor;
        node->text.assign(reinterpret_cast<const char*>(event.data.scalar.value), event.data.scalar.length);
        node->plain = event.data.scalar.style == YAML_PLAIN_SCALAR_STYLE;
        break;
      case YAML_SEQUENCE_START_EVENT:
        anchor = event.data.sequence_start.anchor;
        node->kind = YamlNode::kSequence;
        break;
      case YAML_MAPPING_START_EVENT:
        anchor = event.data.mapping_start.anchor;
        node->kind = YamlNode::kMapping;
        break;
      default:
        continue;
    }
    if (anchor) in.FailAt(line, "anchors (&name) are not supported");
    YamlNode* added = node.get();
    if (open.empty())
      root = std::move(node);
    else
      open.back()->items.push_back(std::move(node));
    if (added->kind != YamlNode::kScalar) {
      if (open.size() >= kMaxDepth) in.FailAt(line, "nested deeper than " + std::to_string(kMaxDepth) + " levels");
      open.push_back(added);
    }
  }
}

struct CipherSuite {
  std::string standard;  // IANA name, as the file gives it
  std::string openssl;
  bool tls13;
};

// Every cipher suite this OpenSSL knows, read once.
const std::vector<CipherSuite>& CipherSuites() {
  static const std::vector<CipherSuite> suites = [] {
    std::vector<CipherSuite> all;
    SSL_CTX* ctx = SSL_CTX_new(TLS_method());
    if (!ctx) return all;
    SSL_CTX_set_security_level(ctx, 0);
    SSL_CTX_set_cipher_list(ctx, "ALL:COMPLEMENTOFALL");
    STACK_OF(SSL_CIPHER)* ciphers = SSL_CTX_get_ciphers(ctx);
    for (int i = 0; ciphers && i < sk_SSL_CIPHER_num(ciphers); ++i) {
      const SSL_CIPHER* cipher = sk_SSL_CIPHER_value(ciphers, i);
      const char* standard = SSL_CIPHER_standard_name(cipher);
      if (standard)
        all.push_back({standard, SSL_CIPHER_get_name(cipher), strcmp(SSL_CIPHER_get_version(cipher), "TLSv1.3") == 0});
    }
    SSL_CTX_free(ctx);
    return all;
  }();
  return suites;
}

// The suite of an IANA name; the ChaCha20 suites are also known without their "_SHA256".
const CipherSuite* FindCipherSuite(const std::string& name) {
  for (const auto& suite : CipherSuites())
    if (suite.standard == name || suite.standard == name + "_SHA256") return &suite;
  return nullptr;
}

// "$2a$", "$2b$" or "$2y$", a cost of 04 to 31, "$", then 22 characters of salt and 31 of
// hash in bcrypt's base64 alphabet.
bool IsBcryptHash(const std::string& hash) {
  if (hash.size() != 60 || hash.compare(0, 2, "$2") != 0 || !strchr("aby", hash[2]) || hash[3] != '$' ||
      hash[6] != '$' || !isdigit(static_cast<unsigned char>(hash[4])) ||
      !isdigit(static_cast<unsigned char>(hash[5])))
    return false;
  const int cost = (hash[4] - '0') * 10 + (hash[5] - '0');
  if (cost < 4 || cost > 31) return false;
  for (size_t i = 7; i < hash.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(hash[i]);
    if (!isalnum(c) && c != '.' && c != '/') return false;
  }
  return true;
}

void ReadTls(const ConfigReader& in, const YamlNode& node, WebTlsConfig* tls) {
  const YamlNode* client_ca = nullptr;
  const YamlNode* sans = nullptr;
  std::vector<std::string> ciphers, groups;
  in.Entries(node, "tls_server_config", [&](const std::string& key, const YamlNode& at, const YamlNode& value) {
    if (key == "cert_file") {
      tls->cert_file = in.File(value, key);
    } else if (key == "key_file") {
      tls->key_file = in.File(value, key);
    } else if (key == "client_ca_file") {
      tls->client_ca_file = in.File(value, key);
      client_ca = &at;
    } else if (key == "client_auth_type") {
      tls->client_auth = static_cast<WebClientAuth>(in.Named(value, key, kClientAuthTypes, std::size(kClientAuthTypes)));
    } else if (key == "client_allowed_sans") {
      for (auto& [san, item] : in.List(value, key)) {
        if (san.empty() || HasControl(san)) in.Fail(*item, key + ": an empty name or one with control characters");
        tls->allowed_sans.push_back(san);
      }
      sans = &at;
    } else if (key == "min_version") {
      tls->min_version = in.Named(value, key, kTlsVersions, std::size(kTlsVersions));
    } else if (key == "max_version") {
      tls->max_version = in.Named(value, key, kTlsVersions, std::size(kTlsVersions));
    } else if (key == "cipher_suites") {
      for (auto& [name, item] : in.List(value, key)) {
        const CipherSuite* suite = FindCipherSuite(name);
        if (!suite) in.Fail(*item, key + ": unknown cipher suite " + Shown(name));
        if (suite->tls13) in.Fail(*item, key + ": " + name + " is a TLS 1.3 suite; those are not configurable");
        ciphers.push_back(suite->openssl);
      }
    } else if (key == "prefer_server_cipher_suites") {
      tls->prefer_server_ciphers = in.Bool(value, key);
    } else if (key == "curve_preferences") {
      for (auto& [name, item] : in.List(value, key)) {
        const std::string& wanted = name;
        auto curve = std::find_if(std::begin(kCurves), std::end(kCurves), [&](auto& c) { return wanted == c.first; });
        if (curve == std::end(kCurves))
          in.Fail(*item, key + ": unknown curve " + Shown(wanted) + " (known: CurveP256, CurveP384, CurveP521, X25519)");
        groups.push_back(curve->second);
      }
    } else {
      for (auto& [name, reason] : kUnsupported)
        if (key == name) in.Fail(at, "tls_server_config: " + key + ": " + reason);
      in.Fail(at, "tls_server_config: unknown key " + Shown(key));
    }
  });
  if (tls->cert_file.empty() || tls->key_file.empty())
    in.Fail(node, "tls_server_config needs cert_file and key_file");
  if (tls->min_version > tls->max_version) in.Fail(node, "tls_server_config: min_version is above max_version");
  const bool verifies = tls->client_auth == WebClientAuth::kVerifyIfGiven ||
                        tls->client_auth == WebClientAuth::kRequireAndVerify;
  if (verifies && tls->client_ca_file.empty())
    in.Fail(node, "tls_server_config: client_auth_type verifies client certificates and needs client_ca_file");
  if (client_ca && tls->client_auth == WebClientAuth::kNone)
    in.Fail(*client_ca, "tls_server_config: client_ca_file is given but client_auth_type asks for no client certificate");
  if (sans && tls->client_auth != WebClientAuth::kRequireAny && tls->client_auth != WebClientAuth::kRequireAndVerify)
    in.Fail(*sans, "tls_server_config: client_allowed_sans needs client_auth_type RequireAnyClientCert or "
                   "RequireAndVerifyClientCert");
  for (auto& c : ciphers) tls->cipher_list += (tls->cipher_list.empty() ? "" : ":") + c;
  for (auto& g : groups) tls->groups += (tls->groups.empty() ? "" : ":") + g;
}

void ReadHttp(const ConfigReader& in, const YamlNode& node, WebConfig* config) {
  in.Entries(node, "http_server_config", [&](const std::string& key, const YamlNode& at, const YamlNode& value) {
    if (key == "http2") {
      in.Bool(value, key);  // accepted for shared files; the endpoint speaks HTTP/1.1
      return;
    }
    if (key != "headers") in.Fail(at, "http_server_config: unknown key " + Shown(key));
    in.Entries(value, "headers", [&](const std::string& header, const YamlNode& name, const YamlNode& v) {
      auto known = std::find_if(std::begin(kHeaderNames), std::end(kHeaderNames),
                                [&](const char* n) { return strcasecmp(n, header.c_str()) == 0; });
      if (known == std::end(kHeaderNames)) in.Fail(name, "headers: " + Shown(header) + " cannot be set here");
      for (const auto& added : config->headers)
        if (added.first == *known) in.Fail(name, "headers: " + added.first + " given twice");
      std::string text = in.Text(v, header);
      if (HasControl(text)) in.Fail(v, "headers: " + header + ": the value holds control characters");
      const std::string canonical = *known;
      if (canonical == "X-Frame-Options" && !text.empty() && strcasecmp(text.c_str(), "deny") != 0 &&
          strcasecmp(text.c_str(), "sameorigin") != 0)
        in.Fail(v, "headers: X-Frame-Options must be deny or sameorigin");
      if (canonical == "X-Content-Type-Options" && !text.empty() && strcasecmp(text.c_str(), "nosniff") != 0)
        in.Fail(v, "headers: X-Content-Type-Options must be nosniff");
      if (!text.empty()) config->headers.emplace_back(canonical, text);
    });
  });
}

void ReadUsers(const ConfigReader& in, const YamlNode& node, WebConfig* config) {
  in.Entries(node, "basic_auth_users", [&](const std::string& user, const YamlNode& at, const YamlNode& value) {
    if (user.find(':') != std::string::npos || HasControl(user))
      in.Fail(at, "basic_auth_users: a user name may hold no ':' and no control characters");
    // The hash is a secret: the message does not show it.
    if (value.kind != YamlNode::kScalar || !IsBcryptHash(value.text))
      in.Fail(value, "basic_auth_users: " + Shown(user) + ": the password is not a bcrypt hash ($2a$, $2b$ or $2y$, cost 04 to 31)");
    config->users[user] = value.text;
  });
}

std::string OpenSslError() {
  unsigned long code = ERR_peek_last_error();
  char text[256] = "unknown error";
  if (code) ERR_error_string_n(code, text, sizeof text);
  ERR_clear_error();
  return text;
}

// The client-certificate index of the SSL_CTX extra data: a copy of the TLS settings,
// released with the context.
void FreeTlsCopy(void*, void* ptr, CRYPTO_EX_DATA*, int, long, void*) { delete static_cast<WebTlsConfig*>(ptr); }

int TlsIndex() {
  static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, FreeTlsCopy);
  return index;
}

bool SanAllowed(X509* cert, const std::vector<std::string>& allowed) {
  const unsigned int flags = X509_CHECK_FLAG_NO_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT;
  for (const auto& name : allowed) {
    if (X509_check_host(cert, name.data(), name.size(), flags, nullptr) == 1 ||
        X509_check_email(cert, name.data(), name.size(), flags) == 1 ||
        X509_check_ip_asc(cert, name.c_str(), 0) == 1)
      return true;
  }
  return false;
}

int VerifyClient(int preverify_ok, X509_STORE_CTX* store) {
  auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  const auto* tls = static_cast<const WebTlsConfig*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), TlsIndex()));
  if (!tls) return 0;
  const bool verifies = tls->client_auth == WebClientAuth::kVerifyIfGiven ||
                        tls->client_auth == WebClientAuth::kRequireAndVerify;
  if (verifies && !preverify_ok) return 0;
  if (X509_STORE_CTX_get_error_depth(store) > 0 || tls->allowed_sans.empty()) return 1;
  if (SanAllowed(X509_STORE_CTX_get_current_cert(store), tls->allowed_sans)) return 1;
  X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
  return 0;
}

// Never asks for a key's pass phrase on the terminal: an encrypted key fails to load.
int NoPassword(char*, int, int, void*) { return 0; }

bool SetUpContext(SSL_CTX* ctx, const WebTlsConfig& tls, std::string* reason) {
  auto fail = [&](const std::string& what) {
    *reason = what + ": " + OpenSslError();
    return false;
  };
  SSL_CTX_set_options(ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION |
                               (tls.prefer_server_ciphers ? SSL_OP_CIPHER_SERVER_PREFERENCE : 0));
  SSL_CTX_set_default_passwd_cb(ctx, NoPassword);
  if (SSL_CTX_use_certificate_chain_file(ctx, tls.cert_file.c_str()) != 1) return fail("cert_file " + tls.cert_file);
  if (SSL_CTX_use_PrivateKey_file(ctx, tls.key_file.c_str(), SSL_FILETYPE_PEM) != 1)
    return fail("key_file " + tls.key_file);
  if (SSL_CTX_check_private_key(ctx) != 1) return fail("key_file " + tls.key_file + " does not match cert_file");
  if (SSL_CTX_set_min_proto_version(ctx, tls.min_version) != 1 ||
      SSL_CTX_set_max_proto_version(ctx, tls.max_version) != 1)
    return fail("min_version/max_version");
  if (!tls.cipher_list.empty() && SSL_CTX_set_cipher_list(ctx, tls.cipher_list.c_str()) != 1)
    return fail("cipher_suites");
  if (!tls.groups.empty() && SSL_CTX_set1_groups_list(ctx, tls.groups.c_str()) != 1)
    return fail("curve_preferences");
  if (!tls.client_ca_file.empty()) {
    if (SSL_CTX_load_verify_locations(ctx, tls.client_ca_file.c_str(), nullptr) != 1)
      return fail("client_ca_file " + tls.client_ca_file);
    STACK_OF(X509_NAME)* names = SSL_load_client_CA_file(tls.client_ca_file.c_str());
    if (!names) return fail("client_ca_file " + tls.client_ca_file);
    SSL_CTX_set_client_CA_list(ctx, names);
  }
  if (tls.client_auth == WebClientAuth::kNone) return true;
  if (SSL_CTX_set_ex_data(ctx, TlsIndex(), new WebTlsConfig(tls)) != 1) return fail("client certificates");
  int mode = SSL_VERIFY_PEER;
  if (tls.client_auth == WebClientAuth::kRequireAny || tls.client_auth == WebClientAuth::kRequireAndVerify)
    mode |= SSL_VERIFY_FAIL_IF_NO_PEER_CERT;
  SSL_CTX_set_verify(ctx, mode, VerifyClient);
  return true;
}

}  // namespace

bool ParseWebConfig(std::string_view text, const std::string& name, const std::string& folder,
                    WebConfig* config, std::string* error) {
  *config = WebConfig{};
  const ConfigReader in(name, folder);
  try {
    const std::unique_ptr<YamlNode> document = LoadYaml(text, in);
    if (!document) return true;
    in.Entries(*document, "the web configuration", [&](const std::string& key, const YamlNode& at,
                                                        const YamlNode& value) {
      if (key == "tls_server_config") {
        config->tls = true;
        ReadTls(in, value, &config->tls_config);
      } else if (key == "http_server_config") {
        ReadHttp(in, value, config);
      } else if (key == "basic_auth_users") {
        ReadUsers(in, value, config);
      } else {
        for (auto& [unsupported, reason] : kUnsupported)
          if (key == unsupported) in.Fail(at, key + ": " + reason);
        in.Fail(at, "unknown key " + Shown(key));
      }
    });
    return true;
  } catch (const ConfigError& e) {
    *error = e.text;
  } catch (const std::exception& e) {
    *error = name + ": " + e.what();
  }
  *config = WebConfig{};
  return false;
}

bool LoadWebConfig(const std::string& path, WebConfig* config, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = path + ": " + strerror(errno);
    return false;
  }
  std::string text(kMaxConfigSize + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad()) {
    *error = path + ": " + strerror(errno);
    return false;
  }
  text.resize(static_cast<size_t>(file.gcount()));
  if (text.size() > kMaxConfigSize) {
    *error = path + ": larger than 1 MiB";
    return false;
  }
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : slash == 0 ? "/" : path.substr(0, slash);
  const bool ok = ParseWebConfig(text, path, folder, config, error);
  OPENSSL_cleanse(text.data(), text.size());
  return ok;
}

WebBasicAuth::WebBasicAuth(std::map<std::string, std::string> users) : users_(std::move(users)) {
  if (RAND_bytes(key_, sizeof key_) != 1) std::abort();  // no randomness: nothing is safe to do
}

WebBasicAuth::~WebBasicAuth() { OPENSSL_cleanse(key_, sizeof key_); }

std::string WebBasicAuth::CacheKey(const std::string& user, const std::string& password) const {
  std::string data = user;
  data.push_back('\0');
  data += password;
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key_, sizeof key_, reinterpret_cast<const unsigned char*>(data.data()), data.size(), mac,
       &length);
  OPENSSL_cleanse(data.data(), data.size());
  return std::string(reinterpret_cast<char*>(mac), length);
}

bool WebBasicAuth::Verify(const std::string& user, const std::string& password) {
  if (users_.empty()) return false;
  auto found = users_.find(user);
  const std::string key = CacheKey(user, password);
  if (found != users_.end()) {
    std::lock_guard<std::mutex> lock(cache_mutex_);
    if (cache_.count(key)) return true;
  }
  // An unknown user costs a bcrypt too (against some configured hash), so that the time
  // of the answer does not tell which names exist.
  const std::string& hash = found != users_.end() ? found->second : users_.begin()->second;
  bool match = false;
  {
    std::lock_guard<std::mutex> lock(bcrypt_mutex_);
    auto data = std::make_unique<crypt_data>();
    const char* out = crypt_rn(password.c_str(), hash.c_str(), data.get(), sizeof *data);
    match = out && strlen(out) == hash.size() && CRYPTO_memcmp(out, hash.data(), hash.size()) == 0;
    OPENSSL_cleanse(data.get(), sizeof *data);
  }
  if (!match || found == users_.end()) return false;
  std::lock_guard<std::mutex> lock(cache_mutex_);
  if (cache_.size() >= kMaxCachedCredentials) cache_.clear();
  cache_.insert(key);
  return true;
}

bool WebBasicAuth::Check(std::string_view authorization) {
  bool ok = false;
  constexpr std::string_view kScheme = "basic ";
  if (authorization.size() > kScheme.size() && strncasecmp(authorization.data(), kScheme.data(), kScheme.size()) == 0) {
    std::string encoded(authorization.substr(kScheme.size()));
    uint8_t* raw = nullptr;
    size_t length = 0;
    if (b64decode(encoded.c_str(), &raw, &length) == 0) {
      std::string pair(reinterpret_cast<const char*>(raw), length);
      OPENSSL_cleanse(raw, length);
      free(raw);
      const size_t colon = pair.find(':');
      // A NUL would cut the password short for crypt.
      if (colon != std::string::npos && pair.find('\0') == std::string::npos) {
        std::string password = pair.substr(colon + 1);
        ok = Verify(pair.substr(0, colon), password);
        OPENSSL_cleanse(password.data(), password.size());
      }
      OPENSSL_cleanse(pair.data(), pair.size());
    }
    OPENSSL_cleanse(encoded.data(), encoded.size());
  }
  if (!ok) ++failures_;
  return ok;
}

std::unique_ptr<httplib::Server> MakeWebServer(const WebConfig& config, std::string* error,
                                               httplib::Server::HandlerWithResponse pre_routing) {
  std::unique_ptr<httplib::Server> server;
  if (config.tls) {
    std::string reason;
    auto ssl = std::make_unique<httplib::SSLServer>(
        [&](SSL_CTX& ctx) { return SetUpContext(&ctx, config.tls_config, &reason); });
    if (!ssl->is_valid()) {
      *error = reason.empty() ? "cannot set up TLS: " + OpenSslError() : reason;
      return nullptr;
    }
    server = std::move(ssl);
  } else {
    server = std::make_unique<httplib::Server>();
  }
  if (!config.users.empty()) {
    auto auth = std::make_shared<WebBasicAuth>(config.users);
    server->set_pre_routing_handler([auth, next = std::move(pre_routing)](const httplib::Request& req,
                                                                           httplib::Response& res) {
      if (auth->Check(req.get_header_value("Authorization")))
        return next ? next(req, res) : httplib::Server::HandlerResponse::Unhandled;
      res.status = 401;
      res.set_header("WWW-Authenticate", "Basic");
      res.set_content("Unauthorized\n", "text/plain");
      return httplib::Server::HandlerResponse::Handled;
    });
  } else if (pre_routing) {
    server->set_pre_routing_handler(std::move(pre_routing));
  }
  if (!config.headers.empty()) {
    server->set_post_routing_handler([headers = config.headers](const httplib::Request&, httplib::Response& res) {
      for (const auto& [name, value] : headers) res.set_header(name, value);
    });
  }
  return server;
}

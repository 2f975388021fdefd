// OpenSSL on both ends of a client channel: CipherSpec table, key repositories, the relay
// between a TLS connection and a plaintext socket pair, and the client's handshake.
#include "tls_transport.h"

#include <cmqc.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vrqsim::tls {

namespace {

constexpr const char* kAnyTls12 = "HIGH:!aNULL:!eNULL:!PSK:!SRP:!CAMELLIA:!ARIA";
constexpr const char* kAnyTls13 = "TLS_AES_256_GCM_SHA384:TLS_CHACHA20_POLY1305_SHA256:TLS_AES_128_GCM_SHA256:"
                                  "TLS_AES_128_CCM_SHA256:TLS_AES_128_CCM_8_SHA256";

// IBM's CipherSpecs for TLS 1.2 and 1.3 and the OpenSSL names of the same suites; the
// ANY_ aliases stand for every suite of the versions they name.
constexpr CipherSpec kSpecs[] = {
    {"TLS_AES_128_GCM_SHA256", TLS1_3_VERSION, TLS1_3_VERSION, nullptr, "TLS_AES_128_GCM_SHA256"},
    {"TLS_AES_256_GCM_SHA384", TLS1_3_VERSION, TLS1_3_VERSION, nullptr, "TLS_AES_256_GCM_SHA384"},
    {"TLS_CHACHA20_POLY1305_SHA256", TLS1_3_VERSION, TLS1_3_VERSION, nullptr, "TLS_CHACHA20_POLY1305_SHA256"},
    {"TLS_AES_128_CCM_SHA256", TLS1_3_VERSION, TLS1_3_VERSION, nullptr, "TLS_AES_128_CCM_SHA256"},
    {"TLS_AES_128_CCM_8_SHA256", TLS1_3_VERSION, TLS1_3_VERSION, nullptr, "TLS_AES_128_CCM_8_SHA256"},
    {"TLS_RSA_WITH_AES_128_CBC_SHA256", TLS1_2_VERSION, TLS1_2_VERSION, "AES128-SHA256", nullptr},
    {"TLS_RSA_WITH_AES_256_CBC_SHA256", TLS1_2_VERSION, TLS1_2_VERSION, "AES256-SHA256", nullptr},
    {"TLS_RSA_WITH_AES_128_GCM_SHA256", TLS1_2_VERSION, TLS1_2_VERSION, "AES128-GCM-SHA256", nullptr},
    {"TLS_RSA_WITH_AES_256_GCM_SHA384", TLS1_2_VERSION, TLS1_2_VERSION, "AES256-GCM-SHA384", nullptr},
    {"ECDHE_RSA_AES_128_CBC_SHA256", TLS1_2_VERSION, TLS1_2_VERSION, "ECDHE-RSA-AES128-SHA256", nullptr},
    {"ECDHE_RSA_AES_256_CBC_SHA384", TLS1_2_VERSION, TLS1_2_VERSION, "ECDHE-RSA-AES256-SHA384", nullptr},
    {"ECDHE_RSA_AES_128_GCM_SHA256", TLS1_2_VERSION, TLS1_2_VERSION, "ECDHE-RSA-AES128-GCM-SHA256", nullptr},
    {"ECDHE_RSA_AES_256_GCM_SHA384", TLS1_2_VERSION, TLS1_2_VERSION, "ECDHE-RSA-AES256-GCM-SHA384", nullptr},
    {"ECDHE_ECDSA_AES_128_CBC_SHA256", TLS1_2_VERSION, TLS1_2_VERSION, "ECDHE-ECDSA-AES128-SHA256", nullptr},
    {"ECDHE_ECDSA_AES_256_CBC_SHA384", TLS1_2_VERSION, TLS1_2_VERSION, "ECDHE-ECDSA-AES256-SHA384", nullptr},
    {"ECDHE_ECDSA_AES_128_GCM_SHA256", TLS1_2_VERSION, TLS1_2_VERSION, "ECDHE-ECDSA-AES128-GCM-SHA256", nullptr},
    {"ECDHE_ECDSA_AES_256_GCM_SHA384", TLS1_2_VERSION, TLS1_2_VERSION, "ECDHE-ECDSA-AES256-GCM-SHA384", nullptr},
    {"TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305_SHA256", TLS1_2_VERSION, TLS1_2_VERSION, "ECDHE-RSA-CHACHA20-POLY1305", nullptr},
    {"TLS_ECDHE_ECDSA_WITH_CHACHA20_POLY1305_SHA256", TLS1_2_VERSION, TLS1_2_VERSION, "ECDHE-ECDSA-CHACHA20-POLY1305", nullptr},
    {"ANY", TLS1_2_VERSION, TLS1_3_VERSION, kAnyTls12, kAnyTls13},
    {"ANY_TLS12", TLS1_2_VERSION, TLS1_2_VERSION, kAnyTls12, nullptr},
    {"ANY_TLS12_OR_HIGHER", TLS1_2_VERSION, TLS1_3_VERSION, kAnyTls12, kAnyTls13},
    {"ANY_TLS13", TLS1_3_VERSION, TLS1_3_VERSION, nullptr, kAnyTls13},
    {"ANY_TLS13_OR_HIGHER", TLS1_3_VERSION, TLS1_3_VERSION, nullptr, kAnyTls13},
};

template <typename T>
bool Apply(T* target, const CipherSpec& cipher, int (*min)(T*, int), int (*max)(T*, int),
           int (*list)(T*, const char*), int (*suites)(T*, const char*)) {
  // An empty TLS 1.2 list is refused by OpenSSL, so a TLS 1.3-only CipherSpec keeps the default
  // list: the version limit already rules those suites out.
  return min(target, cipher.min_version) == 1 && max(target, cipher.max_version) == 1 &&
         (!cipher.tls12 || list(target, cipher.tls12) == 1) && suites(target, cipher.tls13 ? cipher.tls13 : "") == 1;
}

int CtxMin(SSL_CTX* c, int v) { return static_cast<int>(SSL_CTX_set_min_proto_version(c, v)); }
int CtxMax(SSL_CTX* c, int v) { return static_cast<int>(SSL_CTX_set_max_proto_version(c, v)); }
int SslMin(SSL* s, int v) { return static_cast<int>(SSL_set_min_proto_version(s, v)); }
int SslMax(SSL* s, int v) { return static_cast<int>(SSL_set_max_proto_version(s, v)); }

bool EndsWith(const std::string& s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  return std::equal(tail.rbegin(), tail.rend(), s.rbegin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

bool Readable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return static_cast<bool>(in);
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return line;
}

struct BioFree { void operator()(BIO* b) const { BIO_free(b); } };
struct X509Free { void operator()(X509* x) const { X509_free(x); } };
struct KeyFree { void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); } };
struct P12Free { void operator()(PKCS12* p) const { PKCS12_free(p); } };
struct SslFree { void operator()(SSL* s) const { SSL_free(s); } };
struct CtxFree { void operator()(SSL_CTX* c) const { SSL_CTX_free(c); } };

std::string TrustAll(SSL_CTX* ctx, const std::vector<X509*>& certs) {
  X509_STORE* store = SSL_CTX_get_cert_store(ctx);
  for (X509* x : certs) {
    if (X509_STORE_add_cert(store, x) != 1) {
      const unsigned long e = ERR_peek_last_error();
      if (ERR_GET_REASON(e) != X509_R_CERT_ALREADY_IN_HASH_TABLE) return "cannot trust a certificate: " + LastError();
      ERR_clear_error();
    }
  }
  return {};
}

std::string UseIdentity(SSL_CTX* ctx, EVP_PKEY* key, X509* cert, const std::vector<X509*>& chain) {
  if (SSL_CTX_use_certificate(ctx, cert) != 1 || SSL_CTX_use_PrivateKey(ctx, key) != 1 ||
      SSL_CTX_check_private_key(ctx) != 1)
    return "the private key and certificate cannot be used: " + LastError();
  for (X509* x : chain) {
    if (x == cert) continue;
    X509_up_ref(x);
    if (SSL_CTX_add_extra_chain_cert(ctx, x) != 1) {
      X509_free(x);
      return "cannot add a chain certificate: " + LastError();
    }
  }
  return {};
}

std::string LoadPem(SSL_CTX* ctx, const std::string& file, bool need_key) {
  std::unique_ptr<BIO, BioFree> bio(BIO_new_file(file.c_str(), "r"));
  if (!bio) return "cannot read " + file;
  std::vector<std::unique_ptr<X509, X509Free>> certs;
  std::unique_ptr<EVP_PKEY, KeyFree> key;
  // Read every block in turn: certificates and (at most) one private key, any order.
  STACK_OF(X509_INFO)* infos = PEM_X509_INFO_read_bio(bio.get(), nullptr, nullptr, nullptr);
  if (!infos) return "not a PEM file: " + LastError();
  for (int i = 0; i < sk_X509_INFO_num(infos); ++i) {
    X509_INFO* info = sk_X509_INFO_value(infos, i);
    if (info->x509) {
      X509_up_ref(info->x509);
      certs.emplace_back(info->x509);
    }
    if (info->x_pkey && info->x_pkey->dec_pkey && !key) {
      EVP_PKEY_up_ref(info->x_pkey->dec_pkey);
      key.reset(info->x_pkey->dec_pkey);
    }
  }
  sk_X509_INFO_pop_free(infos, X509_INFO_free);
  if (certs.empty()) return file + " holds no certificate";
  std::vector<X509*> raw;
  for (auto& c : certs) raw.push_back(c.get());
  if (std::string why = TrustAll(ctx, raw); !why.empty()) return why;
  if (!key) return need_key ? file + " holds no private key" : std::string();
  X509* own = nullptr;
  for (X509* x : raw)
    if (X509_check_private_key(x, key.get()) == 1) { own = x; break; }
  ERR_clear_error();
  if (!own) return file + " holds no certificate for its private key";
  return UseIdentity(ctx, key.get(), own, raw);
}

std::string LoadP12(SSL_CTX* ctx, const std::string& file, const std::string& password, bool need_key) {
  std::unique_ptr<BIO, BioFree> bio(BIO_new_file(file.c_str(), "rb"));
  if (!bio) return "cannot read " + file;
  std::unique_ptr<PKCS12, P12Free> p12(d2i_PKCS12_bio(bio.get(), nullptr));
  if (!p12) return file + " is not a PKCS #12 file: " + LastError();
  EVP_PKEY* key_raw = nullptr;
  X509* cert_raw = nullptr;
  STACK_OF(X509)* ca = nullptr;
  if (PKCS12_parse(p12.get(), password.c_str(), &key_raw, &cert_raw, &ca) != 1) {
    ERR_clear_error();
    return "cannot open " + file + " (wrong password or damaged file)";
  }
  std::unique_ptr<EVP_PKEY, KeyFree> key(key_raw);
  std::unique_ptr<X509, X509Free> cert(cert_raw);
  std::vector<X509*> all;
  if (cert) all.push_back(cert.get());
  for (int i = 0; ca && i < sk_X509_num(ca); ++i) all.push_back(sk_X509_value(ca, i));
  std::string why = all.empty() ? file + " holds no certificate" : TrustAll(ctx, all);
  if (why.empty() && key && cert) why = UseIdentity(ctx, key.get(), cert.get(), all);
  else if (why.empty() && need_key) why = file + " holds no private key";
  sk_X509_pop_free(ca, X509_free);
  return why;
}

void SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

void Init() {
  static std::once_flag once;
  std::call_once(once, [] { OPENSSL_init_ssl(OPENSSL_INIT_NO_ATEXIT | OPENSSL_INIT_LOAD_SSL_STRINGS, nullptr); });
}

const CipherSpec* FindCipherSpec(std::string_view name) {
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.remove_suffix(1);
  for (const auto& s : kSpecs)
    if (name == s.name) return &s;
  return nullptr;
}

bool ApplyCipherSpec(SSL_CTX* ctx, const CipherSpec& cipher) {
  return Apply<SSL_CTX>(ctx, cipher, CtxMin, CtxMax, SSL_CTX_set_cipher_list, SSL_CTX_set_ciphersuites);
}

bool ApplyCipherSpec(SSL* ssl, const CipherSpec& cipher) {
  return Apply<SSL>(ssl, cipher, SslMin, SslMax, SSL_set_cipher_list, SSL_set_ciphersuites);
}

std::string NegotiatedSpec(const SSL* ssl) {
  const SSL_CIPHER* c = SSL_get_current_cipher(ssl);
  if (!c) return "(none)";
  const std::string openssl = SSL_CIPHER_get_name(c);
  for (const auto& s : kSpecs)
    if ((s.tls12 && openssl == s.tls12) || (s.tls13 && openssl == s.tls13)) return s.name;
  return openssl;
}

std::string ServerNameFor(std::string_view channel) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char ch : channel) {
    out += kHex[ch >> 4];
    out += kHex[ch & 15];
  }
  return out + ".chl.vrqsim";
}

std::string ChannelFromServerName(std::string_view name) {
  constexpr std::string_view kTail = ".chl.vrqsim";
  if (name.size() <= kTail.size() || name.substr(name.size() - kTail.size()) != kTail) return {};
  name.remove_suffix(kTail.size());
  if (name.size() % 2 || name.size() > 2 * MQ_CHANNEL_NAME_LENGTH) return {};
  std::string out;
  for (size_t i = 0; i < name.size(); i += 2) {
    auto nibble = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
    const int hi = nibble(name[i]), lo = nibble(name[i + 1]);
    if (hi < 0 || lo < 0) return {};
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

std::string ResolveKeyRepository(const std::string& stem, std::string& why) {
  if (stem.empty()) {
    why = "no key repository is named";
    return {};
  }
  if (EndsWith(stem, ".kdb") || EndsWith(stem, ".sth")) {
    why = stem + " is a CMS key database, which only IBM's GSKit reads; give a PKCS #12 (.p12) or PEM (.pem) file";
    return {};
  }
  if (EndsWith(stem, ".p12") || EndsWith(stem, ".pfx") || EndsWith(stem, ".pem")) {
    if (Readable(stem)) return stem;
    why = "key repository " + stem + " is missing or unreadable";
    return {};
  }
  for (const char* ext : {".p12", ".pem"})
    if (Readable(stem + ext)) return stem + ext;
  why = "key repository " + stem + ".p12 (or .pem) is missing or unreadable";
  return {};
}

std::string LoadKeyRepository(SSL_CTX* ctx, const std::string& file, const std::string& password, bool need_key) {
  if (EndsWith(file, ".pem")) return LoadPem(ctx, file, need_key);
  std::string secret = password;
  if (secret.empty()) {
    const size_t dot = file.rfind('.');
    secret = FirstLine(file.substr(0, dot) + ".sth");
  }
  return LoadP12(ctx, file, secret, need_key);
}

std::string LastError() {
  const unsigned long e = ERR_get_error();
  ERR_clear_error();
  if (e == 0) return "no further detail";
  char text[256];
  ERR_error_string_n(e, text, sizeof text);
  return text;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool WaitFor(int fd, bool write, int64_t deadline_ms) {
  for (;;) {
    const int64_t left = deadline_ms - NowMs();
    if (left <= 0) return false;
    pollfd p{fd, static_cast<short>(write ? POLLOUT : POLLIN), 0};
    const int n = poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 1000)));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return true;   // let the next I/O call report it
  }
}

void Relay(SSL* ssl, int net, int local) {
  SetNonBlocking(net);
  SetNonBlocking(local);
  constexpr size_t kHigh = 256 * 1024;
  std::vector<uint8_t> to_local, to_net;
  size_t local_pos = 0, net_pos = 0;
  bool net_open = true, local_open = true, ssl_wants_write = false;
  uint8_t buf[16 * 1024];
  while (net_open || local_pos < to_local.size()) {
    bool progress = false;
    ssl_wants_write = false;
    while (net_open && to_local.size() - local_pos < kHigh) {
      const int n = SSL_read(ssl, buf, sizeof buf);
      if (n > 0) {
        to_local.insert(to_local.end(), buf, buf + n);
        progress = true;
        continue;
      }
      const int e = SSL_get_error(ssl, n);
      if (e == SSL_ERROR_WANT_WRITE) ssl_wants_write = true;
      else if (e != SSL_ERROR_WANT_READ) net_open = false;
      break;
    }
    while (local_pos < to_local.size()) {
      const ssize_t n = send(local, to_local.data() + local_pos, to_local.size() - local_pos, MSG_NOSIGNAL);
      if (n > 0) {
        local_pos += static_cast<size_t>(n);
        progress = true;
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
      local_open = false;   // the plaintext side has gone: nothing more to deliver
      to_local.clear();
      local_pos = 0;
      net_open = false;
      break;
    }
    if (local_pos == to_local.size()) {
      to_local.clear();
      local_pos = 0;
    }
    while (local_open && to_net.size() - net_pos < kHigh) {
      const ssize_t n = recv(local, buf, sizeof buf, 0);
      if (n > 0) {
        to_net.insert(to_net.end(), buf, buf + n);
        progress = true;
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) break;
      local_open = false;
    }
    while (net_open && net_pos < to_net.size()) {
      const int n = SSL_write(ssl, to_net.data() + net_pos, static_cast<int>(std::min<size_t>(to_net.size() - net_pos, 1 << 20)));
      if (n > 0) {
        net_pos += static_cast<size_t>(n);
        progress = true;
        continue;
      }
      const int e = SSL_get_error(ssl, n);
      if (e == SSL_ERROR_WANT_WRITE) ssl_wants_write = true;
      else if (e != SSL_ERROR_WANT_READ) net_open = false;
      break;
    }
    if (net_pos == to_net.size()) {
      to_net.clear();
      net_pos = 0;
    }
    if (!local_open && to_net.empty()) break;   // everything the local side said is sent
    if (!net_open && to_local.empty()) break;
    if (progress) continue;
    pollfd p[2] = {{net, static_cast<short>(POLLIN | (ssl_wants_write ? POLLOUT : 0)), 0},
                   {local, static_cast<short>((local_open ? POLLIN : 0) | (to_local.empty() ? 0 : POLLOUT)), 0}};
    poll(p, 2, 1000);
  }
  if (net_open) SSL_shutdown(ssl);
  SSL_free(ssl);
  close(net);
  close(local);
}

namespace {

// The client's context: the CipherSpec's versions and suites and the key repository.
std::unique_ptr<SSL_CTX, CtxFree> ClientContext(const ClientOptions& options, MQLONG& reason, std::string& detail) {
  Init();
  std::unique_ptr<SSL_CTX, CtxFree> none;
  const CipherSpec* cipher = FindCipherSpec(options.cipher_spec);
  if (!cipher) {
    reason = MQRC_SSL_INITIALIZATION_ERROR;
    detail = "CipherSpec " + options.cipher_spec + " is not known";
    return none;
  }
  const std::string file = ResolveKeyRepository(options.key_repository, detail);
  if (file.empty()) {
    reason = MQRC_KEY_REPOSITORY_ERROR;
    return none;
  }
  std::unique_ptr<SSL_CTX, CtxFree> ctx(SSL_CTX_new(TLS_client_method()));
  if (!ctx || !ApplyCipherSpec(ctx.get(), *cipher)) {
    reason = MQRC_SSL_INITIALIZATION_ERROR;
    detail = "cannot set up TLS: " + LastError();
    return none;
  }
  if (std::string e = LoadKeyRepository(ctx.get(), file, options.key_password, false); !e.empty()) {
    reason = MQRC_KEY_REPOSITORY_ERROR;
    detail = e;
    ERR_clear_error();
    return none;
  }
  reason = MQRC_NONE;
  return ctx;
}

}  // namespace

MQLONG CheckClient(const ClientOptions& options, std::string& detail) {
  MQLONG reason = MQRC_NONE;
  ClientContext(options, reason, detail);
  return reason;
}

ClientResult StartClient(int net_fd, const ClientOptions& options) {
  ClientResult r;
  auto fail = [&](MQLONG reason, std::string detail) {
    close(net_fd);
    r.reason = reason;
    r.detail = std::move(detail);
    ERR_clear_error();
    return r;
  };
  MQLONG reason = MQRC_NONE;
  std::string detail;
  std::unique_ptr<SSL_CTX, CtxFree> ctx = ClientContext(options, reason, detail);
  if (!ctx) return fail(reason, detail);
  SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_mode(ctx.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  std::unique_ptr<SSL, SslFree> ssl(SSL_new(ctx.get()));
  if (!ssl || SSL_set_fd(ssl.get(), net_fd) != 1)
    return fail(MQRC_SSL_INITIALIZATION_ERROR, "cannot set up TLS: " + LastError());
  SSL_set_tlsext_host_name(ssl.get(), ServerNameFor(options.channel).c_str());
  SetNonBlocking(net_fd);
  const int64_t deadline = NowMs() + options.timeout_ms;
  // The handshake, then the queue manager's verdict on the channel: in TLS 1.3 a refused
  // client certificate only shows when the client reads, so the verdict is read here too.
  uint8_t status[kStatusBytes];
  size_t got = 0;
  bool connected = false;
  for (;;) {
    const int n = connected ? SSL_read(ssl.get(), status + got, static_cast<int>(sizeof status - got))
                            : SSL_connect(ssl.get());
    if (n > 0) {
      if (!connected) {
        connected = true;
        continue;
      }
      got += static_cast<size_t>(n);
      if (got == sizeof status) break;
      continue;
    }
    const int e = SSL_get_error(ssl.get(), n);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
      if (!WaitFor(net_fd, e == SSL_ERROR_WANT_WRITE, deadline))
        return fail(MQRC_SSL_INITIALIZATION_ERROR, "the TLS handshake did not finish in time");
      continue;
    }
    const long verify = SSL_get_verify_result(ssl.get());
    if (verify != X509_V_OK)
      return fail(MQRC_SSL_INITIALIZATION_ERROR,
                  std::string("the queue manager's certificate is not accepted: ") + X509_verify_cert_error_string(verify));
    return fail(MQRC_SSL_INITIALIZATION_ERROR, "the TLS handshake failed: " + LastError());
  }
  uint32_t code;
  std::memcpy(&code, status, sizeof code);
  code = ntohl(code);
  if (code != MQRC_NONE) return fail(static_cast<MQLONG>(code), "the queue manager refused the channel");
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
    return fail(MQRC_RESOURCE_PROBLEM, std::string("socketpair: ") + std::strerror(errno));
  try {
    std::thread(Relay, ssl.get(), net_fd, pair[1]).detach();
    ssl.release();   // the relay owns it now
  } catch (const std::system_error&) {
    close(pair[0]);
    close(pair[1]);
    return fail(MQRC_RESOURCE_PROBLEM, "cannot start the TLS relay thread");
  }
  r.fd = pair[0];
  return r;
}

}  // namespace vrqsim::tls

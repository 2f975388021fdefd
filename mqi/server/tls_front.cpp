// The queue manager's TLS listener and the channel definitions it serves.
#include "tls_front.h"

#include <cmqc.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "protocol.h"
#include "qm_dir.h"
#include "tcp_listener.h"
#include "tls_transport.h"

namespace vrqsim {

namespace {

constexpr const char* kTlsPortEnv = "VRQSIM_TLS_PORT";
constexpr const char* kHandshakeEnv = "VRQSIM_TLS_HANDSHAKE_MS";
constexpr int kDefaultHandshakeMs = 10000;
// Connections in their handshake, and TLS connections relayed to the queue manager: beyond
// these a new connection is closed at once, so TLS clients cannot take every client slot of
// the queue manager.
constexpr size_t kMaxPending = 2000;
constexpr int kMaxConnections = 500;
constexpr uint8_t kTlsHandshakeRecord = 0x16;
// How IBM's messages show a channel whose name is not known yet.
constexpr const char* kUnknownChannel = "????";

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

// The queue manager the listener serves (one a process), set before its thread starts.
std::string g_error_log_qm;

// The cause of a refused connection, in the queue manager's error log (AMQERR01.LOG) and
// on its standard error (its log file when started).
void ErrorLog(const char* id, const std::string& text) {
  if (!g_error_log_qm.empty()) {
    WriteErrorLog(g_error_log_qm, id, text, "A TLS connection to a client channel was refused or ended.",
                  "Check the channel's SSLCIPH and SSLCAUTH, the key repositories and certificates of both ends.");
    return;
  }
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
  std::fprintf(stderr, "%s %s: %s\n", stamp, id, text.c_str());
  std::fflush(stderr);
}

// Cuts KEYWORD(value) out of a line (value quoted or not); the value, or nullopt.
std::optional<std::string> CutKeyword(std::string& line, const std::string& keyword) {
  const std::string upper = Upper(line);
  size_t at = 0;
  while ((at = upper.find(keyword, at)) != std::string::npos) {
    const bool starts = at == 0 || !(std::isalnum(static_cast<unsigned char>(upper[at - 1])) || upper[at - 1] == '_');
    size_t i = at + keyword.size();
    while (i < line.size() && line[i] == ' ') ++i;
    if (!starts || i >= line.size() || line[i] != '(') { at += keyword.size(); continue; }
    std::vector<Keyword> tokens;
    size_t close = i + 1;
    bool quoted = false;
    for (; close < line.size(); ++close) {
      if (line[close] == '\'') quoted = !quoted;
      else if (line[close] == ')' && !quoted) break;
    }
    if (close >= line.size()) return std::nullopt;
    const std::string piece = line.substr(at, close + 1 - at);
    if (!TokenizeCommand(piece, tokens) || tokens.size() != 1 || !tokens[0].value) return std::nullopt;
    line.erase(at, close + 1 - at);
    return tokens[0].value;
  }
  return std::nullopt;
}

bool ParseChannel(const std::vector<Keyword>& tokens, TlsSettings& settings, std::string& why) {
  ChannelDefinition c;
  bool replace = false, svrconn = false;
  if (!tokens[1].value || tokens[1].value->empty() || tokens[1].value->size() > MQ_CHANNEL_NAME_LENGTH ||
      !ValidObjectName(*tokens[1].value)) {
    why = "bad channel name";
    return false;
  }
  c.name = *tokens[1].value;
  for (size_t i = 2; i < tokens.size(); ++i) {
    const Keyword& t = tokens[i];
    const std::string value = t.value ? Upper(*t.value) : std::string();
    if (t.name == "REPLACE" && !t.value) replace = true;
    else if (t.name == "NOREPLACE" && !t.value) replace = false;
    else if (t.name == "CHLTYPE" && value == "SVRCONN") svrconn = true;
    else if (t.name == "TRPTYPE" && value == "TCP") continue;
    else if (t.name == "SSLCAUTH" && (value == "REQUIRED" || value == "OPTIONAL")) c.client_auth = value == "REQUIRED";
    else if (t.name == "DESCR" && t.value && t.value->size() <= 64) c.description = *t.value;
    else if ((t.name == "MAXINST" || t.name == "MAXINSTC" || t.name == "SSLPEER") && t.value) continue;  // the security side's
    else if (t.name == "SSLCIPH" && t.value) {
      c.cipher_spec = Upper(*t.value);
      if (!c.cipher_spec.empty() && !tls::FindCipherSpec(c.cipher_spec)) {
        why = "SSLCIPH(" + *t.value + ") is not a CipherSpec the stand-in knows";
        return false;
      }
    } else {
      why = (t.name == "CHLTYPE" ? "only CHLTYPE(SVRCONN) channels are known" : "bad or unknown channel keyword " + t.name);
      return false;
    }
  }
  if (!svrconn) {
    why = "DEFINE CHANNEL needs CHLTYPE(SVRCONN)";
    return false;
  }
  auto same = std::find_if(settings.channels.begin(), settings.channels.end(),
                           [&](const ChannelDefinition& d) { return d.name == c.name; });
  if (same != settings.channels.end() && !replace) {
    why = "channel " + c.name + " already exists (add REPLACE to redefine it)";
    return false;
  }
  if (same != settings.channels.end()) *same = c;
  else settings.channels.push_back(c);
  return true;
}

}  // namespace

bool TakeChannelDefinitions(std::string& text, TlsSettings& settings, std::string& error,
                            std::string* with_channels) {
  std::istringstream in(text);
  std::string out, line, kept;
  for (int number = 1; std::getline(in, line); ++number) {
    bool channel = false;
    std::vector<Keyword> tokens;
    const size_t first = line.find_first_not_of(" \t\r");
    const bool comment = first == std::string::npos || line[first] == '*' || line[first] == '#';
    if (!comment && TokenizeCommand(line, tokens) && tokens.size() >= 2) {
      std::string why;
      if (tokens[0].name == "DEFINE" && tokens[1].name == "CHANNEL") {
        if (!ParseChannel(tokens, settings, why)) {
          error = "line " + std::to_string(number) + ": " + why;
          return false;
        }
        kept += line;
        channel = true;
        line.clear();
      } else if (tokens[0].name == "ALTER" && tokens[1].name == "QMGR" && !tokens[1].value) {
        if (auto repo = CutKeyword(line, "SSLKEYR")) {
          settings.key_repository = *repo;
          std::vector<Keyword> rest;
          if (TokenizeCommand(line, rest) && rest.size() == 2) line.clear();   // nothing else to alter
        }
      }
    }
    if (!channel) kept += line;
    kept += '\n';
    out += line;
    out += '\n';
  }
  text = out;
  if (with_channels) *with_channels = kept;
  return true;
}

bool ParseQmDefinitions(std::string text, std::vector<Definition>& defs, TlsSettings& settings,
                        SecurityConfig& security, std::string& error) {
  std::string with_channels, queue_defs;
  return TakeChannelDefinitions(text, settings, error, &with_channels) &&
         ExtractSecurityDefinitions(with_channels, security, queue_defs, error) &&
         ParseDefinitions(queue_defs, defs, error);
}

struct TlsListener::Shared {
  std::string qm;
  TlsSettings settings;
  SSL_CTX* ctx = nullptr;
  std::string repository_error;   // why the key repository could not be used
  sockaddr_in plain{};
  int listen_fd = -1;
  int handshake_ms = kDefaultHandshakeMs;
  std::atomic<bool> stop{false};
  std::atomic<int> connections{0};      // relays running
  int64_t last_full_log = 0;
  std::thread acceptor;
  ~Shared() {
    if (ctx) SSL_CTX_free(ctx);
  }
};

namespace {

int g_state_index = -1;
std::once_flag g_index_once;

// What the client-hello callback learns about a connection.
struct Handshake {
  TlsListener::Shared* shared = nullptr;
  std::string requested;                    // the channel the client named
  const ChannelDefinition* channel = nullptr;
};

const ChannelDefinition* FindChannel(const TlsSettings& s, const std::string& name) {
  for (const auto& c : s.channels)
    if (c.name == name) return &c;
  return nullptr;
}

// Picks the channel from the server name and sets its CipherSpec and client authentication
// on the connection before the versions and suites are negotiated.
int OnClientHello(SSL* ssl, int*, void*) {
  auto* h = static_cast<Handshake*>(SSL_get_ex_data(ssl, g_state_index));
  if (!h) return SSL_CLIENT_HELLO_ERROR;
  const unsigned char* p = nullptr;
  size_t len = 0;
  if (SSL_client_hello_get0_ext(ssl, TLSEXT_TYPE_server_name, &p, &len) == 1 && len >= 5 && p[2] == 0) {
    const size_t name_len = static_cast<size_t>(p[3]) << 8 | p[4];
    if (5 + name_len <= len) h->requested = tls::ChannelFromServerName({reinterpret_cast<const char*>(p + 5), name_len});
  }
  const TlsSettings& s = h->shared->settings;
  if (!h->requested.empty()) {
    h->channel = FindChannel(s, h->requested);
  } else {
    // No channel named: the one TLS channel, when there is just one.
    for (const auto& c : s.channels)
      if (!c.cipher_spec.empty()) {
        if (h->channel) { h->channel = nullptr; break; }
        h->channel = &c;
      }
  }
  if (h->channel && !h->channel->cipher_spec.empty()) {
    const tls::CipherSpec* cipher = tls::FindCipherSpec(h->channel->cipher_spec);
    if (!cipher || !tls::ApplyCipherSpec(ssl, *cipher)) return SSL_CLIENT_HELLO_ERROR;
    SSL_set_verify(ssl, SSL_VERIFY_PEER | (h->channel->client_auth ? SSL_VERIFY_FAIL_IF_NO_PEER_CERT : 0), nullptr);
  }
  return SSL_CLIENT_HELLO_SUCCESS;
}

std::string ChannelText(const Handshake& h) { return h.requested.empty() ? std::string(kUnknownChannel) : h.requested; }

std::string Peer(int fd) {
  sockaddr_in a{};
  socklen_t n = sizeof a;
  char text[INET_ADDRSTRLEN] = "?";
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0 && a.sin_family == AF_INET)
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
  return text;
}

// A connection between accept and the start of its relay: the first byte read (a TLS
// handshake or not), a plaintext request read to be answered, the handshake, and the
// status sent. All of them are served by one thread on non-blocking sockets, each with the
// same time limit, so clients that stall at any point hold nothing but their socket.
struct Pending {
  enum class Stage { kPeek, kPlain, kTls, kStatus };
  int fd = -1;
  int local = -1;
  int64_t deadline = 0;
  std::string peer;
  Stage stage = Stage::kPeek;
  SSL* ssl = nullptr;
  std::unique_ptr<Handshake> h;
  std::vector<uint8_t> plain;           // the plaintext request read so far
  uint8_t status[tls::kStatusBytes] = {};
  size_t status_sent = 0;
  bool ok = false;                      // the status says the channel may be used
  bool want_write = false;

  ~Pending() {
    if (ssl) SSL_free(ssl);
    if (fd >= 0) close(fd);
    if (local >= 0) close(local);
  }
};

// Answers a stand-in client's connect request with 2393, as a queue manager refuses a client
// without TLS on a TLS channel.
void RefusePlaintext(Pending& p) {
  ConnReply reply;
  reply.cc = MQCC_FAILED;
  reply.rc = MQRC_SSL_INITIALIZATION_ERROR;
  Writer w;
  Encode(w, reply);
  const auto frame = w.frame(static_cast<uint32_t>(Op::Conn));
  send(p.fd, frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  ErrorLog("AMQ9639E", std::string("Remote channel '") + kUnknownChannel + "' did not specify a CipherSpec: a client at " +
                           p.peer + " connected to the TLS listener without TLS; its connection was refused (" +
                           std::to_string(MQRC_SSL_INITIALIZATION_ERROR) + ")");
}

// Says why a handshake failed, in the terms of IBM's error messages.
void LogHandshakeFailure(SSL* ssl, const Handshake& h, const std::string& peer, int ssl_error) {
  const std::string channel = ChannelText(h);
  const unsigned long e = ERR_peek_error();
  const int reason = ERR_GET_REASON(e);
  const std::string detail = tls::LastError();
  const long verify = SSL_get_verify_result(ssl);
  if (h.channel && (reason == SSL_R_NO_SHARED_CIPHER || reason == SSL_R_UNSUPPORTED_PROTOCOL ||
                    reason == SSL_R_VERSION_TOO_LOW || reason == SSL_R_VERSION_TOO_HIGH ||
                    reason == SSL_R_NO_SHARED_SIGNATURE_ALGORITHMS || reason == SSL_R_WRONG_VERSION_NUMBER)) {
    ErrorLog("AMQ9631E", "The CipherSpec negotiated during the TLS handshake does not match the required CipherSpec "
                         "for channel '" + channel + "': the channel requires '" + h.channel->cipher_spec +
                         "', and the client at " + peer + " offered none that matches (" + detail + ")");
  } else if (reason == SSL_R_PEER_DID_NOT_RETURN_A_CERTIFICATE) {
    ErrorLog("AMQ9637E", "Channel is lacking a certificate: channel '" + channel + "' has SSLCAUTH(REQUIRED) and the "
                         "client at " + peer + " sent no certificate");
  } else if (verify != X509_V_OK) {
    ErrorLog("AMQ9633E", "Bad TLS certificate for channel '" + channel + "' from " + peer + ": " +
                             X509_verify_cert_error_string(verify));
  } else if (reason >= SSL_AD_REASON_OFFSET && reason < SSL_AD_REASON_OFFSET + 256) {
    ErrorLog("AMQ9665E", "TLS connection closed by remote end of channel '" + channel + "' (" + peer +
                             "): the client sent the alert '" + detail + "'");
  } else if (ssl_error == SSL_ERROR_SYSCALL || ssl_error == SSL_ERROR_ZERO_RETURN ||
             reason == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
    ErrorLog("AMQ9665E", "TLS connection closed by remote end of channel '" + channel + "' (" + peer +
                             ") before the handshake finished");
  } else {
    ErrorLog("AMQ9638E", "TLS communications error for channel '" + channel + "' from " + peer + ": " + detail);
  }
}

int ConnectPlain(const sockaddr_in& to) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    close(fd);
    return -1;
  }
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

// The verdict on a finished handshake: the status to send, and the plaintext connection to
// the queue manager when the channel may be used.
void Decide(TlsListener::Shared& shared, Pending& p) {
  const Handshake& h = *p.h;
  uint32_t status = MQRC_NONE;
  if (!h.channel) {
    status = MQRC_UNKNOWN_CHANNEL_NAME;
    ErrorLog("AMQ9520E", "Channel '" + ChannelText(h) + "' not defined: the TLS client at " + p.peer +
                             (h.requested.empty() ? std::string(" named no channel and more than one channel has an SSLCIPH")
                                                  : std::string(" asked for a channel this queue manager does not define")));
  } else if (h.channel->cipher_spec.empty()) {
    status = MQRC_SSL_INITIALIZATION_ERROR;
    ErrorLog("AMQ9635E", "Channel '" + h.channel->name + "' did not specify a valid CipherSpec: the client at " + p.peer +
                             " used TLS on a channel without SSLCIPH");
  } else if ((p.local = ConnectPlain(shared.plain)) < 0) {
    status = MQRC_Q_MGR_NOT_AVAILABLE;
    ErrorLog("AMQ9638E", "the TLS connection on channel '" + h.channel->name + "' cannot reach the queue manager: " +
                             std::strerror(errno));
  }
  p.ok = status == MQRC_NONE;
  const uint32_t wire = htonl(status);
  std::memcpy(p.status, &wire, sizeof wire);
  p.stage = Pending::Stage::kStatus;
}

// Moves a connection on as far as its socket allows; false when it is finished with (handed
// to a relay thread, or refused and closed).
bool Step(TlsListener::Shared& shared, Pending& p, const std::shared_ptr<TlsListener::Shared>& owner) {
  p.want_write = false;
  if (p.stage == Pending::Stage::kPeek) {
    uint8_t first = 0;
    const ssize_t n = recv(p.fd, &first, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
    if (n <= 0) {
      ErrorLog("AMQ9665E", "the connection from " + p.peer + " to the TLS listener closed before its handshake began");
      return false;
    }
    if (first != kTlsHandshakeRecord) {
      p.stage = Pending::Stage::kPlain;
    } else if (!shared.ctx) {
      ErrorLog("AMQ9657E", std::string("The key repository could not be opened (channel '") + kUnknownChannel +
                               "', client " + p.peer + "): " + shared.repository_error);
      return false;
    } else {
      p.h = std::make_unique<Handshake>();
      p.h->shared = &shared;
      p.ssl = SSL_new(shared.ctx);
      if (!p.ssl || SSL_set_fd(p.ssl, p.fd) != 1 || SSL_set_ex_data(p.ssl, g_state_index, p.h.get()) != 1) {
        ErrorLog("AMQ9638E", "cannot set up TLS for the client at " + p.peer + ": " + tls::LastError());
        return false;
      }
      p.stage = Pending::Stage::kTls;
    }
  }
  if (p.stage == Pending::Stage::kPlain) {
    // A stand-in client's connect request is a frame header and a short payload.
    uint8_t buf[4096];
    for (;;) {
      size_t want = kFrameHeader;
      uint32_t length = 0, op = 0;
      if (p.plain.size() >= kFrameHeader) {
        std::memcpy(&length, p.plain.data(), 4);
        std::memcpy(&op, p.plain.data() + 4, 4);
        if (op != static_cast<uint32_t>(Op::Conn) || length > 64 * 1024) {
          ErrorLog("AMQ9638E", "TLS communications error: the connection from " + p.peer +
                                   " did not begin with a TLS handshake and was closed");
          return false;
        }
        want += length;
      }
      if (p.plain.size() == want) {
        RefusePlaintext(p);
        return false;
      }
      const ssize_t n = recv(p.fd, buf, std::min(sizeof buf, want - p.plain.size()), MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
      if (n <= 0) {
        ErrorLog("AMQ9638E", "TLS communications error: the connection from " + p.peer +
                                 " did not begin with a TLS handshake and was closed");
        return false;
      }
      p.plain.insert(p.plain.end(), buf, buf + n);
    }
  }
  if (p.stage == Pending::Stage::kTls) {
    const int n = SSL_accept(p.ssl);
    if (n != 1) {
      const int e = SSL_get_error(p.ssl, n);
      if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
        p.want_write = e == SSL_ERROR_WANT_WRITE;
        return true;
      }
      LogHandshakeFailure(p.ssl, *p.h, p.peer, e);
      return false;
    }
    Decide(shared, p);
  }
  // Stage::kStatus
  while (p.status_sent < sizeof p.status) {
    const int n = SSL_write(p.ssl, p.status + p.status_sent, static_cast<int>(sizeof p.status - p.status_sent));
    if (n > 0) {
      p.status_sent += static_cast<size_t>(n);
      continue;
    }
    const int e = SSL_get_error(p.ssl, n);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
      p.want_write = e == SSL_ERROR_WANT_WRITE;
      return true;
    }
    ErrorLog("AMQ9665E", "TLS connection closed by remote end of channel '" + ChannelText(*p.h) + "' (" + p.peer + ")");
    return false;
  }
  if (!p.ok) {
    SSL_shutdown(p.ssl);
    return false;
  }
  if (shared.connections >= kMaxConnections) {
    ErrorLog("AMQ9513E", "Maximum number of TLS channels reached (" + std::to_string(kMaxConnections) +
                             "): the connection from " + p.peer + " was closed");
    return false;
  }
  ++shared.connections;
  try {
    std::thread([owner, ssl = p.ssl, fd = p.fd, local = p.local] {
      tls::Relay(ssl, fd, local);
      --owner->connections;
    }).detach();
  } catch (const std::system_error&) {
    --shared.connections;
    return false;
  }
  p.ssl = nullptr;   // the relay owns them now
  p.fd = p.local = -1;
  return false;
}

void LogTimeout(const Pending& p, int ms) {
  const std::string limit = std::to_string(ms) + " ms";
  switch (p.stage) {
    case Pending::Stage::kPeek:
      ErrorLog("AMQ9638E", "the connection from " + p.peer + " to the TLS listener sent nothing within " + limit +
                               " and was closed");
      break;
    case Pending::Stage::kPlain:
      ErrorLog("AMQ9638E", "TLS communications error: the connection from " + p.peer +
                               " did not begin with a TLS handshake and was closed");
      break;
    default:
      ErrorLog("AMQ9638E", "TLS communications error for channel '" + ChannelText(*p.h) + "': the client at " + p.peer +
                               " did not complete its handshake within " + limit + "; the connection was closed");
  }
}

// The listener's thread: accepts connections and moves every pending one on, until stopped.
void HandshakeLoop(std::shared_ptr<TlsListener::Shared> shared) {
  std::vector<std::unique_ptr<Pending>> pending;
  while (!shared->stop) {
    std::vector<pollfd> fds;
    fds.push_back({shared->listen_fd, POLLIN, 0});
    int64_t next = tls::NowMs() + 250;
    for (const auto& p : pending) {
      fds.push_back({p->fd, static_cast<short>(p->want_write ? POLLOUT : POLLIN), 0});
      next = std::min(next, p->deadline);
    }
    const int n = poll(fds.data(), fds.size(), static_cast<int>(std::max<int64_t>(0, next - tls::NowMs())));
    if (n < 0 && errno != EINTR) break;
    const int64_t now = tls::NowMs();
    // Connections in hand first, by their index in fds, then the new ones.
    std::vector<std::unique_ptr<Pending>> still;
    for (size_t i = 0; i < pending.size(); ++i) {
      Pending& p = *pending[i];
      bool keep = true;
      if (n > 0 && fds[i + 1].revents) keep = Step(*shared, p, shared);
      if (keep && now >= p.deadline) {
        LogTimeout(p, shared->handshake_ms);
        keep = false;
      }
      if (keep) still.push_back(std::move(pending[i]));
    }
    pending = std::move(still);
    if (n > 0 && (fds[0].revents & POLLIN)) {
      for (;;) {
        const int fd = accept4(shared->listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) break;
        if (pending.size() >= kMaxPending) {
          if (now - shared->last_full_log > 10000) {
            shared->last_full_log = now;
            ErrorLog("AMQ9513E", "Maximum number of TLS connections in their handshake reached (" +
                                     std::to_string(kMaxPending) + "); new connections are closed until some end");
          }
          close(fd);
          continue;
        }
        auto p = std::make_unique<Pending>();
        p->fd = fd;
        p->peer = Peer(fd);
        p->deadline = now + shared->handshake_ms;
        if (Step(*shared, *p, shared)) pending.push_back(std::move(p));
      }
    }
  }
}

}  // namespace

std::unique_ptr<TlsListener> TlsListener::Start(const std::string& qm, const TlsSettings& settings, int plain_fd,
                                                std::string& error) {
  const char* env = std::getenv(kTlsPortEnv);
  if (env == nullptr) return nullptr;
  unsigned port = 0;
  const char* end = env + std::strlen(env);
  if (const auto [stop, ec] = std::from_chars(env, end, port); ec != std::errc() || stop != end || port > 65535) {
    error = std::string(kTlsPortEnv) + " is not a port: " + env;
    return nullptr;
  }
  tls::Init();
  std::call_once(g_index_once, [] { g_state_index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr); });
  auto shared = std::make_shared<Shared>();
  shared->qm = qm;
  g_error_log_qm = qm;
  shared->settings = settings;
  if (const char* ms = std::getenv(kHandshakeEnv)) {
    int v = 0;
    const char* ms_end = ms + std::strlen(ms);
    if (const auto [stop, ec] = std::from_chars(ms, ms_end, v); ec != std::errc() || stop != ms_end || v < 100) {
      error = std::string(kHandshakeEnv) + " is not a number of milliseconds (100 or more): " + ms;
      return nullptr;
    }
    shared->handshake_ms = v;
  }
  socklen_t size = sizeof shared->plain;
  if (plain_fd < 0 || getsockname(plain_fd, reinterpret_cast<sockaddr*>(&shared->plain), &size) != 0) {
    error = "the TLS listener needs the loopback TCP listener";
    return nullptr;
  }
  if (shared->plain.sin_addr.s_addr == htonl(INADDR_ANY)) shared->plain.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

  // The key repository: a missing or unreadable one leaves the listener up and every TLS
  // connection refused with the reason in the log, as a queue manager does.
  const std::string stem = settings.key_repository.empty() ? QmDir(qm) + "/ssl/key" : settings.key_repository;
  const std::string file = tls::ResolveKeyRepository(stem, shared->repository_error);
  SSL_CTX* ctx = file.empty() ? nullptr : SSL_CTX_new(TLS_server_method());
  if (ctx) {
    const tls::CipherSpec* any = tls::FindCipherSpec("ANY_TLS12_OR_HIGHER");
    std::string why = tls::ApplyCipherSpec(ctx, *any) ? std::string() : "cannot set up TLS: " + tls::LastError();
    if (why.empty()) why = tls::LoadKeyRepository(ctx, file, "", true);
    if (why.empty()) {
      SSL_CTX_set_client_hello_cb(ctx, OnClientHello, nullptr);
      SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
      SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
      SSL_CTX_set_num_tickets(ctx, 0);
      shared->ctx = ctx;
    } else {
      shared->repository_error = why;
      SSL_CTX_free(ctx);
    }
  }
  if (!shared->ctx)
    ErrorLog("AMQ9657E", "The key repository could not be opened: " + shared->repository_error +
                             "; TLS connections are refused until the queue manager restarts with a usable one");

  std::unique_ptr<TlsListener> listener(new TlsListener());
  listener->port_path_ = QmDir(qm) + "/qm.tlsport";
  const int fd = ListenTcp(port, listener->port_path_, error);
  if (fd < 0) {
    error = "TLS listener: " + error;
    return nullptr;
  }
  shared->listen_fd = fd;
  shared->acceptor = std::thread(HandshakeLoop, shared);
  listener->shared_ = std::move(shared);
  return listener;
}

TlsListener::~TlsListener() {
  if (!shared_) return;
  shared_->stop = true;
  if (shared_->acceptor.joinable()) shared_->acceptor.join();
  close(shared_->listen_fd);
  unlink(port_path_.c_str());
  // The queue manager has dropped its clients, so the relays are ending; give them a moment
  // to close their connections properly.
  for (int i = 0; i < 60 && shared_->connections > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace vrqsim

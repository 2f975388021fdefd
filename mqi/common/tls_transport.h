// TLS for client channels, on both ends (OpenSSL; POSIX builds only): IBM CipherSpec names
// and the protocol versions and cipher suites each stands for, key repositories in PKCS #12
// or PEM form, the channel name carried in the server-name extension of the handshake, and
// the relay that lets the rest of the stand-in speak plaintext on a local socket pair while
// the network side is encrypted.
#pragma once

#include <openssl/ssl.h>

#include <cmqc.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace vrqsim::tls {

// Initialises OpenSSL once, without its clean-up at exit: relay threads may still be
// running when the process ends, and must not find the library torn down under them.
void Init();

struct CipherSpec {
  const char* name;         // IBM's name, as SSLCIPH and MQCD.SSLCipherSpec give it
  int min_version;          // TLS1_2_VERSION or TLS1_3_VERSION
  int max_version;
  const char* tls12;        // OpenSSL cipher list for TLS 1.2, or null
  const char* tls13;        // OpenSSL cipher suites for TLS 1.3, or null
};

// The CipherSpec of that name (blank-trimmed, case as IBM writes it), or null when the
// stand-in does not know it (deprecated SSL 3.0 and TLS 1.0 specs among them).
const CipherSpec* FindCipherSpec(std::string_view name);
// Restricts a context or connection to the CipherSpec's versions and suites; false on failure.
bool ApplyCipherSpec(SSL_CTX* ctx, const CipherSpec& cipher);
bool ApplyCipherSpec(SSL* ssl, const CipherSpec& cipher);
// IBM's name for the suite a connection negotiated, or the OpenSSL name.
std::string NegotiatedSpec(const SSL* ssl);

// The server name a client sends for a channel (the channel name in hexadecimal, so any
// character of a channel name survives), and the channel name back; empty when not one.
std::string ServerNameFor(std::string_view channel);
std::string ChannelFromServerName(std::string_view server_name);

// Finds the key repository file: the path as given when it names a .p12, .pfx or .pem
// file, otherwise the stem with .p12 and then .pem added. A .kdb (IBM's CMS format) is
// refused with a reason that says so. Empty with why set when there is none.
std::string ResolveKeyRepository(const std::string& stem, std::string& why);
// Loads the repository into a context: the private key and its certificate (with chain)
// when it holds one, and every certificate as a trusted one. The password opens a PKCS #12
// file; when empty, the first line of the stash file <stem>.sth is used. need_key: a
// repository without a private key is an error. Returns an empty string or the reason.
std::string LoadKeyRepository(SSL_CTX* ctx, const std::string& file, const std::string& password, bool need_key);

// The first OpenSSL error queued on this thread as text (and clears the queue).
std::string LastError();

// Milliseconds on a steady clock.
int64_t NowMs();
// Waits until fd is readable (or writable) or deadline_ms passes; false on timeout.
bool WaitFor(int fd, bool write, int64_t deadline_ms);

// Carries data between the TLS connection and a local plaintext socket until either side
// ends, then shuts the TLS connection down, closes both descriptors and frees ssl.
void Relay(SSL* ssl, int net_fd, int local_fd);

// What the queue manager sends first on an accepted TLS connection: MQRC_NONE (the channel
// may be used) or the reason the connection ends, as four bytes in network order.
inline constexpr size_t kStatusBytes = 4;

// A client connection's TLS settings.
struct ClientOptions {
  std::string channel;
  std::string cipher_spec;
  std::string key_repository;   // stem or file, from MQSCO, MQSSLKEYR or the client ini file
  std::string key_password;     // secret: never logged
  int timeout_ms = 30000;
};
struct ClientResult {
  int fd = -1;                  // plaintext end of the relay, when the channel is open
  MQLONG reason = MQRC_NONE;
  std::string detail;
};
// The checks StartClient makes before its handshake (CipherSpec known, key repository
// readable); MQRC_NONE or the reason, with detail.
MQLONG CheckClient(const ClientOptions& options, std::string& detail);
// Runs the handshake on a connected socket (which it takes over) and starts a relay
// thread. Failures: MQRC_KEY_REPOSITORY_ERROR (repository missing or unreadable),
// MQRC_SSL_INITIALIZATION_ERROR (unknown CipherSpec, handshake refused by either side,
// certificate not trusted or expired), or the reason the queue manager sent.
ClientResult StartClient(int net_fd, const ClientOptions& options);

}  // namespace vrqsim::tls

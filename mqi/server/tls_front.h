// TLS for the queue manager's client channels: server-connection channel definitions
// (DEFINE CHANNEL ... CHLTYPE(SVRCONN) SSLCIPH(...) SSLCAUTH(...)) and the key repository
// (ALTER QMGR SSLKEYR(...)) from the definition file, and the TLS listener that takes
// handshakes off the queue manager's event loop: each connection's handshake runs on a
// thread of its own with a time limit, and a connection whose channel checks pass is relayed
// in plaintext to the queue manager's loopback TCP listener, where it is served like any
// other client connection.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "authentication.h"
#include "definitions.h"

namespace vrqsim {

struct ChannelDefinition {
  std::string name;
  std::string cipher_spec;        // SSLCIPH; empty: a plaintext channel
  bool client_auth = true;        // SSLCAUTH(REQUIRED), IBM's default
  std::string description;
};

struct TlsSettings {
  std::vector<ChannelDefinition> channels;
  std::string key_repository;     // SSLKEYR; empty: <queue manager folder>/ssl/key
};

// Takes the channel and SSLKEYR commands out of definition text (their lines left blank,
// so the queue commands keep their line numbers) into settings; false with "line N: why".
// with_channels (when given) receives the text with only SSLKEYR taken out, for the
// channels' connection limits (MAXINST, MAXINSTC), which the security lines' reader takes.
bool TakeChannelDefinitions(std::string& text, TlsSettings& settings, std::string& error,
                            std::string* with_channels = nullptr);
// A definition file: its channel commands, its security commands (CONNAUTH, AUTHINFO,
// CHLAUTH, channel limits), then its queue commands.
bool ParseQmDefinitions(std::string text, std::vector<Definition>& defs, TlsSettings& settings,
                        SecurityConfig& security, std::string& error);

class TlsListener {
 public:
  // When VRQSIM_TLS_PORT is set: listens there (0: a port the system picks, written to the
  // queue manager's folder as qm.tlsport), on VRQSIM_TCP_ADDRESS as the plain listener does,
  // relaying to plain_fd's address. Null without the variable, or with error set.
  static std::unique_ptr<TlsListener> Start(const std::string& qm, const TlsSettings& settings, int plain_fd,
                                            std::string& error);
  ~TlsListener();
  TlsListener(const TlsListener&) = delete;
  TlsListener& operator=(const TlsListener&) = delete;

  struct Shared;

 private:
  TlsListener() = default;
  std::shared_ptr<Shared> shared_;
  std::string port_path_;
};

}  // namespace vrqsim

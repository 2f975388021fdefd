// The client side of TLS channels: where the key repository comes from, and the handshake.
#include "client_tls.h"

#include <cmqc.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

#include "platform.h"
#include "wire.h"
#if defined(VRQSIM_TLS)
#include "tls_transport.h"
#endif

namespace vrqsim::client {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

const MQSCO* Sco(const MQCNO* cno) {
  if (!cno || cno->Version < MQCNO_VERSION_4) return nullptr;
  if (cno->SSLConfigPtr) return cno->SSLConfigPtr;
  if (cno->SSLConfigOffset > 0)
    return reinterpret_cast<const MQSCO*>(reinterpret_cast<const char*>(cno) + cno->SSLConfigOffset);
  return nullptr;
}

#if defined(VRQSIM_TLS)
// The key repository and its password, in IBM's order of precedence.
void KeyRepository(const MQCNO* cno, std::string& repository, std::string& password) {
  const MQSCO* sco = Sco(cno);
  if (sco) repository = Trimmed(sco->KeyRepository);
  if (repository.empty())
    if (const char* env = std::getenv("MQSSLKEYR")) repository = Trim(env);
  if (repository.empty()) repository = ClientIniValue("SSL", "SSLKeyRepository");
  if (sco && sco->Version >= MQSCO_VERSION_6 && sco->KeyRepoPasswordLength > 0) {
    const char* p = static_cast<const char*>(sco->KeyRepoPasswordPtr);
    if (!p && sco->KeyRepoPasswordOffset > 0) p = reinterpret_cast<const char*>(sco) + sco->KeyRepoPasswordOffset;
    if (p) password.assign(p, static_cast<size_t>(sco->KeyRepoPasswordLength));
  }
  if (password.empty())
    if (const char* env = std::getenv("MQKEYRPWD")) password = env;
  if (password.empty()) password = ClientIniValue("SSL", "SSLKeyRepositoryPassword");
}

tls::ClientOptions Options(const std::string& channel, const std::string& cipher_spec, const MQCNO* cno) {
  tls::ClientOptions options;
  options.channel = channel;
  options.cipher_spec = cipher_spec;
  KeyRepository(cno, options.key_repository, options.key_password);
  return options;
}
#endif

}  // namespace

MQLONG CheckSco(const MQCNO* cno) {
  const MQSCO* sco = Sco(cno);
  if (!sco) return MQRC_NONE;
  if (std::string_view(sco->StrucId, 4) != std::string_view(MQSCO_STRUC_ID, 4) || sco->Version < MQSCO_VERSION_1 ||
      sco->Version > MQSCO_CURRENT_VERSION)
    return MQRC_SCO_ERROR;
  return MQRC_NONE;
}

std::string ClientIniValue(const std::string& stanza, const std::string& key) {
  std::string path;
  if (const char* env = std::getenv("MQCLNTCF"); env && *env) {
    path = env;
  } else {
    std::vector<std::string> candidates = {"mqclient.ini", "/var/mqm/mqclient.ini"};
    if (const char* home = std::getenv("HOME"); home && *home) candidates.push_back(std::string(home) + "/mqclient.ini");
    for (const auto& c : candidates)
      if (std::ifstream(c)) {
        path = c;
        break;
      }
  }
  if (path.empty()) return {};
  std::ifstream in(path);
  std::string line, current;
  const std::string want_stanza = Lower(stanza), want_key = Lower(key);
  for (int n = 0; n < 10000 && std::getline(in, line); ++n) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == '#' || t[0] == ';') continue;
    if (t.back() == ':' && t.find('=') == std::string::npos) {
      current = Lower(Trim(t.substr(0, t.size() - 1)));
      continue;
    }
    const size_t eq = t.find('=');
    if (eq == std::string::npos || current != want_stanza) continue;
    if (Lower(Trim(t.substr(0, eq))) == want_key) return Trim(t.substr(eq + 1));
  }
  return {};
}

MQLONG CheckChannelSecurity(const std::string& cipher_spec, const MQCNO* cno) {
#if defined(VRQSIM_TLS)
  std::string detail;
  return tls::CheckClient(Options("", cipher_spec, cno), detail);
#else
  (void)cipher_spec;
  (void)cno;
  return MQRC_SSL_INITIALIZATION_ERROR;
#endif
}

MQLONG SecureChannel(int& fd, const std::string& channel, const std::string& cipher_spec, const MQCNO* cno) {
#if defined(VRQSIM_TLS)
  const tls::ClientResult r = tls::StartClient(fd, Options(channel, cipher_spec, cno));
  fd = r.fd;
  return r.reason;
#else
  // This build carries no TLS library.
  (void)channel;
  (void)cipher_spec;
  (void)cno;
  CloseSocket(fd);
  fd = -1;
  return MQRC_SSL_INITIALIZATION_ERROR;
#endif
}

}  // namespace vrqsim::client

// TLS on a client connection: the key repository and its password, looked up in IBM's
// order (MQSCO of MQCONNX, then MQSSLKEYR / MQKEYRPWD, then the SSL stanza of the client
// configuration file), and the handshake that turns a connected socket into a channel.
#pragma once

#include <cmqc.h>

#include <string>

namespace vrqsim::client {

// MQRC_NONE, or MQRC_SCO_ERROR when MQCNO names an MQSCO that is not one.
MQLONG CheckSco(const MQCNO* cno);

// Whether a channel with that CipherSpec can be tried at all: the CipherSpec is known and the
// key repository can be read (checked before connecting, so that a client without one does
// not show up in the queue manager's log). MQRC_NONE or the reason SecureChannel would give.
MQLONG CheckChannelSecurity(const std::string& cipher_spec, const MQCNO* cno);

// Runs TLS on the connected socket fd for the channel with that CipherSpec; on success fd
// is the plaintext end of the channel, otherwise fd is closed and set to -1 and the reason
// (MQRC_KEY_REPOSITORY_ERROR, MQRC_SSL_INITIALIZATION_ERROR, or the queue manager's) is
// returned. Builds without TLS answer MQRC_SSL_INITIALIZATION_ERROR.
MQLONG SecureChannel(int& fd, const std::string& channel, const std::string& cipher_spec, const MQCNO* cno);

// A value of the client configuration file (MQCLNTCF, ./mqclient.ini, /var/mqm/mqclient.ini,
// $HOME/mqclient.ini, the first that exists): stanza "SSL", key "SSLKeyRepository"; empty
// when absent.
std::string ClientIniValue(const std::string& stanza, const std::string& key);

}  // namespace vrqsim::client

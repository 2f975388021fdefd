// Reading JSON channel definition tables with nlohmann-json: a strict walk that takes only
// the fields the stand-in client uses and rejects wrong types, lengths and ports.
#include "ccdt.h"

#include <cmqc.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

namespace vrqsim::client {

namespace {

using nlohmann::json;

constexpr size_t kMaxTableBytes = 4 * 1024 * 1024;

// A string member, when present; false when present and not a string of at most max bytes.
bool OptionalString(const json& object, const char* key, size_t max, std::string& out) {
  auto it = object.find(key);
  if (it == object.end()) return true;
  if (!it->is_string()) return false;
  out = it->get<std::string>();
  return out.size() <= max;
}

bool ParseConnection(const json& c, Endpoint& e, std::string& why) {
  if (!c.is_object()) {
    why = "a connection is not an object";
    return false;
  }
  if (!OptionalString(c, "host", 256, e.host) || e.host.empty() || e.host.find_first_of(" ()") != std::string::npos) {
    why = "a connection has no valid host";
    return false;
  }
  auto port = c.find("port");
  if (port != c.end()) {
    if (!port->is_number_integer() || port->get<long long>() < 1 || port->get<long long>() > 65535) {
      why = "a connection's port is not 1 to 65535";
      return false;
    }
    e.port = static_cast<uint16_t>(port->get<long long>());
  }
  return true;
}

bool ParseChannel(const json& ch, std::vector<CcdtChannel>& out, std::string& why) {
  if (!ch.is_object()) {
    why = "a channel is not an object";
    return false;
  }
  CcdtChannel c;
  std::string type;
  if (!OptionalString(ch, "name", MQ_CHANNEL_NAME_LENGTH, c.name) || c.name.empty()) {
    why = "a channel has no valid name (1 to 20 characters)";
    return false;
  }
  if (!OptionalString(ch, "type", 64, type) || type.empty()) {
    why = "channel " + c.name + " has no type";
    return false;
  }
  if (type != "clientConnection") return true;
  auto cc = ch.find("clientConnection");
  if (cc == ch.end() || !cc->is_object()) {
    why = "channel " + c.name + " has no clientConnection object";
    return false;
  }
  if (!OptionalString(*cc, "queueManager", MQ_Q_MGR_NAME_LENGTH, c.queue_manager)) {
    why = "channel " + c.name + " has a bad queueManager";
    return false;
  }
  auto connections = cc->find("connection");
  if (connections == cc->end() || !connections->is_array() || connections->empty()) {
    why = "channel " + c.name + " has no connection list";
    return false;
  }
  for (const json& one : *connections) {
    Endpoint e;
    if (!ParseConnection(one, e, why)) {
      why = "channel " + c.name + ": " + why;
      return false;
    }
    c.endpoints.push_back(std::move(e));
  }
  auto security = ch.find("transmissionSecurity");
  if (security != ch.end()) {
    if (!security->is_object() ||
        !OptionalString(*security, "cipherSpecification", MQ_SSL_CIPHER_SPEC_LENGTH, c.cipher_spec) ||
        !OptionalString(*security, "certificateLabel", MQ_CERT_LABEL_LENGTH, c.certificate_label)) {
      why = "channel " + c.name + " has a bad transmissionSecurity object";
      return false;
    }
  }
  out.push_back(std::move(c));
  return true;
}

}  // namespace

bool ParseCcdt(std::string_view text, std::vector<CcdtChannel>& out, std::string& why) {
  out.clear();
  if (text.size() > kMaxTableBytes) {
    why = "the table is larger than 4 MB";
    return false;
  }
  const json doc = json::parse(text.begin(), text.end(), nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) {
    why = "the table is not a JSON object";
    return false;
  }
  auto channels = doc.find("channel");
  if (channels == doc.end() || !channels->is_array()) {
    why = "the table has no channel array";
    return false;
  }
  for (const json& ch : *channels)
    if (!ParseChannel(ch, out, why)) return false;
  return true;
}

std::string CcdtPath(std::string_view url) {
  constexpr std::string_view kFile = "file:";
  if (url.substr(0, kFile.size()) == kFile) {
    url.remove_prefix(kFile.size());
    if (url.substr(0, 2) == "//") {
      url.remove_prefix(2);
      const size_t slash = url.find('/');   // file://host/path: only the local host is read
      if (slash == std::string_view::npos) return {};
      const std::string_view host = url.substr(0, slash);
      if (!host.empty() && host != "localhost") return {};
      url.remove_prefix(slash);
    }
    return std::string(url);
  }
  if (url.find("://") != std::string_view::npos) return {};
  return std::string(url);
}

// A blank name takes every channel in file order; "QM1" and "*QM1" the channels whose
// queueManager is QM1 (or blank).
long CcdtChannelsFor(std::string_view url, const std::string& qmgr, std::vector<CcdtChannel>& out) {
  out.clear();
  const std::string path = CcdtPath(url);
  if (path.empty()) return MQRC_CCDT_URL_ERROR;
  std::ifstream in(path, std::ios::binary);
  if (!in) return MQRC_CCDT_URL_ERROR;
  std::string text;
  text.resize(kMaxTableBytes + 1);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  std::vector<CcdtChannel> all;
  std::string why;
  if (!ParseCcdt(text, all, why)) return MQRC_CCDT_URL_ERROR;
  const std::string want = !qmgr.empty() && qmgr[0] == '*' ? qmgr.substr(1) : qmgr;
  for (auto& c : all)
    if (want.empty() || c.queue_manager.empty() || c.queue_manager == want) out.push_back(std::move(c));
  return out.empty() ? MQRC_Q_MGR_NAME_ERROR : MQRC_NONE;
}

}  // namespace vrqsim::client

// The targets file of the serve mode and the listen address.
#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "ping_serve.h"

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool Number(std::string_view text, int64_t min, int64_t max, int32_t* out) {
  int64_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc{} || end != text.data() + text.size() || v < min || v > max) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// An MQ object name: 1 to 48 characters of A-Z a-z 0-9 . / _ %.
bool MqName(std::string_view s, bool mayBeEmpty) {
  if (s.empty()) return mayBeEmpty;
  if (s.size() > 48) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '/' || c == '_' || c == '%')) return false;
  return true;
}

// CHANNEL/TCP/host(port)[,host(port)...]
bool MqServer(std::string_view s) {
  size_t a = s.find('/');
  if (a == 0 || a == std::string_view::npos || a > 20) return false;
  size_t b = s.find('/', a + 1);
  if (b == std::string_view::npos || s.substr(a + 1, b - a - 1) != "TCP") return false;
  std::string_view conn = s.substr(b + 1);
  return !conn.empty() && conn.size() <= 264;
}

}  // namespace

bool ParseServeTargets(std::string_view text, const std::string& file, std::vector<ServeTarget>* targets,
                       std::string* error) {
  targets->clear();
  std::set<std::string> names;
  int line = 0;
  auto fail = [&](const std::string& why) {
    *error = file + ":" + std::to_string(line) + ": " + why;
    return false;
  };
  while (!text.empty()) {
    ++line;
    size_t nl = text.find('\n');
    std::string_view raw = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    std::string_view l = Trim(raw);
    if (l.empty() || l[0] == '#' || l[0] == ';') continue;
    if (l[0] == '[') {
      if (l.back() != ']') return fail("a section line ends with ']'");
      std::string name(Trim(l.substr(1, l.size() - 2)));
      if (name.empty() || name.size() > 128) return fail("a target name has 1 to 128 characters");
      for (char c : name)
        if (static_cast<unsigned char>(c) < 0x21 || c == '"' || c == '\\' || c == '&' || c == '=' || c == '#')
          return fail("target name '" + name + "' has a character it may not have");
      if (!names.insert(name).second) return fail("duplicate target name '" + name + "'");
      targets->push_back({});
      targets->back().name = name;
      targets->back().qmgr = "";
      continue;
    }
    size_t eq = l.find('=');
    if (eq == std::string_view::npos) return fail("expected [NAME] or key = value");
    std::string key(Trim(l.substr(0, eq)));
    std::string_view value = Trim(l.substr(eq + 1));
    if (targets->empty()) return fail("key '" + key + "' before the first [NAME]");
    ServeTarget& t = targets->back();
    if (key == "qmgr") {
      if (!MqName(value, true)) return fail("qmgr: not a queue manager name");
      t.qmgr = value;
    } else if (key == "mqserver") {
      if (!value.empty() && !MqServer(value)) return fail("mqserver: not CHANNEL/TCP/host(port)");
      t.mqserver = value;
    } else if (key == "queue") {
      if (!MqName(value, false)) return fail("queue: not a queue name");
      t.queue = value;
    } else if (key == "batch") {
      if (!Number(value, 1, 10000, &t.batch)) return fail("batch: a whole number from 1 to 10000");
    } else if (key == "size") {
      if (!Number(value, 0, 4194304, &t.size)) return fail("size: a whole number from 0 to 4194304");
    } else if (key == "wait") {
      if (!Number(value, 0, 600000, &t.waitMs)) return fail("wait: milliseconds from 0 to 600000");
    } else if (key == "deadline") {
      if (!Number(value, 1, 600000, &t.deadlineMs)) return fail("deadline: milliseconds from 1 to 600000");
    } else if (key == "credentials") {
      t.credentials = value;
    } else {
      return fail("unknown key '" + key + "'");
    }
  }
  if (targets->empty()) {
    *error = file + ": no targets";
    return false;
  }
  return true;
}

bool LoadServeTargets(const std::string& file, std::vector<ServeTarget>* targets, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = file + ": cannot be read";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    *error = file + ": cannot be read";
    return false;
  }
  if (!ParseServeTargets(text.str(), file, targets, error)) return false;
  // Each credentials file is read now, so that a wrong one stops the start, not a probe;
  // once only, so that targets sharing one whose password is in an environment variable
  // (emptied when read) all get it.
  const size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
  std::map<std::string, std::shared_ptr<const vrq::credentials::Credentials>> read;
  for (ServeTarget& t : *targets) {
    if (t.credentials.empty()) continue;
    const std::string path = t.credentials.front() == '/' ? t.credentials : folder + t.credentials;
    auto& login = read[path];
    if (!login) {
      auto loaded = std::make_shared<vrq::credentials::Credentials>();
      std::string why;
      if (!vrq::credentials::LoadCredentialsFile(path, *loaded, why)) {
        *error = file + ": target " + t.name + ": credentials " + path + ": " + why;
        return false;
      }
      login = std::move(loaded);
    }
    t.login = login;
  }
  return true;
}

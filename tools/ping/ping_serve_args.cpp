// The serve mode's command line.
#include <charconv>
#include <string>
#include <string_view>

#include "vrqping.h"

namespace {

bool Number(std::string_view text, int64_t min, int64_t max, int* out) {
  int64_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc{} || end != text.data() + text.size() || v < min || v > max) return false;
  *out = static_cast<int>(v);
  return true;
}

}  // namespace

bool IsServeCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (argv[i] && std::string_view(argv[i]).substr(0, 7) == "--serve") return true;
  return false;
}

bool ParseServeArgs(int argc, char** argv, ServeOptions* options, std::string* error) {
  bool haveFile = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i] ? argv[i] : "";
    size_t eq = arg.find('=');
    std::string_view name = arg.substr(0, eq);
    std::string_view value = eq == std::string_view::npos ? std::string_view{} : arg.substr(eq + 1);
    bool ok = eq != std::string_view::npos;
    if (name == "--serve") {
      ok = ok && !value.empty() && !haveFile;
      haveFile = true;
      options->targetsFile = value;
    } else if (name == "--listen") {
      ok = ok && ParseListenAddress(value, &options->listenHost, &options->port);
    } else if (name == "--interval") {
      ok = ok && Number(value, 0, 86400, &options->intervalSeconds);
    } else if (name == "--web-config") {
      ok = ok && !value.empty() && options->webConfig.empty();
      options->webConfig = value;
    } else if (name == "--max-probes") {
      ok = ok && Number(value, 1, 4096, &options->maxConcurrent);
    } else {
      *error = "unknown option in serve mode: " + std::string(arg);
      return false;
    }
    if (!ok) {
      *error = "invalid option: " + std::string(arg);
      return false;
    }
  }
  if (!haveFile) {
    *error = "--serve=TARGETS_FILE is required";
    return false;
  }
  return true;
}

bool ParseListenAddress(std::string_view text, std::string* host, int* port) {
  size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return false;
  std::string_view h = text.substr(0, colon);
  if (!h.empty() && h.front() == '[') {
    if (h.size() < 2 || h.back() != ']') return false;
    h = h.substr(1, h.size() - 2);
  } else if (h.find(':') != std::string_view::npos) {
    return false;  // an IPv6 address goes in brackets
  }
  int p = 0;
  if (!Number(text.substr(colon + 1), 1, 65535, &p)) return false;
  *host = h;
  *port = p;
  return true;
}

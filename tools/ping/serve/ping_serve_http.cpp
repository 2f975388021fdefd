// The serve mode's HTTP side, on the cpp-httplib server: GET /probe?target=NAME, GET
// /metrics and GET /, everything else refused with its status and a short text. SIGINT
// and SIGTERM stop the server; the probes under way end within their deadlines.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ping_serve.h"
#include "ping_web_config.h"

namespace {

constexpr size_t kMaxTarget = 1024;  // request target (path and query) in bytes
constexpr const char* kText = "text/plain; charset=utf-8";
constexpr const char* kExposition = "text/plain; version=0.0.4; charset=utf-8";

void Refuse(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content(text + "\n", kText);
}

// The scrape timeout Prometheus sends, less half a second for the way back; 0 without one.
int32_t ScrapeDeadlineMs(const httplib::Request& req) {
  std::string v = req.get_header_value("X-Prometheus-Scrape-Timeout-Seconds");
  if (v.empty()) return 0;
  char* end = nullptr;
  double seconds = std::strtod(v.c_str(), &end);
  if (end == v.c_str() || !(seconds > 0.6) || seconds > 600) return 0;
  return static_cast<int32_t>((seconds - 0.5) * 1000);
}

}  // namespace

int RunServe(const ServeOptions& options) {
  std::vector<ServeTarget> targets;
  std::string error;
  if (!LoadServeTargets(options.targetsFile, &targets, &error)) {
    std::fprintf(stderr, "vrqmq: %s\n", error.c_str());
    return 1;
  }
  WebConfig web;  // empty: plain HTTP to anyone
  if (!options.webConfig.empty() && !LoadWebConfig(options.webConfig, &web, &error)) {
    std::fprintf(stderr, "vrqmq: %s\n", error.c_str());
    return 1;
  }
  // SIGINT and SIGTERM are taken by a thread of their own: every thread started from here
  // on inherits the blocked mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  ProbeService service(targets, options.maxConcurrent);
  // The request checks run after the web configuration's authentication, so that a caller
  // without credentials learns nothing but 401.
  std::unique_ptr<httplib::Server> endpoint = MakeWebServer(web, &error, [](const httplib::Request& req, httplib::Response& res) {
    if (req.target.size() > kMaxTarget) {
      Refuse(res, 414, "request target too long");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "GET" && req.method != "HEAD") {
      res.set_header("Allow", "GET, HEAD");
      Refuse(res, 405, "method not allowed: only GET");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.path != "/" && req.path != "/probe" && req.path != "/metrics") {
      Refuse(res, 404, "not found: the paths are /, /probe?target=NAME and /metrics");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  if (!endpoint) {
    std::fprintf(stderr, "vrqmq: %s\n", error.c_str());
    return 1;
  }
  httplib::Server& server = *endpoint;
  const int threads = options.maxConcurrent + 8;
  server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  server.set_payload_max_length(0);
  server.Get("/probe", [&service](const httplib::Request& req, httplib::Response& res) {
    size_t n = req.get_param_value_count("target");
    if (n != 1) {
      Refuse(res, 400, n == 0 ? "missing parameter: target" : "parameter target given more than once");
      return;
    }
    std::string body;
    switch (service.Probe(req.get_param_value("target"), ScrapeDeadlineMs(req), &body)) {
      case ProbeService::Outcome::kUnknownTarget:
        Refuse(res, 404, "unknown target: not in the targets file");
        return;
      case ProbeService::Outcome::kBusy:
        Refuse(res, 503, "too many probes running; try again");
        return;
      case ProbeService::Outcome::kOk:
        res.set_content(body, kExposition);
        return;
    }
  });
  server.Get("/metrics", [&service](const httplib::Request&, httplib::Response& res) {
    res.set_content(service.Metrics(), kExposition);
  });
  server.Get("/", [&service](const httplib::Request&, httplib::Response& res) {
    res.set_content(service.LandingPage(), "text/html; charset=utf-8");
  });

  std::string host = options.listenHost.empty() ? "0.0.0.0" : options.listenHost;
  if (!server.bind_to_port(host, options.port)) {
    std::fprintf(stderr, "vrqmq: cannot listen on %s:%d\n", host.c_str(), options.port);
    return 1;
  }
  service.StartSchedule(options.intervalSeconds);
  std::thread stopper([&server, stopSignals] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
  });
  std::printf("vrqmq: serving %zu targets on %s://%s:%d\n", service.size(), web.tls ? "https" : "http", host.c_str(), options.port);
  std::fflush(stdout);
  bool ok = server.listen_after_bind();
  // A stop that did not come from a signal (the listener failed) still ends the watcher.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return ok ? 0 : 1;
}

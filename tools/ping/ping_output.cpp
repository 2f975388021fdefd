// The machine-readable forms of a cycle: one JSON object per line (written by
// nlohmann-json, which does the escaping), and the Prometheus text exposition format
// written for a node exporter's textfile collector.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "ping_monitor.h"

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

double Seconds(int64_t ms) { return static_cast<double>(ms) / 1000.0; }

// A sample value as Prometheus reads it: the shortest text that reads back the same double.
std::string PromValue(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc{} ? std::string(buf, end) : "NaN";
}

// A label value with backslash, double quote and line feed escaped.
std::string PromLabel(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') out += "\\\\";
    else if (c == '"') out += "\\\"";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

class Exposition {
 public:
  explicit Exposition(const PingCycleFigures& f)
      : labels_("qmgr=\"" + PromLabel(f.qmgr) + "\",queue=\"" + PromLabel(f.queue) + "\"") {}

  void Family(const char* name, const char* type, const char* help) {
    text_ += "# HELP ";
    text_ += name;
    text_ += ' ';
    text_ += help;
    text_ += "\n# TYPE ";
    text_ += name;
    text_ += ' ';
    text_ += type;
    text_ += '\n';
  }
  void Sample(const std::string& name, double value, const std::string& extra = {}) {
    text_ += name + "{" + labels_ + extra + "} " + PromValue(value) + "\n";
  }
  void Metric(const char* name, const char* type, const char* help, double value) {
    Family(name, type, help);
    Sample(name, value);
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string labels_;
  std::string text_;
};

}  // namespace

std::string Rfc3339(int64_t epochMs) {
  int64_t seconds = epochMs / 1000, ms = epochMs % 1000;
  if (ms < 0) {
    ms += 1000;
    --seconds;
  }
  auto t = static_cast<time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[40];
  size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
  std::snprintf(buf + n, sizeof buf - n, ".%03dZ", static_cast<int>(ms));
  return buf;
}

std::string FormatCycleJson(const PingCycleFigures& f) {
  const PingStats& s = f.stats;
  const PingIndicators& d = f.indicators;
  const LatencySummary& l = f.latency;
  int32_t responses = s.lMsgsReceived - s.lReportsReceived;
  nlohmann::ordered_json j;
  j["qmgr"] = f.qmgr;
  j["queue"] = f.queue;
  j["start_time"] = Rfc3339(f.startMs);
  j["end_time"] = Rfc3339(f.endMs);
  j["completion_code"] = f.reason;
  j["reason_name"] = ReasonName(f.reason);
  j["minimum_round_trip_seconds"] = Seconds(s.llMinRoundTrip);
  j["maximum_round_trip_seconds"] = Seconds(s.llMaxRoundTrip);
  j["average_round_trip_seconds"] = s.dAvgRoundTrip / 1000.0;
  j["average_propagation_time_seconds"] = s.dAvgTimeToResponse / 1000.0;
  j["average_reflection_time_seconds"] = s.dAvgReplyAge / 1000.0;
  j["messages_sent"] = s.lMsgsSent;
  j["confirmed_expiries"] = s.lConfirmedExpiries;
  j["confirmed_deliveries"] = s.lConfirmedDeliveries;
  j["confirmed_arrivals"] = s.lConfirmedArrivals;
  j["confirmed_exceptions"] = s.lOtherReports;
  j["reports_received"] = s.lReportsReceived;
  j["responses_received"] = responses;
  j["messages_received"] = s.lMsgsReceived;
  j["bytes_sent"] = s.lBytesSent;
  j["bytes_received"] = s.lBytesReceived;
  j["response_request_ratio_percent"] = d.dResponseRequestRatio;
  j["total_put_time_seconds"] = Seconds(s.llPutTime);
  j["total_get_time_seconds"] = Seconds(s.llGetTime);
  j["average_put_rate_messages_per_second"] = d.dPutRate;
  j["average_put_rate_bytes_per_second"] = d.dPutByteRate;
  j["average_get_rate_messages_per_second"] = d.dGetRate;
  j["average_get_rate_bytes_per_second"] = d.dGetByteRate;
  j["put_get_ratio_percent"] = d.dPutGetRatio * 100.0;
  j["gross_round_trip_rate_messages_per_second"] = d.dGrossRate;
  j["gross_round_trip_rate_bytes_per_second"] = d.dGrossByteRate;
  j["effective_round_trip_rate_messages_per_second"] = d.dEffectiveRate;
  j["confirmation_overhead_percent"] = d.dOverheadPercent;
  j["average_arrival_rate_messages_per_second"] = s.dArrivalRate;
  j["average_delivery_rate_messages_per_second"] = s.dDeliveryRate;
  j["average_message_latency_seconds"] = d.dAvgLatency;
  j["average_message_latency_queue_depth"] = s.dArrivalRate;
  j["maximum_message_latency_seconds"] = d.dMaxLatency;
  j["maximum_message_latency_queue_depth"] = responses;
  j["total_batch_time_seconds"] = Seconds(s.llCycleTime);
  j["round_trip_count"] = l.count;
  j["round_trip_p50_seconds"] = Seconds(l.p50);
  j["round_trip_p90_seconds"] = Seconds(l.p90);
  j["round_trip_p99_seconds"] = Seconds(l.p99);
  j["round_trip_p99_9_seconds"] = Seconds(l.p999);
  j["round_trip_max_seconds"] = Seconds(l.max);
  j["round_trip_mean_seconds"] = l.mean / 1000.0;
  j["round_trip_stddev_seconds"] = l.stddev / 1000.0;
  return j.dump() + "\n";
}

std::string FormatPrometheus(const PingCycleFigures& f, const PingRunTotals& t) {
  const PingStats& s = f.stats;
  const PingIndicators& d = f.indicators;
  const LatencySummary& l = f.latency;
  Exposition e(f);

  e.Family("vrqmq_round_trip_seconds", "summary",
           "Round trip of a ping to its response: quantiles of the last cycle, sum and count over the run.");
  const std::pair<const char*, int64_t> quantiles[] = {
      {"0.5", l.p50}, {"0.9", l.p90}, {"0.99", l.p99}, {"0.999", l.p999}};
  for (const auto& [q, v] : quantiles)
    e.Sample("vrqmq_round_trip_seconds", l.count ? Seconds(v) : NAN, std::string(",quantile=\"") + q + "\"");
  e.Sample("vrqmq_round_trip_seconds_sum", t.roundTripSeconds);
  e.Sample("vrqmq_round_trip_seconds_count", static_cast<double>(t.roundTrips));

  struct Row {
    const char* name;
    const char* help;
    double value;
  };
  const Row counters[] = {
      {"vrqmq_cycles_total", "Ping cycles ended.", static_cast<double>(t.cycles)},
      {"vrqmq_messages_sent_total", "Pings put.", static_cast<double>(t.sent)},
      {"vrqmq_messages_received_total", "Responses and reports read.", static_cast<double>(t.received)},
      {"vrqmq_responses_received_total", "Command server responses read.", static_cast<double>(t.responses)},
      {"vrqmq_reports_received_total", "Report messages read.", static_cast<double>(t.reports)},
      {"vrqmq_confirmed_expiries_total", "Expiry reports read.", static_cast<double>(t.expiries)},
      {"vrqmq_confirmed_deliveries_total", "Confirm-on-delivery reports read.", static_cast<double>(t.deliveries)},
      {"vrqmq_confirmed_arrivals_total", "Confirm-on-arrival reports read.", static_cast<double>(t.arrivals)},
      {"vrqmq_confirmed_exceptions_total", "Other reports (exceptions) read.", static_cast<double>(t.exceptions)},
      {"vrqmq_sent_bytes_total", "Bytes of PCF data put.", static_cast<double>(t.bytesSent)},
      {"vrqmq_received_bytes_total", "Bytes of PCF data read.", static_cast<double>(t.bytesReceived)},
  };
  for (const auto& r : counters) e.Metric(r.name, "counter", r.help, r.value);

  const Row gauges[] = {
      {"vrqmq_round_trip_minimum_seconds", "Shortest round trip of the last cycle.", Seconds(s.llMinRoundTrip)},
      {"vrqmq_round_trip_maximum_seconds", "Longest round trip of the last cycle.", Seconds(s.llMaxRoundTrip)},
      {"vrqmq_round_trip_average_seconds",
       "Average round trip of the last cycle as its report gives it (divided by every message read).",
       s.dAvgRoundTrip / 1000.0},
      {"vrqmq_round_trip_mean_seconds", "Mean round trip of the last cycle's responses.", l.mean / 1000.0},
      {"vrqmq_round_trip_stddev_seconds", "Standard deviation of the last cycle's round trips.", l.stddev / 1000.0},
      {"vrqmq_propagation_time_average_seconds",
       "Average time from a ping's put to the put of its response, last cycle.", s.dAvgTimeToResponse / 1000.0},
      {"vrqmq_reflection_time_average_seconds",
       "Average time a response waited before it was read, last cycle.", s.dAvgReplyAge / 1000.0},
      {"vrqmq_put_time_seconds", "Time taken to put the last cycle's batch.", Seconds(s.llPutTime)},
      {"vrqmq_get_time_seconds", "Time taken to read the last cycle's replies.", Seconds(s.llGetTime)},
      {"vrqmq_batch_time_seconds", "Duration of the last cycle.", Seconds(s.llCycleTime)},
      {"vrqmq_response_request_ratio", "Responses per ping of the last cycle.", d.dResponseRequestRatio / 100.0},
      {"vrqmq_put_rate_messages_per_second", "Put rate of the last cycle.", d.dPutRate},
      {"vrqmq_put_rate_bytes_per_second", "Put byte rate of the last cycle.", d.dPutByteRate},
      {"vrqmq_get_rate_messages_per_second", "Get rate of the last cycle.", d.dGetRate},
      {"vrqmq_get_rate_bytes_per_second", "Get byte rate of the last cycle.", d.dGetByteRate},
      {"vrqmq_put_get_ratio", "Put rate over get rate of the last cycle.", d.dPutGetRatio},
      {"vrqmq_gross_round_trip_rate_messages_per_second", "Messages put and read per second, last cycle.",
       d.dGrossRate},
      {"vrqmq_gross_round_trip_rate_bytes_per_second", "Bytes put and read per second, last cycle.",
       d.dGrossByteRate},
      {"vrqmq_effective_round_trip_rate_messages_per_second",
       "Pings and responses per second, reports left out, last cycle.", d.dEffectiveRate},
      {"vrqmq_confirmation_overhead_ratio", "Share of the gross rate taken by reports, last cycle.",
       d.dOverheadRatio},
      {"vrqmq_arrival_rate_messages_per_second", "Confirmed arrivals per second, last cycle.", s.dArrivalRate},
      {"vrqmq_delivery_rate_messages_per_second", "Confirmed deliveries per second, last cycle.", s.dDeliveryRate},
      {"vrqmq_message_latency_average_seconds", "Average message latency of the last cycle.", d.dAvgLatency},
      {"vrqmq_message_latency_maximum_seconds", "Maximum message latency of the last cycle.", d.dMaxLatency},
      {"vrqmq_last_cycle_start_timestamp_seconds", "Start of the last cycle, seconds since 1970 UTC.",
       Seconds(f.startMs)},
      {"vrqmq_last_cycle_end_timestamp_seconds", "End of the last cycle, seconds since 1970 UTC.",
       Seconds(f.endMs)},
  };
  for (const auto& r : gauges) e.Metric(r.name, "gauge", r.help, r.value);

  e.Family("vrqmq_completion_code", "gauge", "MQ reason code of the last cycle (0 when it succeeded).");
  e.Sample("vrqmq_completion_code", f.reason, std::string(",reason=\"") + ReasonName(f.reason) + "\"");
  return e.Take();
}

bool WriteFileAtomically(const std::string& path, const std::string& text) {
#if defined(_WIN32)
  std::string temp = path + ".tmp." + std::to_string(_getpid());
#else
  std::string temp = path + ".tmp." + std::to_string(getpid());
#endif
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fflush(f) == 0 && ok;
#if !defined(_WIN32)
  ok = ok && fsync(fileno(f)) == 0;
#endif
  ok = std::fclose(f) == 0 && ok;
#if defined(_WIN32)
  // rename does not replace an existing file on Windows; MoveFileEx does.
  if (ok && MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return true;
#else
  if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return true;
#endif
  int saved = errno;
  std::remove(temp.c_str());
  errno = saved;
  return false;
}

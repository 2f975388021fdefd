// The figures of a cycle and their texts: the indicators, the statistics report, the
// distribution lines, one JSON object per line (written by nlohmann-json, which does the
// escaping), and the Prometheus text exposition format written for a node exporter's
// textfile collector and for the serve mode's endpoints.
#include "ping_figures.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "vrqapi.h"

namespace {

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

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char buf[512];
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return std::string(buf, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

constexpr const char* kReport =
    "\nStatistics for queue %s(%s) :\n\nSummary Performance Indicators :\n"
    "\tMINIMUM_ROUND_TRIP       (%0.4f sec/msg)\n"
    "\tMAXIMUM_ROUND_TRIP       (%0.4f sec/msg)\n"
    "\tAVERAGE_ROUND_TRIP       (%0.4f sec/msg)\n"
    "\tAVERAGE_PROPAGATION_TIME (%0.4f sec/msg)\n"
    "\tAVERAGE_REFLECTION_TIME  (%0.4f sec/msg)\n"
    "\tMESSAGES_SENT            (%d)\n"
    "\tCONFIRMED_EXPIRIES       (%d)\n"
    "\tCONFIRMED_DELIVERIES     (%d)\n"
    "\tCONFIRMED_ARRIVALS       (%d)\n"
    "\tCONFIRMED_EXCEPTIONS     (%d)\n"
    "\tREPORTS_RECEIVED         (%d)\n"
    "\tRESPONSES_RECEIVED       (%d)\n"
    "\tMESSAGES_RECEIVED        (%d)\n"
    "\tBYTES_SENT               (%d)\n"
    "\tBYTES_RECEIVED           (%d)\n"
    "\tRESPONSE_REQUEST_RATIO   (%0.4f%%)\n"
    "\nGeneral Performance Indicators :\n"
    "\tTOTAL_PUT_TIME           (%0.4f sec)\n"
    "\tTOTAL_GET_TIME           (%0.4f sec)\n"
    "\tAVERAGE_PUT_RATE         (%0.4f msg/sec [%0.2f bytes/sec])\n"
    "\tAVERAGE_GET_RATE         (%0.4f msg/sec [%0.2f bytes/sec])\n"
    "\tPUT_GET_RATIO            (%0.4f%% [%0.2f])\n"
    "\nMessage Performance Indicators :\n"
    "\tGROSS_ROUND_TRIP_RATE    (%0.4f msg/sec [%0.2f bytes/sec])\n"
    "\tEFFECTIVE_ROUND_TRIP_RATE(%0.4f msg/sec)\n"
    "\tCONFIRMATION_OVERHEAD    (%0.4f%% [%0.2f])\n"
    "\tAVERAGE_ARRIVAL_RATE     (%0.4f msg/sec])\n"
    "\tAVERAGE_DELIVERY_RATE    (%0.4f msg/sec])\n"
    "\tAVERAGE_MSG_LATENCY      (%0.4f sec]) WITH QDEPTH(%0.0f)\n"
    "\tMAXIMUM_MSG_LATENCY      (%0.4f sec]) WITH QDEPTH(%d)\n"
    "\n\tTOTAL_BATCH_TIME         (%0.4f sec)\n"
    "\tTEST_COMPLETION_CODE     (%d)\n";

double AtLeastOneMs(int64_t ms) { return ms > 0 ? static_cast<double>(ms) : 1.0; }

}  // namespace


std::string PromValue(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc{} ? std::string(buf, end) : "NaN";
}

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
  j["round_trip_p50_seconds"] = MicroSeconds(l.p50);
  j["round_trip_p90_seconds"] = MicroSeconds(l.p90);
  j["round_trip_p99_seconds"] = MicroSeconds(l.p99);
  j["round_trip_p99_9_seconds"] = MicroSeconds(l.p999);
  j["round_trip_max_seconds"] = MicroSeconds(l.max);
  j["round_trip_mean_seconds"] = MicroSeconds(l.mean);
  j["round_trip_stddev_seconds"] = MicroSeconds(l.stddev);
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
    e.Sample("vrqmq_round_trip_seconds", l.count ? MicroSeconds(static_cast<double>(v)) : NAN, std::string(",quantile=\"") + q + "\"");
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
      {"vrqmq_round_trip_mean_seconds", "Mean round trip of the last cycle's responses.", MicroSeconds(l.mean)},
      {"vrqmq_round_trip_stddev_seconds", "Standard deviation of the last cycle's round trips.", MicroSeconds(l.stddev)},
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

PingIndicators ping_indicators(const PingStats& s) {
  PingIndicators d{};
  int32_t responses = s.lMsgsReceived - s.lReportsReceived;
  if (s.lMsgsSent != 0)
    d.dResponseRequestRatio =
        static_cast<float>(responses) / static_cast<float>(s.lMsgsSent) * 100.0f;
  double total = AtLeastOneMs(s.llPutTime + s.llGetTime);
  double putTime = AtLeastOneMs(s.llPutTime);
  double getTime = AtLeastOneMs(s.llGetTime);
  d.dTotalTime = total;
  d.dGrossRate = (s.lMsgsSent + s.lMsgsReceived) / total * 1000.0;
  d.dGrossByteRate = (static_cast<double>(s.lBytesSent) + s.lBytesReceived) / total * 1000.0;
  d.dEffectiveRate = (s.lMsgsSent + s.lMsgsReceived - s.lReportsReceived) / total * 1000.0;
  d.dPutRate = s.lMsgsSent / putTime * 1000.0;
  d.dPutByteRate = s.lBytesSent / putTime * 1000.0;
  d.dGetRate = s.lMsgsReceived / getTime * 1000.0;
  d.dGetByteRate = s.lBytesReceived / getTime * 1000.0;
  d.dPutGetRatio = d.dGetRate > 0 ? d.dPutRate / d.dGetRate : 0.0;
  double effectiveShare = d.dGrossRate > 0 ? d.dEffectiveRate / d.dGrossRate : 1.0;
  d.dOverheadPercent = 100.0 - 100.0 * effectiveShare;
  d.dOverheadRatio = 1.0 - effectiveShare;
  d.dAvgLatency = s.dDeliveryRate > 0 ? s.dArrivalRate / s.dDeliveryRate : 0.0;
  d.dMaxLatency = s.dDeliveryRate > 0 ? responses / s.dDeliveryRate : 0.0;
  return d;
}

std::string FormatReport(const PingArgs& args, const PingStats& s, const PingIndicators& d, int reason) {
  char buf[4096];
  int n = std::snprintf(buf, sizeof buf, kReport, args.szQMgrName, args.szQueueName,
                        s.llMinRoundTrip / 1000.0, s.llMaxRoundTrip / 1000.0, s.dAvgRoundTrip / 1000.0,
                        s.dAvgTimeToResponse / 1000.0, s.dAvgReplyAge / 1000.0,
                        s.lMsgsSent, s.lConfirmedExpiries, s.lConfirmedDeliveries, s.lConfirmedArrivals,
                        s.lOtherReports, s.lReportsReceived, s.lMsgsReceived - s.lReportsReceived,
                        s.lMsgsReceived, s.lBytesSent, s.lBytesReceived,
                        d.dResponseRequestRatio, s.llPutTime / 1000.0, s.llGetTime / 1000.0,
                        d.dPutRate, d.dPutByteRate, d.dGetRate, d.dGetByteRate,
                        d.dPutGetRatio * 100.0, d.dPutGetRatio,
                        d.dGrossRate, d.dGrossByteRate, d.dEffectiveRate,
                        d.dOverheadPercent, d.dOverheadRatio, s.dArrivalRate, s.dDeliveryRate,
                        d.dAvgLatency, s.dArrivalRate, d.dMaxLatency, s.lMsgsReceived - s.lReportsReceived,
                        s.llCycleTime / 1000.0, reason);
  return std::string(buf, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

LatencySummary Summarize(const LatencyHistogram& h) {
  return {h.Count(),
          h.ValueAtPercentile(50),
          h.ValueAtPercentile(90),
          h.ValueAtPercentile(99),
          h.ValueAtPercentile(99.9),
          h.Max(),
          h.Sum(),
          h.Mean(),
          h.StdDev()};
}

void AddToTotals(PingRunTotals* t, const PingCycleFigures& f) {
  const PingStats& s = f.stats;
  ++t->cycles;
  t->sent += s.lMsgsSent;
  t->received += s.lMsgsReceived;
  t->responses += s.lMsgsReceived - s.lReportsReceived;
  t->reports += s.lReportsReceived;
  t->expiries += s.lConfirmedExpiries;
  t->deliveries += s.lConfirmedDeliveries;
  t->arrivals += s.lConfirmedArrivals;
  t->exceptions += s.lOtherReports;
  t->bytesSent += s.lBytesSent;
  t->bytesReceived += s.lBytesReceived;
  t->roundTrips += f.latency.count;
  t->roundTripSeconds += MicroSeconds(f.latency.sum);
}

std::string ReasonName(int reason) {
  if (reason == kRcNoManager) return "VRQ_NO_MANAGER";
  char name[VRQ_MQ_VALUE_NAME_SIZE];
  MapReason(reason, name);
  return std::string_view(name).substr(0, 5) == "MQRC_" ? name : "UNKNOWN";
}

std::string FormatLatencyLines(const LatencySummary& l) {
  auto s = [](int64_t us) { return MicroSeconds(static_cast<double>(us)); };
  std::string out = Printf("\nRound Trip Distribution (%lld responses) :\n", static_cast<long long>(l.count));
  out += Printf("\tROUND_TRIP_P50           (%0.4f sec/msg)\n", s(l.p50));
  out += Printf("\tROUND_TRIP_P90           (%0.4f sec/msg)\n", s(l.p90));
  out += Printf("\tROUND_TRIP_P99           (%0.4f sec/msg)\n", s(l.p99));
  out += Printf("\tROUND_TRIP_P99_9         (%0.4f sec/msg)\n", s(l.p999));
  out += Printf("\tROUND_TRIP_MAX           (%0.4f sec/msg)\n", s(l.max));
  out += Printf("\tROUND_TRIP_MEAN          (%0.4f sec/msg)\n", MicroSeconds(l.mean));
  out += Printf("\tROUND_TRIP_STDDEV        (%0.4f sec)\n", MicroSeconds(l.stddev));
  return out;
}

std::string FormatSummaryLine(const PingCycleFigures& f) {
  auto s = [](int64_t us) { return MicroSeconds(static_cast<double>(us)); };
  return Printf("%s(%s): SENT(%d) RECEIVED(%d) P50(%0.4f sec) P99(%0.4f sec) MAX(%0.4f sec) RC(%d)\n",
                f.qmgr.c_str(), f.queue.c_str(), f.stats.lMsgsSent, f.stats.lMsgsReceived,
                s(f.latency.p50), s(f.latency.p99), s(f.latency.max), f.reason);
}

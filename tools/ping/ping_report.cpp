// The statistics report: the indicators derived from one cycle's counters, printed for a
// single run. Every rate takes an empty duration as 1 ms, so nothing divides by zero.
#include <cstdio>

#include "ping_monitor.h"
#include "vrqping.h"

namespace {

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

int ping_report(PingArgs* args, PingStats* stats) {
  const PingStats& s = *stats;
  PingIndicators d = ping_indicators(s);
  int reason = args->pQMgr ? args->pQMgr->lReason : kRcNoManager;
  if (args->lInterval <= 0) {
    std::printf(kReport, args->szQMgrName, args->szQueueName,
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
    std::fflush(stdout);
  }
  if (args->pMonitor) args->pMonitor->PrintAfterReport(*args, s, reason);
  return PublishReportFacts(*args, s, d, reason);
}

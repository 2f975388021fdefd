// One ping cycle: connect and open the private queues, put a batch of PCF
// ping-queue-manager commands stamped with their sequence number (MsgId) and send times
// (CorrelId: milliseconds of the report's clock, and monotonic microseconds), then read the responses and the reports the pings asked for and accumulate
// their timings. The pings ask for MQRO_PASS_MSG_ID and MQRO_PASS_CORREL_ID, so every
// answer carries the stamps back and no state per message is kept.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include <cmqc.h>
#include <cmqcfc.h>

#include "ping_monitor.h"
#include "vrqping.h"

namespace {

constexpr int kPingCommand = MQCMD_PING_Q_MGR;
constexpr int kCapacity = 512;
constexpr const char* kPingPrefix = "PING";

// The MQFB name of a report's feedback ("MQFB_COA"), else its number.
std::string FeedbackLabel(int feedback) {
  char name[VRQ_MQ_VALUE_NAME_SIZE];
  return MapFeedback(feedback, name);
}

// Bytes of the CorrelId that carry the send stamps: the millisecond clock (the report's
// figures) and the monotonic microsecond clock (the distribution and the outputs). The
// remaining eight bytes stay zero.
constexpr size_t kMsStampAt = 0;
constexpr size_t kUsStampAt = 8;

int32_t PcfLength(const PcfMessage* msg) { return msg->PcfMsg.lMsgLength - MDHDR_LENGTH; }

int Finish(const PingArgs* args, int* reason) {
  *reason = args->pQMgr ? args->pQMgr->lReason : kRcNoManager;
  return *reason == 0 ? 1 : 0;
}

}  // namespace

void PadPing(PcfMessage* msg, int32_t size) {
  int32_t length = PcfLength(msg);
  if (size <= 0 || size <= length) return;
  std::string text;
  try {
    text.assign(static_cast<size_t>(size - length), 'T');
  } catch (...) {
    return;
  }
  MESSAGE attr{};
  if (CreatePcfStrAttr(&attr, MQCACF_ESCAPE_TEXT, text.c_str())) AppendAttr(msg, &attr);
  DeleteMessage(&attr);
}

namespace {

MQLONG ReportOptions(const PingArgs* args) {
  MQLONG report = MQRO_PASS_MSG_ID | MQRO_PASS_CORREL_ID;
  if (args->bRptCOA) report |= MQRO_COA;
  if (args->bRptCOD) report |= MQRO_COD;
  if (args->bRptException) report |= MQRO_EXCEPTION;
  if (args->bRptExpiry) report |= MQRO_EXPIRATION;
  if (!args->bDeadLetter) report |= MQRO_DISCARD_MSG;
  return report;
}

// Timings of the most recent response, shown in the verbose lines.
struct LastResponse {
  double roundTrip = 0;
  double timeToResponse = 0;
  double replyAge = 0;
};

// Report intervals: the put times of successive reports of one kind, summed.
struct IntervalSum {
  bool seen = false;
  int64_t previous = 0;
  int64_t sum = 0;
  void Add(int64_t t) {
    if (seen) sum += t - previous;
    previous = t;
    seen = true;
  }
};

void PrintLine(const PingArgs* args, const PingStats* stats, int64_t receiveTime,
               const std::string& label, int32_t sequence, const LastResponse& last,
               const MQMD& md) {
  time_t seconds = static_cast<time_t>(receiveTime / 1000);
  char date[64] = "\n";
  ctime_r(&seconds, date);
  std::printf("\n(%d) - Date: %s", stats->lMsgsReceived, date);
  std::printf(
      "\t%s:\tMSGID(%d) RND_TRP_MS(%0.2f) RND_TRP_ON_Q_MS(%0.2f) MSG_AGE_MS(%0.2f) "
      "PUT_APPL_NAME(%.28s) \n\t\t\tPUT_DATE(%.8s) PUT_TIME(%.8s)\n",
      label.c_str(), sequence, last.roundTrip, last.timeToResponse, last.replyAge,
      md.PutApplName, md.PutDate, md.PutTime);
  (void)args;
}

}  // namespace

int ping_init(PingArgs* args, int* reason) {
  args->pQMgr = CreateDMQManagerAuth(args->szQMgrName, args->szQueueName, kPingPrefix, kPingPrefix,
                                     args->pCredentials);
  if (!args->pQMgr) {
    *reason = kRcNoManager;
    return 0;
  }
  qmOpen(args->pQMgr, args->szAltUser);
  return Finish(args, reason);
}

int ping_generate(PingArgs* args, PingStats* stats, int* reason) {
  MQManager* mgr = args->pQMgr;
  if (!mgr) return Finish(args, reason);
  PcfMessage* msg = CreatePcfMessage(kPingCommand, MQCFT_COMMAND, kCapacity);
  if (!msg) {
    *reason = MQRC_STORAGE_NOT_AVAILABLE;  // no ping could be built, so none was sent
    return 0;
  }
  PadPing(msg, args->lSize);
  int32_t length = PcfLength(msg);
  std::printf("\nPinging %s(%s) using %ld byte %d(msgs) batch....\n\n", args->szQMgrName,
              args->szQueueName, static_cast<long>(length), args->lBatch);
  stats->lBytesSent = 0;
  stats->lBytesReceived = 0;

  MQMD& md = msg->PcfMsg.MsgDesc;
  md.Expiry = args->lExpiry;
  md.Report = ReportOptions(args);

  MDHDR* hdr = msg->PcfMsg.pMdHdr;
  int64_t start = curUtcTimeMsec();
  while (stats->lMsgsSent < args->lBatch && mgr->lReason == 0 && !PingStopSignal()) {
    int32_t sequence = stats->lMsgsSent + 1;
    int64_t now = curUtcTimeMsec();
    int64_t nowUs = MonotonicMicros();
    std::memset(hdr->MsgId, 0, sizeof hdr->MsgId);
    std::memset(hdr->CorrelId, 0, sizeof hdr->CorrelId);
    std::memcpy(hdr->MsgId, &sequence, sizeof sequence);
    std::memcpy(hdr->CorrelId + kMsStampAt, &now, sizeof now);
    std::memcpy(hdr->CorrelId + kUsStampAt, &nowUs, sizeof nowUs);
    std::memset(hdr->UserId, 0, sizeof hdr->UserId);
    std::memcpy(hdr->UserId, args->szAltUser, std::strlen(args->szAltUser));
    if (qmWrite(&msg->PcfMsg, mgr)) {
      ++stats->lMsgsSent;
      stats->lBytesSent += length;
    }
  }
  stats->llPutTime = curUtcTimeMsec() - start;
  DeletePcfMessage(msg);
  return Finish(args, reason);
}

int ping_get_stats(PingArgs* args, PingStats* stats, int* reason) {
  MQManager* mgr = args->pQMgr;
  if (!mgr) return Finish(args, reason);
  int32_t outstanding = stats->lMsgsSent;
  bool arrivalsDone = !args->bRptCOA;
  bool deliveriesDone = !args->bRptCOD;
  int64_t start = curUtcTimeMsec();
  PcfMessage* msg = CreatePcfMessage(0, MQCFT_RESPONSE, kCapacity);
  if (!msg) return Finish(args, reason);

  double sumRoundTrip = 0, sumTimeToResponse = 0, sumReplyAge = 0;
  IntervalSum arrivals, expiriesAndDeliveries;
  LastResponse last;
  while ((outstanding > 0 && mgr->lReason == 0) || !arrivalsDone || !deliveriesDone) {
    ResetPcfMessage(msg, 0, MQCFT_RESPONSE);
    if (!PingRead(&msg->PcfMsg, args->lWait, mgr)) {
      // Confirmations that have not come within one whole wait interval are not waited
      // for any longer: the cycle ends with the read's reason.
      break;
    }
    int64_t receiveTime = curUtcTimeMsec();
    int64_t receiveUs = MonotonicMicros();
    ++stats->lMsgsReceived;
    stats->lBytesReceived += PcfLength(msg);

    const MDHDR* hdr = msg->PcfMsg.pMdHdr;
    const MQMD& md = msg->PcfMsg.MsgDesc;
    int64_t sendTime = 0;
    int32_t sequence = 0;
    int64_t sendUs = 0;
    std::memcpy(&sendTime, hdr->CorrelId + kMsStampAt, sizeof sendTime);
    std::memcpy(&sendUs, hdr->CorrelId + kUsStampAt, sizeof sendUs);
    std::memcpy(&sequence, hdr->MsgId, sizeof sequence);

    std::string label;
    bool isReport = md.MsgType == MQMT_REPORT;
    if (!isReport) {
      int64_t putStamp = cnv_millts(md.PutDate, md.PutTime);
      int64_t timeToResponse = putStamp - sendTime;
      if (timeToResponse < 0) timeToResponse = 0;
      int64_t roundTrip = receiveTime - sendTime;
      int64_t replyAge = roundTrip - timeToResponse;
      if (stats->llPutTime <= roundTrip) roundTrip -= stats->llPutTime;
      if (stats->llMaxRoundTrip == 0) stats->llMinRoundTrip = stats->llMaxRoundTrip = roundTrip;
      if (roundTrip < stats->llMinRoundTrip) stats->llMinRoundTrip = roundTrip;
      if (roundTrip > stats->llMaxRoundTrip) stats->llMaxRoundTrip = roundTrip;
      // The distribution takes the whole round trip from the microsecond stamps; an
      // answer without one (a ping of an older run) counts its millisecond round trip.
      if (args->pMonitor)
        args->pMonitor->Record(sendUs > 0 && receiveUs >= sendUs ? receiveUs - sendUs
                                                                 : (receiveTime - sendTime) * 1000);
      sumRoundTrip += static_cast<double>(roundTrip);
      sumTimeToResponse += static_cast<double>(timeToResponse);
      sumReplyAge += static_cast<double>(replyAge);
      last = {static_cast<double>(roundTrip), static_cast<double>(timeToResponse),
              static_cast<double>(replyAge)};
      --outstanding;
      label = "RESPONSE";
    } else {
      ++stats->lReportsReceived;
      ++stats->lOtherReports;
      int64_t t = cnv_milltm(md.PutTime);
      switch (md.Feedback) {
        case MQFB_EXPIRATION:
          --outstanding;
          ++stats->lConfirmedExpiries;
          --stats->lOtherReports;
          expiriesAndDeliveries.Add(t);
          break;
        case MQFB_COA:
          ++stats->lConfirmedArrivals;
          --stats->lOtherReports;
          arrivals.Add(t);
          break;
        case MQFB_COD:
          ++stats->lConfirmedDeliveries;
          --stats->lOtherReports;
          expiriesAndDeliveries.Add(t);
          break;
        default:
          break;
      }
      label = FeedbackLabel(md.Feedback);
    }
    if (args->lVerbose >= 2 || (args->lVerbose == 1 && isReport))
      PrintLine(args, stats, receiveTime, label, sequence, last, md);
    if (args->bRptCOA && stats->lConfirmedArrivals >= stats->lMsgsSent) arrivalsDone = true;
    if (args->bRptCOD && stats->lConfirmedDeliveries >= stats->lMsgsSent) deliveriesDone = true;
  }
  stats->llGetTime = curUtcTimeMsec() - start;
  if (sumRoundTrip > 0 && stats->lMsgsReceived > 0) {
    stats->dAvgRoundTrip = sumRoundTrip / stats->lMsgsReceived;
    stats->dAvgTimeToResponse = sumTimeToResponse / stats->lMsgsReceived;
    stats->dAvgReplyAge = sumReplyAge / stats->lMsgsReceived;
  }
  if (arrivals.sum > 0)
    stats->dArrivalRate = static_cast<double>(stats->lConfirmedArrivals) / static_cast<double>(arrivals.sum) * 1000.0;
  if (expiriesAndDeliveries.sum > 0)
    stats->dDeliveryRate = static_cast<double>(stats->lConfirmedDeliveries) /
                           static_cast<double>(expiriesAndDeliveries.sum) * 1000.0;
  DeletePcfMessage(msg);
  return Finish(args, reason);
}

int ping_terminate(PingArgs* args) {
  if (args->pQMgr) {
    DeleteMQManager(args->pQMgr);
    args->pQMgr = nullptr;
  }
  return 1;
}

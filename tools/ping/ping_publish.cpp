// Fact publishing: the ping indicators sent to a fact collector as one text of
// comma-separated name=value pairs, a UDP datagram (or a TCP line). The collector named by
// "VX_OUTPUT" is served in ping_publish_env_posix.cpp, the host name look-up behind a
// failed send in ping_platform_*.cpp.
#include <cmqc.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "vrqapi.h"
#include "vrqclnx.h"
#include "vrqping.h"

namespace {

constexpr size_t kFactTextSize = 6144;   // the report's fact text
constexpr size_t kMaxSendBytes = 25000;  // what one send carries at most
constexpr unsigned kFirstSendDelaySeconds = 3;

// Process-wide publisher state: the publisher in use and the TCP connection flags.
SocketRecord* remoteServer = nullptr;
bool bConnected = false;
bool bConnectFailureAnnounced = false;
bool bTrace = false;

constexpr const char* kReportFacts =
    "%s\\%s\\SUMMARY\\MINIMUM_ROUND_TRIP=%0.4f,%s\\%s\\SUMMARY\\MAXIMUM_ROUND_TRIP=%0.4f,"
    "%s\\%s\\SUMMARY\\AVERAGE_ROUND_TRIP=%0.4f,%s\\%s\\SUMMARY\\MESSAGES_SENT=%d,"
    "%s\\%s\\SUMMARY\\CONFIRMED_EXPIRIES=%d,%s\\%s\\SUMMARY\\CONFIRMED_DELIVERIES=%d,"
    "%s\\%s\\SUMMARY\\CONFIRMED_ARRIVALS=%d,%s\\%s\\SUMMARY\\CONFIRMED_EXCEPTIONS=%d,"
    "%s\\%s\\SUMMARY\\REPORTS_RECEIVED=%d,%s\\%s\\SUMMARY\\RESPONSES_RECEIVED=%d,"
    "%s\\%s\\SUMMARY\\MESSAGES_RECEIVED=%d,%s\\%s\\SUMMARY\\BYTES_SENT=%d,"
    "%s\\%s\\SUMMARY\\BYTES_RECEIVED=%d,%s\\%s\\SUMMARY\\RESPONSE_REQUEST_RATIO=%0.4f,"
    "%s\\%s\\SUMMARY\\AVERAGE_PROPAGATION_TIME=%0.4f,%s\\%s\\SUMMARY\\AVERAGE_REFLECTION_TIME=%0.4f,"
    "%s\\%s\\GENERAL\\TOTAL_PUT_TIME=%0.4f,%s\\%s\\GENERAL\\TOTAL_GET_TIME=%0.4f,"
    "%s\\%s\\GENERAL\\AVERAGE_PUT_RATE=%0.4f,%s\\%s\\GENERAL\\AVERAGE_PUT_BYTES_PER_SEC=%0.4f,"
    "%s\\%s\\GENERAL\\AVERAGE_GET_RATE=%0.4f,%s\\%s\\GENERAL\\AVERAGE_GET_BYTES_PER_SEC=%0.4f,"
    "%s\\%s\\GENERAL\\PUT_GET_RATIO=%0.4f,%s\\%s\\MESSAGE\\GROSS_ROUND_TRIP_RATE=%0.4f,"
    "%s\\%s\\MESSAGE\\GROSS_ROUND_BYTES_PER_SEC=%0.4f,%s\\%s\\MESSAGE\\EFFECTIVE_ROUND_TRIP_RATE=%0.4f,"
    "%s\\%s\\MESSAGE\\CONFIRMATION_OVERHEAD=%0.4f,%s\\%s\\MESSAGE\\AVERAGE_ARRIVAL_RATE=%0.4f,"
    "%s\\%s\\MESSAGE\\AVERAGE_DELIVERY_RATE=%0.4f,%s\\%s\\MESSAGE\\AVERAGE_MSG_LATENCY=%0.4f,"
    "%s\\%s\\MESSAGE\\AVERAGE_MSG_LATENCY_WITH_QDEPTH=%0.0f,%s\\%s\\MESSAGE\\MAXIMUM_MSG_LATENCY=%0.4f,"
    "%s\\%s\\MESSAGE\\MAXIMUM_MSG_LATENCY_WITH_QDEPTH=%d,%s\\%s\\TOTAL_BATCH_TIME=%0.4f,"
    "%s\\%s\\TEST_COMPLETION_CODE=%d";

// "\nHH:MM:SS " before the publisher's diagnostics.
void PrintTimePrefix() {
  time_t now = time(nullptr);
  char text[32] = {};
  ctime_r(&now, text);
  std::printf("\n%.8s ", text + 11);
}

template <size_t N>
void CopyText(char (&field)[N], std::string_view text) {
  size_t n = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

}  // namespace

SocketAddress PublishTarget(std::string_view host, std::string_view port, bool udp) {
  SocketAddress address{};
  CopyText(address.szHost, host);
  CopyText(address.szService, port);
  CopyText(address.szProtocol, udp ? "udp" : "tcp");
  address.ulPort = static_cast<uint32_t>(std::atoi(address.szService));
  return address;
}

// The text as it goes on the wire: ASCII, at most kMaxSendBytes bytes.
std::string PublishWireText(const char* text) {
  std::string_view view(text);
  if (view.size() > kMaxSendBytes) view = view.substr(0, kMaxSendBytes);
  std::string out(view);
  if (!IsAscText() && !out.empty()) {
    std::string converted(out.size(), '\0');
    TextConvert(out.data(), converted.data(), static_cast<int>(out.size()), 1);
    out = std::move(converted);
  }
  return out;
}

int PublishSend(SocketRecord* publisher, std::string& payload, SocketAddress* address) {
  Buffer buffer{};
  buffer.pBuffer = payload.data();
  buffer.lLength = static_cast<MQLONG>(payload.size());
  buffer.lSize = static_cast<MQLONG>(payload.size());
  errno = 0;
  publisher->lLastError = 0;
  return WriteSocket(publisher, &buffer, address);
}

SocketRecord* publishOpen(int udp) {
  auto* publisher = static_cast<SocketRecord*>(std::calloc(1, sizeof(SocketRecord)));
  if (bTrace) std::printf(udp ? "publishOpen: Open UDP socket" : "publishOpen: Open TCP socket");
  bool ok = publisher && (udp ? CreateUDPSocket(publisher) : CreateAnySocket(publisher, 2, 1));
  if (!ok) {
    PrintTimePrefix();
    std::fputs("publishOpen: failed to allocate socket\n", stderr);
    std::free(publisher);
    return nullptr;
  }
  if (bTrace) std::printf("publishOpen: return _sock_id=<%d>\n", publisher->iSocket);
  return publisher;
}

void publishClose(SocketRecord* publisher) {
  if (!publisher) return;
  if (bTrace) std::printf("publishClose: delete the socket <%d>\n", publisher->iSocket);
  DeleteSocket(publisher);
  std::free(publisher);
}

int publishFact(SocketRecord* publisher, const char* host, const char* port, const char* text, int udp) {
  if (!publisher || !text) return EINVAL;
  SocketAddress address = PublishTarget(host ? host : "", port ? port : "", udp != 0);
  if (!udp && !bConnected) {
    int status = ConnectSocket(publisher, &address);
    if (!status) {
      if (!bConnectFailureAnnounced) {
        int error = errno;
        PrintTimePrefix();
        std::printf(
            "publishFact: ConnectSocket to remote host failed, pSock=<%p> status=<%d>, pSock_error <%d>\n"
            "Will notify next when connection succeeds.\n",
            static_cast<void*>(publisher), status, publisher->lLastError);
        std::printf("Last errno: %s\n", std::strerror(error));
        bConnectFailureAnnounced = true;
      }
      return publisher->lLastError;
    }
    bConnected = true;
    bConnectFailureAnnounced = false;
    PrintTimePrefix();
    std::printf("publishFact: ConnectSocket call success");
    sleep(kFirstSendDelaySeconds);
  }
  std::string payload = PublishWireText(text);
  if (!udp) payload.push_back('\n');
  if (!PublishSend(publisher, payload, &address)) {
    int error = publisher->lLastError;
    const int systemError = errno;
    std::printf("ERROR: failed to write to host(service)=%s(%s), sock type %d, RC(%d)\n",
                address.szHost, address.szService, publisher->iType, error);
    // A host that cannot be looked up leaves no system error behind: its cause is the
    // look-up's own.
    std::string cause = systemError != 0 ? std::string() : HostLookupError(address.szHost);
    if (cause.empty()) cause = std::strerror(systemError != 0 ? systemError : error);
    std::printf("Description of last errno: %s\n", cause.c_str());
    bConnected = false;
    // A socket that failed is replaced by a fresh one of the same kind.
    if (remoteServer == publisher) {
      publishClose(publisher);
      remoteServer = publishOpen(udp);
    }
    return error ? error : EIO;
  }
  return 0;
}

std::string FormatReportFacts(const PingArgs& args, const PingStats& s, const PingIndicators& d, int reason) {
  const char* m = args.szQMgrName;
  const char* q = args.szQueueName;
  std::vector<char> text(kFactTextSize);
  int responses = s.lMsgsReceived - s.lReportsReceived;
  std::snprintf(text.data(), text.size(), kReportFacts,
                m, q, s.llMinRoundTrip / 1000.0, m, q, s.llMaxRoundTrip / 1000.0,
                m, q, s.dAvgRoundTrip / 1000.0, m, q, s.lMsgsSent,
                m, q, s.lConfirmedExpiries, m, q, s.lConfirmedDeliveries,
                m, q, s.lConfirmedArrivals, m, q, s.lOtherReports,
                m, q, s.lReportsReceived, m, q, responses,
                m, q, s.lMsgsReceived, m, q, s.lBytesSent,
                m, q, s.lBytesReceived, m, q, d.dResponseRequestRatio,
                m, q, s.dAvgTimeToResponse / 1000.0, m, q, s.dAvgReplyAge / 1000.0,
                m, q, s.llPutTime / 1000.0, m, q, s.llGetTime / 1000.0,
                m, q, d.dPutRate, m, q, d.dPutByteRate,
                m, q, d.dGetRate, m, q, d.dGetByteRate,
                m, q, d.dPutGetRatio * 100.0, m, q, d.dGrossRate,
                m, q, d.dGrossByteRate, m, q, d.dEffectiveRate,
                m, q, d.dOverheadPercent, m, q, s.dArrivalRate,
                m, q, s.dDeliveryRate, m, q, d.dAvgLatency,
                m, q, s.dArrivalRate, m, q, d.dMaxLatency,
                m, q, responses, m, q, s.llCycleTime / 1000.0,
                m, q, reason);
  return std::string(text.data());
}

int PublishReportFacts(const PingArgs& args, const PingStats& stats, const PingIndicators& d, int reason) {
  if (args.szHost[0] == '\0') return 0;
  remoteServer = publishOpen(1);
  if (!remoteServer) return EMFILE;
  std::string text = FormatReportFacts(args, stats, d, reason);
  const int error = publishFact(remoteServer, args.szHost, args.szPort, text.c_str(), 1);
  publishClose(remoteServer);
  remoteServer = nullptr;
  return error;
}

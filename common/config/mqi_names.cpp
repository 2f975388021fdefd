// Display names of MQ constant values for the MQI structure printers and diagnostics. A map
// that shows IBM's constant names lists the values it names and takes each name from IBM's
// value-to-name functions through MqValueName; a map with the toolkit's own short names is a
// table of {value, name} rows. The maps differ only in their values and in what they write
// for a value they do not hold.
#include <vrqapi.h>

#include <cmqc.h>
#include <cmqxc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>

#include "value_names.h"

namespace {

using vrq::FindName;
using vrq::ValueName;

// The values a map names with IBM's names for them, of one family of constants.
struct IbmNames {
  std::span<const MQLONG> values;
  const char* family;
};

const char* FindName(const IbmNames& map, MQLONG value) {
  return std::ranges::find(map.values, value) != map.values.end() ? MqValueName(map.family, value)
                                                                   : nullptr;
}

char* Write(char* out, const char* text) {
  std::snprintf(out, VRQ_MQ_VALUE_NAME_SIZE, "%s", text);
  return out;
}

char* WriteNumber(char* out, const char* format, MQLONG value) {
  std::snprintf(out, VRQ_MQ_VALUE_NAME_SIZE, format, static_cast<int>(value));
  return out;
}

// The name from the map, else the value formatted by format.
template <typename Map>
char* NameOr(const Map& map, MQLONG value, char* out, const char* format) {
  if (out == nullptr) return nullptr;
  const char* name = FindName(map, value);
  return name != nullptr ? Write(out, name) : WriteNumber(out, format, value);
}

constexpr const char* kDecimal = "%d";

constexpr ValueName kMsgTypeShort[] = {
    {MQMT_REQUEST, "REQUEST"}, {MQMT_REPLY, "REPLY"}, {MQMT_REPORT, "REPORT"},
    {MQMT_DATAGRAM, "DATAGRAM"}};

constexpr MQLONG kMsgTypeFullValues[] = {
    MQMT_REQUEST, MQMT_REPLY, MQMT_REPORT, MQMT_DATAGRAM,
};
constexpr IbmNames kMsgTypeFull{kMsgTypeFullValues, "MQMT"};

constexpr ValueName kReport[] = {{MQRO_NONE, "NONE"}};

// Feedback codes with a name. The two IMS range bounds are names of MapFeedback only.
constexpr MQLONG kFeedbackValues[] = {
    MQFB_NONE, MQFB_QUIT, MQFB_EXPIRATION, MQFB_COA, MQFB_COD, MQFB_CHANNEL_COMPLETED,
    MQFB_CHANNEL_FAIL_RETRY, MQFB_CHANNEL_FAIL, MQFB_APPL_CANNOT_BE_STARTED, MQFB_TM_ERROR,
    MQFB_APPL_TYPE_ERROR, MQFB_STOPPED_BY_MSG_EXIT, MQFB_XMIT_Q_MSG_ERROR, MQFB_PAN, MQFB_NAN,
    MQFB_STOPPED_BY_CHAD_EXIT, MQFB_STOPPED_BY_PUBSUB_EXIT, MQFB_NOT_A_REPOSITORY_MSG,
    MQFB_BIND_OPEN_CLUSRCVR_DEL, MQFB_DATA_LENGTH_ZERO, MQFB_DATA_LENGTH_NEGATIVE,
    MQFB_DATA_LENGTH_TOO_BIG, MQFB_BUFFER_OVERFLOW, MQFB_LENGTH_OFF_BY_ONE, MQFB_IIH_ERROR,
    MQFB_NOT_AUTHORIZED_FOR_IMS, MQFB_IMS_ERROR, MQFB_IMS_FIRST, MQFB_IMS_LAST,
    MQFB_CICS_INTERNAL_ERROR, MQFB_CICS_NOT_AUTHORIZED, MQFB_CICS_BRIDGE_FAILURE,
    MQFB_CICS_CORREL_ID_ERROR, MQFB_CICS_CCSID_ERROR, MQFB_CICS_ENCODING_ERROR,
    MQFB_CICS_CIH_ERROR, MQFB_CICS_UOW_ERROR, MQFB_CICS_COMMAREA_ERROR,
    MQFB_CICS_APPL_NOT_STARTED, MQFB_CICS_APPL_ABENDED, MQFB_CICS_DLQ_ERROR,
    MQFB_CICS_UOW_BACKED_OUT,
};
constexpr IbmNames kFeedback{kFeedbackValues, "MQFB"};

constexpr std::string_view kFeedbackPrefix = "MQFB_";
constexpr const char* kFeedbackOther = "RC %d";

constexpr ValueName kPutApplType[] = {
    {MQAT_UNKNOWN, "UNKNOWN"},         {MQAT_NO_CONTEXT, "NO CONTEXT"},
    {MQAT_CICS, "CICS"},               {MQAT_MVS, "MVS"},
    {MQAT_IMS, "IMS"},                 {MQAT_OS2, "OS2"},
    {MQAT_DOS, "DOS"},                 {MQAT_UNIX, "UNIX"},
    {MQAT_QMGR, "QMGR"},               {MQAT_OS400, "OS400"},
    {MQAT_WINDOWS, "WINDOWS"},         {MQAT_CICS_VSE, "CICS VSE"},
    {MQAT_WINDOWS_NT, "WINNT"},        {MQAT_VMS, "VMS"},
    {MQAT_NSK, "GUARDIAN"},            {MQAT_VOS, "VOS"},
    {MQAT_IMS_BRIDGE, "IMS BRIDGE"},   {MQAT_XCF, "XCF"},
    {MQAT_CICS_BRIDGE, "CICS BRIDGE"}, {MQAT_NOTES_AGENT, "NOTES AGENT"},
    {MQAT_USER, "USER"},               {MQAT_BROKER, "BROKER"},
    {MQAT_JAVA, "JAVA"},               {MQAT_DQM, "DQM"},
    {MQAT_CHANNEL_INITIATOR, "CHANNEL INITIATOR"},
};

constexpr MQLONG kObjTypeFullValues[] = {
    MQOT_Q, MQOT_NAMELIST, MQOT_PROCESS, MQOT_STORAGE_CLASS, MQOT_Q_MGR, MQOT_CHANNEL,
    MQOT_AUTH_INFO, MQOT_TOPIC, MQOT_CF_STRUC, MQOT_LISTENER, MQOT_SERVICE, MQOT_ALL,
    MQOT_ALIAS_Q, MQOT_MODEL_Q, MQOT_LOCAL_Q, MQOT_REMOTE_Q, MQOT_SENDER_CHANNEL,
    MQOT_SERVER_CHANNEL, MQOT_REQUESTER_CHANNEL, MQOT_RECEIVER_CHANNEL, MQOT_CURRENT_CHANNEL,
    MQOT_SAVED_CHANNEL, MQOT_SVRCONN_CHANNEL, MQOT_CLNTCONN_CHANNEL, MQOT_SHORT_CHANNEL,
};
constexpr IbmNames kObjTypeFull{kObjTypeFullValues, "MQOT"};

constexpr const char* kObjTypeOther = "UNKNOWN VALUE %d";

constexpr ValueName kObjTypeShort[] = {
    {MQOT_Q, "QUEUE"},       {MQOT_NAMELIST, "NAMELIST"},   {MQOT_PROCESS, "PROCESS"},
    {MQOT_STORAGE_CLASS, "STORAGE_CLASS"},                  {MQOT_Q_MGR, "QMGR"},
    {MQOT_CHANNEL, "CHANNEL"}, {MQOT_AUTH_INFO, "AUTH_INFO"}, {MQOT_TOPIC, "TOPIC"},
    {MQOT_CF_STRUC, "CF_STRUC"}, {MQOT_LISTENER, "LISTENER"}, {MQOT_SERVICE, "SERVICE"},
};

constexpr MQLONG kPersistenceValues[] = {
    MQPER_NOT_PERSISTENT, MQPER_PERSISTENT, MQPER_PERSISTENCE_AS_Q_DEF,
};
constexpr IbmNames kPersistence{kPersistenceValues, "MQPER"};

constexpr const char* kUnknown = "UNKNOWN";

constexpr MQLONG kExitIdValues[] = {
    MQXT_API_EXIT, MQXT_CHANNEL_SEC_EXIT, MQXT_CHANNEL_MSG_EXIT, MQXT_CHANNEL_SEND_EXIT,
    MQXT_CHANNEL_RCV_EXIT, MQXT_CHANNEL_MSG_RETRY_EXIT, MQXT_CHANNEL_AUTO_DEF_EXIT,
    MQXT_CLUSTER_WORKLOAD_EXIT, MQXT_PUBSUB_ROUTING_EXIT,
};
constexpr IbmNames kExitId{kExitIdValues, "MQXT"};

constexpr MQLONG kExitReasonValues[] = {
    MQXR_BEFORE, MQXR_AFTER, MQXR_CONNECTION, MQXR_INIT, MQXR_TERM, MQXR_MSG, MQXR_XMIT,
    MQXR_SEC_MSG, MQXR_INIT_SEC, MQXR_RETRY, MQXR_AUTO_CLUSSDR, MQXR_AUTO_RECEIVER,
    MQXR_CLWL_OPEN, MQXR_CLWL_PUT, MQXR_CLWL_MOVE, MQXR_CLWL_REPOS, MQXR_CLWL_REPOS_MOVE,
    MQXR_END_BATCH, MQXR_ACK_RECEIVED, MQXR_AUTO_SVRCONN, MQXR_AUTO_CLUSRCVR,
};
constexpr IbmNames kExitReason{kExitReasonValues, "MQXR"};

constexpr MQLONG kExitResponseValues[] = {
    MQXCC_FAILED, MQXCC_CLOSE_CHANNEL, MQXCC_SUPPRESS_EXIT, MQXCC_SEND_SEC_MSG,
    MQXCC_SEND_AND_REQUEST_SEC_MSG, MQXCC_SKIP_FUNCTION, MQXCC_SUPPRESS_FUNCTION, MQXCC_OK,
};
constexpr IbmNames kExitResponse{kExitResponseValues, "MQXCC"};

constexpr MQLONG kExitResponse2Values[] = {
    MQXR2_DEFAULT_CONTINUATION, MQXR2_PUT_WITH_DEF_USERID, MQXR2_PUT_WITH_MSG_USERID,
    MQXR2_USE_EXIT_BUFFER, MQXR2_CONTINUE_CHAIN, MQXR2_SUPPRESS_CHAIN, MQXR2_DYNAMIC_CACHE,
};
constexpr IbmNames kExitResponse2{kExitResponse2Values, "MQXR2"};

constexpr MQLONG kApiCallerTypeValues[] = {
    MQXACT_EXTERNAL, MQXACT_INTERNAL,
};
constexpr IbmNames kApiCallerType{kApiCallerTypeValues, "MQXACT"};

// Function identifiers of the API exit (MQXF_* values) with the display names of the calls.
constexpr ValueName kFunctionId[] = {
    {MQXF_INIT, "MQINIT"},   {MQXF_TERM, "MQTERM"},   {MQXF_CONN, "MQCONN"},
    {MQXF_CONNX, "MQCONNX"}, {MQXF_DISC, "MQDISC"},   {MQXF_OPEN, "MQOPEN"},
    {MQXF_CLOSE, "MQCLOSE"}, {MQXF_PUT1, "MQPUT1"},   {MQXF_PUT, "MQPUT"},
    {MQXF_GET, "MQGET"},     {MQXF_DATA_CONV_ON_GET, "MQDATA_CONV_ON_GET"},
    {MQXF_INQ, "MQINQ"},     {MQXF_SET, "MQSET"},     {MQXF_BEGIN, "MQBEGIN"},
    {MQXF_CMIT, "MQCMIT"},   {MQXF_BACK, "MQBACK"},   {MQXF_CALLBACK, "MQCALLBACK"},
};

constexpr ValueName kChannelType[] = {
    {MQCHT_SENDER, "SENDER"},     {MQCHT_SERVER, "SERVER"},   {MQCHT_RECEIVER, "RECEIVER"},
    {MQCHT_REQUESTER, "REQUESTER"}, {MQCHT_CLNTCONN, "CLNTCONN"}, {MQCHT_SVRCONN, "SVRCONN"},
    {MQCHT_CLUSRCVR, "CLUSRCVR"}, {MQCHT_CLUSSDR, "CLUSSDR"},
};

constexpr MQLONG kEnvironmentValues[] = {
    MQXE_OTHER, MQXE_MCA, MQXE_MCA_SVRCONN, MQXE_COMMAND_SERVER, MQXE_MQSC,
};
constexpr IbmNames kEnvironment{kEnvironmentValues, "MQXE"};

}  // namespace

extern "C" {

VRQAPI_API char* MsgType(MQLONG value, char* out) {
  return NameOr(kMsgTypeShort, value, out, kDecimal);
}

VRQAPI_API char* Report(MQLONG value, char* out) { return NameOr(kReport, value, out, kDecimal); }

VRQAPI_API char* Feedback(MQLONG value, char* out) {
  if (out == nullptr) return nullptr;
  const char* name =
      value == MQFB_IMS_FIRST || value == MQFB_IMS_LAST ? nullptr : FindName(kFeedback, value);
  if (name == nullptr) return WriteNumber(out, kFeedbackOther, value);
  Write(out, name + kFeedbackPrefix.size());
  for (char* p = out; *p != '\0'; ++p)
    if (*p == '_') *p = ' ';
  return out;
}

VRQAPI_API char* PutApplType(MQLONG value, char* out) {
  return NameOr(kPutApplType, value, out, kDecimal);
}

VRQAPI_API char* MqObjTypeStr(MQLONG value, char* out) {
  return NameOr(kObjTypeFull, value, out, kObjTypeOther);
}

VRQAPI_API char* PersistanceType(MQLONG value, char* out) {
  if (out == nullptr) return nullptr;
  const char* name = FindName(kPersistence, value);
  return Write(out, name != nullptr ? name : kUnknown);
}

VRQAPI_API char* MapExitId(MQLONG value, char* out) {
  return NameOr(kExitId, value, out, kDecimal);
}

VRQAPI_API char* MapExitReason(MQLONG value, char* out) {
  return NameOr(kExitReason, value, out, kDecimal);
}

VRQAPI_API char* MapExitResponse(MQLONG value, char* out) {
  return NameOr(kExitResponse, value, out, kDecimal);
}

VRQAPI_API char* MapExitResponse2(MQLONG value, char* out) {
  return NameOr(kExitResponse2, value, out, kDecimal);
}

VRQAPI_API char* APICallerType(MQLONG value, char* out) {
  return NameOr(kApiCallerType, value, out, kDecimal);
}

VRQAPI_API char* MapFeedback(MQLONG value, char* out) {
  // The IMS range bounds have names of their own here, which IBM's table does not give.
  if (out != nullptr && value == MQFB_IMS_FIRST) return Write(out, "MQFB_IMS_FIRST");
  if (out != nullptr && value == MQFB_IMS_LAST) return Write(out, "MQFB_IMS_LAST");
  return NameOr(kFeedback, value, out, kDecimal);
}

VRQAPI_API char* MapReason(MQLONG value, char* out) {
  if (out == nullptr) return nullptr;
  const char* name = MqValueName("MQRC", value);
  return name != nullptr ? Write(out, name) : WriteNumber(out, kDecimal, value);
}

VRQAPI_API char* MapFunctionId(MQLONG value, char* out) {
  return NameOr(kFunctionId, value, out, kDecimal);
}

VRQAPI_API char* MapChannelType(MQLONG value, char* out) {
  return NameOr(kChannelType, value, out, kDecimal);
}

VRQAPI_API char* MapEnvironment(MQLONG value, char* out) {
  return NameOr(kEnvironment, value, out, kDecimal);
}

VRQAPI_API const char* MapMsgType(MQLONG value) {
  const char* name = FindName(kMsgTypeFull, value);
  return name != nullptr ? name : "MQMT_UNKNOWN";
}

VRQAPI_API const char* MapObjType(MQLONG value) {
  const char* name = FindName(kObjTypeShort, value);
  return name != nullptr ? name : kUnknown;
}

}  // extern "C"

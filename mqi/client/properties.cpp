// Message handles and message properties: MQCRTMH, MQDLTMH and MQINQMP over a table of
// handles, each holding the properties of the last message got with it (the queue manager
// takes them out of the message's MQRFH2 header when MQGET names a handle).
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>
#include <vector>

#include <cmqc.h>

#include "connection.h"

namespace vrqsim::client {

namespace {

struct MsgHandle {
  MQHCONN hconn = MQHC_UNASSOCIATED_HCONN;
  Properties props;
  size_t cursor = 0;   // next property for MQIMPO_INQ_NEXT
};

std::mutex g_mu;
std::map<MQHMSG, MsgHandle> g_handles;
MQHMSG g_next = 1;

bool NameMatches(std::string_view pattern, std::string_view name) {
  if (pattern.substr(0, 4) == "usr.") pattern.remove_prefix(4);
  if (!pattern.empty() && pattern.back() == '%') return name.substr(0, pattern.size() - 1) == pattern.substr(0, pattern.size() - 1);
  return pattern == name;
}

}  // namespace

bool HandleUsable(MQHMSG hmsg, MQHCONN hconn) {
  std::lock_guard lock(g_mu);
  auto it = g_handles.find(hmsg);
  return it != g_handles.end() && (it->second.hconn == MQHC_UNASSOCIATED_HCONN || it->second.hconn == hconn);
}

bool SetHandleProperties(MQHMSG hmsg, MQHCONN hconn, Properties props) {
  std::lock_guard lock(g_mu);
  auto it = g_handles.find(hmsg);
  if (it == g_handles.end() || (it->second.hconn != MQHC_UNASSOCIATED_HCONN && it->second.hconn != hconn)) return false;
  it->second.props = std::move(props);
  it->second.cursor = 0;
  return true;
}

void ForgetHandles(MQHCONN hconn) {
  std::lock_guard lock(g_mu);
  std::erase_if(g_handles, [&](const auto& h) { return h.second.hconn == hconn; });
}

}  // namespace vrqsim::client

using namespace vrqsim;
using namespace vrqsim::client;

namespace {

void Result(PMQLONG cc, PMQLONG rc, MQLONG c, MQLONG r) {
  if (cc) *cc = c;
  if (rc) *rc = r;
}

}  // namespace

MQI_EXPORT void MQCRTMH(MQHCONN Hconn, PMQVOID pCrtMsgHOpts, PMQHMSG pHmsg, PMQLONG pCompCode, PMQLONG pReason) {
  const auto* opts = static_cast<const MQCMHO*>(pCrtMsgHOpts);
  if (!opts || std::memcmp(opts->StrucId, MQCMHO_STRUC_ID, 4) != 0) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_CMHO_ERROR);
  if (!pHmsg) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
  if (Hconn != MQHC_UNASSOCIATED_HCONN && !FindConnection(Hconn)) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HCONN_ERROR);
  try {
    std::lock_guard lock(g_mu);
    *pHmsg = g_next++;
    g_handles[*pHmsg].hconn = Hconn;
  } catch (...) {
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_RESOURCE_PROBLEM);
  }
  Result(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

MQI_EXPORT void MQDLTMH(MQHCONN Hconn, PMQHMSG pHmsg, PMQVOID pDltMsgHOpts, PMQLONG pCompCode, PMQLONG pReason) {
  const auto* opts = static_cast<const MQDMHO*>(pDltMsgHOpts);
  if (!opts || std::memcmp(opts->StrucId, MQDMHO_STRUC_ID, 4) != 0) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_DMHO_ERROR);
  if (!pHmsg) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
  std::lock_guard lock(g_mu);
  auto it = g_handles.find(*pHmsg);
  if (it == g_handles.end() || (it->second.hconn != MQHC_UNASSOCIATED_HCONN && it->second.hconn != Hconn))
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
  g_handles.erase(it);
  *pHmsg = MQHM_UNUSABLE_HMSG;
  Result(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

MQI_EXPORT void MQINQMP(MQHCONN Hconn, MQHMSG Hmsg, PMQVOID pInqPropOpts, PMQVOID pName, PMQVOID pPropDesc,
                        PMQLONG pType, MQLONG ValueLength, PMQVOID pValue, PMQLONG pDataLength, PMQLONG pCompCode,
                        PMQLONG pReason) {
  auto* opts = static_cast<MQIMPO*>(pInqPropOpts);
  if (!opts || std::memcmp(opts->StrucId, MQIMPO_STRUC_ID, 4) != 0) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_IMPO_ERROR);
  const auto* pd = static_cast<const MQPD*>(pPropDesc);
  if (!pd || std::memcmp(pd->StrucId, MQPD_STRUC_ID, 4) != 0) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PD_ERROR);
  const auto* name = static_cast<const MQCHARV*>(pName);
  if (!name) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_NAME_ERROR);
  const char* text = name->VSPtr ? static_cast<const char*>(name->VSPtr)
                                 : reinterpret_cast<const char*>(name) + name->VSOffset;
  if ((!name->VSPtr && name->VSOffset <= 0) || name->VSLength < MQVS_NULL_TERMINATED || name->VSLength > 4095)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_NAME_LENGTH_ERR);
  const std::string_view pattern(text, name->VSLength == MQVS_NULL_TERMINATED ? strnlen(text, 4095)
                                                                             : static_cast<size_t>(name->VSLength));
  if (!pType || !pDataLength || ValueLength < 0 || (ValueLength > 0 && !pValue))
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_ERROR);
  std::lock_guard lock(g_mu);
  auto it = g_handles.find(Hmsg);
  if (it == g_handles.end() || (it->second.hconn != MQHC_UNASSOCIATED_HCONN && it->second.hconn != Hconn))
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
  MsgHandle& h = it->second;
  const size_t start = (opts->Options & MQIMPO_INQ_NEXT) ? h.cursor : 0;
  size_t i = start;
  while (i < h.props.size() && !NameMatches(pattern, h.props[i].first)) ++i;
  if (i >= h.props.size()) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_NOT_AVAILABLE);
  h.cursor = i + 1;
  const auto& [prop_name, value] = h.props[i];
  if (opts->ReturnedName.VSPtr && opts->ReturnedName.VSBufSize > 0) {
    const size_t n = std::min(prop_name.size(), static_cast<size_t>(opts->ReturnedName.VSBufSize));
    std::memcpy(opts->ReturnedName.VSPtr, prop_name.data(), n);
    opts->ReturnedName.VSLength = static_cast<MQLONG>(prop_name.size());
  }
  *pType = MQTYPE_STRING;
  *pDataLength = static_cast<MQLONG>(value.size());
  if (value.size() > static_cast<size_t>(ValueLength)) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_VALUE_TOO_BIG);
  if (!value.empty()) std::memcpy(pValue, value.data(), value.size());
  Result(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

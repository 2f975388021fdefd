// MQSUB and MQSUBRQ: the caller's side checks of the subscription descriptor and of the
// subscription request options; the queue manager keeps the subscriptions.
#include <cstring>

#include <cmqc.h>

#include "charv.h"
#include "connection.h"

using namespace vrqsim;
using namespace vrqsim::client;

namespace {

constexpr MQLONG kSubOptions =
    MQSO_ALTER | MQSO_CREATE | MQSO_RESUME | MQSO_DURABLE | MQSO_GROUP_SUB | MQSO_MANAGED |
    MQSO_SET_IDENTITY_CONTEXT | MQSO_NO_MULTICAST | MQSO_FIXED_USERID | MQSO_ANY_USERID |
    MQSO_PUBLICATIONS_ON_REQUEST | MQSO_NEW_PUBLICATIONS_ONLY | MQSO_FAIL_IF_QUIESCING |
    MQSO_ALTERNATE_USER_AUTHORITY | MQSO_WILDCARD_CHAR | MQSO_WILDCARD_TOPIC | MQSO_SET_CORREL_ID |
    MQSO_SCOPE_QMGR | MQSO_NO_READ_AHEAD | MQSO_READ_AHEAD;

}  // namespace

MQI_EXPORT void MQSUB(MQHCONN Hconn, PMQVOID pSubDesc, PMQHOBJ pHobj, PMQHOBJ pHsub, PMQLONG pCompCode,
                      PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  auto* sd = static_cast<MQSD*>(pSubDesc);
  if (!sd || !StrucIs(sd->StrucId, MQSD_STRUC_ID) || sd->Version != MQSD_VERSION_1)
    return (void)Fail(pCompCode, pReason, MQRC_SD_ERROR);
  if (!pHobj || !pHsub) return (void)Fail(pCompCode, pReason, MQRC_HOBJ_ERROR);
  const MQLONG o = sd->Options;
  if ((o & ~kSubOptions) || !(o & (MQSO_CREATE | MQSO_RESUME | MQSO_ALTER)) ||
      ((o & MQSO_WILDCARD_CHAR) && (o & MQSO_WILDCARD_TOPIC)) ||
      ((o & MQSO_READ_AHEAD) && (o & MQSO_NO_READ_AHEAD)) || ((o & MQSO_FIXED_USERID) && (o & MQSO_ANY_USERID)))
    return (void)Fail(pCompCode, pReason, MQRC_OPTIONS_ERROR);
  if (o & (MQSO_GROUP_SUB | MQSO_SET_IDENTITY_CONTEXT)) return (void)Fail(pCompCode, pReason, MQRC_FUNCTION_NOT_SUPPORTED);
  if (sd->SubExpiry <= 0 && sd->SubExpiry != MQEI_UNLIMITED) return (void)Fail(pCompCode, pReason, MQRC_EXPIRY_ERROR);
  if (sd->PubPriority < MQPRI_PRIORITY_AS_PUBLISHED || sd->PubPriority > 9)
    return (void)Fail(pCompCode, pReason, MQRC_PRIORITY_ERROR);
  SubRequest req;
  if (!ReadCharv(sd->ObjectString, sd, MQ_TOPIC_STR_LENGTH, req.topic)) return (void)Fail(pCompCode, pReason, MQRC_TOPIC_STRING_ERROR);
  if (!ReadCharv(sd->SubName, sd, MQ_TOPIC_STR_LENGTH, req.sub_name)) return (void)Fail(pCompCode, pReason, MQRC_SUB_NAME_ERROR);
  if (!ReadCharv(sd->SubUserData, sd, MQ_TOPIC_STR_LENGTH, req.user_data)) return (void)Fail(pCompCode, pReason, MQRC_SUB_USER_DATA_ERROR);
  std::string selection;
  if (!ReadCharv(sd->SelectionString, sd, MQ_TOPIC_STR_LENGTH, selection)) return (void)Fail(pCompCode, pReason, MQRC_SELECTION_STRING_ERROR);
  if (!selection.empty()) return (void)Fail(pCompCode, pReason, MQRC_SELECTION_NOT_AVAILABLE);
  if ((o & MQSO_DURABLE) && req.sub_name.empty()) return (void)Fail(pCompCode, pReason, MQRC_SUB_NAME_ERROR);
  req.options = o;
  req.object_name = Trimmed(sd->ObjectName);
  req.destination = (o & MQSO_MANAGED) ? MQHO_NONE : *pHobj;
  req.correl_id.assign(reinterpret_cast<const char*>(sd->SubCorrelId), sizeof sd->SubCorrelId);
  req.priority = sd->PubPriority;
  req.expiry = sd->SubExpiry;
  SubReply reply;
  try {
    if (MQLONG e = Call(*c, Op::Sub, req, reply)) return (void)Fail(pCompCode, pReason, e);
  } catch (...) {
    return (void)Fail(pCompCode, pReason, MQRC_RESOURCE_PROBLEM);
  }
  if (reply.cc != MQCC_FAILED) {
    *pHsub = reply.hsub;
    if (o & MQSO_MANAGED) {
      *pHobj = reply.hobj;
      std::lock_guard lock(c->state_mu);
      c->queues[reply.hobj] = reply.object_name;
    }
    if (reply.correl_id.size() == sizeof sd->SubCorrelId) std::memcpy(sd->SubCorrelId, reply.correl_id.data(), sizeof sd->SubCorrelId);
    WriteCharv(sd->ResObjectString, sd, reply.topic);
  } else {
    *pHsub = MQHO_UNUSABLE_HOBJ;
  }
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQSUBRQ(MQHCONN Hconn, MQHOBJ Hsub, MQLONG Action, PMQVOID pSubRqOpts, PMQLONG pCompCode,
                        PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  if (Action != MQSR_ACTION_PUBLICATION) return (void)Fail(pCompCode, pReason, MQRC_ACTION_ERROR);
  auto* sro = static_cast<MQSRO*>(pSubRqOpts);
  if (sro && (!StrucIs(sro->StrucId, MQSRO_STRUC_ID) || sro->Version != MQSRO_VERSION_1))
    return (void)Fail(pCompCode, pReason, MQRC_SRO_ERROR);
  if (sro && (sro->Options & ~MQSRO_FAIL_IF_QUIESCING)) return (void)Fail(pCompCode, pReason, MQRC_OPTIONS_ERROR);
  SubRqReply reply;
  if (MQLONG e = Call(*c, Op::SubRq, SubRqRequest{Hsub, Action}, reply)) return (void)Fail(pCompCode, pReason, e);
  if (sro && reply.cc != MQCC_FAILED) sro->NumPubs = reply.publications;
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

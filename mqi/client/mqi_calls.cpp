// The MQI entry points of libmqm_r: argument checks the MQI makes on the caller's side
// (structure identifiers and versions, lengths, null pointers), then one request to the
// queue manager over the connection's socket. Descriptors travel as full version-2 MQMDs;
// only the caller's version of each structure is read and written.
#include <algorithm>
#include <climits>
#include <cstring>

#include <cmqc.h>

#include "client_platform.h"
#include "connection.h"
#include "platform.h"
#include "qm_dir.h"
#include "socket_io.h"

using namespace vrqsim;
using namespace vrqsim::client;

namespace {

thread_local MQHCONN t_hconn = MQHC_UNUSABLE_HCONN;

bool Report(PMQLONG cc, PMQLONG rc, MQLONG c, MQLONG r) {
  if (cc) *cc = c;
  if (rc) *rc = r;
  return c != MQCC_FAILED;
}

bool Fail(PMQLONG cc, PMQLONG rc, MQLONG r) { return Report(cc, rc, MQCC_FAILED, r); }

template <size_t N>
bool StrucIs(const char (&id)[N], const char* expected) {
  return std::memcmp(id, expected, N) == 0;
}

// The caller's MQMD as a full version-2 descriptor; false when it is not an MQMD.
bool LoadMd(const void* p, MQMD& md) {
  if (!p) return false;
  const auto* in = static_cast<const MQMD*>(p);
  if (!StrucIs(in->StrucId, MQMD_STRUC_ID) || in->Version < MQMD_VERSION_1 || in->Version > MQMD_VERSION_2)
    return false;
  md = {MQMD_DEFAULT};
  std::memcpy(&md, in, in->Version == MQMD_VERSION_1 ? MQMD_LENGTH_1 : sizeof(MQMD));
  return true;
}

void StoreMd(void* p, const MQMD& md) {
  auto* out = static_cast<MQMD*>(p);
  const MQLONG version = out->Version;
  std::memcpy(out, &md, version == MQMD_VERSION_1 ? MQMD_LENGTH_1 : sizeof(MQMD));
  out->Version = version;
}

bool LoadOd(const void* p, ObjectRef& ref) {
  if (!p) return false;
  const auto* od = static_cast<const MQOD*>(p);
  if (!StrucIs(od->StrucId, MQOD_STRUC_ID) || od->Version < MQOD_VERSION_1 || od->Version > MQOD_VERSION_4)
    return false;
  ref = {};
  ref.type = od->ObjectType;
  std::memcpy(ref.name, od->ObjectName, 48);
  std::memcpy(ref.qmgr, od->ObjectQMgrName, 48);
  std::memcpy(ref.dynamic, od->DynamicQName, 48);
  std::memcpy(ref.alternate_user, od->AlternateUserId, 12);
  return true;
}

const MQPMO* LoadPmo(const void* p) {
  const auto* pmo = static_cast<const MQPMO*>(p);
  if (!pmo || !StrucIs(pmo->StrucId, MQPMO_STRUC_ID) || pmo->Version < MQPMO_VERSION_1 ||
      pmo->Version > MQPMO_VERSION_3)
    return nullptr;
  return pmo;
}

// Checks shared by MQPUT and MQPUT1; fills the request's descriptor and options.
bool PreparePut(PutRequest& req, PMQVOID pMsgDesc, PMQVOID pPutMsgOpts, MQLONG BufferLength,
                PMQVOID pBuffer, PMQLONG cc, PMQLONG rc) {
  if (!LoadMd(pMsgDesc, req.md)) return Fail(cc, rc, MQRC_MD_ERROR);
  const MQPMO* pmo = LoadPmo(pPutMsgOpts);
  if (!pmo) return Fail(cc, rc, MQRC_PMO_ERROR);
  if (BufferLength < 0) return Fail(cc, rc, MQRC_BUFFER_LENGTH_ERROR);
  if (BufferLength > 0 && !pBuffer) return Fail(cc, rc, MQRC_BUFFER_ERROR);
  if (static_cast<uint32_t>(BufferLength) > kMaxMsgLength) return Fail(cc, rc, MQRC_MSG_TOO_BIG_FOR_Q_MGR);
  req.options = pmo->Options;
  req.context = pmo->Context;
  const auto* data = static_cast<const uint8_t*>(pBuffer);
  req.data.assign(data, data + BufferLength);
  return true;
}

bool FinishPut(const PutReply& reply, PMQVOID pMsgDesc, PMQLONG cc, PMQLONG rc) {
  if (reply.cc != MQCC_FAILED) StoreMd(pMsgDesc, reply.md);
  return Report(cc, rc, reply.cc, reply.rc);
}

std::shared_ptr<Connection> Connected(MQHCONN hconn, PMQLONG cc, PMQLONG rc) {
  auto c = FindConnection(hconn);
  if (!c) Fail(cc, rc, MQRC_HCONN_ERROR);
  return c;
}

}  // namespace

MQI_EXPORT void MQCONN(PMQCHAR pQMgrName, PMQHCONN pHconn, PMQLONG pCompCode, PMQLONG pReason) {
  if (!pHconn) {
    Fail(pCompCode, pReason, MQRC_HCONN_ERROR);
    return;
  }
  std::string name = pQMgrName ? Trimmed(pQMgrName, strnlen(pQMgrName, MQ_Q_MGR_NAME_LENGTH)) : "";
  try {
    if (auto current = FindConnection(t_hconn)) {
      if (!name.empty() && name != current->qmgr) {
        *pHconn = MQHC_UNUSABLE_HCONN;
        Fail(pCompCode, pReason, MQRC_ANOTHER_Q_MGR_CONNECTED);
        return;
      }
      *pHconn = t_hconn;
      Report(pCompCode, pReason, MQCC_WARNING, MQRC_ALREADY_CONNECTED);
      return;
    }
    *pHconn = MQHC_UNUSABLE_HCONN;
    if (name.empty()) name = DefaultQmName().value_or("");
    if (!ValidObjectName(name) || !QueueManagerExists(name)) {
      Fail(pCompCode, pReason, MQRC_Q_MGR_NAME_ERROR);
      return;
    }
    auto c = std::make_shared<Connection>();
    c->fd = ConnectQueueManager(name);
    if (c->fd < 0) {
      Fail(pCompCode, pReason, MQRC_Q_MGR_NOT_AVAILABLE);
      return;
    }
    ConnReply reply;
    if (!Call(*c, Op::Conn, ConnRequest{ProgramName(), UserName(), name}, reply) || reply.cc == MQCC_FAILED) {
      CloseSocket(c->fd);
      Fail(pCompCode, pReason, reply.cc == MQCC_FAILED ? reply.rc : MQRC_Q_MGR_NOT_AVAILABLE);
      return;
    }
    c->qmgr = reply.qmgr;
    t_hconn = *pHconn = AddConnection(c);
    Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
  } catch (...) {
    Fail(pCompCode, pReason, MQRC_RESOURCE_PROBLEM);
  }
}

MQI_EXPORT void MQDISC(PMQHCONN pHconn, PMQLONG pCompCode, PMQLONG pReason) {
  if (!pHconn) {
    Fail(pCompCode, pReason, MQRC_HCONN_ERROR);
    return;
  }
  auto c = RemoveConnection(*pHconn);
  if (!c) {
    Fail(pCompCode, pReason, MQRC_HCONN_ERROR);
    return;
  }
  if (t_hconn == *pHconn) t_hconn = MQHC_UNUSABLE_HCONN;
  ForgetHandles(*pHconn);
  *pHconn = MQHC_UNUSABLE_HCONN;
  StatusReply reply;
  const bool ok = Call(*c, Op::Disc, NoArguments{}, reply);
  CloseSocket(c->fd);
  if (!ok) {
    Fail(pCompCode, pReason, MQRC_CONNECTION_BROKEN);
    return;
  }
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQOPEN(MQHCONN Hconn, PMQVOID pObjDesc, MQLONG Options, PMQHOBJ pHobj, PMQLONG pCompCode,
                       PMQLONG pReason) {
  auto c = Connected(Hconn, pCompCode, pReason);
  if (!c) return;
  OpenRequest req;
  if (!LoadOd(pObjDesc, req.od)) {
    Fail(pCompCode, pReason, MQRC_OD_ERROR);
    return;
  }
  if (!pHobj) {
    Fail(pCompCode, pReason, MQRC_HOBJ_ERROR);
    return;
  }
  req.options = Options;
  OpenReply reply;
  try {
    if (!Call(*c, Op::Open, req, reply)) {
      Fail(pCompCode, pReason, MQRC_CONNECTION_BROKEN);
      return;
    }
  } catch (...) {
    Fail(pCompCode, pReason, MQRC_RESOURCE_PROBLEM);
    return;
  }
  *pHobj = reply.hobj;
  if (reply.cc != MQCC_FAILED) {
    auto* od = static_cast<MQOD*>(pObjDesc);
    if (od->ObjectType == MQOT_Q && Trimmed(od->ObjectName) != reply.object_name) SetField(od->ObjectName, reply.object_name);
    if (od->Version >= MQOD_VERSION_3) {
      SetField(od->ResolvedQName, od->ObjectType == MQOT_Q ? reply.object_name : "");
      SetField(od->ResolvedQMgrName, c->qmgr);
    }
  }
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQCLOSE(MQHCONN Hconn, PMQHOBJ pHobj, MQLONG Options, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = Connected(Hconn, pCompCode, pReason);
  if (!c) return;
  if (!pHobj) {
    Fail(pCompCode, pReason, MQRC_HOBJ_ERROR);
    return;
  }
  StatusReply reply;
  if (!Call(*c, Op::Close, CloseRequest{*pHobj, Options}, reply)) {
    Fail(pCompCode, pReason, MQRC_CONNECTION_BROKEN);
    return;
  }
  if (reply.cc == MQCC_OK) *pHobj = MQHO_UNUSABLE_HOBJ;
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQPUT(MQHCONN Hconn, MQHOBJ Hobj, PMQVOID pMsgDesc, PMQVOID pPutMsgOpts, MQLONG BufferLength,
                      PMQVOID pBuffer, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = Connected(Hconn, pCompCode, pReason);
  if (!c) return;
  try {
    PutRequest req;
    req.hobj = Hobj;
    if (!PreparePut(req, pMsgDesc, pPutMsgOpts, BufferLength, pBuffer, pCompCode, pReason)) return;
    PutReply reply;
    if (!Call(*c, Op::Put, req, reply)) {
      Fail(pCompCode, pReason, MQRC_CONNECTION_BROKEN);
      return;
    }
    FinishPut(reply, pMsgDesc, pCompCode, pReason);
  } catch (...) {
    Fail(pCompCode, pReason, MQRC_RESOURCE_PROBLEM);
  }
}

MQI_EXPORT void MQPUT1(MQHCONN Hconn, PMQVOID pObjDesc, PMQVOID pMsgDesc, PMQVOID pPutMsgOpts,
                       MQLONG BufferLength, PMQVOID pBuffer, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = Connected(Hconn, pCompCode, pReason);
  if (!c) return;
  try {
    PutRequest req;
    if (!LoadOd(pObjDesc, req.od)) {
      Fail(pCompCode, pReason, MQRC_OD_ERROR);
      return;
    }
    if (!PreparePut(req, pMsgDesc, pPutMsgOpts, BufferLength, pBuffer, pCompCode, pReason)) return;
    PutReply reply;
    if (!Call(*c, Op::Put1, req, reply)) {
      Fail(pCompCode, pReason, MQRC_CONNECTION_BROKEN);
      return;
    }
    FinishPut(reply, pMsgDesc, pCompCode, pReason);
  } catch (...) {
    Fail(pCompCode, pReason, MQRC_RESOURCE_PROBLEM);
  }
}

MQI_EXPORT void MQGET(MQHCONN Hconn, MQHOBJ Hobj, PMQVOID pMsgDesc, PMQVOID pGetMsgOpts, MQLONG BufferLength,
                      PMQVOID pBuffer, PMQLONG pDataLength, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = Connected(Hconn, pCompCode, pReason);
  if (!c) return;
  GetRequest req;
  req.hobj = Hobj;
  if (!LoadMd(pMsgDesc, req.md)) {
    Fail(pCompCode, pReason, MQRC_MD_ERROR);
    return;
  }
  auto* gmo = static_cast<MQGMO*>(pGetMsgOpts);
  if (!gmo || !StrucIs(gmo->StrucId, MQGMO_STRUC_ID) || gmo->Version < MQGMO_VERSION_1 ||
      gmo->Version > MQGMO_VERSION_4) {
    Fail(pCompCode, pReason, MQRC_GMO_ERROR);
    return;
  }
  if (BufferLength < 0) {
    Fail(pCompCode, pReason, MQRC_BUFFER_LENGTH_ERROR);
    return;
  }
  if (BufferLength > 0 && !pBuffer) {
    Fail(pCompCode, pReason, MQRC_BUFFER_ERROR);
    return;
  }
  if (!pDataLength) {
    Fail(pCompCode, pReason, MQRC_DATA_LENGTH_ERROR);
    return;
  }
  const bool with_handle = gmo->Version >= MQGMO_VERSION_4 && gmo->MsgHandle != MQHM_NONE;
  if (with_handle && !HandleUsable(gmo->MsgHandle, Hconn)) {
    Fail(pCompCode, pReason, MQRC_HMSG_ERROR);
    return;
  }
  req.options = gmo->Options;
  req.wait = gmo->WaitInterval;
  // A version-1 MQGMO has no MatchOptions: non-null identifiers in the MQMD select.
  req.match = gmo->Version >= MQGMO_VERSION_2 ? gmo->MatchOptions : MQMO_MATCH_MSG_ID | MQMO_MATCH_CORREL_ID;
  req.buffer_length = BufferLength;
  req.properties = with_handle ? 1 : 0;
  GetReply reply;
  try {
    if (!Call(*c, Op::Get, req, reply)) {
      Fail(pCompCode, pReason, MQRC_CONNECTION_BROKEN);
      return;
    }
    if (with_handle && reply.cc != MQCC_FAILED && !SetHandleProperties(gmo->MsgHandle, Hconn, std::move(reply.properties))) {
      Fail(pCompCode, pReason, MQRC_HMSG_ERROR);
      return;
    }
  } catch (...) {
    Fail(pCompCode, pReason, MQRC_RESOURCE_PROBLEM);
    return;
  }
  *pDataLength = reply.data_length;
  if (reply.cc != MQCC_FAILED) {
    const size_t n = std::min(reply.data.size(), static_cast<size_t>(BufferLength));
    if (n) std::memcpy(pBuffer, reply.data.data(), n);
    StoreMd(pMsgDesc, reply.md);
    if (gmo->Version >= MQGMO_VERSION_3) gmo->ReturnedLength = static_cast<MQLONG>(n);
  }
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQINQ(MQHCONN Hconn, MQHOBJ Hobj, MQLONG SelectorCount, PMQLONG pSelectors, MQLONG IntAttrCount,
                      PMQLONG pIntAttrs, MQLONG CharAttrLength, PMQCHAR pCharAttrs, PMQLONG pCompCode,
                      PMQLONG pReason) {
  auto c = Connected(Hconn, pCompCode, pReason);
  if (!c) return;
  if (SelectorCount < 0) return (void)Fail(pCompCode, pReason, MQRC_SELECTOR_COUNT_ERROR);
  if (SelectorCount > static_cast<MQLONG>(kMaxSelectors)) return (void)Fail(pCompCode, pReason, MQRC_SELECTOR_LIMIT_EXCEEDED);
  if (SelectorCount > 0 && !pSelectors) return (void)Fail(pCompCode, pReason, MQRC_SELECTOR_ERROR);
  if (IntAttrCount < 0) return (void)Fail(pCompCode, pReason, MQRC_INT_ATTR_COUNT_ERROR);
  if (IntAttrCount > 0 && !pIntAttrs) return (void)Fail(pCompCode, pReason, MQRC_INT_ATTRS_ARRAY_ERROR);
  if (CharAttrLength < 0) return (void)Fail(pCompCode, pReason, MQRC_CHAR_ATTR_LENGTH_ERROR);
  if (CharAttrLength > 0 && !pCharAttrs) return (void)Fail(pCompCode, pReason, MQRC_CHAR_ATTRS_ERROR);
  InqRequest req{Hobj, std::vector<MQLONG>(pSelectors, pSelectors + SelectorCount), IntAttrCount, CharAttrLength};
  InqReply reply;
  if (!Call(*c, Op::Inq, req, reply)) return (void)Fail(pCompCode, pReason, MQRC_CONNECTION_BROKEN);
  if (reply.cc != MQCC_FAILED) {
    const size_t ints = std::min(reply.ints.size(), static_cast<size_t>(IntAttrCount));
    if (ints) std::memcpy(pIntAttrs, reply.ints.data(), ints * sizeof(MQLONG));
    const size_t chars = std::min(reply.chars.size(), static_cast<size_t>(CharAttrLength));
    if (chars) std::memcpy(pCharAttrs, reply.chars.data(), chars);
  }
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQSET(MQHCONN Hconn, MQHOBJ Hobj, MQLONG SelectorCount, PMQLONG pSelectors, MQLONG IntAttrCount,
                      PMQLONG pIntAttrs, MQLONG CharAttrLength, PMQCHAR pCharAttrs, PMQLONG pCompCode,
                      PMQLONG pReason) {
  auto c = Connected(Hconn, pCompCode, pReason);
  if (!c) return;
  if (SelectorCount < 0) return (void)Fail(pCompCode, pReason, MQRC_SELECTOR_COUNT_ERROR);
  if (SelectorCount > static_cast<MQLONG>(kMaxSelectors)) return (void)Fail(pCompCode, pReason, MQRC_SELECTOR_LIMIT_EXCEEDED);
  if (SelectorCount > 0 && !pSelectors) return (void)Fail(pCompCode, pReason, MQRC_SELECTOR_ERROR);
  if (IntAttrCount < 0 || IntAttrCount > static_cast<MQLONG>(kMaxSelectors))
    return (void)Fail(pCompCode, pReason, MQRC_INT_ATTR_COUNT_ERROR);
  if (IntAttrCount > 0 && !pIntAttrs) return (void)Fail(pCompCode, pReason, MQRC_INT_ATTRS_ARRAY_ERROR);
  if (CharAttrLength < 0 || CharAttrLength > static_cast<MQLONG>(kMaxSelectors * 64))
    return (void)Fail(pCompCode, pReason, MQRC_CHAR_ATTR_LENGTH_ERROR);
  if (CharAttrLength > 0 && !pCharAttrs) return (void)Fail(pCompCode, pReason, MQRC_CHAR_ATTRS_ERROR);
  SetRequest req{Hobj, std::vector<MQLONG>(pSelectors, pSelectors + SelectorCount),
                 std::vector<MQLONG>(pIntAttrs, pIntAttrs + IntAttrCount),
                 std::string(pCharAttrs ? pCharAttrs : "", static_cast<size_t>(CharAttrLength))};
  StatusReply reply;
  if (!Call(*c, Op::Set, req, reply)) return (void)Fail(pCompCode, pReason, MQRC_CONNECTION_BROKEN);
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

static void EndUnit(MQHCONN Hconn, Op op, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = Connected(Hconn, pCompCode, pReason);
  if (!c) return;
  StatusReply reply;
  if (!Call(*c, op, NoArguments{}, reply)) return (void)Fail(pCompCode, pReason, MQRC_CONNECTION_BROKEN);
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQCMIT(MQHCONN Hconn, PMQLONG pCompCode, PMQLONG pReason) { EndUnit(Hconn, Op::Cmit, pCompCode, pReason); }

MQI_EXPORT void MQBACK(MQHCONN Hconn, PMQLONG pCompCode, PMQLONG pReason) { EndUnit(Hconn, Op::Back, pCompCode, pReason); }

// The MQI entry points of the client libraries: argument checks the MQI makes on the
// caller's side (structure identifiers and versions, lengths, null pointers), then one
// request to the queue manager over the connection's socket. Descriptors travel as full
// version-2 MQMDs; only the caller's version of each structure is read and written.
//
// libmqm_r reaches queue managers on this machine (or, with MQCNO_CLIENT_BINDING, over
// TCP); libmqic_r (built with VRQSIM_CLIENT_ONLY) only over TCP, by the MQCD of MQCONNX or
// MQSERVER.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include <cmqc.h>
#include <cmqxc.h>

#include "ccdt.h"
#include "client_platform.h"
#include "client_tls.h"
#include "charv.h"
#include "client_route.h"
#include "connection.h"
#include "platform.h"
#include "qm_dir.h"
#include "socket_io.h"

using namespace vrqsim;
using namespace vrqsim::client;

namespace {

#if defined(VRQSIM_CLIENT_ONLY)
constexpr bool kClientOnly = true;
#else
constexpr bool kClientOnly = false;
#endif

// The MQCONN connection of this thread (and MQCONNX connections that share nothing).
thread_local MQHCONN t_hconn = MQHC_UNUSABLE_HCONN;
std::atomic<uint64_t> g_connection_ids{0};

// Bytes from the first NUL of a character field on are blanks, as the queue manager
// treats them and returns them.
template <size_t N>
void BlankPad(char (&field)[N]) {
  const size_t n = strnlen(field, N);
  std::memset(field + n, ' ', N - n);
}

void BlankPadMd(MQMD& md) {
  BlankPad(md.Format);
  BlankPad(md.ReplyToQ);
  BlankPad(md.ReplyToQMgr);
  BlankPad(md.UserIdentifier);
  BlankPad(md.ApplIdentityData);
  BlankPad(md.PutApplName);
  BlankPad(md.PutDate);
  BlankPad(md.PutTime);
  BlankPad(md.ApplOriginData);
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

bool LoadOd(const void* p, ObjectRef& ref, std::string& object_string) {
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
  object_string.clear();
  if (od->Version >= MQOD_VERSION_4 && od->ObjectType == MQOT_TOPIC)
    return ReadCharv(od->ObjectString, od, MQ_TOPIC_STR_LENGTH, object_string);
  return true;
}

MQPMO* LoadPmo(void* p) {
  auto* pmo = static_cast<MQPMO*>(p);
  if (!pmo || !StrucIs(pmo->StrucId, MQPMO_STRUC_ID) || pmo->Version < MQPMO_VERSION_1 ||
      pmo->Version > MQPMO_VERSION_3)
    return nullptr;
  return pmo;
}

// Checks shared by MQPUT and MQPUT1; fills the request's descriptor, options and data,
// with the properties of the put's message handles in an MQRFH2 in front of the data.
bool PreparePut(Connection& c, PutRequest& req, PMQVOID pMsgDesc, MQPMO* pmo, MQLONG BufferLength,
                PMQVOID pBuffer, PMQLONG cc, PMQLONG rc) {
  if (!LoadMd(pMsgDesc, req.md)) return Fail(cc, rc, MQRC_MD_ERROR);
  if (!pmo) return Fail(cc, rc, MQRC_PMO_ERROR);
  if (BufferLength < 0) return Fail(cc, rc, MQRC_BUFFER_LENGTH_ERROR);
  if (BufferLength > 0 && !pBuffer) return Fail(cc, rc, MQRC_BUFFER_ERROR);
  if (static_cast<uint32_t>(BufferLength) > kMaxMsgLength) return Fail(cc, rc, MQRC_MSG_TOO_BIG_FOR_Q_MGR);
  Properties props;
  if (pmo->Version >= MQPMO_VERSION_3) {
    for (MQHMSG h : {pmo->OriginalMsgHandle, pmo->NewMsgHandle}) {
      if (h == MQHM_NONE) continue;
      Properties more;
      if (!HandleProperties(h, c.hconn, more)) return Fail(cc, rc, MQRC_HMSG_ERROR);
      for (Property& p : more) {
        std::erase_if(props, [&](const Property& q) { return q.name == p.name; });
        props.push_back(std::move(p));
      }
    }
  }
  BlankPadMd(req.md);
  if (Trimmed(req.md.ReplyToQMgr).empty()) SetField(req.md.ReplyToQMgr, c.qmgr);
  req.options = pmo->Options;
  req.context = pmo->Context;
  const auto* data = static_cast<const uint8_t*>(pBuffer);
  if (!props.empty()) {
    req.data = BuildRfh2(props, req.md.Encoding, req.md.CodedCharSetId, req.md.Format);
    std::memcpy(req.md.Format, MQFMT_RF_HEADER_2, sizeof req.md.Format);
    if (req.data.size() + static_cast<size_t>(BufferLength) > kMaxMsgLength)
      return Fail(cc, rc, MQRC_MSG_TOO_BIG_FOR_Q_MGR);
  }
  req.data.insert(req.data.end(), data, data + BufferLength);
  return true;
}

void FinishPut(Connection& c, const PutRequest& req, const PutReply& reply, PMQVOID pMsgDesc, MQPMO* pmo,
               const std::string& queue, PMQLONG cc, PMQLONG rc) {
  if (reply.cc != MQCC_FAILED) {
    // The caller's descriptor keeps describing the caller's data.
    MQMD md = reply.md;
    const auto* in = static_cast<const MQMD*>(pMsgDesc);
    std::memcpy(md.Format, in->Format, sizeof md.Format);
    md.Encoding = in->Encoding;
    md.CodedCharSetId = in->CodedCharSetId;
    StoreMd(pMsgDesc, md);
    SetField(pmo->ResolvedQName, queue);
    SetField(pmo->ResolvedQMgrName, c.qmgr);
  }
  {
    std::lock_guard lock(c.state_mu);
    if (reply.cc != MQCC_FAILED && (req.options & MQPMO_SYNCPOINT)) c.in_unit = true;
    if (req.options & MQPMO_ASYNC_RESPONSE) {
      AsyncStatus& s = c.status;
      if (reply.cc == MQCC_OK) ++s.successes;
      if (reply.cc == MQCC_WARNING) ++s.warnings;
      if (reply.cc == MQCC_FAILED) ++s.failures;
      if (reply.cc > s.cc) {
        s.cc = reply.cc;
        s.rc = reply.rc;
        s.object_name = queue;
      }
    }
  }
  Report(cc, rc, reply.cc, reply.rc);
}

std::string QueueOf(Connection& c, MQHOBJ hobj) {
  std::lock_guard lock(c.state_mu);
  auto it = c.queues.find(hobj);
  return it == c.queues.end() ? std::string() : it->second;
}

// The MQCD an MQCONNX names, or null.
const MQCD* ClientConn(const MQCNO* cno) {
  if (!cno || cno->Version < MQCNO_VERSION_2) return nullptr;
  if (cno->ClientConnPtr) return static_cast<const MQCD*>(cno->ClientConnPtr);
  if (cno->ClientConnOffset > 0) return reinterpret_cast<const MQCD*>(reinterpret_cast<const char*>(cno) + cno->ClientConnOffset);
  return nullptr;
}

// One way to a queue manager: a channel, its addresses and its CipherSpec.
struct Route {
  std::string channel;
  std::vector<Endpoint> endpoints;
  std::string cipher_spec;
};

// The CCDT URL of MQCNO (version 6), or null.
std::string CnoCcdtUrl(const MQCNO* cno) {
  if (!cno || cno->Version < MQCNO_VERSION_6 || cno->CCDTUrlLength <= 0) return {};
  const char* p = cno->CCDTUrlPtr;
  if (!p && cno->CCDTUrlOffset > 0) p = reinterpret_cast<const char*>(cno) + cno->CCDTUrlOffset;
  return p ? std::string(p, strnlen(p, static_cast<size_t>(cno->CCDTUrlLength))) : std::string();
}

// Where a client connection goes, in IBM's order: the MQCD of MQCONNX, a channel table
// named by MQCONNX, MQSERVER, then a table named by MQCCDTURL. MQRC_NONE or the reason.
MQLONG ClientRoutes(const MQCNO* cno, const std::string& qmgr, std::vector<Route>& routes) {
  routes.clear();
  if (const MQCD* cd = ClientConn(cno)) {
    if (cd->Version < MQCD_VERSION_1 || cd->Version > MQCD_CURRENT_VERSION) return MQRC_CD_ERROR;
    if (cd->TransportType != MQXPT_TCP) return MQRC_CD_ERROR;
    Route r;
    r.channel = Trimmed(cd->ChannelName);
    if (cd->Version >= MQCD_VERSION_7) r.cipher_spec = Trimmed(cd->SSLCipherSpec);
    const std::string name = cd->Version >= MQCD_VERSION_2 ? Trimmed(cd->ConnectionName) : Trimmed(cd->ShortConnectionName);
    if (!ParseConnectionName(name, r.endpoints)) return MQRC_CD_ERROR;
    routes.push_back(std::move(r));
    return MQRC_NONE;
  }
  std::string url = CnoCcdtUrl(cno);
  const char* server = std::getenv("MQSERVER");
  if (url.empty() && server && *server) {
    Route r;
    r.channel = std::string(server).substr(0, std::string_view(server).find('/'));
    if (MQLONG e = ParseMqServer(server, r.endpoints)) return e;
    routes.push_back(std::move(r));
    return MQRC_NONE;
  }
  if (url.empty())
    if (const char* env = std::getenv("MQCCDTURL")) url = env;
  if (url.empty()) return MQRC_Q_MGR_NAME_ERROR;
  std::vector<CcdtChannel> channels;
  if (MQLONG e = static_cast<MQLONG>(CcdtChannelsFor(url, qmgr, channels))) return e;
  for (auto& c : channels) routes.push_back({std::move(c.name), std::move(c.endpoints), std::move(c.cipher_spec)});
  return MQRC_NONE;
}

bool WantsClient(const MQCNO* cno) {
  if (kClientOnly) return true;
  if (cno && (cno->Options & MQCNO_CLIENT_BINDING)) return true;
  if (cno && (cno->Options & MQCNO_LOCAL_BINDING)) return false;
  const char* type = std::getenv("MQ_CONNECT_TYPE");
  return type && std::string_view(type) == "CLIENT";
}

// The connection checks of MQCONNX's options structure; MQRC_NONE when they pass.
MQLONG CheckCno(const MQCNO* cno) {
  if (!StrucIs(cno->StrucId, MQCNO_STRUC_ID) || cno->Version < MQCNO_VERSION_1 ||
      cno->Version > MQCNO_CURRENT_VERSION)
    return MQRC_CNO_ERROR;
  const MQLONG o = cno->Options;
  auto at_most_one = [](MQLONG bits) { return (bits & (bits - 1)) == 0; };
  if (!at_most_one(o & (MQCNO_HANDLE_SHARE_NONE | MQCNO_HANDLE_SHARE_BLOCK | MQCNO_HANDLE_SHARE_NO_BLOCK)) ||
      !at_most_one(o & (MQCNO_FASTPATH_BINDING | MQCNO_SHARED_BINDING | MQCNO_ISOLATED_BINDING |
                        MQCNO_LOCAL_BINDING | MQCNO_CLIENT_BINDING)) ||
      !at_most_one(o & (MQCNO_RECONNECT | MQCNO_RECONNECT_DISABLED | MQCNO_RECONNECT_Q_MGR)) ||
      !at_most_one(o & (MQCNO_ACCOUNTING_MQI_ENABLED | MQCNO_ACCOUNTING_MQI_DISABLED)) ||
      !at_most_one(o & (MQCNO_ACCOUNTING_Q_ENABLED | MQCNO_ACCOUNTING_Q_DISABLED)) ||
      !at_most_one(o & (MQCNO_SERIALIZE_CONN_TAG_Q_MGR | MQCNO_SERIALIZE_CONN_TAG_QSG |
                        MQCNO_RESTRICT_CONN_TAG_Q_MGR | MQCNO_RESTRICT_CONN_TAG_QSG)))
    return MQRC_OPTIONS_ERROR;
  if (cno->Version >= MQCNO_VERSION_6 && cno->CCDTUrlLength < 0) return MQRC_CCDT_URL_ERROR;
  if (MQLONG e = CheckSco(cno)) return e;
  if (cno->Version >= MQCNO_VERSION_5 && cno->SecurityParmsPtr) {
    const MQCSP* csp = cno->SecurityParmsPtr;
    if (!StrucIs(csp->StrucId, MQCSP_STRUC_ID) || csp->Version < MQCSP_VERSION_1 ||
        csp->Version > MQCSP_CURRENT_VERSION)
      return MQRC_CSP_ERROR;
    if (csp->AuthenticationType == MQCSP_AUTH_USER_ID_AND_PWD) {
      for (const auto& [ptr, offset, length] : {std::tuple{csp->CSPUserIdPtr, csp->CSPUserIdOffset, csp->CSPUserIdLength},
                                                std::tuple{csp->CSPPasswordPtr, csp->CSPPasswordOffset, csp->CSPPasswordLength}})
        if (length < 0 || static_cast<size_t>(length) > kMaxCspText || (length > 0 && !ptr && offset <= 0))
          return MQRC_CSP_ERROR;
    } else if (csp->AuthenticationType != MQCSP_AUTH_NONE) {
      return MQRC_CSP_ERROR;   // identity tokens are not taken
    }
  }
  return MQRC_NONE;
}

// One text of an MQCSP, reached by its pointer or by its offset from the structure.
// Assigned in place: a password is never left behind in a temporary.
void CspText(const MQCSP* csp, const void* ptr, MQLONG offset, MQLONG length, std::string& out) {
  if (length <= 0) return;
  const char* p = ptr ? static_cast<const char*>(ptr) : reinterpret_cast<const char*>(csp) + offset;
  out.assign(p, static_cast<size_t>(length));
}

// The channel a client connection names: the MQCD's ChannelName, or MQSERVER's first part.
std::string ChannelOf(const MQCNO* cno) {
  if (const MQCD* cd = ClientConn(cno)) return Trimmed(cd->ChannelName, MQ_CHANNEL_NAME_LENGTH);
  const char* server = std::getenv("MQSERVER");
  if (!server) return {};
  const std::string_view value(server);
  return Trimmed(value.data(), std::min<size_t>(value.find('/'), std::min<size_t>(value.size(), MQ_CHANNEL_NAME_LENGTH)));
}

// Opens the socket and announces the connection; fills c or returns the failure reason.
MQLONG Open(Connection& c, const std::string& requested, const MQCNO* cno) {
  std::string name = requested;
  if (c.client) {
    if (!name.empty() && name[0] == '*') name.erase(0, 1);
    if (!name.empty() && !ValidObjectName(name)) return MQRC_Q_MGR_NAME_ERROR;
    std::vector<Route> routes;
    if (MQLONG r = ClientRoutes(cno, requested, routes)) return r;
    // Each channel in turn; a TLS failure on the last one is the answer.
    MQLONG last = MQRC_HOST_NOT_AVAILABLE;
    for (const Route& route : routes) {
      if (!route.cipher_spec.empty())
        if (MQLONG e = CheckChannelSecurity(route.cipher_spec, cno)) {
          last = e;
          continue;
        }
      c.fd = ConnectEndpoints(route.endpoints);
      if (c.fd < 0) continue;
      if (route.cipher_spec.empty()) break;
      last = SecureChannel(c.fd, route.channel, route.cipher_spec, cno);
      if (c.fd >= 0) break;
    }
    if (c.fd < 0) return last;
  } else {
    if (name.empty()) name = DefaultQmName().value_or("");
    if (!ValidObjectName(name) || !QueueManagerExists(name)) return MQRC_Q_MGR_NAME_ERROR;
    c.fd = ConnectQueueManager(name);
    if (c.fd < 0) return MQRC_Q_MGR_NOT_AVAILABLE;
  }
  ConnRequest req;
  req.appl_name = ProgramName();
  req.user = UserName();
  req.qmgr = name;
  req.accounting = AccountingToken();
  if (cno && cno->Version >= MQCNO_VERSION_7 && !Trimmed(cno->ApplName).empty()) req.appl_name = Trimmed(cno->ApplName);
  if (c.client) req.channel = ChannelOf(cno);
  if (cno && cno->Version >= MQCNO_VERSION_5 && cno->SecurityParmsPtr &&
      cno->SecurityParmsPtr->AuthenticationType == MQCSP_AUTH_USER_ID_AND_PWD) {
    const MQCSP* csp = cno->SecurityParmsPtr;
    req.auth_type = MQCSP_AUTH_USER_ID_AND_PWD;
    CspText(csp, csp->CSPUserIdPtr, csp->CSPUserIdOffset, csp->CSPUserIdLength, req.csp_user);
    CspText(csp, csp->CSPPasswordPtr, csp->CSPPasswordOffset, csp->CSPPasswordLength, req.csp_password);
  }
  ConnReply reply;
  const MQLONG e = Call(c, Op::Conn, req, reply);
  Wipe(req.csp_password);
  if (e || reply.cc == MQCC_FAILED) {
    CloseSocket(c.fd);
    c.fd = -1;
    if (e) return c.client ? MQRC_HOST_NOT_AVAILABLE : MQRC_Q_MGR_NOT_AVAILABLE;
    return reply.rc;
  }
  c.qmgr = reply.qmgr;
  return MQRC_NONE;
}

std::string NameArg(PMQCHAR p) { return p ? Trimmed(p, strnlen(p, MQ_Q_MGR_NAME_LENGTH)) : ""; }

// MQCONN, and MQCONNX with a handle that only its thread uses: one such connection per
// thread, a second connect answering 2002 with the same handle.
bool ReuseThreadConnection(const std::string& name, PMQHCONN pHconn, PMQLONG cc, PMQLONG rc) {
  auto current = FindConnection(t_hconn);
  if (!current) return false;
  if (!name.empty() && name != current->qmgr) {
    *pHconn = MQHC_UNUSABLE_HCONN;
    Fail(cc, rc, MQRC_ANOTHER_Q_MGR_CONNECTED);
  } else {
    *pHconn = t_hconn;
    Report(cc, rc, MQCC_WARNING, MQRC_ALREADY_CONNECTED);
  }
  return true;
}

void Connect(PMQCHAR pQMgrName, MQCNO* cno, PMQHCONN pHconn, PMQLONG cc, PMQLONG rc) {
  const std::string name = NameArg(pQMgrName);
  const MQLONG share = cno ? cno->Options & (MQCNO_HANDLE_SHARE_BLOCK | MQCNO_HANDLE_SHARE_NO_BLOCK) : 0;
  try {
    if (!share && ReuseThreadConnection(name, pHconn, cc, rc)) return;
    *pHconn = MQHC_UNUSABLE_HCONN;
    auto c = std::make_shared<Connection>();
    c->share = share;
    c->restricted = cno && !share;
    c->owner = std::this_thread::get_id();
    c->client = WantsClient(cno);
    if (MQLONG r = Open(*c, name, cno)) {
      Fail(cc, rc, r);
      return;
    }
    *pHconn = AddConnection(c);
    if (!share) t_hconn = *pHconn;
    if (cno && cno->Version >= MQCNO_VERSION_5) {
      std::memcpy(cno->ConnectionId, "MQCT", 4);
      SetField(reinterpret_cast<char*>(cno->ConnectionId) + 4, 12, c->qmgr);
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      const uint64_t id = (static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count()) << 24) +
                          ++g_connection_ids;
      std::memcpy(cno->ConnectionId + 16, &id, 8);
    }
    if (cno && cno->Version >= MQCNO_VERSION_3 && (cno->Options & MQCNO_GENERATE_CONN_TAG)) {
      std::memset(cno->ConnTag, 0, sizeof cno->ConnTag);
      const std::string tag = "MQCT" + c->qmgr + std::to_string(*pHconn);
      std::memcpy(cno->ConnTag, tag.data(), std::min(tag.size(), sizeof cno->ConnTag));
    }
    Report(cc, rc, MQCC_OK, MQRC_NONE);
  } catch (...) {
    Fail(cc, rc, MQRC_RESOURCE_PROBLEM);
  }
}

}  // namespace

MQI_EXPORT void MQCONN(PMQCHAR pQMgrName, PMQHCONN pHconn, PMQLONG pCompCode, PMQLONG pReason) {
  if (!pHconn) {
    Fail(pCompCode, pReason, MQRC_HCONN_ERROR);
    return;
  }
  Connect(pQMgrName, nullptr, pHconn, pCompCode, pReason);
}

MQI_EXPORT void MQCONNX(PMQCHAR pQMgrName, PMQCNO pConnectOpts, PMQHCONN pHconn, PMQLONG pCompCode,
                        PMQLONG pReason) {
  if (!pHconn) {
    Fail(pCompCode, pReason, MQRC_HCONN_ERROR);
    return;
  }
  if (!pConnectOpts) {
    *pHconn = MQHC_UNUSABLE_HCONN;
    Fail(pCompCode, pReason, MQRC_CNO_ERROR);
    return;
  }
  if (MQLONG r = CheckCno(pConnectOpts)) {
    *pHconn = MQHC_UNUSABLE_HCONN;
    Fail(pCompCode, pReason, r);
    return;
  }
  Connect(pQMgrName, pConnectOpts, pHconn, pCompCode, pReason);
}

MQI_EXPORT void MQDISC(PMQHCONN pHconn, PMQLONG pCompCode, PMQLONG pReason) {
  if (!pHconn) {
    Fail(pCompCode, pReason, MQRC_HCONN_ERROR);
    return;
  }
  if (!UseConnection(*pHconn, pCompCode, pReason)) return;
  auto c = RemoveConnection(*pHconn);
  if (!c) {
    Fail(pCompCode, pReason, MQRC_HCONN_ERROR);
    return;
  }
  StopDispatcher(*c);
  if (t_hconn == *pHconn) t_hconn = MQHC_UNUSABLE_HCONN;
  ForgetHandles(*pHconn);
  *pHconn = MQHC_UNUSABLE_HCONN;
  StatusReply reply;
  const MQLONG e = Call(*c, Op::Disc, NoArguments{}, reply);
  {
    // A callback still running on this connection finds it broken, not a reused socket.
    std::lock_guard lock(c->mu);
    c->broken = true;
    CloseSocket(c->fd);
  }
  if (e) {
    Fail(pCompCode, pReason, MQRC_CONNECTION_BROKEN);
    return;
  }
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQOPEN(MQHCONN Hconn, PMQVOID pObjDesc, MQLONG Options, PMQHOBJ pHobj, PMQLONG pCompCode,
                       PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  OpenRequest req;
  if (!LoadOd(pObjDesc, req.od, req.object_string)) {
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
    if (MQLONG e = Call(*c, Op::Open, req, reply)) {
      Fail(pCompCode, pReason, e);
      return;
    }
    if (reply.cc != MQCC_FAILED && req.od.type == MQOT_Q) {
      std::lock_guard lock(c->state_mu);
      c->queues[reply.hobj] = reply.object_name;
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
    if (od->Version >= MQOD_VERSION_4 && od->ObjectType == MQOT_TOPIC) WriteCharv(od->ResObjectString, od, reply.topic);
  }
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQCLOSE(MQHCONN Hconn, PMQHOBJ pHobj, MQLONG Options, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  if (!pHobj) {
    Fail(pCompCode, pReason, MQRC_HOBJ_ERROR);
    return;
  }
  StatusReply reply;
  if (MQLONG e = Call(*c, Op::Close, CloseRequest{*pHobj, Options}, reply)) {
    Fail(pCompCode, pReason, e);
    return;
  }
  if (reply.cc == MQCC_OK) {
    ForgetConsumer(*c, *pHobj);
    {
      std::lock_guard lock(c->state_mu);
      c->queues.erase(*pHobj);
    }
    *pHobj = MQHO_UNUSABLE_HOBJ;
  }
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQPUT(MQHCONN Hconn, MQHOBJ Hobj, PMQVOID pMsgDesc, PMQVOID pPutMsgOpts, MQLONG BufferLength,
                      PMQVOID pBuffer, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  try {
    PutRequest req;
    req.hobj = Hobj;
    MQPMO* pmo = LoadPmo(pPutMsgOpts);
    if (!PreparePut(*c, req, pMsgDesc, pmo, BufferLength, pBuffer, pCompCode, pReason)) return;
    PutReply reply;
    if (MQLONG e = Call(*c, Op::Put, req, reply)) {
      Fail(pCompCode, pReason, e);
      return;
    }
    FinishPut(*c, req, reply, pMsgDesc, pmo, QueueOf(*c, Hobj), pCompCode, pReason);
  } catch (...) {
    Fail(pCompCode, pReason, MQRC_RESOURCE_PROBLEM);
  }
}

MQI_EXPORT void MQPUT1(MQHCONN Hconn, PMQVOID pObjDesc, PMQVOID pMsgDesc, PMQVOID pPutMsgOpts,
                       MQLONG BufferLength, PMQVOID pBuffer, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  try {
    PutRequest req;
    if (!LoadOd(pObjDesc, req.od, req.object_string)) {
      Fail(pCompCode, pReason, MQRC_OD_ERROR);
      return;
    }
    MQPMO* pmo = LoadPmo(pPutMsgOpts);
    if (!PreparePut(*c, req, pMsgDesc, pmo, BufferLength, pBuffer, pCompCode, pReason)) return;
    PutReply reply;
    if (MQLONG e = Call(*c, Op::Put1, req, reply)) {
      Fail(pCompCode, pReason, e);
      return;
    }
    FinishPut(*c, req, reply, pMsgDesc, pmo, Trimmed(req.od.name), pCompCode, pReason);
  } catch (...) {
    Fail(pCompCode, pReason, MQRC_RESOURCE_PROBLEM);
  }
}

void vrqsim::client::DoGet(Connection& c, MQHOBJ hobj, void* pMsgDesc, MQGMO* gmo, MQLONG BufferLength,
                           void* pBuffer, PMQLONG pDataLength, PMQLONG pCompCode, PMQLONG pReason) {
  GetRequest req;
  req.hobj = hobj;
  if (!LoadMd(pMsgDesc, req.md)) {
    Fail(pCompCode, pReason, MQRC_MD_ERROR);
    return;
  }
  const bool with_handle = gmo->Version >= MQGMO_VERSION_4 && gmo->MsgHandle != MQHM_NONE;
  if (with_handle && !HandleUsable(gmo->MsgHandle, c.hconn)) {
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
    if (MQLONG e = Call(c, Op::Get, req, reply)) {
      Fail(pCompCode, pReason, e);
      return;
    }
    if (with_handle && reply.cc != MQCC_FAILED && !SetHandleProperties(gmo->MsgHandle, c.hconn, std::move(reply.properties))) {
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
    BlankPadMd(reply.md);
    StoreMd(pMsgDesc, reply.md);
    SetField(gmo->ResolvedQName, QueueOf(c, hobj));
    if (gmo->Version >= MQGMO_VERSION_3) gmo->ReturnedLength = static_cast<MQLONG>(n);
    const bool browse = gmo->Options & (MQGMO_BROWSE_FIRST | MQGMO_BROWSE_NEXT | MQGMO_BROWSE_MSG_UNDER_CURSOR);
    const bool syncpoint = (gmo->Options & MQGMO_SYNCPOINT) ||
                           ((gmo->Options & MQGMO_SYNCPOINT_IF_PERSISTENT) && reply.md.Persistence == MQPER_PERSISTENT);
    if (!browse && syncpoint && reply.rc != MQRC_TRUNCATED_MSG_FAILED) {
      std::lock_guard lock(c.state_mu);
      c.in_unit = true;
    }
  }
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQGET(MQHCONN Hconn, MQHOBJ Hobj, PMQVOID pMsgDesc, PMQVOID pGetMsgOpts, MQLONG BufferLength,
                      PMQVOID pBuffer, PMQLONG pDataLength, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  auto* gmo = static_cast<MQGMO*>(pGetMsgOpts);
  if (!pMsgDesc) {
    Fail(pCompCode, pReason, MQRC_MD_ERROR);
    return;
  }
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
  DoGet(*c, Hobj, pMsgDesc, gmo, BufferLength, pBuffer, pDataLength, pCompCode, pReason);
}

MQI_EXPORT void MQINQ(MQHCONN Hconn, MQHOBJ Hobj, MQLONG SelectorCount, PMQLONG pSelectors, MQLONG IntAttrCount,
                      PMQLONG pIntAttrs, MQLONG CharAttrLength, PMQCHAR pCharAttrs, PMQLONG pCompCode,
                      PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
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
  if (MQLONG e = Call(*c, Op::Inq, req, reply)) return (void)Fail(pCompCode, pReason, e);
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
  auto c = UseConnection(Hconn, pCompCode, pReason);
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
  if (MQLONG e = Call(*c, Op::Set, req, reply)) return (void)Fail(pCompCode, pReason, e);
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

static void EndUnit(MQHCONN Hconn, Op op, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  StatusReply reply;
  if (MQLONG e = Call(*c, op, NoArguments{}, reply)) return (void)Fail(pCompCode, pReason, e);
  {
    std::lock_guard lock(c->state_mu);
    c->in_unit = c->global_unit = false;
  }
  Report(pCompCode, pReason, reply.cc, reply.rc);
}

MQI_EXPORT void MQCMIT(MQHCONN Hconn, PMQLONG pCompCode, PMQLONG pReason) { EndUnit(Hconn, Op::Cmit, pCompCode, pReason); }

MQI_EXPORT void MQBACK(MQHCONN Hconn, PMQLONG pCompCode, PMQLONG pReason) { EndUnit(Hconn, Op::Back, pCompCode, pReason); }

// A unit of work coordinated by the queue manager with no other resource managers: the
// puts and gets under syncpoint that follow belong to it until MQCMIT or MQBACK.
MQI_EXPORT void MQBEGIN(MQHCONN Hconn, PMQVOID pBeginOptions, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  if (pBeginOptions) {
    const auto* bo = static_cast<const MQBO*>(pBeginOptions);
    if (!StrucIs(bo->StrucId, MQBO_STRUC_ID) || bo->Version != MQBO_VERSION_1)
      return (void)Fail(pCompCode, pReason, MQRC_BO_ERROR);
    if (bo->Options != MQBO_NONE) return (void)Fail(pCompCode, pReason, MQRC_OPTIONS_ERROR);
  }
  if (c->client) return (void)Fail(pCompCode, pReason, MQRC_ENVIRONMENT_ERROR);
  std::lock_guard lock(c->state_mu);
  if (c->in_unit || c->global_unit) return (void)Fail(pCompCode, pReason, MQRC_UOW_IN_PROGRESS);
  c->global_unit = true;
  Report(pCompCode, pReason, MQCC_WARNING, MQRC_NO_EXTERNAL_PARTICIPANTS);
}

// The outcome of the puts made with MQPMO_ASYNC_RESPONSE since the last MQSTAT (the
// stand-in completes them at once), and the reconnection state (never reconnecting).
MQI_EXPORT void MQSTAT(MQHCONN Hconn, MQLONG Type, PMQVOID pStatus, PMQLONG pCompCode, PMQLONG pReason) {
  auto c = UseConnection(Hconn, pCompCode, pReason);
  if (!c) return;
  if (Type != MQSTAT_TYPE_ASYNC_ERROR && Type != MQSTAT_TYPE_RECONNECTION && Type != MQSTAT_TYPE_RECONNECTION_ERROR)
    return (void)Fail(pCompCode, pReason, MQRC_STAT_TYPE_ERROR);
  auto* sts = static_cast<MQSTS*>(pStatus);
  if (!sts || !StrucIs(sts->StrucId, MQSTS_STRUC_ID) || sts->Version < MQSTS_VERSION_1 || sts->Version > MQSTS_VERSION_2)
    return (void)Fail(pCompCode, pReason, MQRC_STS_ERROR);
  AsyncStatus s;
  if (Type == MQSTAT_TYPE_ASYNC_ERROR) {
    std::lock_guard lock(c->state_mu);
    s = std::exchange(c->status, AsyncStatus{});
  }
  sts->CompCode = s.cc;
  sts->Reason = s.rc;
  sts->PutSuccessCount = s.successes;
  sts->PutWarningCount = s.warnings;
  sts->PutFailureCount = s.failures;
  sts->ObjectType = s.object_type;
  SetField(sts->ObjectName, s.object_name);
  SetField(sts->ObjectQMgrName, s.object_name.empty() ? "" : c->qmgr);
  SetField(sts->ResolvedObjectName, s.object_name);
  SetField(sts->ResolvedQMgrName, s.object_name.empty() ? "" : c->qmgr);
  if (sts->Version >= MQSTS_VERSION_2) {
    sts->ObjectString.VSLength = 0;
    sts->SubName.VSLength = 0;
    sts->OpenOptions = 0;
    sts->SubOptions = 0;
  }
  Report(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

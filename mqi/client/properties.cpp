// Message handles and message properties: MQCRTMH, MQDLTMH, MQSETMP, MQINQMP, MQDLTMP,
// MQBUFMH and MQMHBUF over a table of handles. MQGET with a handle fills it from the
// message's MQRFH2; MQPUT with a handle sends its properties as an MQRFH2 in front of the
// data.
#include <algorithm>
#include <charconv>
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
  size_t cursor = 0;   // the property after the one last inquired (MQIMPO_INQ_NEXT)
};

std::mutex g_mu;
std::map<MQHMSG, MsgHandle> g_handles;
MQHMSG g_next = 1;

MsgHandle* FindHandle(MQHMSG hmsg, MQHCONN hconn) {
  auto it = g_handles.find(hmsg);
  if (it == g_handles.end()) return nullptr;
  if (it->second.hconn != MQHC_UNASSOCIATED_HCONN && it->second.hconn != hconn) return nullptr;
  return &it->second;
}

bool NameMatches(std::string_view pattern, std::string_view name) {
  if (pattern == "%") return true;
  if (!pattern.empty() && pattern.back() == '%') return name.substr(0, pattern.size() - 1) == pattern.substr(0, pattern.size() - 1);
  return pattern == name;
}

// The text an MQCHARV names (by pointer or by offset from the MQCHARV itself); the
// reason it is not usable otherwise.
MQLONG CharvText(const void* p, std::string& out) {
  const auto* v = static_cast<const MQCHARV*>(p);
  if (!v) return MQRC_PROPERTY_NAME_ERROR;
  if (v->VSLength < MQVS_NULL_TERMINATED || v->VSLength > 4095) return MQRC_PROPERTY_NAME_LENGTH_ERR;
  const char* text = v->VSPtr ? static_cast<const char*>(v->VSPtr)
                              : v->VSOffset > 0 ? reinterpret_cast<const char*>(v) + v->VSOffset : nullptr;
  if (!text) return v->VSLength == 0 ? MQRC_PROPERTY_NAME_ERROR : MQRC_PROPERTY_NAME_LENGTH_ERR;
  out.assign(text, v->VSLength == MQVS_NULL_TERMINATED ? strnlen(text, 4096) : static_cast<size_t>(v->VSLength));
  if (out.size() > 4095) return MQRC_PROPERTY_NAME_LENGTH_ERR;
  return MQRC_NONE;
}

// A name a property may be set or deleted under: no wildcard, no characters that cannot
// be an element name, nothing reserved for the queue manager.
MQLONG CheckName(std::string_view name) {
  if (name.empty() || name.find_first_of("% <>&'\"/") != std::string_view::npos) return MQRC_PROPERTY_NAME_ERROR;
  if (name.size() >= 2 && (name[0] == 'm' || name[0] == 'M') && (name[1] == 'q' || name[1] == 'Q'))
    return MQRC_PROPERTY_NAME_ERROR;
  if (name.back() == '.' || name.front() == '.') return MQRC_PROPERTY_NAME_ERROR;
  return MQRC_NONE;
}

size_t FixedLength(MQLONG type) {
  switch (type) {
    case MQTYPE_INT8: return 1;
    case MQTYPE_INT16: return 2;
    case MQTYPE_INT32: case MQTYPE_FLOAT32: case MQTYPE_BOOLEAN: return 4;
    case MQTYPE_INT64: case MQTYPE_FLOAT64: return 8;
    default: return 0;
  }
}

bool IsInt(MQLONG type) {
  return type == MQTYPE_INT8 || type == MQTYPE_INT16 || type == MQTYPE_INT32 || type == MQTYPE_INT64;
}

// The value as the caller receives it: native binary of the type's size, or the bytes.
std::string Output(const Property& p) {
  std::string out(FixedLength(p.type), '\0');
  const int64_t i = p.AsInt();
  switch (p.type) {
    case MQTYPE_INT8: { const auto v = static_cast<int8_t>(i); std::memcpy(out.data(), &v, 1); break; }
    case MQTYPE_INT16: { const auto v = static_cast<int16_t>(i); std::memcpy(out.data(), &v, 2); break; }
    case MQTYPE_INT32: case MQTYPE_BOOLEAN: { const auto v = static_cast<int32_t>(i); std::memcpy(out.data(), &v, 4); break; }
    case MQTYPE_INT64: std::memcpy(out.data(), &i, 8); break;
    case MQTYPE_FLOAT32: { const auto v = static_cast<float>(p.AsFloat()); std::memcpy(out.data(), &v, 4); break; }
    case MQTYPE_FLOAT64: { const double v = p.AsFloat(); std::memcpy(out.data(), &v, 8); break; }
    case MQTYPE_NULL: break;
    default: out = p.value;
  }
  return out;
}

// The value converted to another type for MQIMPO_CONVERT_TYPE; the reason when it cannot be.
MQLONG ConvertProperty(const Property& from, MQLONG to, Property& out) {
  out = from;
  if (to == MQTYPE_AS_SET || to == from.type) return MQRC_NONE;
  if (to == MQTYPE_STRING) {
    if (IsInt(from.type) || from.type == MQTYPE_BOOLEAN) {
      out = Property{from.name, to, from.type == MQTYPE_BOOLEAN ? (from.AsInt() ? "TRUE" : "FALSE") : std::to_string(from.AsInt())};
      return MQRC_NONE;
    }
    if (from.type == MQTYPE_FLOAT32 || from.type == MQTYPE_FLOAT64) {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", from.AsFloat());
      out = Property{from.name, to, buf};
      return MQRC_NONE;
    }
    return MQRC_PROP_CONV_NOT_SUPPORTED;
  }
  if (IsInt(to)) {
    int64_t v = 0;
    if (IsInt(from.type) || from.type == MQTYPE_BOOLEAN) {
      v = from.AsInt();
    } else if (from.type == MQTYPE_STRING) {
      const auto [end, ec] = std::from_chars(from.value.data(), from.value.data() + from.value.size(), v);
      if (ec != std::errc() || end != from.value.data() + from.value.size()) return MQRC_PROP_NUMBER_FORMAT_ERROR;
    } else {
      return MQRC_PROP_CONV_NOT_SUPPORTED;
    }
    const int bits = static_cast<int>(FixedLength(to)) * 8;
    if (bits < 64 && (v < -(int64_t{1} << (bits - 1)) || v >= (int64_t{1} << (bits - 1)))) return MQRC_PROP_VALUE_NOT_CONVERTED;
    out = Property::Int(from.name, to, v);
    return MQRC_NONE;
  }
  return MQRC_PROP_CONV_NOT_SUPPORTED;
}

}  // namespace

bool HandleUsable(MQHMSG hmsg, MQHCONN hconn) {
  std::lock_guard lock(g_mu);
  return FindHandle(hmsg, hconn) != nullptr;
}

bool SetHandleProperties(MQHMSG hmsg, MQHCONN hconn, Properties props) {
  std::lock_guard lock(g_mu);
  MsgHandle* h = FindHandle(hmsg, hconn);
  if (!h) return false;
  h->props = std::move(props);
  h->cursor = 0;
  return true;
}

bool HandleProperties(MQHMSG hmsg, MQHCONN hconn, Properties& props) {
  std::lock_guard lock(g_mu);
  MsgHandle* h = FindHandle(hmsg, hconn);
  if (!h) return false;
  props = h->props;
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

bool ConnectionKnown(MQHCONN hconn) { return hconn == MQHC_UNASSOCIATED_HCONN || FindConnection(hconn) != nullptr; }

}  // namespace

MQI_EXPORT void MQCRTMH(MQHCONN Hconn, PMQVOID pCrtMsgHOpts, PMQHMSG pHmsg, PMQLONG pCompCode, PMQLONG pReason) {
  const auto* opts = static_cast<const MQCMHO*>(pCrtMsgHOpts);
  if (!opts || std::memcmp(opts->StrucId, MQCMHO_STRUC_ID, 4) != 0 || opts->Version != MQCMHO_VERSION_1)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_CMHO_ERROR);
  if (!pHmsg) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
  if (!ConnectionKnown(Hconn)) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HCONN_ERROR);
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
  if (!opts || std::memcmp(opts->StrucId, MQDMHO_STRUC_ID, 4) != 0 || opts->Version != MQDMHO_VERSION_1)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_DMHO_ERROR);
  if (!pHmsg) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
  std::lock_guard lock(g_mu);
  if (!FindHandle(*pHmsg, Hconn)) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
  g_handles.erase(*pHmsg);
  *pHmsg = MQHM_UNUSABLE_HMSG;
  Result(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

MQI_EXPORT void MQSETMP(MQHCONN Hconn, MQHMSG Hmsg, PMQVOID pSetPropOpts, PMQVOID pName, PMQVOID pPropDesc,
                        MQLONG Type, MQLONG ValueLength, PMQVOID pValue, PMQLONG pCompCode, PMQLONG pReason) {
  const auto* opts = static_cast<const MQSMPO*>(pSetPropOpts);
  if (!opts || std::memcmp(opts->StrucId, MQSMPO_STRUC_ID, 4) != 0 || opts->Version != MQSMPO_VERSION_1)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_SMPO_ERROR);
  constexpr MQLONG kSetOptions = MQSMPO_SET_PROP_UNDER_CURSOR | MQSMPO_SET_PROP_AFTER_CURSOR |
                                 MQSMPO_APPEND_PROPERTY | MQSMPO_SET_PROP_BEFORE_CURSOR;
  if ((opts->Options & ~kSetOptions) || (opts->Options & (opts->Options - 1)))
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_OPTIONS_ERROR);
  const auto* pd = static_cast<const MQPD*>(pPropDesc);
  if (!pd || std::memcmp(pd->StrucId, MQPD_STRUC_ID, 4) != 0 || pd->Version != MQPD_VERSION_1)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PD_ERROR);
  std::string name;
  if (MQLONG r = CharvText(pName, name)) return Result(pCompCode, pReason, MQCC_FAILED, r);
  name = CanonicalPropertyName(name);
  if (MQLONG r = CheckName(name)) return Result(pCompCode, pReason, MQCC_FAILED, r);
  Property p;
  p.name = name;
  p.type = Type;
  const size_t fixed = FixedLength(Type);
  if (fixed) {
    if (ValueLength != static_cast<MQLONG>(fixed)) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_LENGTH_ERROR);
    if (!pValue) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_ERROR);
    const auto* v = static_cast<const char*>(pValue);
    switch (Type) {
      case MQTYPE_INT8: { int8_t x; std::memcpy(&x, v, 1); p = Property::Int(name, Type, x); break; }
      case MQTYPE_INT16: { int16_t x; std::memcpy(&x, v, 2); p = Property::Int(name, Type, x); break; }
      case MQTYPE_INT32: { int32_t x; std::memcpy(&x, v, 4); p = Property::Int(name, Type, x); break; }
      case MQTYPE_BOOLEAN: { int32_t x; std::memcpy(&x, v, 4); p = Property::Int(name, Type, x != 0); break; }
      case MQTYPE_INT64: { int64_t x; std::memcpy(&x, v, 8); p = Property::Int(name, Type, x); break; }
      case MQTYPE_FLOAT32: { float x; std::memcpy(&x, v, 4); p = Property::Float(name, Type, x); break; }
      default: { double x; std::memcpy(&x, v, 8); p = Property::Float(name, Type, x); break; }
    }
  } else if (Type == MQTYPE_STRING || Type == MQTYPE_BYTE_STRING) {
    const bool terminated = Type == MQTYPE_STRING && ValueLength == MQVL_NULL_TERMINATED;
    if (ValueLength < 0 && !terminated) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_LENGTH_ERROR);
    if (ValueLength > static_cast<MQLONG>(kMaxMsgLength)) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTIES_TOO_BIG);
    if ((ValueLength != 0) && !pValue) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_ERROR);
    const auto* v = static_cast<const char*>(pValue);
    if (terminated)
      p.value.assign(v, strnlen(v, kMaxMsgLength));
    else if (ValueLength)
      p.value.assign(v, static_cast<size_t>(ValueLength));
  } else if (Type == MQTYPE_NULL) {
    if (ValueLength != 0) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_LENGTH_ERROR);
  } else {
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_TYPE_ERROR);
  }
  try {
    std::lock_guard lock(g_mu);
    MsgHandle* h = FindHandle(Hmsg, Hconn);
    if (!h) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
    auto it = std::find_if(h->props.begin(), h->props.end(), [&](const Property& q) { return q.name == name; });
    if (it != h->props.end())
      *it = std::move(p);
    else
      h->props.push_back(std::move(p));
  } catch (...) {
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_RESOURCE_PROBLEM);
  }
  Result(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

MQI_EXPORT void MQINQMP(MQHCONN Hconn, MQHMSG Hmsg, PMQVOID pInqPropOpts, PMQVOID pName, PMQVOID pPropDesc,
                        PMQLONG pType, MQLONG ValueLength, PMQVOID pValue, PMQLONG pDataLength, PMQLONG pCompCode,
                        PMQLONG pReason) {
  auto* opts = static_cast<MQIMPO*>(pInqPropOpts);
  if (!opts || std::memcmp(opts->StrucId, MQIMPO_STRUC_ID, 4) != 0 || opts->Version != MQIMPO_VERSION_1)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_IMPO_ERROR);
  auto* pd = static_cast<MQPD*>(pPropDesc);
  if (!pd || std::memcmp(pd->StrucId, MQPD_STRUC_ID, 4) != 0 || pd->Version != MQPD_VERSION_1)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PD_ERROR);
  std::string pattern;
  if (MQLONG r = CharvText(pName, pattern)) return Result(pCompCode, pReason, MQCC_FAILED, r);
  pattern = CanonicalPropertyName(pattern);
  if (!pType) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_TYPE_ERROR);
  if (!pDataLength) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_DATA_LENGTH_ERROR);
  if (ValueLength < 0) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_LENGTH_ERROR);
  if (ValueLength > 0 && !pValue) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_ERROR);
  std::lock_guard lock(g_mu);
  MsgHandle* h = FindHandle(Hmsg, Hconn);
  if (!h) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
  size_t i = 0;
  if (opts->Options & MQIMPO_INQ_PROP_UNDER_CURSOR) {
    if (h->cursor == 0 || h->cursor > h->props.size()) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_NOT_AVAILABLE);
    i = h->cursor - 1;
  } else {
    i = (opts->Options & MQIMPO_INQ_NEXT) ? h->cursor : 0;
    while (i < h->props.size() && !NameMatches(pattern, h->props[i].name)) ++i;
    if (i >= h->props.size()) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_NOT_AVAILABLE);
  }
  Property p;
  const MQLONG wanted = (opts->Options & MQIMPO_CONVERT_TYPE) ? *pType : MQTYPE_AS_SET;
  if (MQLONG r = ConvertProperty(h->props[i], wanted, p)) return Result(pCompCode, pReason, MQCC_FAILED, r);
  h->cursor = i + 1;
  if (opts->ReturnedName.VSPtr && opts->ReturnedName.VSBufSize > 0) {
    const size_t n = std::min(p.name.size(), static_cast<size_t>(opts->ReturnedName.VSBufSize));
    std::memcpy(opts->ReturnedName.VSPtr, p.name.data(), n);
  }
  opts->ReturnedName.VSLength = static_cast<MQLONG>(p.name.size());
  opts->ReturnedName.VSCCSID = 1208;
  opts->ReturnedEncoding = MQENC_NATIVE;
  opts->ReturnedCCSID = 1208;
  pd->Support = MQPD_SUPPORT_OPTIONAL;
  pd->Context = MQPD_NO_CONTEXT;
  pd->CopyOptions = MQCOPY_DEFAULT;
  *pType = p.type;
  const std::string value = Output(p);
  *pDataLength = static_cast<MQLONG>(value.size());
  if (opts->Options & MQIMPO_QUERY_LENGTH) return Result(pCompCode, pReason, MQCC_OK, MQRC_NONE);
  const size_t n = std::min(value.size(), static_cast<size_t>(ValueLength));
  if (n) std::memcpy(pValue, value.data(), n);
  if (n < value.size()) return Result(pCompCode, pReason, MQCC_WARNING, MQRC_PROPERTY_VALUE_TOO_BIG);
  Result(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

MQI_EXPORT void MQDLTMP(MQHCONN Hconn, MQHMSG Hmsg, PMQVOID pDltPropOpts, PMQVOID pName, PMQLONG pCompCode,
                        PMQLONG pReason) {
  const auto* opts = static_cast<const MQDMPO*>(pDltPropOpts);
  if (!opts || std::memcmp(opts->StrucId, MQDMPO_STRUC_ID, 4) != 0 || opts->Version != MQDMPO_VERSION_1)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_DMPO_ERROR);
  if (opts->Options & ~MQDMPO_DEL_PROP_UNDER_CURSOR) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_OPTIONS_ERROR);
  std::string name;
  if (MQLONG r = CharvText(pName, name)) return Result(pCompCode, pReason, MQCC_FAILED, r);
  name = CanonicalPropertyName(name);
  if (name.find('%') != std::string::npos) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_NAME_ERROR);
  std::lock_guard lock(g_mu);
  MsgHandle* h = FindHandle(Hmsg, Hconn);
  if (!h) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
  auto it = std::find_if(h->props.begin(), h->props.end(), [&](const Property& p) { return p.name == name; });
  if (it == h->props.end()) return Result(pCompCode, pReason, MQCC_WARNING, MQRC_PROPERTY_NOT_AVAILABLE);
  const size_t index = static_cast<size_t>(it - h->props.begin());
  h->props.erase(it);
  if (h->cursor > index) --h->cursor;
  Result(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

// Takes the properties of an MQRFH2 at the start of a message buffer into a handle, and
// with MQBMHO_DELETE_PROPERTIES removes the header from the buffer.
MQI_EXPORT void MQBUFMH(MQHCONN Hconn, MQHMSG Hmsg, PMQVOID pBufMsgHOpts, PMQVOID pMsgDesc, MQLONG BufferLength,
                        PMQVOID pBuffer, PMQLONG pDataLength, PMQLONG pCompCode, PMQLONG pReason) {
  const auto* opts = static_cast<const MQBMHO*>(pBufMsgHOpts);
  if (!opts || std::memcmp(opts->StrucId, MQBMHO_STRUC_ID, 4) != 0 || opts->Version != MQBMHO_VERSION_1)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BMHO_ERROR);
  if (opts->Options & ~MQBMHO_DELETE_PROPERTIES) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_OPTIONS_ERROR);
  auto* md = static_cast<MQMD*>(pMsgDesc);
  if (!md || std::memcmp(md->StrucId, MQMD_STRUC_ID, 4) != 0 || md->Version < MQMD_VERSION_1 || md->Version > MQMD_VERSION_2)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_MD_ERROR);
  if (BufferLength < 0) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_LENGTH_ERROR);
  if (BufferLength > 0 && !pBuffer) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_ERROR);
  if (!pDataLength) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_DATA_LENGTH_ERROR);
  auto* data = static_cast<uint8_t*>(pBuffer);
  MQMD inner = *md;
  Properties props;
  const size_t header = std::memcmp(md->Format, MQFMT_RF_HEADER_2, 8) == 0
                            ? TakeRfh2Properties({data, static_cast<size_t>(BufferLength)}, inner, props)
                            : 0;
  try {
    std::lock_guard lock(g_mu);
    MsgHandle* h = FindHandle(Hmsg, Hconn);
    if (!h) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
    for (Property& p : props) {
      std::erase_if(h->props, [&](const Property& q) { return q.name == p.name; });
      h->props.push_back(std::move(p));
    }
  } catch (...) {
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_RESOURCE_PROBLEM);
  }
  *pDataLength = BufferLength;
  if (header && (opts->Options & MQBMHO_DELETE_PROPERTIES)) {
    std::memmove(data, data + header, static_cast<size_t>(BufferLength) - header);
    *pDataLength = BufferLength - static_cast<MQLONG>(header);
    md->Encoding = inner.Encoding;
    md->CodedCharSetId = inner.CodedCharSetId;
    std::memcpy(md->Format, inner.Format, sizeof md->Format);
  }
  Result(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

// Writes the properties of a handle whose names match pName into the buffer as an MQRFH2.
MQI_EXPORT void MQMHBUF(MQHCONN Hconn, MQHMSG Hmsg, PMQVOID pMsgHBufOpts, PMQVOID pName, PMQVOID pMsgDesc,
                        MQLONG BufferLength, PMQVOID pBuffer, PMQLONG pDataLength, PMQLONG pCompCode,
                        PMQLONG pReason) {
  const auto* opts = static_cast<const MQMHBO*>(pMsgHBufOpts);
  if (!opts || std::memcmp(opts->StrucId, MQMHBO_STRUC_ID, 4) != 0 || opts->Version != MQMHBO_VERSION_1)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_MHBO_ERROR);
  if ((opts->Options & ~(MQMHBO_PROPERTIES_IN_MQRFH2 | MQMHBO_DELETE_PROPERTIES)) ||
      !(opts->Options & MQMHBO_PROPERTIES_IN_MQRFH2))
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_OPTIONS_ERROR);
  std::string pattern;
  if (MQLONG r = CharvText(pName, pattern)) return Result(pCompCode, pReason, MQCC_FAILED, r);
  pattern = CanonicalPropertyName(pattern);
  auto* md = static_cast<MQMD*>(pMsgDesc);
  if (!md || std::memcmp(md->StrucId, MQMD_STRUC_ID, 4) != 0 || md->Version < MQMD_VERSION_1 || md->Version > MQMD_VERSION_2)
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_MD_ERROR);
  if (BufferLength < 0) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_LENGTH_ERROR);
  if (BufferLength > 0 && !pBuffer) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_BUFFER_ERROR);
  if (!pDataLength) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_DATA_LENGTH_ERROR);
  std::lock_guard lock(g_mu);
  MsgHandle* h = FindHandle(Hmsg, Hconn);
  if (!h) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_HMSG_ERROR);
  Properties chosen;
  for (const Property& p : h->props)
    if (NameMatches(pattern, p.name)) chosen.push_back(p);
  if (chosen.empty()) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_NOT_AVAILABLE);
  std::vector<uint8_t> rfh2;
  try {
    rfh2 = BuildRfh2(chosen, md->Encoding, md->CodedCharSetId, md->Format);
  } catch (...) {
    return Result(pCompCode, pReason, MQCC_FAILED, MQRC_RESOURCE_PROBLEM);
  }
  *pDataLength = static_cast<MQLONG>(rfh2.size());
  if (rfh2.size() > static_cast<size_t>(BufferLength)) return Result(pCompCode, pReason, MQCC_FAILED, MQRC_PROPERTY_VALUE_TOO_BIG);
  std::memcpy(pBuffer, rfh2.data(), rfh2.size());
  std::memcpy(md->Format, MQFMT_RF_HEADER_2, sizeof md->Format);
  if (opts->Options & MQMHBO_DELETE_PROPERTIES) {
    std::erase_if(h->props, [&](const Property& p) { return NameMatches(pattern, p.name); });
    h->cursor = 0;
  }
  Result(pCompCode, pReason, MQCC_OK, MQRC_NONE);
}

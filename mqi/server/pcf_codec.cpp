// PCF parsing and building for the command server: every length is checked against the
// structure's own fields and the message's end, so a malformed command yields a reason code.
#include "pcf_codec.h"

#include <cmqc.h>
#include <cmqcfc.h>

#include <cstring>

namespace vrqsim {

namespace {

class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> d) : d_(d) {}
  size_t left() const { return d_.size() - pos_; }
  size_t pos() const { return pos_; }
  MQLONG Long(size_t at) const {
    MQLONG v;
    std::memcpy(&v, d_.data() + at, 4);
    return v;
  }
  std::span<const uint8_t> Take(size_t n) {
    auto s = d_.subspan(pos_, n);
    pos_ += n;
    return s;
  }

 private:
  std::span<const uint8_t> d_;
  size_t pos_ = 0;
};

MQLONG LongAt(std::span<const uint8_t> s, size_t at) {
  MQLONG v;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}

MQINT64 Long64At(std::span<const uint8_t> s, size_t at) {
  MQINT64 v;
  std::memcpy(&v, s.data() + at, 8);
  return v;
}

std::string TextAt(std::span<const uint8_t> s, size_t at, size_t n) {
  std::string t(reinterpret_cast<const char*>(s.data() + at), n);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\0')) t.pop_back();
  return t;
}

// One parameter structure whose StrucLength was already checked to fit.
MQLONG ParseParam(std::span<const uint8_t> s, PcfParam& p) {
  p.type = LongAt(s, 0);
  p.id = LongAt(s, 8);
  const size_t len = s.size();
  switch (p.type) {
    case MQCFT_INTEGER:
      if (len != MQCFIN_STRUC_LENGTH) return MQRCCF_CFIN_LENGTH_ERROR;
      p.ints.push_back(LongAt(s, 12));
      return MQRC_NONE;
    case MQCFT_INTEGER64:
      if (len != MQCFIN64_STRUC_LENGTH) return MQRCCF_CFIN_LENGTH_ERROR;
      p.ints64.push_back(Long64At(s, 16));
      return MQRC_NONE;
    case MQCFT_STRING: {
      if (len < MQCFST_STRUC_LENGTH_FIXED) return MQRCCF_CFST_LENGTH_ERROR;
      const MQLONG n = LongAt(s, 16);
      if (n < 0 || static_cast<size_t>(n) > len - MQCFST_STRUC_LENGTH_FIXED) return MQRCCF_CFST_STRING_LENGTH_ERR;
      p.strings.push_back(TextAt(s, MQCFST_STRUC_LENGTH_FIXED, static_cast<size_t>(n)));
      return MQRC_NONE;
    }
    case MQCFT_BYTE_STRING: {
      if (len < MQCFBS_STRUC_LENGTH_FIXED) return MQRCCF_CFBS_LENGTH_ERROR;
      const MQLONG n = LongAt(s, 12);
      if (n < 0 || static_cast<size_t>(n) > len - MQCFBS_STRUC_LENGTH_FIXED) return MQRCCF_CFBS_LENGTH_ERROR;
      p.strings.emplace_back(reinterpret_cast<const char*>(s.data()) + MQCFBS_STRUC_LENGTH_FIXED,
                             static_cast<size_t>(n));
      return MQRC_NONE;
    }
    case MQCFT_INTEGER_LIST: {
      if (len < MQCFIL_STRUC_LENGTH_FIXED) return MQRCCF_CFIL_LENGTH_ERROR;
      const MQLONG count = LongAt(s, 12);
      if (count < 0 || static_cast<size_t>(count) > (len - MQCFIL_STRUC_LENGTH_FIXED) / 4)
        return MQRCCF_CFIL_COUNT_ERROR;
      for (MQLONG i = 0; i < count; ++i) p.ints.push_back(LongAt(s, MQCFIL_STRUC_LENGTH_FIXED + 4 * static_cast<size_t>(i)));
      return MQRC_NONE;
    }
    case MQCFT_INTEGER64_LIST: {
      if (len < MQCFIL64_STRUC_LENGTH_FIXED) return MQRCCF_CFIL_LENGTH_ERROR;
      const MQLONG count = LongAt(s, 12);
      if (count < 0 || static_cast<size_t>(count) > (len - MQCFIL64_STRUC_LENGTH_FIXED) / 8)
        return MQRCCF_CFIL_COUNT_ERROR;
      for (MQLONG i = 0; i < count; ++i)
        p.ints64.push_back(Long64At(s, MQCFIL64_STRUC_LENGTH_FIXED + 8 * static_cast<size_t>(i)));
      return MQRC_NONE;
    }
    case MQCFT_STRING_LIST: {
      if (len < MQCFSL_STRUC_LENGTH_FIXED) return MQRCCF_CFSL_LENGTH_ERROR;
      const MQLONG count = LongAt(s, 16), width = LongAt(s, 20);
      if (count < 0 || width < 0) return MQRCCF_CFSL_COUNT_ERROR;
      const size_t room = len - MQCFSL_STRUC_LENGTH_FIXED;
      if (width > 0 && static_cast<size_t>(count) > room / static_cast<size_t>(width)) return MQRCCF_CFSL_COUNT_ERROR;
      if (width == 0 && count > 0) return MQRCCF_CFSL_STRING_LENGTH_ERR;
      for (MQLONG i = 0; i < count; ++i)
        p.strings.push_back(TextAt(s, MQCFSL_STRUC_LENGTH_FIXED + static_cast<size_t>(i) * static_cast<size_t>(width),
                                   static_cast<size_t>(width)));
      return MQRC_NONE;
    }
    default:
      return MQRCCF_STRUCTURE_TYPE_ERROR;
  }
}

}  // namespace

MQLONG ParsePcf(std::span<const uint8_t> data, PcfCommand& out) {
  if (data.size() < sizeof(MQCFH)) return MQRCCF_MSG_LENGTH_ERROR;
  std::memcpy(&out.header, data.data(), sizeof(MQCFH));
  const MQCFH& h = out.header;
  if (h.Type != MQCFT_COMMAND && h.Type != MQCFT_COMMAND_XR) return MQRCCF_CFH_TYPE_ERROR;
  if (h.StrucLength != MQCFH_STRUC_LENGTH) return MQRCCF_CFH_LENGTH_ERROR;
  if (h.Version < MQCFH_VERSION_1 || h.Version > MQCFH_VERSION_3) return MQRCCF_CFH_VERSION_ERROR;
  if (h.ParameterCount < 0) return MQRCCF_CFH_PARM_COUNT_ERROR;
  Cursor c(data);
  c.Take(sizeof(MQCFH));
  for (MQLONG i = 0; i < h.ParameterCount; ++i) {
    if (c.left() < 12) return MQRCCF_CFH_PARM_COUNT_ERROR;
    const MQLONG len = c.Long(c.pos() + 4);
    if (len < 12 || static_cast<size_t>(len) > c.left() || len % 4) return MQRCCF_STRUCTURE_TYPE_ERROR;
    PcfParam p;
    if (MQLONG rc = ParseParam(c.Take(static_cast<size_t>(len)), p)) return rc;
    out.params.push_back(std::move(p));
  }
  if (c.left() != 0) return MQRCCF_MSG_LENGTH_ERROR;
  return MQRC_NONE;
}

PcfWriter::PcfWriter(MQLONG command, MQLONG seq, bool last, MQLONG cc, MQLONG reason) {
  header_ = {MQCFH_DEFAULT};
  header_.Type = MQCFT_RESPONSE;
  header_.Version = MQCFH_VERSION_1;
  header_.Command = command;
  header_.MsgSeqNumber = seq;
  header_.Control = last ? MQCFC_LAST : MQCFC_NOT_LAST;
  header_.CompCode = cc;
  header_.Reason = reason;
}

void PcfWriter::Raw(const void* p, size_t n) {
  auto b = static_cast<const uint8_t*>(p);
  body_.insert(body_.end(), b, b + n);
}

void PcfWriter::Int(MQLONG id, MQLONG value) {
  MQCFIN p = {MQCFIN_DEFAULT};
  p.Parameter = id;
  p.Value = value;
  Raw(&p, sizeof p);
  ++header_.ParameterCount;
}

void PcfWriter::String(MQLONG id, std::string_view value, size_t width) {
  const size_t padded = (width + 3) & ~size_t{3};
  const MQLONG fixed[5] = {MQCFT_STRING, static_cast<MQLONG>(MQCFST_STRUC_LENGTH_FIXED + padded), id, 0,
                           static_cast<MQLONG>(width)};
  Raw(fixed, sizeof fixed);
  std::string text(padded, ' ');
  text.replace(0, std::min(value.size(), width), value.substr(0, width));
  Raw(text.data(), text.size());
  ++header_.ParameterCount;
}

void PcfWriter::IntList(MQLONG id, std::span<const MQLONG> values) {
  const MQLONG fixed[4] = {MQCFT_INTEGER_LIST,
                           static_cast<MQLONG>(MQCFIL_STRUC_LENGTH_FIXED + 4 * values.size()), id,
                           static_cast<MQLONG>(values.size())};
  Raw(fixed, sizeof fixed);
  Raw(values.data(), 4 * values.size());
  ++header_.ParameterCount;
}

void PcfWriter::StringList(MQLONG id, std::span<const std::string> values, size_t width) {
  const size_t total = (values.size() * width + 3) & ~size_t{3};
  const MQLONG fixed[6] = {MQCFT_STRING_LIST, static_cast<MQLONG>(MQCFSL_STRUC_LENGTH_FIXED + total), id, 0,
                           static_cast<MQLONG>(values.size()), static_cast<MQLONG>(width)};
  Raw(fixed, sizeof fixed);
  std::string text(total, ' ');
  for (size_t i = 0; i < values.size(); ++i)
    text.replace(i * width, std::min(values[i].size(), width), values[i].substr(0, width));
  Raw(text.data(), text.size());
  ++header_.ParameterCount;
}

std::vector<uint8_t> PcfWriter::Finish() {
  // Sized once and filled by copies: growing a 36-byte vector by insert() trips g++'s
  // array-bounds analysis at -O2.
  std::vector<uint8_t> out(sizeof header_ + body_.size());
  std::memcpy(out.data(), &header_, sizeof header_);
  if (!body_.empty()) std::memcpy(out.data() + sizeof header_, body_.data(), body_.size());
  return out;
}

}  // namespace vrqsim

// MQRFH2 name/value folders for message properties: building them and parsing them, with
// every length checked against the header's StrucLength and the data's end.
#include "rfh2.h"

#include <cmqc.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vrqsim {

namespace {

constexpr size_t kRfh2Fixed = MQRFH_STRUC_LENGTH_FIXED_2;
constexpr size_t kMaxProperties = 1024;

std::string Escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view s) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (size_t i = 0; i < s.size();) {
    bool replaced = false;
    if (s[i] == '&') {
      for (const auto& [entity, c] : kEntities)
        if (s.substr(i, entity.size()) == entity) {
          out += c;
          i += entity.size();
          replaced = true;
          break;
        }
    }
    if (!replaced) out += s[i++];
  }
  return out;
}

const char* DataType(MQLONG type) {
  switch (type) {
    case MQTYPE_INT8: return "i1";
    case MQTYPE_INT16: return "i2";
    case MQTYPE_INT32: return "i4";
    case MQTYPE_INT64: return "i8";
    case MQTYPE_FLOAT32: return "r4";
    case MQTYPE_FLOAT64: return "r8";
    case MQTYPE_BOOLEAN: return "boolean";
    case MQTYPE_BYTE_STRING: return "bin.hex";
    default: return nullptr;
  }
}

MQLONG TypeOf(std::string_view dt) {
  if (dt == "i1") return MQTYPE_INT8;
  if (dt == "i2") return MQTYPE_INT16;
  if (dt == "i4" || dt == "int") return MQTYPE_INT32;
  if (dt == "i8") return MQTYPE_INT64;
  if (dt == "r4") return MQTYPE_FLOAT32;
  if (dt == "r8") return MQTYPE_FLOAT64;
  if (dt == "boolean") return MQTYPE_BOOLEAN;
  if (dt == "bin.hex") return MQTYPE_BYTE_STRING;
  return MQTYPE_STRING;
}

std::string ValueText(const Property& p) {
  switch (p.type) {
    case MQTYPE_INT8: case MQTYPE_INT16: case MQTYPE_INT32: case MQTYPE_INT64:
      return std::to_string(p.AsInt());
    case MQTYPE_BOOLEAN:
      return p.AsInt() ? "1" : "0";
    case MQTYPE_FLOAT32: case MQTYPE_FLOAT64: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", p.AsFloat());
      return buf;
    }
    case MQTYPE_BYTE_STRING: {
      static constexpr char kHex[] = "0123456789ABCDEF";
      std::string out;
      for (unsigned char c : p.value) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
      return out;
    }
    default:
      return Escape(p.value);
  }
}

// A property from its RFH2 element; false when the value does not fit its type.
bool FromText(std::string name, std::string_view attrs, std::string_view text, Property& p) {
  p = {};
  p.name = std::move(name);
  if (attrs.find("xsi:nil='true'") != std::string_view::npos || attrs.find("xsi:nil=\"true\"") != std::string_view::npos) {
    p.type = MQTYPE_NULL;
    return true;
  }
  std::string_view dt;
  if (size_t at = attrs.find("dt="); at != std::string_view::npos && at + 4 < attrs.size()) {
    const char quote = attrs[at + 3];
    const size_t end = attrs.find(quote, at + 4);
    if (end != std::string_view::npos) dt = attrs.substr(at + 4, end - at - 4);
  }
  p.type = TypeOf(dt);
  switch (p.type) {
    case MQTYPE_STRING:
      p.value = Unescape(text);
      return true;
    case MQTYPE_BYTE_STRING: {
      if (text.size() % 2) return false;
      for (size_t i = 0; i < text.size(); i += 2) {
        unsigned v = 0;
        auto [end, ec] = std::from_chars(text.data() + i, text.data() + i + 2, v, 16);
        if (ec != std::errc() || end != text.data() + i + 2) return false;
        p.value += static_cast<char>(v);
      }
      return true;
    }
    case MQTYPE_FLOAT32: case MQTYPE_FLOAT64: {
      const std::string s(text);
      char* end = nullptr;
      const double d = std::strtod(s.c_str(), &end);
      if (s.empty() || *end) return false;
      p = Property::Float(std::move(p.name), p.type, d);
      return true;
    }
    case MQTYPE_BOOLEAN:
      if (text != "0" && text != "1" && text != "true" && text != "false") return false;
      p = Property::Int(std::move(p.name), p.type, text == "1" || text == "true");
      return true;
    default: {
      int64_t v = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (ec != std::errc() || end != text.data() + text.size()) return false;
      p = Property::Int(std::move(p.name), p.type, v);
      return true;
    }
  }
}

// The elements <name attrs>value</name> of one folder's content; prefix goes in front of
// each name.
void ParseFolder(std::string_view folder, std::string_view prefix, Properties& props) {
  size_t pos = 0;
  while (props.size() < kMaxProperties && (pos = folder.find('<', pos)) != std::string_view::npos) {
    const size_t name_end = folder.find_first_of(" />", pos + 1);
    const size_t tag_end = folder.find('>', pos + 1);
    if (name_end == std::string_view::npos || tag_end == std::string_view::npos) return;
    const std::string name(folder.substr(pos + 1, name_end - pos - 1));
    if (name.empty() || name[0] == '/') return;
    std::string_view attrs = folder.substr(name_end, tag_end - name_end);
    Property p;
    if (!attrs.empty() && attrs.back() == '/') {   // <name xsi:nil='true'/>
      if (FromText(std::string(prefix) + name, attrs, "", p)) props.push_back(std::move(p));
      pos = tag_end + 1;
      continue;
    }
    const std::string close = "</" + name + ">";
    const size_t value_end = folder.find(close, tag_end + 1);
    if (value_end == std::string_view::npos) return;
    if (FromText(std::string(prefix) + name, attrs, folder.substr(tag_end + 1, value_end - tag_end - 1), p))
      props.push_back(std::move(p));
    pos = value_end + close.size();
  }
}

// The folders of a well-formed MQRFH2 at the start of data, and its header; false when
// there is none.
bool Folders(std::span<const uint8_t> data, MQRFH2& h, std::vector<std::string_view>& folders) {
  if (data.size() < kRfh2Fixed || std::memcmp(data.data(), MQRFH_STRUC_ID, 4) != 0) return false;
  std::memcpy(&h, data.data(), kRfh2Fixed);
  if (h.Version != MQRFH_VERSION_2 || h.StrucLength < static_cast<MQLONG>(kRfh2Fixed) ||
      static_cast<size_t>(h.StrucLength) > data.size())
    return false;
  const size_t end = static_cast<size_t>(h.StrucLength);
  size_t pos = kRfh2Fixed;
  while (pos + 4 <= end) {
    MQLONG len;
    std::memcpy(&len, data.data() + pos, 4);
    pos += 4;
    if (len < 0 || static_cast<size_t>(len) > end - pos) return false;
    std::string_view folder(reinterpret_cast<const char*>(data.data() + pos), static_cast<size_t>(len));
    while (!folder.empty() && (folder.back() == ' ' || folder.back() == '\0')) folder.remove_suffix(1);
    folders.push_back(folder);
    pos += static_cast<size_t>(len);
  }
  return true;
}

// The content of <tag>...</tag> when the folder is that element.
std::optional<std::string_view> FolderBody(std::string_view folder, std::string_view tag) {
  const std::string open = "<" + std::string(tag) + ">", close = "</" + std::string(tag) + ">";
  if (folder.substr(0, open.size()) != open || folder.size() < open.size() + close.size() ||
      folder.substr(folder.size() - close.size()) != close)
    return std::nullopt;
  return folder.substr(open.size(), folder.size() - open.size() - close.size());
}

void AddFolder(std::vector<uint8_t>& out, const std::string& text) {
  std::string folder = text;
  folder.resize((folder.size() + 3) / 4 * 4, ' ');
  const MQLONG len = static_cast<MQLONG>(folder.size());
  const auto* l = reinterpret_cast<const uint8_t*>(&len);
  out.insert(out.end(), l, l + 4);
  out.insert(out.end(), folder.begin(), folder.end());
}

}  // namespace

Property Property::Int(std::string name, MQLONG type, int64_t v) {
  Property p{std::move(name), type, std::string(sizeof v, '\0')};
  std::memcpy(p.value.data(), &v, sizeof v);
  return p;
}

Property Property::Float(std::string name, MQLONG type, double v) {
  Property p{std::move(name), type, std::string(sizeof v, '\0')};
  std::memcpy(p.value.data(), &v, sizeof v);
  return p;
}

int64_t Property::AsInt() const {
  int64_t v = 0;
  if (value.size() == sizeof v) std::memcpy(&v, value.data(), sizeof v);
  return v;
}

double Property::AsFloat() const {
  double v = 0;
  if (value.size() == sizeof v) std::memcpy(&v, value.data(), sizeof v);
  return v;
}

std::string CanonicalPropertyName(std::string_view name) {
  if (name.size() > 4 && (name.substr(0, 4) == "usr." || name.substr(0, 4) == "USR.")) name.remove_prefix(4);
  return std::string(name);
}

size_t TakeRfh2Properties(std::span<const uint8_t> data, MQMD& md, Properties& props) {
  MQRFH2 h;
  std::vector<std::string_view> folders;
  if (!Folders(data, h, folders)) return 0;
  Properties found;
  for (std::string_view folder : folders) {
    if (auto usr = FolderBody(folder, "usr")) {
      ParseFolder(*usr, "", found);
    } else if (auto ps = FolderBody(folder, "mqps")) {
      Properties ps_props;
      ParseFolder(*ps, "", ps_props);
      for (auto& p : ps_props) {
        if (p.name == "Top") {
          p.name = kTopicStringProperty;
          found.push_back(std::move(p));
        } else if (p.name == "Ret") {
          p.name = kRetainedProperty;
          found.push_back(std::move(p));
        }
      }
    }
  }
  md.Encoding = h.Encoding;
  md.CodedCharSetId = h.CodedCharSetId;
  std::memcpy(md.Format, h.Format, sizeof md.Format);
  props = std::move(found);
  return static_cast<size_t>(h.StrucLength);
}

std::vector<uint8_t> BuildRfh2(const Properties& props, MQLONG encoding, MQLONG ccsid, const char* format) {
  std::string usr, mqps;
  for (const Property& p : props) {
    if (p.name == kTopicStringProperty) {
      mqps += "<Top>" + Escape(p.value) + "</Top>";
      continue;
    }
    if (p.name == kRetainedProperty) {
      mqps += std::string("<Ret dt='boolean'>") + (p.AsInt() ? "1" : "0") + "</Ret>";
      continue;
    }
    const std::string name = CanonicalPropertyName(p.name);
    if (p.type == MQTYPE_NULL) {
      usr += "<" + name + " xsi:nil='true'/>";
      continue;
    }
    const char* dt = DataType(p.type);
    usr += "<" + name + (dt ? std::string(" dt='") + dt + "'" : "") + ">" + ValueText(p) + "</" + name + ">";
  }
  std::vector<uint8_t> out(kRfh2Fixed);
  if (!mqps.empty()) AddFolder(out, "<mqps>" + mqps + "</mqps>");
  if (!usr.empty()) AddFolder(out, "<usr>" + usr + "</usr>");
  MQRFH2 h = {MQRFH2_DEFAULT};
  h.StrucLength = static_cast<MQLONG>(out.size());
  h.Encoding = encoding;
  h.CodedCharSetId = ccsid;
  std::memcpy(h.Format, format, sizeof h.Format);
  h.NameValueCCSID = 1208;
  std::memcpy(out.data(), &h, kRfh2Fixed);
  return out;
}

size_t InternalRfh2Length(std::span<const uint8_t> data) {
  MQRFH2 h;
  std::vector<std::string_view> folders;
  if (!Folders(data, h, folders) || folders.empty()) return 0;
  for (std::string_view folder : folders)
    if (!FolderBody(folder, "mqps")) return 0;
  return static_cast<size_t>(h.StrucLength);
}

size_t StripInternalRfh2(std::span<const uint8_t> data, MQMD& md) {
  if (std::memcmp(md.Format, MQFMT_RF_HEADER_2, sizeof md.Format) != 0 || !InternalRfh2Length(data)) return 0;
  Properties ignored;
  return TakeRfh2Properties(data, md, ignored);
}

}  // namespace vrqsim

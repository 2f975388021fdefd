// Parsing of the MQRFH2 name/value folders for message properties: every length is checked
// against the header's StrucLength and the data's end.
#include "rfh2.h"

#include <cmqc.h>

#include <cstring>
#include <string_view>

namespace vrqsim {

namespace {

constexpr size_t kRfh2Fixed = MQRFH_STRUC_LENGTH_FIXED_2;
constexpr size_t kMaxProperties = 1024;

// The elements <name ...>value</name> of one <usr> folder.
void ParseUsrFolder(std::string_view folder, Properties& props) {
  size_t pos = 0;
  while (props.size() < kMaxProperties && (pos = folder.find('<', pos)) != std::string_view::npos) {
    const size_t name_end = folder.find_first_of(" >", pos + 1);
    const size_t tag_end = folder.find('>', pos + 1);
    if (name_end == std::string_view::npos || tag_end == std::string_view::npos) return;
    const std::string name(folder.substr(pos + 1, name_end - pos - 1));
    if (name.empty() || name[0] == '/') return;
    const std::string close = "</" + name + ">";
    const size_t value_end = folder.find(close, tag_end + 1);
    if (value_end == std::string_view::npos) return;
    props.emplace_back(name, std::string(folder.substr(tag_end + 1, value_end - tag_end - 1)));
    pos = value_end + close.size();
  }
}

}  // namespace

size_t TakeRfh2Properties(std::span<const uint8_t> data, MQMD& md, Properties& props) {
  if (data.size() < kRfh2Fixed || std::memcmp(data.data(), MQRFH_STRUC_ID, 4) != 0) return 0;
  MQRFH2 h;
  std::memcpy(&h, data.data(), kRfh2Fixed);
  if (h.Version != MQRFH_VERSION_2 || h.StrucLength < static_cast<MQLONG>(kRfh2Fixed) ||
      static_cast<size_t>(h.StrucLength) > data.size())
    return 0;
  Properties found;
  const size_t end = static_cast<size_t>(h.StrucLength);
  size_t pos = kRfh2Fixed;
  while (pos + 4 <= end) {
    MQLONG len;
    std::memcpy(&len, data.data() + pos, 4);
    pos += 4;
    if (len < 0 || static_cast<size_t>(len) > end - pos) return 0;
    std::string_view folder(reinterpret_cast<const char*>(data.data() + pos), static_cast<size_t>(len));
    pos += static_cast<size_t>(len);
    const size_t open = folder.find("<usr>"), close = folder.rfind("</usr>");
    if (open != std::string_view::npos && close != std::string_view::npos && close > open)
      ParseUsrFolder(folder.substr(open + 5, close - open - 5), found);
  }
  md.Encoding = h.Encoding;
  md.CodedCharSetId = h.CodedCharSetId;
  std::memcpy(md.Format, h.Format, sizeof md.Format);
  props = std::move(found);
  return end;
}

}  // namespace vrqsim

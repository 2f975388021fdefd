// Message properties and the MQRFH2 header that carries them inside a message: the
// <usr> folder holds application properties, <mqps><Top> the topic string of a
// publication. Property values keep their MQTYPE_ type.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <cmqc.h>

namespace vrqsim {

struct Property {
  std::string name;            // without the "usr." prefix; other folders keep theirs
  MQLONG type = MQTYPE_STRING;
  // STRING and BYTE_STRING: the bytes; integers: an int64_t; floats: a double;
  // BOOLEAN: an int64_t 0 or 1; NULL: empty. Numbers in native byte order.
  std::string value;

  static Property Int(std::string name, MQLONG type, int64_t v);
  static Property Float(std::string name, MQLONG type, double v);
  int64_t AsInt() const;
  double AsFloat() const;
};

using Properties = std::vector<Property>;

// The name a property is stored under: "usr.x" and "x" are the same property.
std::string CanonicalPropertyName(std::string_view name);

// The topic-string property of a publication.
inline constexpr const char* kTopicStringProperty = "MQTopicString";
// Set on a retained publication delivered to a new subscriber or on request.
inline constexpr const char* kRetainedProperty = "MQIsRetained";

// When data starts with a well-formed MQRFH2, fills props from its <usr> and <mqps>
// folders, gives md the header's Encoding, CodedCharSetId and Format, and returns the
// header's length (the bytes to strip); otherwise returns 0 and changes nothing.
size_t TakeRfh2Properties(std::span<const uint8_t> data, MQMD& md, Properties& props);

// An MQRFH2 carrying props, to be put in front of a body described by encoding, ccsid and
// format (8 characters). The md of the whole message then names MQFMT_RF_HEADER_2.
std::vector<uint8_t> BuildRfh2(const Properties& props, MQLONG encoding, MQLONG ccsid, const char* format);

// Length of a leading MQRFH2 whose only folder is <mqps> (what the queue manager adds to a
// publication): such a header is not shown to a getter without a message handle.
size_t InternalRfh2Length(std::span<const uint8_t> data);
// For a getter without a message handle: when data starts with such a header, gives md
// the Encoding, CodedCharSetId and Format it names and returns its length; otherwise 0.
size_t StripInternalRfh2(std::span<const uint8_t> data, MQMD& md);

}  // namespace vrqsim

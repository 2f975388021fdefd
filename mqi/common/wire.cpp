// Frame building and bounds-checked field reading for the stand-in's wire protocol, and the
// conversions between blank-padded MQ text fields and strings.
#include "wire.h"

namespace vrqsim {

std::vector<uint8_t> Writer::frame(uint32_t code) const {
  std::vector<uint8_t> out(kFrameHeader + buf_.size());
  const auto length = static_cast<uint32_t>(buf_.size());
  std::memcpy(out.data(), &length, 4);
  std::memcpy(out.data() + 4, &code, 4);
  if (!buf_.empty()) std::memcpy(out.data() + kFrameHeader, buf_.data(), buf_.size());
  return out;
}

void Reader::raw(void* p, size_t n) {
  if (failed_ || data_.size() - pos_ < n) {
    failed_ = true;
    std::memset(p, 0, n);
    return;
  }
  if (n) std::memcpy(p, data_.data() + pos_, n);
  pos_ += n;
}

std::span<const uint8_t> Reader::bytes(size_t max) {
  const uint32_t n = u32();
  if (failed_ || n > max || data_.size() - pos_ < n) {
    failed_ = true;
    return {};
  }
  auto out = data_.subspan(pos_, n);
  pos_ += n;
  return out;
}

std::string Reader::str(size_t max) {
  auto b = bytes(max);
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

std::string Trimmed(const char* field, size_t width) {
  size_t n = 0;
  while (n < width && field[n] != '\0') ++n;
  while (n > 0 && field[n - 1] == ' ') --n;
  return {field, n};
}

void SetField(char* field, size_t width, std::string_view value) {
  const size_t n = value.size() < width ? value.size() : width;
  std::memcpy(field, value.data(), n);
  std::memset(field + n, ' ', width - n);
}

}  // namespace vrqsim

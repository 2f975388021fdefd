// The stand-in queue manager's wire protocol: length-prefixed binary frames over a
// Unix-domain socket, and the bounds-checked reader and writer that build and parse them.
// A frame is an 8-byte header (payload length, operation or status) and the payload; both
// ends run on the same machine, so integers travel in native byte order.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <cmqc.h>

namespace vrqsim {

// Operations a client sends; the server answers each with one frame of the same code.
enum class Op : uint32_t {
  Conn = 1, Disc, Open, Close, Put, Put1, Get, Inq, Set, Cmit, Back, Admin, Sub, SubRq,
};

inline constexpr uint32_t kFrameHeader = 8;
// Largest message a queue manager accepts, and the largest frame either side reads: the
// message and its descriptors plus a little room for the request fields.
inline constexpr uint32_t kMaxMsgLength = 4 * 1024 * 1024;
inline constexpr uint32_t kMaxFrame = kMaxMsgLength + 64 * 1024;

// Appends fields to a frame payload.
class Writer {
 public:
  void u32(uint32_t v) { raw(&v, sizeof v); }
  void i32(int32_t v) { raw(&v, sizeof v); }
  void i64(int64_t v) { raw(&v, sizeof v); }
  void raw(const void* p, size_t n) {
    auto b = static_cast<const uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
  }
  void bytes(std::span<const uint8_t> b) {
    u32(static_cast<uint32_t>(b.size()));
    buf_.insert(buf_.end(), b.begin(), b.end());
  }
  void str(std::string_view s) {
    bytes({reinterpret_cast<const uint8_t*>(s.data()), s.size()});
  }
  template <typename T>
  void record(const T& r) { raw(&r, sizeof r); }
  // The whole frame: header then payload.
  std::vector<uint8_t> frame(uint32_t code) const;
  const std::vector<uint8_t>& payload() const { return buf_; }
  // Room for n more bytes, so that a payload holding a secret is never copied as it grows.
  void reserve(size_t n) { buf_.reserve(buf_.size() + n); }
  // Overwrites the payload (it may hold a secret) and empties it.
  void wipe() {
    volatile uint8_t* p = buf_.data();
    for (size_t i = 0; i < buf_.size(); ++i) p[i] = 0;
    buf_.clear();
  }

 private:
  std::vector<uint8_t> buf_;
};

// Reads fields from a payload; reading past the end sets failed() and yields zeros.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> data) : data_(data) {}
  uint32_t u32() { uint32_t v = 0; raw(&v, sizeof v); return v; }
  int32_t i32() { int32_t v = 0; raw(&v, sizeof v); return v; }
  int64_t i64() { int64_t v = 0; raw(&v, sizeof v); return v; }
  void raw(void* p, size_t n);
  // A length-prefixed byte string, at most max bytes long.
  std::span<const uint8_t> bytes(size_t max = kMaxFrame);
  std::string str(size_t max = 1024);
  template <typename T>
  T record() { T r{}; raw(&r, sizeof r); return r; }
  bool failed() const { return failed_; }
  void fail() { failed_ = true; }
  // True when every byte was consumed and nothing failed.
  bool done() const { return !failed_ && pos_ == data_.size(); }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// Fixed-width blank-padded MQ text <-> trimmed string.
std::string Trimmed(const char* field, size_t width);
void SetField(char* field, size_t width, std::string_view value);

template <size_t N>
std::string Trimmed(const char (&field)[N]) { return Trimmed(field, N); }
template <size_t N>
void SetField(char (&field)[N], std::string_view value) { SetField(field, N, value); }

// The fields of an object descriptor that travel with MQOPEN and MQPUT1.
struct ObjectRef {
  MQLONG type;
  MQCHAR48 name;
  MQCHAR48 qmgr;
  MQCHAR48 dynamic;
  MQCHAR12 alternate_user;
};
static_assert(sizeof(ObjectRef) == 160);

}  // namespace vrqsim

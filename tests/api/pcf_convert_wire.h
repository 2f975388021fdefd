// Test helper: writes PCF structures byte by byte in either byte order and either
// character set, independently of the library's attribute families, so that tests can
// compare converted bytes against what a machine of the other kind would have sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vrqapi.h"

namespace pcfwire {

class Writer {
 public:
  Writer(bool bigEndian, bool ebcdic) : big_(bigEndian), ebcdic_(ebcdic) {}

  std::vector<unsigned char>& bytes() { return b_; }
  int size() const { return static_cast<int>(b_.size()); }

  void Word(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b_.push_back(static_cast<unsigned char>(u >> (big_ ? 24 - 8 * i : 8 * i)));
  }
  void Word64(int64_t v) {
    const auto u = static_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) b_.push_back(static_cast<unsigned char>(u >> (big_ ? 56 - 8 * i : 8 * i)));
  }
  // Text in the writer's character set, padded with zero bytes to width.
  void Text(const std::string& s, size_t width) {
    std::string t = s;
    t.resize(width, '\0');
    if (ebcdic_) TextConvert(t.data(), t.data(), static_cast<int>(s.size()), 0);
    b_.insert(b_.end(), t.begin(), t.end());
  }
  void Raw(const std::vector<unsigned char>& v) { b_.insert(b_.end(), v.begin(), v.end()); }
  void Pad() {
    while (b_.size() % 4) b_.push_back(0);
  }

  void Cfh(int type, int command, int count) {
    for (int32_t v : {type, 36, 1, command, 1, 1, 0, 0, count}) Word(v);
  }
  void Int(int p, int v) {
    for (int32_t w : {3, 16, p, v}) Word(w);
  }
  void Str(int p, const std::string& s) {
    const int len = static_cast<int>(s.size());
    for (int32_t w : {4, Round4(20 + len), p, 0, len}) Word(w);
    Text(s, s.size());
    Pad();
  }
  void StrList(int p, const std::vector<std::string>& items, int len) {
    const int count = static_cast<int>(items.size());
    for (int32_t w : {6, Round4(24 + count * len), p, 0, count, len}) Word(w);
    for (const auto& s : items) Text(s, static_cast<size_t>(len));
    Pad();
  }
  void IntList(int p, const std::vector<int32_t>& values) {
    const int count = static_cast<int>(values.size());
    for (int32_t w : {5, 16 + 4 * count, p, count}) Word(w);
    for (int32_t v : values) Word(v);
  }
  void Int64(int p, int64_t v) {
    for (int32_t w : {23, 24, p, 0}) Word(w);
    Word64(v);
  }
  void Int64List(int p, const std::vector<int64_t>& values) {
    const int count = static_cast<int>(values.size());
    for (int32_t w : {25, 16 + 8 * count, p, count}) Word(w);
    for (int64_t v : values) Word64(v);
  }
  void IntFilter(int p, int op, int v) {
    for (int32_t w : {13, 20, p, op, v}) Word(w);
  }
  void StrFilter(int p, int op, const std::string& s) {
    const int len = static_cast<int>(s.size());
    for (int32_t w : {14, Round4(24 + len), p, op, 0, len}) Word(w);
    Text(s, s.size());
    Pad();
  }
  void Group(int p, int count) {
    for (int32_t w : {20, 16, p, count}) Word(w);
  }
  void ByteStr(int p, const std::vector<unsigned char>& v) {
    const int len = static_cast<int>(v.size());
    for (int32_t w : {9, Round4(16 + len), p, len}) Word(w);
    Raw(v);
    Pad();
  }
  void Embedded(int p, const std::vector<unsigned char>& pcf) {
    const int len = static_cast<int>(pcf.size());
    for (int32_t w : {998, Round4(20 + len), p, 0, len}) Word(w);
    Raw(pcf);
    Pad();
  }

  static int Round4(int n) { return (n + 3) & ~3; }

 private:
  bool big_;
  bool ebcdic_;
  std::vector<unsigned char> b_;
};

}  // namespace pcfwire

// Helpers for the PCF model tests: an attribute record that deletes itself, a message
// that deletes itself, and expected byte images written word by word.
#pragma once

#include <cmqc.h>
#include <cmqcfc.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "vrqapi.h"

namespace pcftest {

// A zero-initialised MESSAGE whose block is freed at the end of the scope.
struct Attr {
  MESSAGE m{};
  Attr() = default;
  Attr(const Attr&) = delete;
  Attr& operator=(const Attr&) = delete;
  ~Attr() {
    if (m.pMdHdr != nullptr) DeleteMessage(&m);
  }
  std::vector<uint8_t> bytes() const {
    return {m.pData, m.pData + (m.lMsgLength - 136)};
  }
};

// A PcfMessage deleted at the end of the scope.
struct Msg {
  PcfMessage* p;
  explicit Msg(PcfMessage* msg) : p(msg) {}
  Msg(int command, int type, int capacity) : p(CreatePcfMessage(command, type, capacity)) {}
  Msg(const Msg&) = delete;
  Msg& operator=(const Msg&) = delete;
  ~Msg() { DeletePcfMessage(p); }
  PcfMessage* operator->() const { return p; }
  int length() const { return p->PcfMsg.lMsgLength - 136; }
  std::vector<uint8_t> bytes() const { return {p->PcfMsg.pData, p->PcfMsg.pData + length()}; }
  void set(int offset, int32_t v) { std::memcpy(p->PcfMsg.pData + offset, &v, 4); }
  int32_t word(int offset) const {
    int32_t v;
    std::memcpy(&v, p->PcfMsg.pData + offset, 4);
    return v;
  }
};

// An expected byte image: 32-bit words in host order, text, and zero padding.
struct Image {
  std::vector<uint8_t> b;
  Image& w(int32_t v) {
    uint8_t x[4];
    std::memcpy(x, &v, 4);
    b.insert(b.end(), x, x + 4);
    return *this;
  }
  Image& w64(int64_t v) {
    uint8_t x[8];
    std::memcpy(x, &v, 8);
    b.insert(b.end(), x, x + 8);
    return *this;
  }
  Image& words(std::initializer_list<int32_t> vs) {
    for (int32_t v : vs) w(v);
    return *this;
  }
  Image& s(std::string_view text) {
    b.insert(b.end(), text.begin(), text.end());
    return *this;
  }
  Image& zeros(size_t n) {
    b.insert(b.end(), n, 0);
    return *this;
  }
  Image& fill(size_t n, uint8_t c) {
    b.insert(b.end(), n, c);
    return *this;
  }
  Image& add(const std::vector<uint8_t>& more) {
    b.insert(b.end(), more.begin(), more.end());
    return *this;
  }
};

// Raw PCF bytes placed into a fresh message (room for them exactly) without indexing.
inline PcfMessage* MessageFromBytes(const std::vector<uint8_t>& bytes) {
  PcfMessage* msg = CreatePcfMessage(0, MQCFT_COMMAND, static_cast<int>(bytes.size()));
  if (msg == nullptr) return nullptr;
  SizeMessage(&msg->PcfMsg, static_cast<int>(bytes.size()));
  if (!bytes.empty()) std::memcpy(msg->PcfMsg.pData, bytes.data(), bytes.size());
  msg->PcfMsg.lMsgLength = 136 + static_cast<int>(bytes.size());
  return msg;
}

// An MQCFH of the given type, command and parameter count.
inline Image Header(int32_t type, int32_t command, int32_t count) {
  Image i;
  i.words({type, 36, 1, command, 1, 1, 0, 0, count});
  return i;
}

}  // namespace pcftest

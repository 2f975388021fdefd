// Test helpers for the MQSC translation tests: building PCF commands and reading the
// text or PCF results.
#pragma once

#include <cmqc.h>
#include <cmqcfc.h>

#include <cstring>
#include <string>
#include <vector>

#include "vrqapi.h"

namespace mqsctest {

// A PCF message owned by the test, built parameter by parameter.
class Pcf {
 public:
  explicit Pcf(int command, int type = MQCFT_COMMAND, int capacity = 4096)
      : msg_(CreatePcfMessage(command, type, capacity)) {}
  ~Pcf() { DeletePcfMessage(msg_); }
  Pcf(const Pcf&) = delete;
  Pcf& operator=(const Pcf&) = delete;

  Pcf& Int(int parameter, int value) {
    MESSAGE a{};
    CreatePcfIntAttr(&a, parameter, value);
    return Add(&a);
  }
  Pcf& Str(int parameter, const std::string& value) {
    MESSAGE a{};
    CreatePcfStrAttr(&a, parameter, value.c_str());
    return Add(&a);
  }
  Pcf& IntList(int parameter, const std::vector<int>& values) {
    MESSAGE a{};
    CreatePcfIntListAttr(&a, parameter, static_cast<int>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) SetPcfIntListAttrValue(&a, static_cast<int>(i), values[i]);
    return Add(&a);
  }
  Pcf& StrList(int parameter, const std::vector<std::string>& values, int length) {
    MESSAGE a{};
    CreatePcfStrListAttr(&a, parameter, static_cast<int>(values.size()), length);
    for (size_t i = 0; i < values.size(); ++i) SetPcfStrListAttrValue(&a, static_cast<int>(i), values[i].c_str());
    return Add(&a);
  }
  Pcf& IntFilter(int parameter, int op, int value) {
    MESSAGE a{};
    CreatePcfIntFltrAttr(&a, parameter, op, value);
    return Add(&a);
  }
  Pcf& StrFilter(int parameter, int op, const std::string& value) {
    MESSAGE a{};
    CreatePcfStrFltrAttr(&a, parameter, op, value.c_str());
    return Add(&a);
  }
  PcfMessage* get() { return msg_; }

 private:
  Pcf& Add(MESSAGE* a) {
    AppendAttr(msg_, a);
    DeleteMessage(a);
    return *this;
  }
  PcfMessage* msg_;
};

// The text of a translated message (its used data).
inline std::string Text(PcfMessage* text) {
  return std::string(text->PcfMsg.pData, static_cast<size_t>(text->PcfMsg.lMsgLength - 136));
}

struct Result {
  MQLONG status = -1, reason = -1, count = -1;
  std::string text;
};

// Translates a PCF command into MQSC text with a text buffer of the given capacity.
inline Result ToMqsc(Pcf& pcf, int continuation = 0, int capacity = 8192) {
  PcfMessage* text = CreatePcfMessage(0, MQCFT_COMMAND, capacity);
  Result r;
  vrqPcf2Mqsc(pcf.get(), text, continuation, &r.status, &r.reason, &r.count);
  if (r.status == 0) r.text = Text(text);
  DeletePcfMessage(text);
  return r;
}

// A message whose data holds the response text.
inline PcfMessage* TextMessage(const std::string& response) {
  PcfMessage* text = CreatePcfMessage(0, MQCFT_COMMAND, static_cast<int>(response.size()) + 64);
  std::memcpy(text->PcfMsg.pData, response.data(), response.size());
  text->PcfMsg.lMsgLength = 136 + static_cast<MQLONG>(response.size());
  return text;
}

// Translates a response text for a command into a fresh PCF message (caller deletes it).
inline PcfMessage* ToPcf(int command, const std::string& response, Result* r, int capacity = 8192) {
  PcfMessage* text = TextMessage(response);
  PcfMessage* pcf = CreatePcfMessage(command, MQCFT_RESPONSE, capacity);
  vrqMqsc2Pcf(text, pcf, &r->status, &r->reason, &r->count);
  DeletePcfMessage(text);
  RawToPcf(pcf);
  return pcf;
}

inline bool IntParam(PcfMessage* pcf, int parameter, int* value) {
  MESSAGE a{};
  bool ok = GetAttrByID(parameter, &a, pcf) && GetPcfIntAttrValue(&a, value);
  DeleteMessage(&a);
  return ok;
}

inline std::string StrParam(PcfMessage* pcf, int parameter) {
  MESSAGE a{};
  char out[4096] = "<missing>";
  if (GetAttrByID(parameter, &a, pcf)) GetPcfStrAttrValue(&a, out, sizeof out - 1);
  DeleteMessage(&a);
  return out;
}

}  // namespace mqsctest

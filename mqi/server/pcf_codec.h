// The command server's own reading and writing of PCF messages (MQCFH followed by MQCFIN,
// MQCFST, MQCFIL, MQCFSL, MQCFBS, MQCFIN64 and MQCFIL64 parameters), independent of the
// toolkit's PCF library so that each checks the other.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <cmqc.h>
#include <cmqcfc.h>

namespace vrqsim {

struct PcfParam {
  MQLONG type = 0;
  MQLONG id = 0;
  std::vector<MQLONG> ints;          // MQCFIN (one value), MQCFIL
  std::vector<MQINT64> ints64;       // MQCFIN64, MQCFIL64
  std::vector<std::string> strings;  // MQCFST (one value), MQCFSL; MQCFBS bytes as one string
};

struct PcfCommand {
  MQCFH header{};
  std::vector<PcfParam> params;
};

// Parses a native-encoding PCF message; returns MQRC_NONE or the MQRCCF_ reason of the first
// structural fault (header type, length, version, parameter count, parameter length).
MQLONG ParsePcf(std::span<const uint8_t> data, PcfCommand& out);

// Builds one response message.
class PcfWriter {
 public:
  PcfWriter(MQLONG command, MQLONG seq, bool last, MQLONG cc, MQLONG reason);
  void Int(MQLONG id, MQLONG value);
  void String(MQLONG id, std::string_view value, size_t width);
  void IntList(MQLONG id, std::span<const MQLONG> values);
  void StringList(MQLONG id, std::span<const std::string> values, size_t width);
  std::vector<uint8_t> Finish();

 private:
  void Raw(const void* p, size_t n);
  MQCFH header_{};
  std::vector<uint8_t> body_;
};

}  // namespace vrqsim

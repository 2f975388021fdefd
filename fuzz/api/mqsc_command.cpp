// Arbitrary PCF parameters for an arbitrary command, translated to MQSC text: the first two
// bytes choose the command (from the command table, or the escape command), the third the
// continuation flag and the text capacity, the fourth the parameter count, and the rest are
// the parameter structures behind a well-formed MQCFH. The translation must end with status
// 0 or 2, never write past the text buffer and never report success without text.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vrqapi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > 1 << 16) return 0;
  static int commands = [] {
    int n = 0;
    while (GetCmdTbl()[n] != nullptr) ++n;
    return n;
  }();
  int pick = (data[0] << 8 | data[1]) % (commands + 1);
  int command = pick < commands ? static_cast<int>(GetCmdTbl()[pick]->lId) : MQCMD_ESCAPE;
  int continuation = data[2] & 1;
  int capacity = (data[2] & 0x80) != 0 ? (data[2] & 0x7f) : 4096;  // small ones run out of room
  MQLONG count = data[3];
  data += 4;
  size -= 4;

  PcfMessage* pcf = CreatePcfMessage(command, MQCFT_COMMAND, static_cast<int>(size) + 64);
  PcfMessage* text = CreatePcfMessage(0, MQCFT_COMMAND, capacity);
  if (pcf != nullptr && text != nullptr &&
      pcf->PcfMsg.lMaxLength >= static_cast<MQLONG>(136 + MQCFH_STRUC_LENGTH + size)) {
    std::memcpy(pcf->PcfMsg.pData + offsetof(MQCFH, ParameterCount), &count, sizeof count);
    if (size > 0) std::memcpy(pcf->PcfMsg.pData + MQCFH_STRUC_LENGTH, data, size);
    pcf->PcfMsg.lMsgLength = 136 + MQCFH_STRUC_LENGTH + static_cast<MQLONG>(size);
    MQLONG status = -1, reason = -1, n = -1;
    vrqPcf2Mqsc(pcf, text, continuation, &status, &reason, &n);
    if (status != 0 && status != 2) __builtin_trap();
    if (status == 0 && reason != 0) __builtin_trap();
    if (text->PcfMsg.lMsgLength > text->PcfMsg.lMaxLength) __builtin_trap();
  }
  DeletePcfMessage(text);
  DeletePcfMessage(pcf);
  return 0;
}

// Arbitrary MQSC response text for an arbitrary command: the first two bytes choose the
// command (from the command table, or the escape and free-form codes), the rest is the
// response. The translation must end with status 0 or 2 and never write past the message.
#include <cmqc.h>
#include <cmqcfc.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vrqapi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static int commands = [] {
    int n = 0;
    while (GetCmdTbl()[n] != nullptr) ++n;
    return n;
  }();
  static const int extra[] = {MQCMD_ESCAPE, 10632, 10633, 10901};
  int pick = (data[0] << 8 | data[1]) % (commands + 4);
  int command = pick < commands ? static_cast<int>(GetCmdTbl()[pick]->lId) : extra[pick - commands];
  data += 2;
  size -= 2;

  PcfMessage* text = CreatePcfMessage(0, MQCFT_COMMAND, static_cast<int>(size));
  PcfMessage* pcf = CreatePcfMessage(command, MQCFT_RESPONSE, 512);
  if (text != nullptr && pcf != nullptr && text->PcfMsg.lMaxLength >= static_cast<MQLONG>(136 + size)) {
    if (size > 0) std::memcpy(text->PcfMsg.pData, data, size);
    text->PcfMsg.lMsgLength = 136 + static_cast<MQLONG>(size);
    MQLONG status = -1, reason = -1, count = -1;
    vrqMqsc2Pcf(text, pcf, &status, &reason, &count);
    if (status != 0 && status != 2) __builtin_trap();
    if (pcf->PcfMsg.lMsgLength > pcf->PcfMsg.lMaxLength) __builtin_trap();
  }
  DeletePcfMessage(pcf);
  DeletePcfMessage(text);
  return 0;
}

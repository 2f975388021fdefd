// Arbitrary bytes through everything that reads received PCF: header conversion
// (AlienToNative, AlienToNativeExt), the conversion walk in every mode, indexing
// (RawToPcf), every getter reached by GetAttrByPos and the printers. The first byte picks
// the conversion mode; the rest is the message as it came off the wire.
#include <cmqc.h>
#include <cmqcfc.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "vrqapi.h"

namespace {

// Calls every family's getters on one attribute; each checks the record itself.
void ReadEverything(MESSAGE* a) {
  char text[300];
  int value = 0;
  int op = 0;
  int64_t big = 0;
  int length = static_cast<int>(sizeof text);
  GetPcfIntAttrValue(a, &value);
  GetPcfIntListAttrValue(a, 0, &value);
  GetPcfIntListAttrValueSum(a, &value);
  GetPcfIntListAttrValueStr(a, text, static_cast<int>(sizeof text));
  GetPcfIntFltrAttrValue(a, &value, &op);
  GetPcfFilterOperator(a, &op);
  GetPcfStrAttrValue(a, text, static_cast<int>(sizeof text) - 1);
  GetPcfStrListAttrValue(a, 1, text, static_cast<int>(sizeof text) - 1);
  FindPcfStrListAttrValue(a, "Q1");
  GetPcfStrFltrAttrValue(a, text, static_cast<int>(sizeof text) - 1, &op);
  GetPcfByteStrAttrValue(a, text, &length);
  GetPcfByteStrAttrValueLength(a, &length);
  GetPcfByteStrListAttrValue(a, 0, text, static_cast<int>(sizeof text));
  length = static_cast<int>(sizeof text);
  GetPcfBinAttrValue(a, text, &length);
  GetPcfInt64AttrValue(a, &big);
  GetPcfInt64ListAttrValue(a, 0, &big);
  GetPcfInt64ListAttrValueSum(a, &big);
  GetPcfInt64ListAttrValueStr(a, text, static_cast<int>(sizeof text));
  GetPcfGroupAttrCounter(a, &value);
  MESSAGE member{};
  GetGroupAttrByPos(0, &member, a);
  GetGroupAttrByID(MQCA_Q_NAME, &member, a);
  DeleteMessage(&member);
  PrintPcfAttr(a);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The printers write to standard output; the fuzzer only cares that they stay inside.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 65536) return 0;
  const int mode = data[0];
  const uint8_t* body = data + 1;
  const int length = static_cast<int>(size - 1);

  MSHDRE ext{};
  std::memcpy(&ext, body, std::min(sizeof ext, static_cast<size_t>(length)));
  AlienToNativeExt(&ext);

  std::vector<uint8_t> copy(body, body + length);
  AlienPcfBufferToNative(copy.data(), mode & 1, (mode >> 1) & 1, (mode >> 2) & 1, length);

  PcfMessage* msg = CreatePcfMessage(0, MQCFT_COMMAND, 0);
  if (msg == nullptr) return 0;
  // With mode bit 3 the input starts with an MDHDR, as it arrives from a node.
  const bool withHeader = (mode & 8) != 0 && length >= MDHDR_LENGTH;
  const int pcfLength = withHeader ? length - MDHDR_LENGTH : length;
  SizePcfMessage(msg, pcfLength);
  if (msg->PcfMsg.lMaxLength >= MDHDR_LENGTH + pcfLength) {
    if (withHeader) std::memcpy(msg->PcfMsg.pMdHdr, body, MDHDR_LENGTH);
    std::memcpy(msg->PcfMsg.pData, body + (withHeader ? MDHDR_LENGTH : 0), static_cast<size_t>(pcfLength));
    msg->PcfMsg.lMsgLength = MDHDR_LENGTH + pcfLength;
    msg->pPcfHdr = reinterpret_cast<MQCFH*>(msg->PcfMsg.pData);
    if (withHeader) {
      AlienToNative(&msg->PcfMsg);
      AlienPcfToNative(msg);
    }
    RawToPcf(msg);
    MESSAGE attr{};
    for (int position = 0; GetAttrByPos(position, &attr, msg); ++position) ReadEverything(&attr);
    DeleteMessage(&attr);
    PrintPcfMessage(msg);
    DumpPcfMessage(msg);
  }
  DeletePcfMessage(msg);
  return 0;
}

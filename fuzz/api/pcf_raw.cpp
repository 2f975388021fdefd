// Fuzz target: arbitrary bytes taken as the PCF bytes of a message (in a block of exactly
// that size), indexed with RawToPcf, and every structure reached by GetAttrByPos and
// GetAttrByID read with every getter of every family, group members included.
#include <cmqc.h>
#include <cmqcfc.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "vrqapi.h"

namespace {

// Reads the attribute with every getter; each refuses what is not its own type.
void ReadWithEveryGetter(MESSAGE* attr) {
  char text[64];
  unsigned char bytes[64];
  int v = 0, op = 0, length = sizeof bytes;
  int64_t v64 = 0;
  GetPcfAttrType(attr);
  GetPcfIntAttrValue(attr, &v);
  GetPcfInt64AttrValue(attr, &v64);
  GetPcfIntFltrAttrValue(attr, &v, &op);
  GetPcfFilterOperator(attr, &op);
  for (int index : {0, 1, 1000}) {
    GetPcfIntListAttrValue(attr, index, &v);
    GetPcfInt64ListAttrValue(attr, index, &v64);
    GetPcfStrListAttrValue(attr, index, text, sizeof text - 1);
    GetPcfByteStrListAttrValue(attr, index, bytes, sizeof bytes);
  }
  GetPcfIntListAttrValueSum(attr, &v);
  GetPcfInt64ListAttrValueSum(attr, &v64);
  GetPcfIntListAttrValueStr(attr, text, sizeof text);
  GetPcfInt64ListAttrValueStr(attr, text, sizeof text);
  GetPcfStrAttrValue(attr, text, sizeof text - 1);
  GetPcfStrFltrAttrValue(attr, text, sizeof text - 1, &op);
  FindPcfStrListAttrValue(attr, "Q1");
  GetPcfByteStrAttrValue(attr, bytes, &length);
  GetPcfByteStrAttrValueLength(attr, &length);
  length = sizeof bytes;
  GetPcfByteStrFltrAttrValue(attr, bytes, &length, &op);
  length = sizeof bytes;
  GetPcfBinAttrValue(attr, bytes, &length);
  GetPcfGroupAttrCounter(attr, &v);
  if (IsPcfPcfAttr(attr) == 1) {
    PcfMessage* inner = CreatePcfMessage(0, MQCFT_COMMAND, 0);
    if (inner != nullptr && GetPcfPcfAttrValue(attr, inner) == 1) RawToPcf(inner);
    DeletePcfMessage(inner);
  }
}

// Reads the members of a group record, and the members of member groups, to a small depth.
void ReadGroup(MESSAGE* group, int depth) {
  int count = 0;
  if (depth > 3 || GetPcfGroupAttrCounter(group, &count) != 1) return;
  MESSAGE member{};
  for (int i = 0; i < count && i < 32; ++i) {
    if (GetGroupAttrByPos(i, &member, group) != 1) break;
    ReadWithEveryGetter(&member);
    ReadGroup(&member, depth + 1);
    int32_t parameter = 0;
    if (i == 0 && member.lMsgLength >= 136 + 12) {
      std::memcpy(&parameter, member.pData + 8, 4);
      GetGroupAttrByID(parameter, &member, group);
    }
  }
  if (member.pMdHdr != nullptr) DeleteMessage(&member);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The indexing diagnostics would only slow the run down.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  PcfMessage* msg = CreatePcfMessage(0, MQCFT_COMMAND, 0);
  if (msg == nullptr) return 0;
  if (SizeMessage(&msg->PcfMsg, static_cast<int>(size)) == 1) {
    if (size > 0) std::memcpy(msg->PcfMsg.pData, data, size);
    msg->PcfMsg.lMsgLength = 136 + static_cast<MQLONG>(size);
    RawToPcf(msg);
    MESSAGE attr{};
    for (int position = 0; position < PCF_INDEX_ENTRIES; ++position) {
      if (GetAttrByPos(position, &attr, msg) != 1) continue;
      ReadWithEveryGetter(&attr);
      ReadGroup(&attr, 0);
    }
    if (size >= 48) {
      int32_t parameter;
      std::memcpy(&parameter, data + 44, 4);
      int position = 0;
      if (GetAttrByIDRetPos(parameter, &attr, msg, &position) == 1) ReadWithEveryGetter(&attr);
    }
    if (attr.pMdHdr != nullptr) DeleteMessage(&attr);
  }
  DeletePcfMessage(msg);
  return 0;
}

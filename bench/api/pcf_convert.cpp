// Cost per message of bringing a received inquire-queue response (about 40 parameters)
// into local form: AlienPcfToNative with swapped byte order and EBCDIC text, and
// indexing with RawToPcf, each beside memcpy of the same bytes in the same run. Every
// conversion iteration first copies the alien bytes back in, so the copy is part of
// the conversion figures and the memcpy benchmark shows how much of them it is.
#include <benchmark/benchmark.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include <cstring>
#include <string>
#include <vector>

#include "../../tests/api/pcf_convert_wire.h"
#include "vrqapi.h"

namespace {

std::vector<unsigned char> InquireQueueResponse(bool big, bool ebcdic) {
  pcfwire::Writer w(big, ebcdic);
  const std::vector<std::pair<int, std::string>> strings = {
      {MQCA_Q_NAME, "PAYMENTS.INBOUND.REQUEST.QUEUE"},
      {MQCA_Q_DESC, "Inbound payment requests from the clearing gateway"},
      {MQCA_PROCESS_NAME, "PAYMENTS.TRIGGER.PROCESS"},
      {MQCA_BACKOUT_REQ_Q_NAME, "PAYMENTS.BACKOUT"},
      {MQCA_INITIATION_Q_NAME, "SYSTEM.DEFAULT.INITIATION.QUEUE"},
      {MQCA_TRIGGER_DATA, "payload=full"},
      {MQCA_CREATION_DATE, "2026-12-07"},
      {MQCA_CREATION_TIME, "22.41.07"},
      {MQCA_ALTERATION_DATE, "2026-12-07"},
      {MQCA_ALTERATION_TIME, "22.44.51"},
      {MQCA_CLUSTER_NAME, ""},
      {MQCA_CLUSTER_NAMELIST, ""},
  };
  const int ints[] = {MQIA_Q_TYPE,           MQIA_INHIBIT_PUT,       MQIA_DEF_PRIORITY,
                      MQIA_DEF_PERSISTENCE,  MQIA_INHIBIT_GET,       MQIA_MAX_Q_DEPTH,
                      MQIA_MAX_MSG_LENGTH,   MQIA_BACKOUT_THRESHOLD, MQIA_SHAREABILITY,
                      MQIA_DEF_INPUT_OPEN_OPTION, MQIA_HARDEN_GET_BACKOUT, MQIA_MSG_DELIVERY_SEQUENCE,
                      MQIA_RETENTION_INTERVAL, MQIA_DEFINITION_TYPE, MQIA_USAGE,
                      MQIA_OPEN_INPUT_COUNT, MQIA_OPEN_OUTPUT_COUNT, MQIA_CURRENT_Q_DEPTH,
                      MQIA_TRIGGER_CONTROL,  MQIA_TRIGGER_TYPE,      MQIA_TRIGGER_MSG_PRIORITY,
                      MQIA_TRIGGER_DEPTH,    MQIA_Q_DEPTH_HIGH_LIMIT, MQIA_Q_DEPTH_LOW_LIMIT,
                      MQIA_Q_DEPTH_MAX_EVENT, MQIA_Q_DEPTH_HIGH_EVENT, MQIA_Q_DEPTH_LOW_EVENT,
                      MQIA_Q_SERVICE_INTERVAL, MQIA_Q_SERVICE_INTERVAL_EVENT, MQIA_DIST_LISTS};
  const int count = static_cast<int>(strings.size()) + static_cast<int>(std::size(ints)) + 1;
  w.Cfh(MQCFT_RESPONSE, MQCMD_INQUIRE_Q, count);
  for (const auto& [p, s] : strings) w.Str(p, s);
  int v = 1;
  for (int p : ints) w.Int(p, v++ * 17);
  w.IntList(MQIACF_Q_ATTRS, {MQIACF_ALL});
  return w.bytes();
}

PcfMessage* MessageFor(size_t length) {
  PcfMessage* msg = CreatePcfMessage(0, MQCFT_COMMAND, 0);
  SizePcfMessage(msg, static_cast<int>(length));
  return msg;
}

// Puts the received bytes back into the message as the network layer does.
void Receive(PcfMessage* msg, const std::vector<unsigned char>& bytes, int byteOrder, int textCode) {
  std::memcpy(msg->PcfMsg.pData, bytes.data(), bytes.size());
  msg->PcfMsg.lMsgLength = MDHDR_LENGTH + static_cast<int>(bytes.size());
  msg->PcfMsg.pMdHdr->lUserMsgLength = static_cast<int>(bytes.size());
  msg->PcfMsg.pMdHdr->lByteOrder = byteOrder;
  msg->PcfMsg.pMdHdr->lTextCode = textCode;
}

void BM_Memcpy(benchmark::State& state) {
  const std::vector<unsigned char> bytes = InquireQueueResponse(false, false);
  std::vector<unsigned char> target(bytes.size());
  for (auto _ : state) {
    std::memcpy(target.data(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

void Convert(benchmark::State& state, bool big, bool ebcdic) {
  const std::vector<unsigned char> bytes = InquireQueueResponse(big, ebcdic);
  PcfMessage* msg = MessageFor(bytes.size());
  for (auto _ : state) {
    Receive(msg, bytes, big ? 1 : 0, ebcdic ? 0 : 1);
    benchmark::DoNotOptimize(AlienPcfToNative(msg));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  DeletePcfMessage(msg);
}

void BM_AlienPcfToNative_Swapped(benchmark::State& state) { Convert(state, true, false); }
void BM_AlienPcfToNative_Ebcdic(benchmark::State& state) { Convert(state, false, true); }
void BM_AlienPcfToNative_SwappedEbcdic(benchmark::State& state) { Convert(state, true, true); }

void BM_RawToPcf(benchmark::State& state) {
  const std::vector<unsigned char> bytes = InquireQueueResponse(false, false);
  PcfMessage* msg = MessageFor(bytes.size());
  Receive(msg, bytes, 0, 1);
  for (auto _ : state) benchmark::DoNotOptimize(RawToPcf(msg));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  DeletePcfMessage(msg);
}

}  // namespace

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_AlienPcfToNative_Swapped);
BENCHMARK(BM_AlienPcfToNative_Ebcdic);
BENCHMARK(BM_AlienPcfToNative_SwappedEbcdic);
BENCHMARK(BM_RawToPcf);
BENCHMARK_MAIN();

// Indexing cost of a received PCF message: RawToPcf over a realistic inquire-queue
// response of 40 parameters, beside memcpy of the same bytes (the floor for touching
// them once), and reading one late parameter by identifier.
#include <cmqc.h>
#include <cmqcfc.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "vrqapi.h"

namespace {

// An MQCMD_INQUIRE_Q response as a queue manager sends it for a local queue: names and
// descriptions as strings, the rest integers, one attribute list.
PcfMessage* InquireQueueResponse() {
  PcfMessage* msg = CreatePcfMessage(MQCMD_INQUIRE_Q, MQCFT_RESPONSE, 2048);
  MESSAGE attr{};
  auto add = [&](int ok) {
    if (ok == 1) AppendAttr(msg, &attr);
    DeleteMessage(&attr);
  };
  add(CreatePcfStrAttr(&attr, MQCA_Q_NAME, "APP.ORDERS.REQUEST.QUEUE                        "));
  add(CreatePcfStrAttr(&attr, MQCA_Q_DESC, "Order requests from the web front end                           "));
  add(CreatePcfStrAttr(&attr, MQCA_PROCESS_NAME, "                                                "));
  add(CreatePcfStrAttr(&attr, MQCA_BACKOUT_REQ_Q_NAME, "APP.ORDERS.BACKOUT                              "));
  add(CreatePcfStrAttr(&attr, MQCA_CREATION_DATE, "2026-12-07"));
  add(CreatePcfStrAttr(&attr, MQCA_CREATION_TIME, "22.46.12"));
  add(CreatePcfStrAttr(&attr, MQCA_ALTERATION_DATE, "2026-12-07"));
  add(CreatePcfStrAttr(&attr, MQCA_ALTERATION_TIME, "22.47.01"));
  add(CreatePcfStrAttr(&attr, MQCA_INITIATION_Q_NAME, "SYSTEM.DEFAULT.INITIATION.QUEUE                 "));
  add(CreatePcfStrAttr(&attr, MQCA_TRIGGER_DATA, "                                                                "));
  const int integers[] = {
      MQIA_Q_TYPE,           MQIA_DEF_PERSISTENCE,  MQIA_DEF_PRIORITY,      MQIA_INHIBIT_PUT,
      MQIA_INHIBIT_GET,      MQIA_MAX_Q_DEPTH,      MQIA_MAX_MSG_LENGTH,    MQIA_CURRENT_Q_DEPTH,
      MQIA_OPEN_INPUT_COUNT, MQIA_OPEN_OUTPUT_COUNT, MQIA_SHAREABILITY,     MQIA_DEF_INPUT_OPEN_OPTION,
      MQIA_RETENTION_INTERVAL, MQIA_BACKOUT_THRESHOLD, MQIA_HARDEN_GET_BACKOUT, MQIA_MSG_DELIVERY_SEQUENCE,
      MQIA_TRIGGER_CONTROL,  MQIA_TRIGGER_TYPE,     MQIA_TRIGGER_DEPTH,     MQIA_TRIGGER_MSG_PRIORITY,
      MQIA_USAGE,            MQIA_SCOPE,            MQIA_Q_DEPTH_HIGH_LIMIT, MQIA_Q_DEPTH_LOW_LIMIT,
      MQIA_Q_DEPTH_MAX_EVENT, MQIA_Q_DEPTH_HIGH_EVENT, MQIA_Q_DEPTH_LOW_EVENT, MQIA_Q_SERVICE_INTERVAL,
  };
  for (int parameter : integers) add(CreatePcfIntAttr(&attr, parameter, parameter % 7));
  add(CreatePcfIntListAttr(&attr, MQIACF_Q_ATTRS, 4));
  add(CreatePcfInt64Attr(&attr, MQIA_MAX_Q_FILE_SIZE, 2088960));
  RawToPcf(msg);
  return msg;
}

void BM_RawToPcf(benchmark::State& state) {
  PcfMessage* msg = InquireQueueResponse();
  for (auto _ : state) benchmark::DoNotOptimize(RawToPcf(msg));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (msg->PcfMsg.lMsgLength - 136));
  state.counters["parameters"] = msg->pPcfHdr->ParameterCount;
  DeletePcfMessage(msg);
}
BENCHMARK(BM_RawToPcf);

void BM_MemcpySameBytes(benchmark::State& state) {
  PcfMessage* msg = InquireQueueResponse();
  const size_t length = static_cast<size_t>(msg->PcfMsg.lMsgLength - 136);
  std::vector<char> copy(length);
  for (auto _ : state) {
    std::memcpy(copy.data(), msg->PcfMsg.pData, length);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(length));
  DeletePcfMessage(msg);
}
BENCHMARK(BM_MemcpySameBytes);

void BM_GetAttrByIDLast(benchmark::State& state) {
  PcfMessage* msg = InquireQueueResponse();
  MESSAGE out{};
  for (auto _ : state) benchmark::DoNotOptimize(GetAttrByID(MQIA_MAX_Q_FILE_SIZE, &out, msg));
  DeleteMessage(&out);
  DeletePcfMessage(msg);
}
BENCHMARK(BM_GetAttrByIDLast);

}  // namespace

BENCHMARK_MAIN();

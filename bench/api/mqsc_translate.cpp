// Cost of the MQSC translation both ways, each beside its natural floor in the same run:
// writing the same command text with one snprintf, and one scan of the same response text
// with the C library's tokenizer.
#include <cmqc.h>
#include <cmqcfc.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "vrqapi.h"

namespace {

constexpr const char* kResponse =
    "CSQM201I +CSQ1 CSQMDRTS DISPLAY QUEUE DETAILS\n"
    "QUEUE(SYSTEM.DEFAULT.LOCAL.QUEUE) TYPE(QLOCAL) QSGDISP(QMGR) DESCR(default local queue)\n"
    "CURDEPTH(5) MAXDEPTH(5000) DEFPSIST(NO) NOSHARE NOTRIGGER GET(ENABLED) PUT(ENABLED)\n"
    "END QUEUE DETAILS";

PcfMessage* DefineCommand() {
  PcfMessage* pcf = CreatePcfMessage(MQCMD_CREATE_Q, MQCFT_COMMAND, 1024);
  MESSAGE a{};
  CreatePcfIntAttr(&a, MQIA_Q_TYPE, MQQT_LOCAL);
  AppendAttr(pcf, &a);
  DeleteMessage(&a);
  CreatePcfStrAttr(&a, MQCA_Q_NAME, "APP.REQUEST.QUEUE");
  AppendAttr(pcf, &a);
  DeleteMessage(&a);
  CreatePcfStrAttr(&a, MQCA_Q_DESC, "requests of the application");
  AppendAttr(pcf, &a);
  DeleteMessage(&a);
  CreatePcfIntAttr(&a, MQIA_MAX_Q_DEPTH, 5000);
  AppendAttr(pcf, &a);
  DeleteMessage(&a);
  return pcf;
}

void PcfToText(benchmark::State& state) {
  PcfMessage* pcf = DefineCommand();
  PcfMessage* text = CreatePcfMessage(0, MQCFT_COMMAND, 1024);
  MQLONG status, reason, count;
  for (auto _ : state) {
    vrqPcf2Mqsc(pcf, text, 0, &status, &reason, &count);
    benchmark::DoNotOptimize(text->PcfMsg.pData);
  }
  DeletePcfMessage(text);
  DeletePcfMessage(pcf);
}
BENCHMARK(PcfToText);

void PcfToTextFloorSnprintf(benchmark::State& state) {
  char out[1024];
  for (auto _ : state) {
    std::snprintf(out, sizeof out, "DEFINE %s('%s') DESCR('%s') MAXDEPTH(%d)", "QLOCAL", "APP.REQUEST.QUEUE",
                  "requests of the application", 5000);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(PcfToTextFloorSnprintf);

void TextToPcf(benchmark::State& state) {
  PcfMessage* text = CreatePcfMessage(0, MQCFT_COMMAND, 1024);
  PcfMessage* pcf = CreatePcfMessage(MQCMD_INQUIRE_Q, MQCFT_RESPONSE, 4096);
  size_t n = std::strlen(kResponse);
  MQLONG status, reason, count;
  for (auto _ : state) {
    std::memcpy(text->PcfMsg.pData, kResponse, n);
    text->PcfMsg.lMsgLength = 136 + static_cast<MQLONG>(n);
    vrqMqsc2Pcf(text, pcf, &status, &reason, &count);
    benchmark::DoNotOptimize(pcf->PcfMsg.pData);
  }
  DeletePcfMessage(pcf);
  DeletePcfMessage(text);
}
BENCHMARK(TextToPcf);

void TextToPcfFloorStrtok(benchmark::State& state) {
  std::string copy;
  for (auto _ : state) {
    copy = kResponse;
    int tokens = 0;
    char* save = nullptr;
    for (char* t = strtok_r(copy.data(), " .,\t\n:()+", &save); t != nullptr; t = strtok_r(nullptr, " .,\t\n:()+", &save))
      ++tokens;
    benchmark::DoNotOptimize(tokens);
  }
}
BENCHMARK(TextToPcfFloorStrtok);

}  // namespace

BENCHMARK_MAIN();

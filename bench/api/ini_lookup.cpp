// Ini lookups: enumerating every queue manager name of an mqs.ini-sized file with
// vrqGetValue, beside the floor of a bare std::string_view search for the same keys.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "vrqapi.h"

namespace {

constexpr int kQueueManagers = 100;

std::string MqsIni() {
  std::string text = "#* mqs.ini *#\nAllQueueManagers:\n   DefaultPrefix=/var/mqm\n";
  for (int i = 0; i < kQueueManagers; ++i) {
    const std::string n = "QM" + std::to_string(i);
    text += "QueueManager:\n   Name=" + n + "\n   Prefix=/var/mqm\n   Directory=" + n +
            "\n   DataPath=/var/mqm/qmgrs/" + n + "\n";
  }
  return text;
}

// The loaded file, shared by the runs.
IniFile* Loaded() {
  static IniFile ini{};
  static bool once = [] {
    char path[] = "/tmp/bench_ini.XXXXXX";
    const int fd = mkstemp(path);
    const std::string text = MqsIni();
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      return false;
    }
    close(fd);
    const bool ok = vrqOpenIniFile(path, " \n\t=", " \n\t", &ini, nullptr, 0) == 1;
    unlink(path);
    return ok;
  }();
  return once ? &ini : nullptr;
}

void BM_GetValueEnumeration(benchmark::State& state) {
  IniFile* ini = Loaded();
  if (ini == nullptr) {
    state.SkipWithError("cannot load the file");
    return;
  }
  char value[VRQ_INI_VALUE_SIZE];
  for (auto _ : state) {
    int found = 0;
    vrqResetPos(ini, 0);
    while (vrqGetValue(ini, "Name", value, 2) == 1) ++found;
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(ini->ulSize));
}

void BM_StringViewFloor(benchmark::State& state) {
  const std::string text = MqsIni();
  for (auto _ : state) {
    int found = 0;
    std::string_view rest(text);
    for (std::size_t at = rest.find("Name="); at != std::string_view::npos;
         at = rest.find("Name=")) {
      rest.remove_prefix(at + 5);
      benchmark::DoNotOptimize(rest.substr(0, rest.find_first_of(" \n\t")));
      ++found;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_GetValueEnumeration);
BENCHMARK(BM_StringViewFloor);

}  // namespace

BENCHMARK_MAIN();

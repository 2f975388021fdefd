// AppendMessage against its natural limit, memcpy of the same bytes into a buffer that
// already has room, and the cost of growing a record from empty.
#include <benchmark/benchmark.h>
#include <vrqapi.h>

#include <cstring>
#include <vector>

namespace {

void BM_AppendMessage(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  MESSAGE from{}, to{};
  CreateMessage(&from, n);
  from.lMsgLength += n;
  CreateMessage(&to, n);
  for (auto _ : state) {
    to.lMsgLength = MDHDR_LENGTH;
    AppendMessage(&to, &from);
    benchmark::DoNotOptimize(to.pData);
  }
  state.SetBytesProcessed(state.iterations() * n);
  DeleteMessage(&from);
  DeleteMessage(&to);
}

void BM_Memcpy(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<char> from(n), to(n);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), n);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void BM_GrowByAppending(benchmark::State& state) {
  MESSAGE piece{};
  CreateMessage(&piece, 64);
  piece.lMsgLength += 64;
  for (auto _ : state) {
    MESSAGE m{};
    CreateMessage(&m, 0);
    for (int i = 0; i < 64; ++i) AppendMessage(&m, &piece);
    benchmark::DoNotOptimize(m.pData);
    DeleteMessage(&m);
  }
  DeleteMessage(&piece);
}

}  // namespace

BENCHMARK(BM_AppendMessage)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_Memcpy)->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(BM_GrowByAppending);
BENCHMARK_MAIN();

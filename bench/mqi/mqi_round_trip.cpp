// The cost of a 200-byte MQPUT + MQGET round trip through the stand-in queue manager,
// measured beside its natural limit: a bare request/response of the same size over a
// Unix-domain socket pair to an echo thread. Starts its own queue manager in a temporary
// directory and removes it afterwards.
#include <benchmark/benchmark.h>
#include <cmqc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr MQLONG kSize = 200;
const std::string kQm = "BENCH.QM";

bool ReadAll(int fd, char* p, size_t n) {
  while (n) {
    const ssize_t r = read(fd, p, n);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

void BM_BareSocketRoundTrip(benchmark::State& state) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
    state.SkipWithError("socketpair failed");
    return;
  }
  std::thread echo([fd = fds[1]] {
    char buf[8 + kSize];
    while (ReadAll(fd, buf, sizeof buf))
      if (write(fd, buf, sizeof buf) != static_cast<ssize_t>(sizeof buf)) break;
  });
  char msg[8 + kSize] = {};
  for (auto _ : state) {
    if (write(fds[0], msg, sizeof msg) != static_cast<ssize_t>(sizeof msg) || !ReadAll(fds[0], msg, sizeof msg)) {
      state.SkipWithError("socket exchange failed");
      break;
    }
  }
  close(fds[0]);
  echo.join();
  close(fds[1]);
}
BENCHMARK(BM_BareSocketRoundTrip);

void BM_PutGetRoundTrip(benchmark::State& state) {
  MQHCONN h;
  MQLONG cc, rc;
  MQCONN(const_cast<char*>(kQm.c_str()), &h, &cc, &rc);
  MQOD od = {MQOD_DEFAULT};
  std::strcpy(od.ObjectName, "SYSTEM.DEFAULT.LOCAL.QUEUE");
  MQHOBJ q;
  MQOPEN(h, &od, MQOO_OUTPUT | MQOO_INPUT_SHARED, &q, &cc, &rc);
  if (cc != MQCC_OK) {
    state.SkipWithError("no stand-in queue manager");
    return;
  }
  char data[kSize] = {};
  for (auto _ : state) {
    MQMD md = {MQMD_DEFAULT};
    MQPMO pmo = {MQPMO_DEFAULT};
    pmo.Options = MQPMO_NO_SYNCPOINT;
    MQPUT(h, q, &md, &pmo, kSize, data, &cc, &rc);
    MQMD got = {MQMD_DEFAULT};
    MQGMO gmo = {MQGMO_DEFAULT};
    gmo.Options = MQGMO_NO_SYNCPOINT;
    MQLONG len;
    MQGET(h, q, &got, &gmo, kSize, data, &len, &cc, &rc);
    if (cc != MQCC_OK) {
      state.SkipWithError("MQGET failed");
      break;
    }
  }
  MQCLOSE(h, &q, MQCO_NONE, &cc, &rc);
  MQDISC(&h, &cc, &rc);
}
BENCHMARK(BM_PutGetRoundTrip);

int Sim(const std::string& args) { return std::system((std::string(VRQ_STANDIN_SERVER) + " " + args + " >/dev/null").c_str()); }

}  // namespace

int main(int argc, char** argv) {
  char dir[] = "/tmp/vrqbench.XXXXXX";
  if (!mkdtemp(dir)) return 1;
  setenv("VRQSIM_DIR", dir, 1);
  Sim("create " + kQm);
  Sim("start " + kQm);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Sim("stop " + kQm);
  Sim("delete " + kQm);
  rmdir(dir);
  return 0;
}

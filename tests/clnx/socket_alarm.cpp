// The SIGALRM helpers of the Linux build: the handler logs the time-out warning, and
// disarming brings the previous disposition back.
#include <signal.h>

#include <string>

#include "clnx_test.h"
#include "vrqtest.h"

namespace {

TEST(SocketAlarm, AlarmHandlerLogsAndDispositionComesBack) {
  struct sigaction before {};
  sigaction(SIGALRM, nullptr, &before);
  vrqtest::CaptureStdout out;
  EXPECT_EQ(enable_alarm(100), 0u);
  raise(SIGALRM);
  EXPECT_GT(disable_alarm(), 0u);
  EXPECT_NE(out.text().find("VRQ0106W Timeout received, possible unreachable host"), std::string::npos);
  struct sigaction after {};
  sigaction(SIGALRM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace

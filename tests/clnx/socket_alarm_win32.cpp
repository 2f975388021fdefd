// The alarm helpers of the Windows build: with no SIGALRM, arming and disarming report no
// time left and nothing fires, and the handler, called directly, logs the time-out warning.
#include <string>

#include "clnx_test.h"
#include "vrqtest.h"

namespace {

constexpr const char* kWarning = "VRQ0106W Timeout received, possible unreachable host";

TEST(SocketAlarmWindows, NothingIsArmedAndTheHandlerLogs) {
  vrqtest::CaptureStdout out;
  EXPECT_EQ(enable_alarm(1), 0u);
  EXPECT_EQ(disable_alarm(), 0u);
  EXPECT_EQ(disable_alarm(), 0u);  // a second disarm is harmless
  EXPECT_EQ(out.text().find(kWarning), std::string::npos) << "logged before the handler ran";
  AlarmHandler(14);
  const std::string text = out.text();
  ASSERT_NE(text.find(kWarning), std::string::npos) << text;
  EXPECT_EQ(text.find(kWarning), text.rfind(kWarning)) << "logged more than once";
}

}  // namespace

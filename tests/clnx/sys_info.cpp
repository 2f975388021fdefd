// Machine description: the uname record, the machine label with its room rules, the
// processor count override, and the TCP/IP readiness checks on a working stack.
#include <cstdlib>
#include <cstring>
#include <string>

#include "clnx_test.h"
#include "vrqtest.h"

namespace {

SysInfo Machine(const char* sys, const char* version, const char* release, const char* machine) {
  SysInfo info{};
  std::snprintf(info.szSysName, sizeof info.szSysName, "%s", sys);
  std::snprintf(info.szVersion, sizeof info.szVersion, "%s", version);
  std::snprintf(info.szRelease, sizeof info.szRelease, "%s", release);
  std::snprintf(info.szMachine, sizeof info.szMachine, "%s", machine);
  return info;
}

TEST(SysInfo, FilledFromUname) {
  SysInfo info;
  std::memset(&info, 'x', sizeof info);
  ASSERT_EQ(GetSysInfo(&info), 1);
  EXPECT_STREQ(info.szSysName, "Linux");
  EXPECT_GT(std::strlen(info.szNodeName), 0u);
  EXPECT_GT(std::strlen(info.szMachine), 0u);
}

TEST(SysInfo, LabelAppendsTrimmedPartsThatFit) {
  const SysInfo info = Machine(" Linux ", " #1 SMP ", "6.1.0 ", " x86_64");
  char out[128] = "host=";
  ASSERT_EQ(GetSysLabel(&info, out, sizeof out, 1), 1);
  EXPECT_STREQ(out, "host=Linux::V#1 SMP.R6.1.0::x86_64::");

  char without[128] = "";
  GetSysLabel(&info, without, sizeof without, 0);
  EXPECT_STREQ(without, "Linux::V#1 SMP.R6.1.0::");

  // Too little room for the version part: it is skipped, the machine part still fits.
  const SysInfo long_version = Machine("Linux", std::string(40, 'v').c_str(), "1", "arm");
  char small[20] = "";
  GetSysLabel(&long_version, small, sizeof small, 1);
  EXPECT_STREQ(small, "Linux::arm::");
}

TEST(SysInfo, LabelRoomCountsTheTextAlreadyThere) {
  const SysInfo info = Machine("Linux", "1", "2", "x86_64");
  char out[24];
  std::memset(out, '#', sizeof out);
  std::strcpy(out, "0123456789abcdef");  // 16 of 24 bytes taken
  GetSysLabel(&info, out, 20, 1);         // 4 bytes of room: nothing fits
  EXPECT_STREQ(out, "0123456789abcdef");
  EXPECT_EQ(out[20], '#');
  char full[8] = "1234567";               // no room at all, and no terminator inside size
  GetSysLabel(&info, full, 7, 1);
  EXPECT_EQ(std::string(full, 7), "1234567");
}

TEST(SysInfo, ProcessorCountOverride) {
  const char* name = "VXWMQ_CPU_COUNT";
  setenv(name, "6", 1);
  EXPECT_EQ(GetProcessorCount(), 6);
  setenv(name, "0", 1);
  EXPECT_EQ(GetProcessorCount(), 1);
  setenv(name, "-4", 1);
  EXPECT_EQ(GetProcessorCount(), 1);
  unsetenv(name);
  EXPECT_GE(GetProcessorCount(), 1);
}

TEST(SysInfo, TcpipActiveReturnsAtOnce) {
  vrqtest::CaptureStdout out;
  EXPECT_EQ(bTcpipNotActive(1), 0);
  EXPECT_EQ(bWaitForTcpip(1, "TEST"), 0);
  EXPECT_EQ(out.text(), "");
}

}  // namespace

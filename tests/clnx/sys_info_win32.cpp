// Machine description on Windows: the platform from the OS variable and the host name, the
// label built from the running system's version record, the processor count override and
// the TCP/IP check on a working stack.
#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "clnx_test.h"
#include "vrqtest.h"

namespace {

// The version record as the system gives it, "major.minor".
std::string MajorMinor() {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (!GetVersionExA(&v)) return "?";
  return std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion);
}

TEST(SysInfoWindows, PlatformFromTheOsVariableAndTheHostName) {
  SysInfo info;
  std::memset(&info, 'x', sizeof info);
  setenv("OS", "Windows_NT", 1);
  ASSERT_EQ(GetSysInfo(&info), 1);
  EXPECT_STREQ(info.szPlatform, "Windows_NT");
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);  // GetSysInfo started WinSock
  EXPECT_STREQ(info.szHostName, host);

  // Without the variable the platform is "Win32"; a longer one is cut, still terminated.
  unsetenv("OS");
  ASSERT_EQ(GetSysInfo(&info), 1);
  EXPECT_STREQ(info.szPlatform, "Win32");
  setenv("OS", std::string(200, 'W').c_str(), 1);
  ASSERT_EQ(GetSysInfo(&info), 1);
  EXPECT_EQ(std::string(info.szPlatform), std::string(sizeof info.szPlatform - 1, 'W'));
  setenv("OS", "Windows_NT", 1);
  EXPECT_EQ(GetSysInfo(nullptr), 0);
}

TEST(SysInfoWindows, LabelNamesTheRunningSystem) {
  SysInfo info{};
  ASSERT_EQ(GetSysInfo(&info), 1);
  char with[256] = {};
  ASSERT_EQ(GetSysLabel(&info, with, sizeof with, 1), 1);
  const std::string label = with;
  const auto version = label.find(", Version ");
  ASSERT_NE(version, std::string::npos) << label;
  EXPECT_EQ(label.rfind("Microsoft Windows", 0), 0u) << label;
  // The version text starts with the record's major and minor numbers; with the machine,
  // the build number follows.
  EXPECT_EQ(label.compare(version + 10, MajorMinor().size() + 1, MajorMinor() + "."), 0) << label;
  EXPECT_NE(label.find("64-bit"), std::string::npos) << label;  // this test program is 64-bit

  char without[256] = {};
  ASSERT_EQ(GetSysLabel(&info, without, sizeof without, 0), 1);
  EXPECT_EQ(std::string(without).find("-bit"), std::string::npos) << without;
  EXPECT_NE(std::string(without).find(", Version " + MajorMinor()), std::string::npos) << without;

  // Cut to the room given, never beyond it.
  char small[12];
  std::memset(small, 'x', sizeof small);
  ASSERT_EQ(GetSysLabel(&info, small, sizeof small, 1), 1);
  EXPECT_EQ(std::strlen(small), sizeof small - 1);
  EXPECT_EQ(label.compare(0, sizeof small - 1, small), 0);
  EXPECT_EQ(GetSysLabel(&info, small, 0, 1), 0);
  EXPECT_EQ(GetSysLabel(nullptr, small, sizeof small, 1), 0);
}

TEST(SysInfoWindows, ProcessorCountAndOverride) {
  const char* name = "VXWMQ_CPU_COUNT";
  unsetenv(name);
  SYSTEM_INFO si{};
  GetSystemInfo(&si);
  EXPECT_EQ(GetProcessorCount(), static_cast<int>(si.dwNumberOfProcessors));
  setenv(name, "6", 1);
  EXPECT_EQ(GetProcessorCount(), 6);
  setenv(name, "0", 1);
  EXPECT_EQ(GetProcessorCount(), 1);
  setenv(name, "-4", 1);
  EXPECT_EQ(GetProcessorCount(), 1);
  unsetenv(name);
}

TEST(SysInfoWindows, TcpIpIsActive) {
  vrqtest::CaptureStdout out;
  EXPECT_EQ(bTcpipNotActive(1), 0);
  EXPECT_EQ(bWaitForTcpip(1, "TEST"), 0);  // returns at once, logging nothing
  EXPECT_EQ(out.text(), "");
}

}  // namespace

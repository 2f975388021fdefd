// Windows path rules of installation discovery: absolute paths only with a drive letter,
// "\" and "/" both separating components when paths are climbed or compared, directory
// listings with their modification times, and the queue-manager directories under the
// default prefix's qmgrs folder that an installation without mqs.ini uses.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "mqtx_test.h"

namespace {

namespace fs = std::filesystem;

using mqtxtest::Abs;
using mqtxtest::Rel;

TEST(PathsWindows, OnlyADriveLetterMakesAPathAbsolute) {
  EXPECT_EQ(IsPathRelative("C:\\mqm"), 0);
  EXPECT_EQ(IsPathRelative("z:/x"), 0);
  EXPECT_EQ(IsPathRelative("d:"), 0);
  EXPECT_EQ(IsPathRelative("\\mqm"), 1);
  EXPECT_EQ(IsPathRelative("/var/mqm"), 1);
  EXPECT_EQ(IsPathRelative("\\\\server\\share"), 1);
  EXPECT_EQ(IsPathRelative("1:\\x"), 1);
  EXPECT_EQ(IsPathRelative(":\\x"), 1);
  EXPECT_EQ(IsPathRelative("conf\\a.ini"), 1);
  EXPECT_EQ(IsPathRelative(""), 1);
  EXPECT_EQ(IsPathRelative(nullptr), 0);
}

TEST(PathsWindows, RelativeToAbsoluteClimbsBackslashedBases) {
  EXPECT_EQ(Abs("", "C:\\app"), "C:\\app");
  EXPECT_EQ(Abs("conf\\x.ini", "C:\\app"), "C:\\app\\conf\\x.ini");
  EXPECT_EQ(Abs(".\\conf", "C:\\app\\"), "C:\\app\\conf");
  EXPECT_EQ(Abs("..\\lib", "C:\\app\\bin"), "C:\\app\\lib");
  EXPECT_EQ(Abs("../lib", "C:\\app\\bin\\"), "C:\\app\\lib");
  EXPECT_EQ(Abs("..\\../x", "C:/app/bin"), "C:/x");
  // Climbing stops at the drive's root.
  EXPECT_EQ(Abs("..\\..\\..\\x", "C:\\app"), "C:\\x");
  EXPECT_EQ(Abs("..\\x", "\\app"), "\\x");
}

TEST(PathsWindows, AbsoluteToRelativeSplitsAtEitherSeparator) {
  EXPECT_EQ(Rel("C:\\app\\conf\\x.ini", "C:\\app"), "conf/x.ini");
  EXPECT_EQ(Rel("C:\\lib", "C:\\app\\bin\\"), "../../lib");
  EXPECT_EQ(Rel("C:/app/x", "C:\\app"), "x");
  EXPECT_EQ(Rel("C:\\app", "C:\\app"), "");
}

using mqtxtest::ErrorLogs;
using mqtxtest::Listing;

// Sets a file's modification time to seconds after 1970.
void SetModified(const std::string& path, int64_t seconds) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  ULARGE_INTEGER t{};
  t.QuadPart = static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
  FILETIME ft{t.LowPart, t.HighPart};
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
  CloseHandle(h);
}

TEST(PathsWindows, ErrorLogListingsWithTimes) {
  vrqtest::TempDir dir;
  for (const char* f : {"AMQERR01.LOG", "AMQERR02.LOG", "AMQ1234.0.FDC", "amqerr03.log", "AMQ.LO", "notes.txt"})
    vrqtest::WriteFile(dir.file(f), "x");
  fs::create_directory(dir.file("AMQ5678.0.FDC.old"));
  SetModified(dir.file("AMQERR01.LOG"), 1700000000);
  SetModified(dir.file("AMQ1234.0.FDC"), 1);  // the first second after 1970

  const std::string native = fs::path(dir.path()).make_preferred().string();
  for (const std::string& directory : {native, native + "\\", dir.path() + "/"}) {
    const Listing logs = ErrorLogs(directory, VRQ_ERRLOG_LOGS);
    ASSERT_EQ(logs.size(), 2u) << directory;
    EXPECT_EQ(logs[0], (std::pair<std::string, int>{"AMQERR01.LOG", 1700000000}));
    EXPECT_EQ(logs[1].first, "AMQERR02.LOG");
    EXPECT_GT(logs[1].second, 1700000000);  // written just now
  }
  EXPECT_EQ(ErrorLogs(native, VRQ_ERRLOG_FDC), (Listing{{"AMQ1234.0.FDC", 1}}));
  // Every AMQ name of seven characters or more, a sub-folder too; the filters keep their case.
  Listing all = ErrorLogs(native, VRQ_ERRLOG_ALL);
  std::vector<std::string> names;
  for (const auto& entry : all) names.push_back(entry.first);
  EXPECT_EQ(names, (std::vector<std::string>{"AMQ1234.0.FDC", "AMQ5678.0.FDC.old", "AMQERR01.LOG", "AMQERR02.LOG"}));

  int rc = -1;
  EXPECT_EQ(ErrorLogs(dir.file("missing"), VRQ_ERRLOG_ALL, &rc), Listing{});
  EXPECT_EQ(rc, 0);
  vrqtest::TempDir empty;
  EXPECT_EQ(ErrorLogs(empty.path(), VRQ_ERRLOG_ALL, &rc), Listing{});
  EXPECT_EQ(rc, 1);  // opened, nothing in it
}

// c:\mqm, the default prefix, in the test's Wine prefix: made for the test and removed
// after it. A machine that has one of its own is left alone.
class DefaultPrefix : public ::testing::Test {
 protected:
  void SetUp() override {
    if (fs::exists("c:\\mqm")) GTEST_SKIP() << "c:\\mqm exists and is not the test's";
    made_ = true;
    setenv("VXWMQ_MQS_HOME", root_.path().c_str(), 1);  // no mqs.ini
  }
  void TearDown() override {
    unsetenv("VXWMQ_MQS_HOME");
    std::error_code ec;
    if (made_) fs::remove_all("c:\\mqm", ec);
  }
  static void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    vrqtest::WriteFile(path, text);
  }

 private:
  vrqtest::TempDir root_;
  bool made_ = false;
};

TEST_F(DefaultPrefix, QueueManagerDirectoriesUnderQmgrs) {
  Write("c:\\mqm\\qmgrs\\PATHS!A\\qm.ini", "Log:\n   LogType=CIRCULAR\n   LogPrimaryFiles=4\n   LogPath=D:\\log\\\n");
  Write("c:\\mqm\\qmgrs\\PATHS&B\\qm.ini", "Log:\n   LogPrimaryFiles=6\n");
  Write("c:\\mqm\\qmgrs\\PATHS!A\\errors\\AMQERR01.LOG", "x");
  Write("c:\\mqm\\qmgrs\\PATHS!A\\errors\\AMQERR02.LOG", "x");

  MQLogInfo info{};
  ASSERT_EQ(GetMQLogInfo("PATHS.A", &info), 1);
  EXPECT_EQ(info.lLogType, 2);
  EXPECT_EQ(info.lPrimaryFiles, 4);
  EXPECT_STREQ(info.szLogPath, "D:\\log\\");
  ASSERT_EQ(GetMQLogInfo("PATHS/B", &info), 1);
  EXPECT_EQ(info.lPrimaryFiles, 6);
  EXPECT_EQ(GetMQLogInfo("PATHS.C", &info), 0);  // no such directory

  char errors[VRQ_PL_PATH_SIZE];
  ASSERT_EQ(GetErrorLogPath(VRQ_ERRLOG_QMGR, "PATHS.A", errors), 1);
  EXPECT_STREQ(errors, "c:\\mqm\\qmgrs\\PATHS!A\\errors");
  const Listing logs = ErrorLogs(errors, VRQ_ERRLOG_LOGS);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[1].first, "AMQERR02.LOG");

  // A name that would climb out of qmgrs finds nothing, though the files it aims at exist.
  Write("c:\\mqm\\qm.ini", "Log:\n   LogPrimaryFiles=9\n");
  EXPECT_EQ(GetMQLogInfo("PATHS.A\\..\\..", &info), 0);
  EXPECT_EQ(GetMQLogInfo("..\\..", &info), 0);
  EXPECT_EQ(info.lPrimaryFiles, 0);
}

}  // namespace

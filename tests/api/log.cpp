// The log entry, its redirection to a file, the assertion routine and the user name.
#include <gtest/gtest.h>
#include <vrqapi.h>

#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "vrqtest.h"

namespace {

constexpr const char* kDate = "Date: [A-Z][a-z]{2} [A-Z][a-z]{2} [ 123][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\n";

std::string Logged(const char* text, int* result = nullptr) {
  vrqtest::CaptureStdout out;
  int r = LOGMSG(text, 1);
  if (result != nullptr) *result = r;
  return vrqtest::Mask(out.text(), kDate, "Date: <date>\n");
}

TEST(Log, EntryIsAnEmptyLineTheDateAndThePrefixedMessage) {
  int result = -1;
  EXPECT_EQ(Logged("0101W x", &result), vrqtest::DataFile("api/log_entry.txt"));
  EXPECT_EQ(result, 0);  // the result of the flush
  EXPECT_EQ(Logged("0102I 100% done %s %d"), "\nDate: <date>\nVRQ0102I 100% done %s %d\n");
}

TEST(Log, OverlongTextIsCutToTheWorkArea) {
  std::string text = "0103E " + std::string(2000, 'y');
  std::string entry = Logged(text.c_str());
  EXPECT_EQ(entry, "\nDate: <date>\nVRQ" + text.substr(0, 987) + "\n");
  EXPECT_EQ(Logged(nullptr), "\nDate: <date>\nVRQ\n");
}

TEST(Log, AssertionLogsAndContinuesOrAborts) {
  vrqtest::CaptureStdout out;
  debug(1, "never", 0, "file.c", 1);
  debug(0, "p != 0", 1, "module.cpp", 42);
  EXPECT_EQ(vrqtest::Mask(out.text(), kDate, "Date: <date>\n"),
            "\nDate: <date>\nVRQ0105E  Assertion failed in module.cpp at line 42: p != 0\n");
  EXPECT_DEATH(debug(0, "fatal", 0, "x.c", 7), "");
}

TEST(Log, SetLogFileAppendsToTheFileAndRefusesWhatCannotBeOpened) {
  vrqtest::TempDir dir;
  std::string path = dir.file("vrq.log");
  vrqtest::WriteFile(path, "earlier\n");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The redirection is for the whole process: do it in a child.
    bool refused = VrqApiSetLogFile((dir.path() + "/no/such/dir.log").c_str()) == nullptr;
    bool opened = VrqApiSetLogFile(path.c_str()) == stdout;
    LOGMSG("0104I into the file", 1);
    _exit(refused && opened ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(vrqtest::Mask(vrqtest::ReadFile(path), kDate, "Date: <date>\n"),
            "earlier\n\nDate: <date>\nVRQ0104I into the file\n");
}

TEST(Log, UserNameIsCutToTwelveAndAlwaysTerminated) {
  const passwd* pw = getpwuid(getuid());
  ASSERT_NE(pw, nullptr);
  std::string login = pw->pw_name;

  char buffer[48];
  std::memset(buffer, 'x', sizeof buffer);
  int size = 48;
  ASSERT_EQ(GetUserName(buffer, &size), 1);
  EXPECT_EQ(std::string(buffer), login.substr(0, 12));
  EXPECT_EQ(size, static_cast<int>(std::min<std::size_t>(login.size(), 12)));

  char small[6];
  std::memset(small, 'x', sizeof small);
  size = 6;
  ASSERT_EQ(GetUserName(small, &size), 1);
  EXPECT_EQ(std::string(small), login.substr(0, 5));
  EXPECT_EQ(size, static_cast<int>(std::min<std::size_t>(login.size(), 5)));

  size = 0;
  EXPECT_EQ(GetUserName(small, &size), 0);
}

}  // namespace

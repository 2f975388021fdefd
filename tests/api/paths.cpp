// Path routines: separators, quoting, file sizes, the installation directory and the
// path of a configuration file.
#include <cmqc.h>

#include <gtest/gtest.h>
#include <vrqapi.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "vrqtest.h"

namespace {

std::string MakePath(std::string path, const char* name) {
  char buffer[64] = {};
  std::strcpy(buffer, path.c_str());
  EXPECT_EQ(vrqMakePath(buffer, name), 1);
  return buffer;
}

TEST(Paths, MakeAndTerminatePath) {
  EXPECT_EQ(MakePath("a/", "b"), "a/b");
  EXPECT_EQ(MakePath("a", "b"), "a/b");
  EXPECT_EQ(MakePath("", "b"), "b");
  EXPECT_EQ(MakePath("a", nullptr), "a/");
  char empty[4] = "";
  EXPECT_EQ(vrqTerminatePath(empty), 1);
  EXPECT_STREQ(empty, "");
  char dir[8] = "x/";
  EXPECT_EQ(vrqTerminatePath(dir), 1);
  EXPECT_STREQ(dir, "x/");
}

TEST(Paths, LongNamesAreQuotedUpToTheWorkArea) {
  char empty[4] = "";
  EXPECT_EQ(vrqUseLongNames(empty), 1);
  EXPECT_STREQ(empty, "");
  char path[32] = "/opt/my dir/x";
  EXPECT_EQ(vrqUseLongNames(path), 1);
  EXPECT_STREQ(path, "\"/opt/my dir/x\"");

  std::string longest(1033, 'p');
  std::string buffer = longest + std::string(3, '\0');
  EXPECT_EQ(vrqUseLongNames(buffer.data()), 1);
  EXPECT_EQ(std::string(buffer.c_str()), "\"" + longest + "\"");
  std::string tooLong(1034, 'p');
  std::string untouched = tooLong;
  tooLong.append(3, '\0');
  EXPECT_EQ(vrqUseLongNames(tooLong.data()), 0);  // refused, left as it was
  EXPECT_EQ(std::string(tooLong.c_str()), untouched);
}

TEST(Paths, FileSizesKeepThePositionAndReportFailures) {
  vrqtest::TempDir dir;
  std::string file = dir.file("data.bin");
  vrqtest::WriteFile(file, std::string(1234, 'd'));
  MQLONG size = -1;
  ASSERT_EQ(SizeOfFileByName(file.c_str(), &size), 1);
  EXPECT_EQ(size, 1234);

  FILE* f = std::fopen(file.c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 100, SEEK_SET);
  size = -1;
  EXPECT_EQ(SizeOfFile(f, &size), 1);
  EXPECT_EQ(size, 1234);
  EXPECT_EQ(std::ftell(f), 100);
  std::fclose(f);

  testing::internal::CaptureStderr();
  size = -1;
  EXPECT_EQ(SizeOfFileByName(dir.file("missing").c_str(), &size), 0);
  EXPECT_EQ(size, -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "SizeOfFileByName() - fopen() failed: No such file or directory\n");
}

// Runs the installation-directory lookup from a working directory and environment.
class InstallDir : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::filesystem::current_path();
    if (const char* home = std::getenv("VXWMQ_HOME")) savedHome_ = home;
    unsetenv("VXWMQ_HOME");
  }
  void TearDown() override {
    std::filesystem::current_path(saved_);
    if (!savedHome_.empty()) setenv("VXWMQ_HOME", savedHome_.c_str(), 1);
    else unsetenv("VXWMQ_HOME");
  }
  std::filesystem::path saved_;
  std::string savedHome_;
};

TEST_F(InstallDir, ParentOfTheWorkingDirectoryUnlessTheEnvironmentSaysOtherwise) {
  vrqtest::TempDir dir;
  std::filesystem::create_directories(dir.file("x/bin"));
  std::filesystem::current_path(dir.file("x/bin"));
  char buffer[512];
  EXPECT_EQ(vrqGetInstallDir(buffer), 0);
  EXPECT_EQ(std::string(buffer), std::filesystem::current_path().parent_path().string() + "/");

  setenv("VXWMQ_HOME", "/srv/app", 1);
  EXPECT_EQ(vrqGetInstallDir(buffer), 1);
  EXPECT_STREQ(buffer, "/srv/app");
  EXPECT_EQ(vrqMakeIniFilePath(buffer, "vrqrc.ini"), 1);
  EXPECT_STREQ(buffer, "/srv/app/config/groups/vrqrc.ini");

  setenv("VXWMQ_HOME", std::string(600, 'h').c_str(), 1);
  EXPECT_EQ(vrqGetInstallDir(buffer), 1);  // cut to the 512-byte buffer
  EXPECT_EQ(std::string(buffer), std::string(511, 'h'));
}

TEST_F(InstallDir, RootKeepsTheDefault) {
  std::filesystem::current_path("/");
  char buffer[512];
  EXPECT_EQ(vrqGetInstallDir(buffer), 0);
  EXPECT_STREQ(buffer, "/opt/orvane/vxwmq");
  std::filesystem::current_path("/usr");
  EXPECT_EQ(vrqGetInstallDir(buffer), 0);
  EXPECT_STREQ(buffer, "/");
}

}  // namespace

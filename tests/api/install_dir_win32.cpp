// The installation directory on Windows: the parent of the working directory, replaced by
// the toolkit's registry value WorkPath when it holds a usable text, and VXWMQ_HOME before
// both. The test writes the value itself (under wine64 into the prefix's registry) and
// removes it again.
#include <gtest/gtest.h>
#include <vrqapi.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "vrqtest.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kToolkitKey = "Software\\Orvane\\Veltrix/WMQ";

// Works in <temp>\work, so that the working directory's parent is <temp>\, without
// VXWMQ_HOME and without the toolkit's machine key; all three are restored afterwards.
class InstallDir : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kToolkitKey);
    if (const char* home = std::getenv("VXWMQ_HOME")) savedHome_ = home;
    unsetenv("VXWMQ_HOME");
    savedCwd_ = fs::current_path();
    fs::create_directory(dir_.path() + "\\work");
    fs::current_path(dir_.path() + "\\work");
    parent_ = fs::current_path().parent_path().string() + "\\";
  }
  void TearDown() override {
    fs::current_path(savedCwd_);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kToolkitKey);
    if (!savedHome_.empty()) setenv("VXWMQ_HOME", savedHome_.c_str(), 1);
  }
  static void Store(DWORD type, const void* data, std::size_t size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kToolkitKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "WorkPath", 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void StoreText(const std::string& text) { Store(REG_SZ, text.c_str(), text.size() + 1); }
  static std::string Dir(int* rc = nullptr) {
    char buffer[512];
    std::memset(buffer, '#', sizeof buffer);
    const int result = vrqGetInstallDir(buffer);
    if (rc != nullptr) *rc = result;
    return buffer;
  }

  vrqtest::TempDir dir_;
  std::string parent_;

 private:
  fs::path savedCwd_;
  std::string savedHome_;
};

TEST_F(InstallDir, WorkingDirectoryParentThenRegistryThenEnvironment) {
  int rc = -1;
  EXPECT_EQ(Dir(&rc), parent_);
  EXPECT_EQ(rc, 0);  // not named by VXWMQ_HOME

  StoreText("D:\\vxwmq");
  EXPECT_EQ(Dir(&rc), "D:\\vxwmq");
  EXPECT_EQ(rc, 0);
  char ini[600];
  EXPECT_EQ(vrqMakeIniFilePath(ini, "group.ini"), 1);
  EXPECT_STREQ(ini, "D:\\vxwmq\\config\\groups\\group.ini");

  setenv("VXWMQ_HOME", "E:\\elsewhere", 1);
  EXPECT_EQ(Dir(&rc), "E:\\elsewhere");
  EXPECT_EQ(rc, 1);
  unsetenv("VXWMQ_HOME");
}

TEST_F(InstallDir, UnusableWorkPathValuesAreIgnored) {
  const DWORD number = 0x00413a43;  // "C:A" read as text
  Store(REG_DWORD, &number, sizeof number);
  EXPECT_EQ(Dir(), parent_);
  const unsigned char binary[] = {'C', ':', '\\', 0xff, 0x01};
  Store(REG_BINARY, binary, sizeof binary);
  EXPECT_EQ(Dir(), parent_);
  StoreText("");
  EXPECT_EQ(Dir(), parent_);
  StoreText("C:\\" + std::string(600, 'p'));  // longer than the buffer: never cut into a wrong path
  EXPECT_EQ(Dir(), parent_);
}

TEST_F(InstallDir, WorkPathTextsThatFitAreReadWhole) {
  const char unterminated[] = {'D', ':', '\\', 'r', 'a', 'w'};
  Store(REG_SZ, unterminated, sizeof unterminated);
  EXPECT_EQ(Dir(), "D:\\raw");
  const std::string longest = "D:\\" + std::string(507, 'l');  // 510 characters and the terminator
  StoreText(longest);
  EXPECT_EQ(Dir(), longest);
  // 511 characters stored without a terminator fill the buffer but for its last byte:
  // read whole, or (where the system wants room for a terminator) refused, never cut.
  const std::string full(511, 'u');
  Store(REG_SZ, full.data(), full.size());
  const std::string read = Dir();
  EXPECT_TRUE(read == full || read == parent_) << read;
  StoreText(longest + "x");  // 511 characters and the terminator: one byte too many
  EXPECT_EQ(Dir(), parent_);
}

}  // namespace

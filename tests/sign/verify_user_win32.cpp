// User verification in the Windows build, which has no password database: every check
// fails with ENOSYS and says why, within the caller's message room.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "vrqsign.h"

namespace {

TEST(VerifyUserWindows, FailsWithEnosysAndSaysWhy) {
  SgxCredentials credentials{};
  std::strcpy(credentials.szUser, "mqadmin");
  std::strcpy(credentials.szPassword, "secret");
  int status = 0;
  char message[128];
  std::memset(message, 'x', sizeof message);
  sgx_verify_user(&credentials, &status, message, sizeof message);
  EXPECT_EQ(status, ENOSYS);
  EXPECT_STREQ(message, "user verification is not available on Windows");

  // A small room gets the start of the text, terminated; the bytes after it stay as they were.
  char small[8];
  std::memset(small, 'x', sizeof small);
  status = 0;
  sgx_verify_user(&credentials, &status, small, 5);
  EXPECT_EQ(status, ENOSYS);
  EXPECT_STREQ(small, "user");
  EXPECT_EQ(small[5], 'x');
}

TEST(VerifyUserWindows, ToleratesMissingArguments) {
  int status = 0;
  sgx_verify_user(nullptr, &status, nullptr, 64);
  EXPECT_EQ(status, ENOSYS);
  char message[4] = "abc";
  sgx_verify_user(nullptr, nullptr, message, 0);  // no room: the message is not touched
  EXPECT_STREQ(message, "abc");
  sgx_verify_user(nullptr, nullptr, message, -1);
  EXPECT_STREQ(message, "abc");
}

}  // namespace

// Credentials: the password check against a test shadow database (bind-mounted over
// /etc/shadow in a private mount namespace of a child process), the domain split and the
// salted digest.
#include <gtest/gtest.h>

#include <crypt.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "vrqsign.h"
#include "vrqtest.h"

namespace {

SgxCredentials Credentials(const std::string& user, const std::string& password = "", const std::string& domain = "") {
  SgxCredentials c{};
  std::strncpy(c.szUser, user.c_str(), sizeof c.szUser - 1);
  std::strncpy(c.szPassword, password.c_str(), sizeof c.szPassword - 1);
  std::strncpy(c.szDomain, domain.c_str(), sizeof c.szDomain - 1);
  return c;
}

struct Verdict {
  int status = -1;
  std::string message;
};

Verdict Verify(const std::string& user, const std::string& password) {
  SgxCredentials c = Credentials(user, password);
  Verdict v;
  char message[128];
  std::memset(message, 'x', sizeof message);
  sgx_verify_user(&c, &v.status, message, sizeof message);
  v.message = message;
  return v;
}

TEST(Credentials, MissingRecordGivesInvalid) {
  int status = -1;
  char message[8] = "x";
  sgx_verify_user(nullptr, &status, message, sizeof message);
  EXPECT_EQ(status, 22);
  EXPECT_STREQ(message, "");
}

// Runs the checks in a child with its own mount namespace, so that the machine's real
// shadow file is never read or touched.
struct Outcome {
  int namespace_errno = -1;  // 0: the namespace and the bind mount were had
  int right = -1;
  int wrong = -1;
  int missing = -1;
  char wrong_message[64] = {};
  char missing_message[64] = {};
};

// Returns "" when the child ran to its end and reported (outcome->namespace_errno then says
// whether it had its namespace), or else how the child failed: a child that crashes or
// dies in the checks is a failure, never a missing namespace.
std::string VerifyInPrivateNamespace(const std::string& shadow, Outcome* outcome) {
  int fds[2];
  if (pipe(fds) != 0) return std::string("pipe: ") + std::strerror(errno);
  const pid_t child = fork();
  if (child < 0) return std::string("fork: ") + std::strerror(errno);
  if (child == 0) {
    close(fds[0]);
    Outcome out;
    if (unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
        mount(shadow.c_str(), "/etc/shadow", nullptr, MS_BIND, nullptr) == 0) {
      out.namespace_errno = 0;
      out.right = Verify("vrqtester", "secret").status;
      const Verdict wrong = Verify("vrqtester", "Secret");
      out.wrong = wrong.status;
      std::snprintf(out.wrong_message, sizeof out.wrong_message, "%s", wrong.message.c_str());
      const Verdict missing = Verify("vrqnobody", "secret");
      out.missing = missing.status;
      std::snprintf(out.missing_message, sizeof out.missing_message, "%s", missing.message.c_str());
    } else {
      out.namespace_errno = errno;
    }
    const ssize_t written = write(fds[1], &out, sizeof out);
    _exit(written == static_cast<ssize_t>(sizeof out) ? 0 : 1);
  }
  close(fds[1]);
  const ssize_t got = read(fds[0], outcome, sizeof *outcome);
  close(fds[0]);
  int wstatus = 0;
  if (waitpid(child, &wstatus, 0) != child) return std::string("waitpid: ") + std::strerror(errno);
  if (WIFSIGNALED(wstatus)) return "the child died of signal " + std::to_string(WTERMSIG(wstatus));
  if (!WIFEXITED(wstatus) || WEXITSTATUS(wstatus) != 0)
    return "the child ended with status " + std::to_string(WEXITSTATUS(wstatus));
  if (got != static_cast<ssize_t>(sizeof *outcome)) return "the child reported " + std::to_string(got) + " bytes";
  return "";
}

TEST(Credentials, PasswordCheckedAgainstTestShadowDatabase) {
  if (geteuid() != 0) GTEST_SKIP() << "a private mount namespace over /etc/shadow needs root";
  vrqtest::TempDir dir;
  const std::string shadow = dir.file("shadow");
  crypt_data data{};
  const char* hash = crypt_r("secret", "$6$vrqsalt0$", &data);
  ASSERT_NE(hash, nullptr);
  vrqtest::WriteFile(shadow, std::string("vrqtester:") + hash + ":19000:0:99999:7:::\n");
  Outcome outcome;
  const std::string failure = VerifyInPrivateNamespace(shadow, &outcome);
  ASSERT_EQ(failure, "");
  if (outcome.namespace_errno != 0)
    GTEST_SKIP() << "no private mount namespace available here: " << std::strerror(outcome.namespace_errno);
  EXPECT_EQ(outcome.right, 0) << "right password";
  EXPECT_EQ(outcome.wrong, 22) << "wrong password";
  EXPECT_STREQ(outcome.wrong_message, "") << "a wrong password leaves the message empty";
  // A user missing from the database: the look-up's error number, 22 when it gave none.
  EXPECT_NE(outcome.missing, 0);
  const int number = outcome.missing == 22 ? 0 : outcome.missing;
  const std::string text = outcome.missing_message;
  EXPECT_TRUE(text == "getspnam failed with errno " + std::to_string(number) ||
              text == "getspnam failed with errno 22")
      << text;
}

TEST(Credentials, DomainSplit) {
  struct Case {
    const char* user;
    const char* domain;
    const char* want_domain;
    const char* want_user;
  } cases[] = {
      {"alice", "", ".", "alice"},
      {"DOM\\alice", "", "DOM", "alice"},
      {"DOM/alice", " ", "DOM", "alice"},
      {"alice@DOM", "", "DOM", "alice"},
      {"DOM\\alice", "SET", "SET", "DOM\\alice"},          // a domain already set wins
      {"ABCDEFGHIJKLMNOPQ\\alice", "", "", "ABCDEFGHIJKLMNOPQ\\alice"},  // domain too long
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    SgxCredentials cred = Credentials(c.user, "pw", c.domain);
    CheckUserDomain(&cred);
    EXPECT_STREQ(cred.szDomain, c.want_domain) << c.user;
    EXPECT_STREQ(cred.szUser, c.want_user) << c.user;
    EXPECT_STREQ(cred.szPassword, "pw");
  }
  CheckUserDomain(nullptr);
}

TEST(Credentials, SaltedDigest) {
  uint8_t first[16];
  uint8_t again[16];
  uint8_t other[16];
  SgxCredentials a = Credentials("alice", "secret", "DOM");
  ASSERT_EQ(generate_digest(&a, first, "challenge"), 1);
  EXPECT_STREQ(a.szUser, "") << "the record keeps only the password and digests";
  EXPECT_STREQ(a.szDomain, "");
  EXPECT_STREQ(a.szPassword, "secret");
  EXPECT_EQ(std::memcmp(a.DigestInput, "challenge", 9), 0);
  EXPECT_EQ(std::memcmp(a.DigestInput + 9, a.PasswordDigest, 16), 0);

  // MD5("secret"), as published for the word.
  const uint8_t md5_secret[16] = {0x5e, 0xbe, 0x22, 0x94, 0xec, 0xd0, 0xe0, 0xf0,
                                  0x8e, 0xab, 0x76, 0x90, 0xd2, 0xa6, 0xee, 0x69};
  EXPECT_EQ(std::memcmp(a.PasswordDigest, md5_secret, 16), 0);

  SgxCredentials b = Credentials("bob", "secret");
  ASSERT_EQ(generate_digest(&b, again, "challenge"), 1);
  EXPECT_EQ(std::memcmp(first, again, 16), 0);
  ASSERT_EQ(generate_digest(&b, other, "challengf"), 1);
  EXPECT_NE(std::memcmp(first, other, 16), 0);

  SgxCredentials c = Credentials("carol", "pw");
  const std::string longest(SGX_DIGEST_TEXT_MAX, 't');
  EXPECT_EQ(generate_digest(&c, other, longest.c_str()), 1);
  c = Credentials("carol", "pw");
  EXPECT_EQ(generate_digest(&c, other, (longest + "t").c_str()), 0);
  EXPECT_STREQ(c.szUser, "carol") << "a refused text changes nothing";
}

}  // namespace

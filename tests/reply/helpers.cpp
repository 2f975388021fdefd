// The reply utility's dump, time and GUID helpers: the dump layout against its expected
// text, durations across a second boundary, the UTC time text and the GUID text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "reply.h"
#include "vrqcrypt.h"
#include "vrqtest.h"

namespace {

TEST(ReplyHelpers, DumpLayoutWithFullAndPartialLines) {
  std::string data = "Hello, reply utility!\n";
  for (int i = 0; i < 15; ++i) data += static_cast<char>(0xf0 + i);
  std::string out;
  {
    vrqtest::CaptureStdout capture;
    PrintData(data.data(), static_cast<long>(data.size()));
    PrintData(data.data(), 16);
    PrintData(data.data(), 0);
    out = capture.text();
  }
  out = vrqtest::Mask(out, "Msg Buffer 0x[0-9a-f]+", "Msg Buffer <addr>");
  EXPECT_EQ(out, vrqtest::DataFile("reply/dump.txt"));
}

TEST(ReplyHelpers, DurationBorrowsASecond) {
  VXXTIME start{100, 900000}, end{102, 100000}, dur{};
  EXPECT_EQ(Duration(&start, &end, &dur), &dur);
  EXPECT_EQ(dur.time_sec, 1);
  EXPECT_EQ(dur.time_usec, 200000);
  VXXTIME later{102, 950000};
  Duration(&start, &later, &dur);
  EXPECT_EQ(dur.time_sec, 2);
  EXPECT_EQ(dur.time_usec, 50000);

  VXXTIME now{};
  TimeMkSec(&now);
  EXPECT_GT(now.time_sec, 1600000000);
  EXPECT_LT(now.time_usec, 1000000);
  EXPECT_NEAR(pctimer(), static_cast<double>(now.time_sec), 5.0);
}

TEST(ReplyHelpers, TimeTextIsUtcWithMicroseconds) {
  char out[32];
  VXXTIME t{0, 0};
  EXPECT_STREQ(TimeToStr(&t, out), "Thu Jan  1 00:00:00.000000");
  t = {1700000000, 42};
  EXPECT_STREQ(TimeToStr(&t, out), "Tue Nov 14 22:13:20.000042");
}

TEST(ReplyHelpers, GuidTextAndDigest) {
  GUIDINFO g{};
  std::strcpy(g.szHost, "host1");
  std::strcpy(g.szQmgr, "QM1");
  std::strcpy(g.szUserId, "mqm");
  std::strcpy(g.szAppl, "vrrpl");
  g.lPid = 77;
  g.lTid = 78;
  g.TimeInfo = {1700000000, 5};
  GuidStr(&g);
  EXPECT_STREQ(g.szGuid, "1700000000.000005::77.78::QM1::vrrpl::host1::mqm");
  EXPECT_EQ(g.lGuid, static_cast<long>(std::strlen(g.szGuid)));

  // Longest fields still fit the text.
  std::memset(g.szAppl, 'a', 256);
  std::memset(g.szHost, 'h', 256);
  GuidStr(&g);
  EXPECT_EQ(g.lGuid, static_cast<long>(std::strlen(g.szGuid)));
  EXPECT_GT(g.lGuid, 512);

  GenerateUid(&g);
  uint8_t digest[16];
  md5_encrypt(reinterpret_cast<const uint8_t*>(g.szGuid), static_cast<size_t>(g.lGuid), digest);
  EXPECT_EQ(std::memcmp(digest, g.btGUID, 16), 0);
  EXPECT_NE(g.TimeInfo.time_sec, 1700000000);
#ifndef _WIN32  // a Windows thread has an id of its own, never the process's
  EXPECT_EQ(CurrentThreadId(), CurrentProcessId());
#endif
}

}  // namespace

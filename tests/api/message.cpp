// MESSAGE and Buffer records: creation, growth, views, copies and the behaviour when the
// allocator fails (driven through the allocator hook).
#include <gtest/gtest.h>
#include <vrqapi.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "alloc_interpose.h"
#include "vrqtest.h"

namespace {
int g_fail_next = 0;  // number of following allocations that fail
}

bool TestAllocationFails(void*, std::size_t) {
  if (g_fail_next == 0) return false;
  --g_fail_next;
  return true;
}

namespace {

void Fill(MESSAGE& m, int count, char c) {
  std::memset(m.pData + (m.lMsgLength - 136), c, static_cast<std::size_t>(count));
  m.lMsgLength += count;
}

TEST(Message, CreateSetsAnEmptyRecordWithTheDefaultDescriptor) {
  MESSAGE m{};
  ASSERT_EQ(CreateMessage(&m, 64), 1);
  EXPECT_EQ(m.lKind, 1);
  EXPECT_EQ(m.pData, reinterpret_cast<char*>(m.pMdHdr) + 136);
  EXPECT_EQ(m.lMaxLength, 200);
  EXPECT_EQ(m.lMsgLength, 136);
  EXPECT_EQ(m.pMdHdr->lHdrMark, 1);
  EXPECT_EQ(VerifyMessage(&m), 0);  // StrucLength is the sender's to set
  EXPECT_EQ(std::memcmp(m.MsgDesc.StrucId, "MD  ", 4), 0);
  EXPECT_EQ(m.MsgDesc.Version, 1);
  EXPECT_EQ(m.MsgDesc.MsgType, 8);
  EXPECT_EQ(m.MsgDesc.Expiry, -1);
  EXPECT_EQ(m.MsgDesc.Encoding, 546);
  EXPECT_EQ(std::memcmp(m.MsgDesc.Format, "        ", 8), 0);
  EXPECT_EQ(m.MsgDesc.Priority, -1);
  EXPECT_EQ(m.MsgDesc.Persistence, 2);
  EXPECT_EQ(m.MsgDesc.MsgSeqNumber, 1);
  EXPECT_EQ(m.MsgDesc.OriginalLength, -1);
  m.pMdHdr->StrucLength = 136;
  EXPECT_EQ(VerifyMessage(&m), 1);
  EXPECT_EQ(DeleteMessage(&m), 1);
  EXPECT_EQ(m.pMdHdr, nullptr);
  EXPECT_EQ(m.lMsgLength, 0);
  EXPECT_EQ(DeleteMessage(&m), 0);
  EXPECT_EQ(CreateMessage(&m, -1), 0);
}

TEST(Message, SizeEmptiesTheDataWhileSizeKeepPreservesIt) {
  MESSAGE m{};
  ASSERT_EQ(CreateMessage(&m, 100), 1);
  Fill(m, 100, 'x');
  ASSERT_EQ(SizeMessage(&m, 200), 1);
  EXPECT_EQ(m.lMsgLength, 136);
  EXPECT_EQ(m.lMaxLength, 336);
  EXPECT_EQ(m.pData[99], 'x');  // still in the block, but counted empty

  m.lMsgLength = 236;
  EXPECT_EQ(SizeMessageKeep(&m, 99), 0);
  EXPECT_EQ(m.lMaxLength, 336);
  ASSERT_EQ(SizeMessageKeep(&m, 100), 1);
  EXPECT_EQ(m.lMsgLength, 236);
  EXPECT_EQ(m.lMaxLength, 236);
  EXPECT_EQ(std::string(m.pData, 100), std::string(100, 'x'));
  DeleteMessage(&m);
}

TEST(Message, AppendGrowsByTheShortfallPlusAHeader) {
  MESSAGE to{}, from{};
  ASSERT_EQ(CreateMessage(&to, 50), 1);
  Fill(to, 10, 'a');  // 40 bytes free
  ASSERT_EQ(CreateMessage(&from, 300), 1);
  Fill(from, 300, 'b');
  ASSERT_EQ(AppendMessage(&to, &from), 1);
  EXPECT_EQ(to.lMaxLength, 186 + 396);
  EXPECT_EQ(to.lMsgLength, 136 + 310);
  EXPECT_EQ(std::string(to.pData, 310), std::string(10, 'a') + std::string(300, 'b'));

  ASSERT_EQ(AppendMessage(&to, &to), 1);  // the source moves with the block
  EXPECT_EQ(std::string(to.pData + 310, 310), std::string(10, 'a') + std::string(300, 'b'));
  DeleteMessage(&to);
  DeleteMessage(&from);
}

// A source that views part of the destination's own block must survive the block moving
// when the destination grows (large enough that the heap moves it to fresh pages).
TEST(Message, AppendFromAViewOfTheDestinationItself) {
  constexpr int kLarge = 300 * 1024;
  MESSAGE to{};
  ASSERT_EQ(CreateMessage(&to, kLarge), 1);
  Fill(to, kLarge / 2, 'x');
  Fill(to, kLarge / 2, 'y');
  MESSAGE view{};
  view.lKind = 1;
  view.pData = to.pData + kLarge / 2;  // the 'y' half
  view.lMaxLength = view.lMsgLength = kLarge / 2;
  ASSERT_EQ(AppendMessage(&to, &view), 1);
  ASSERT_EQ(to.lMsgLength, 136 + kLarge + kLarge / 2);
  EXPECT_EQ(std::string(to.pData + kLarge, kLarge / 2), std::string(kLarge / 2, 'y'));

  // Copying a view of a record into that record keeps exactly the viewed bytes.
  view.pData = to.pData + kLarge - 4;
  view.lMaxLength = view.lMsgLength = 8;  // "yyyy" + "yyyy"
  std::memcpy(to.pData + kLarge - 4, "abcdefgh", 8);
  ASSERT_EQ(CopyMessage(&view, &to), 1);
  EXPECT_EQ(to.lMsgLength, 136 + 8);
  EXPECT_EQ(std::string(to.pData, 8), "abcdefgh");
  DeleteMessage(&to);
}

// Copying a record onto itself keeps it as it is: a reset first would lose its data.
TEST(Message, CopyOntoItselfKeepsTheRecord) {
  MESSAGE m{};
  ASSERT_EQ(CreateMessage(&m, 16), 1);
  Fill(m, 5, 'q');
  m.MsgDesc.Priority = 3;
  EXPECT_EQ(CopyMessage(&m, &m), 1);
  EXPECT_EQ(m.lMsgLength, 136 + 5);
  EXPECT_EQ(std::string(m.pData, 5), "qqqqq");
  EXPECT_EQ(m.MsgDesc.Priority, 3);
  DeleteMessage(&m);
}

TEST(Message, CopyAndResetKeepTheBlockAndTakeTheDescriptor) {
  MESSAGE from{}, to{};
  ASSERT_EQ(CreateMessage(&from, 16), 1);
  Fill(from, 5, 'z');
  from.pMdHdr->StrucLength = 136;
  from.pMdHdr->lReserved1 = 7;
  from.pMdHdr->lTextCode = 1;
  from.MsgDesc.Priority = 4;
  std::memcpy(from.pMdHdr->UserId, "someone", 7);
  ASSERT_EQ(CopyMessage(&from, &to), 1);
  EXPECT_EQ(to.lMaxLength, 392);  // a fresh record gets the 256-byte default block
  EXPECT_EQ(to.pMdHdr->StrucLength, 136);
  EXPECT_EQ(to.pMdHdr->lReserved1, 7);
  EXPECT_EQ(to.pMdHdr->lTextCode, 0);
  EXPECT_EQ(to.MsgDesc.Priority, 4);
  EXPECT_EQ(std::string(to.pData, 5), "zzzzz");
  EXPECT_EQ(CopyMessage(nullptr, &to), 0);

  from.pMdHdr->lTextCode = 1;
  ASSERT_EQ(ResetMessage(&from), 1);
  EXPECT_EQ(from.lMsgLength, 136);
  EXPECT_EQ(from.lMaxLength, 152);
  EXPECT_EQ(from.pMdHdr->lTextCode, 1);
  EXPECT_EQ(from.pMdHdr->UserId[0], 0);
  EXPECT_EQ(from.MsgDesc.Priority, -1);
  EXPECT_EQ(ResetMessage(nullptr), 0);
  DeleteMessage(&from);
  DeleteMessage(&to);
}

TEST(Message, ViewsAreNeverFreedAndCountNoHeader) {
  char bytes[40] = "viewed bytes";
  MESSAGE view{};
  view.pData = bytes;
  view.lMaxLength = view.lMsgLength = 12;
  MESSAGE to{};
  ASSERT_EQ(CreateMessage(&to, 4), 1);
  ASSERT_EQ(AppendMessage(&to, &view), 1);
  EXPECT_EQ(std::string(to.pData, 12), "viewed bytes");
  EXPECT_EQ(AppendMessage(&view, &to), 0);  // a view cannot grow into somebody's bytes
  ASSERT_EQ(SizeMessageKeep(&view, 20), 1);  // the view becomes an owning copy
  EXPECT_NE(view.pData, bytes);
  EXPECT_EQ(std::string(view.pData, 12), "viewed bytes");
  DeleteMessage(&view);
  view.pMdHdr = nullptr;
  view.pData = bytes;
  view.lMaxLength = view.lMsgLength = 12;
  EXPECT_EQ(DeleteMessage(&view), 1);
  EXPECT_EQ(view.pData, nullptr);
  EXPECT_EQ(view.lMsgLength, 0);
  DeleteMessage(&to);
}

// Runs f with standard output captured and gives what it printed.
template <typename F>
std::string Printed(F f) {
  vrqtest::CaptureStdout out;
  f();
  return out.text();
}

// The next allocation fails while f runs.
template <typename F>
auto FailingOnce(F f) {
  g_fail_next = 1;
  auto result = f();
  g_fail_next = 0;
  return result;
}

TEST(Message, FailedAllocationsLeaveRecordsUnchanged) {
  MESSAGE m{};
  int created = 1;
  EXPECT_EQ(Printed([&] { created = FailingOnce([&] { return CreateMessage(&m, 8); }); }),
            "MESSAGE::CreateMessage: fNewMemory() failed\n");
  EXPECT_EQ(created, 0);
  ASSERT_EQ(CreateMessage(&m, 8), 1);
  Fill(m, 8, 'k');
  const MESSAGE before = m;

  int sized = 1, kept = 1;
  EXPECT_EQ(Printed([&] {
              sized = FailingOnce([&] { return SizeMessage(&m, 1000); });
              kept = FailingOnce([&] { return SizeMessageKeep(&m, 1000); });
            }),
            "MESSAGE::SizeMessage: fSizeMemory() failed. Requested 1136 bytes,contained 144 bytes\n"
            "MESSAGE::SizeMessage: fSizeMemory() failed. Requested 1136 bytes,contained 144 bytes\n");
  EXPECT_EQ(sized, 0);
  EXPECT_EQ(kept, 0);
  EXPECT_EQ(std::memcmp(&m, &before, sizeof m), 0);

  MESSAGE big{};
  ASSERT_EQ(CreateMessage(&big, 100), 1);
  Fill(big, 100, 'q');
  int appended = 1;
  Printed([&] { appended = FailingOnce([&] { return AppendMessage(&m, &big); }); });
  EXPECT_EQ(appended, 0);
  EXPECT_EQ(std::memcmp(&m, &before, sizeof m), 0);
  EXPECT_EQ(std::string(m.pData, 8), "kkkkkkkk");

  MESSAGE fresh{};
  int reset = 1;
  EXPECT_EQ(Printed([&] { reset = FailingOnce([&] { return ResetMessage(&fresh); }); }),
            "MESSAGE::ResetMessage: fNewMemory() failed\n");
  EXPECT_EQ(reset, 0);
  EXPECT_EQ(fresh.pMdHdr, nullptr);

  Buffer b{};
  EXPECT_EQ(FailingOnce([&] { return CreateBuffer(&b, 10); }), 0);
  ASSERT_EQ(CreateBuffer(&b, 10), 1);
  const Buffer bufBefore = b;
  EXPECT_EQ(FailingOnce([&] { return SizeBuffer(&b, 100); }), 0);
  EXPECT_EQ(std::memcmp(&b, &bufBefore, sizeof b), 0);
  b.lCounter2 = 9;
  EXPECT_EQ(FailingOnce([&] { return ResetBuffer(&b, 100); }), 1);
  EXPECT_EQ(b.lLength, 10);  // growth failed: the length stays at the old size
  EXPECT_EQ(b.lSize, 10);
  EXPECT_EQ(b.lCounter2, 0);
  DeleteMessage(&m);
  DeleteMessage(&big);
  DeleteBuffer(&b);
}

TEST(Buffer, ResetGrowsOrShortensAndDeleteZeroes) {
  Buffer b{};
  ASSERT_EQ(CreateBuffer(&b, 16), 1);
  EXPECT_EQ(b.lLength, 16);
  EXPECT_EQ(b.pBuffer[15], 0);
  b.lCounter1 = b.lCounter3 = 5;
  ASSERT_EQ(ResetBuffer(&b, 64), 1);
  EXPECT_EQ(b.lSize, 64);
  EXPECT_EQ(b.lLength, 64);
  EXPECT_EQ(b.lCounter1 + b.lCounter3, 0);
  ASSERT_EQ(ResetBuffer(&b, 8), 1);
  EXPECT_EQ(b.lSize, 64);
  EXPECT_EQ(b.lLength, 8);
  ASSERT_EQ(SizeBuffer(&b, 32), 1);
  EXPECT_EQ(b.lLength, 8);
  EXPECT_EQ(b.lSize, 32);
  EXPECT_EQ(DeleteBuffer(&b), 1);
  Buffer zero{};
  EXPECT_EQ(std::memcmp(&b, &zero, sizeof b), 0);
  EXPECT_EQ(DeleteBuffer(&b), 0);
  EXPECT_EQ(CreateBuffer(&b, -4), 0);
}

TEST(Message, PrintShowsLengthsAndTextFieldsUpToTheirEnd) {
  MESSAGE m{};
  ASSERT_EQ(CreateMessage(&m, 0), 1);
  m.pMdHdr->StrucLength = 136;
  m.pMdHdr->lUserMsgLength = 12;
  std::memcpy(m.pMdHdr->ApplName, "node-1", 6);
  std::memset(m.pMdHdr->UserId, 'u', sizeof m.pMdHdr->UserId);  // no terminator inside
  EXPECT_EQ(Printed([&] { PrintMessage(&m); }),
            "(MDHDR)\nStrucLength(136)lUserMsgLength(12)\nApplName(\"node-1\")\n\nUserId(\"uuuuuuuuuuuu\")\n\n");
  MSHDRE ext{};
  EXPECT_EQ(VerifyMessageExt(&ext), 0);
  ext.StrucLength = 32;
  EXPECT_EQ(VerifyMessageExt(&ext), 1);
  DeleteMessage(&m);
}

}  // namespace

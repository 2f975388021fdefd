// Tracked memory: zero-filled allocation, resizing, and the block-tracking list with its
// memory log.
#include <gtest/gtest.h>
#include <vrqapi.h>

#include <string>

#include "vrqtest.h"

namespace {

std::string DumpText() {
  vrqtest::CaptureStdout out;
  SetMemoryLogFile("/dev/stdout");
  DumpMemoryLog();
  return vrqtest::Mask(out.text(), "Address = 0x[^;]*;", "Address = <p>;");
}

TEST(Memory, NewBlocksAreZeroFilledAndGrowKeepingTheirBytes) {
  EXPECT_EQ(bGarbage, 0);
  void* p = nullptr;
  ASSERT_EQ(fNewMemory(&p, 100, "Test"), 1);
  auto* bytes = static_cast<unsigned char*>(p);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(bytes[i], 0) << i;
  for (int i = 0; i < 100; ++i) bytes[i] = static_cast<unsigned char>(i);
  ASSERT_EQ(fSizeMemory(&p, 4000), 1);
  bytes = static_cast<unsigned char*>(p);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(bytes[i], i);
  ASSERT_EQ(fSizeMemory(&p, 0), 1);  // a zero resize keeps a live block in the slot
  FreeMemory(p);
  FreeMemory(nullptr);
  EXPECT_EQ(fNewMemory(nullptr, 8, "Test"), 0);
}

TEST(Memory, RegisteredBlocksAreFoundByAnyInteriorPointer) {
  char block[64];
  ASSERT_EQ(fCreateBlockInfo(block, 64, "X"), 1);
  EXPECT_EQ(sizeofBlock(block), 64u);
  EXPECT_EQ(sizeofBlock(block + 63), 64u);
  EXPECT_EQ(sizeofBlock(block + 64), 0u);
  ASSERT_NE(pbiGetBlockInfo(block + 10), nullptr);
  EXPECT_EQ(pbiGetBlockInfo(block + 10)->pAddress, block);

  NoteMemoryRef(block + 5);
  EXPECT_EQ(pbiGetBlockInfo(block)->lReferenced, 1);
  ClearMemoryRefs();
  EXPECT_EQ(pbiGetBlockInfo(block)->lReferenced, 0);

  char moved[128];
  EXPECT_EQ(UpdateBlockInfo(block + 1, moved, 128), 128u);
  EXPECT_EQ(sizeofBlock(block), 0u);
  EXPECT_EQ(sizeofBlock(moved + 127), 128u);

  FreeBlockInfo(moved + 1);  // only the start address unregisters
  EXPECT_EQ(sizeofBlock(moved), 128u);
  FreeBlockInfo(moved);
  EXPECT_EQ(pbiGetBlockInfo(moved), nullptr);
  EXPECT_EQ(fValidPointer(nullptr, 0), 1);
}

TEST(Memory, DumpListsRecordsNewestFirstWithCutModuleNames) {
  EXPECT_EQ(DumpText(), "END OF DUMP, total blocks = 0\n");
  char a[16], b[32];
  ASSERT_EQ(fCreateBlockInfo(a, 16, "First"), 1);
  ASSERT_EQ(fCreateBlockInfo(b, 32, "A module name that is far longer than thirty-five"), 1);
  NoteMemoryRef(a);
  EXPECT_EQ(DumpText(), vrqtest::DataFile("api/memory_dump.txt"));
  FreeBlockInfo(a);
  FreeBlockInfo(b);
}

TEST(Memory, LogFileThatCannotBeOpenedFallsBackToStdout) {
  vrqtest::TempDir dir;
  SetMemoryLogFile(dir.file("log.txt").c_str());
  DumpMemoryLog();
  SetMemoryLogFile("");  // keeps the file
  DumpMemoryLog();
  SetMemoryLogFile(nullptr);
  vrqtest::CaptureStdout out;
  SetMemoryLogFile(dir.file("missing/log.txt").c_str());
  EXPECT_EQ(vrqtest::ReadFile(dir.file("log.txt")),
            "END OF DUMP, total blocks = 0\nEND OF DUMP, total blocks = 0\n");
  EXPECT_EQ(out.text(), "Failed to open memory log file '" + dir.file("missing/log.txt") +
                            "' for writing\n(errno: 2 (No such file or directory))\ndefaulting to stdout\n");
}

}  // namespace

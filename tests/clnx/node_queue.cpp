// The node queue: FIFO order, head insertion, removal of repeated items, the readiness
// limit, the cursor, and the release of items by Qfree.
#include <string>
#include <vector>

#include "clnx_test.h"
#include "vrqtest.h"

namespace {

struct QueueGuard {
  NodeQueue* q = Qalloc();
  ~QueueGuard() {
    while (Qdepth(q) > 0) Qget(q);
    Qfree(&q);
  }
};

std::vector<int> Drain(NodeQueue* q) {
  std::vector<int> items;
  while (void* item = Qget(q)) items.push_back(*static_cast<int*>(item));
  return items;
}

TEST(NodeQueue, FifoWithHeadInsertionAndRefill) {
  QueueGuard g;
  ASSERT_NE(g.q, nullptr);
  EXPECT_EQ(GetQLimit(g.q), -1);
  int a = 1, b = 2, c = 3, d = 4;
  Qputhead(g.q, &a);  // into an empty queue: head and tail
  Qput(g.q, &b);
  QputHigh(g.q, &c);
  Qputhead(g.q, &d);
  EXPECT_EQ(Qdepth(g.q), 4);
  EXPECT_EQ(Drain(g.q), (std::vector<int>{4, 1, 2, 3}));
  EXPECT_EQ(Qdepth(g.q), 0);
  EXPECT_EQ(g.q->pHead, nullptr);
  EXPECT_EQ(g.q->pTail, nullptr);
  EXPECT_EQ(Qget(g.q), nullptr);
  Qput(g.q, &a);
  EXPECT_EQ(g.q->pHead, g.q->pTail);
  EXPECT_EQ(Qget(g.q), &a);
}

TEST(NodeQueue, RemoveEveryLinkOfAnItem) {
  QueueGuard g;
  int a = 1, b = 2, c = 3;
  for (int* item : {&a, &b, &b, &c, &b}) Qput(g.q, item);
  Qremove(g.q, &b);
  EXPECT_EQ(Qdepth(g.q), 2);
  EXPECT_EQ(g.q->pTail->pItem, &c);
  Qremove(g.q, &a);
  EXPECT_EQ(g.q->pHead, g.q->pTail);
  Qremove(g.q, &c);
  EXPECT_EQ(Qdepth(g.q), 0);
  EXPECT_EQ(g.q->pHead, nullptr);
  EXPECT_EQ(g.q->pTail, nullptr);
  Qput(g.q, &a);  // the queue still works after being emptied by removal
  EXPECT_EQ(Drain(g.q), (std::vector<int>{1}));
}

TEST(NodeQueue, CursorWalksInOrderAndSurvivesRemoval) {
  QueueGuard g;
  int a = 1, b = 2, c = 3;
  Qstart(g.q);
  EXPECT_EQ(Qnext(g.q), nullptr);
  for (int* item : {&a, &b, &c}) Qput(g.q, item);
  Qstart(g.q);
  EXPECT_EQ(Qnext(g.q), &a);
  EXPECT_EQ(Qnext(g.q), &b);
  EXPECT_EQ(Qnext(g.q), &c);
  EXPECT_EQ(Qnext(g.q), nullptr);
  // Taking or removing the item under the cursor moves the cursor on.
  Qstart(g.q);
  Qget(g.q);
  EXPECT_EQ(Qnext(g.q), &b);
  Qremove(g.q, &c);
  EXPECT_EQ(Qnext(g.q), nullptr);
}

TEST(NodeQueue, ReadinessLimit) {
  QueueGuard g;
  std::vector<int> items(101);
  SetQLimit(g.q, 100);
  EXPECT_EQ(GetQLimit(g.q), 100);
  for (int i = 0; i < 100; ++i) Qput(g.q, &items[i]);
  EXPECT_EQ(IsQReady(g.q), 1);
  Qput(g.q, &items[100]);
  EXPECT_EQ(IsQReady(g.q), 0);
  SetQLimit(g.q, -1);
  EXPECT_EQ(IsQReady(g.q), 1);
}

TEST(NodeQueue, NullQueue) {
  vrqtest::CaptureStdout out;
  int a = 0;
  Qput(nullptr, &a);
  Qputhead(nullptr, &a);
  EXPECT_EQ(Qget(nullptr), nullptr);
  Qremove(nullptr, &a);
  Qstart(nullptr);
  EXPECT_EQ(Qnext(nullptr), nullptr);
  EXPECT_EQ(Qdepth(nullptr), 0);
  SetQLimit(nullptr, 3);
  EXPECT_EQ(GetQLimit(nullptr), -1);
  EXPECT_EQ(IsQReady(nullptr), 1);
  NodeQueue* none = nullptr;
  Qfree(&none);
  EXPECT_EQ(out.text(), "Qput: null Queue input\nQputhead: null Queue input\nQget: null Queue input\n");
}

TEST(NodeQueue, FreeReleasesItems) {
  NodeQueue* q = Qalloc();
  for (int i = 0; i < 3; ++i) {
    void* item = nullptr;
    ASSERT_EQ(fNewMemory(&item, 32, "test"), 1);
    Qput(q, item);
  }
  Qput(q, nullptr);
  Qfree(&q);  // the sanitizer build reports any item or link left behind
  EXPECT_EQ(q, nullptr);
}

}  // namespace

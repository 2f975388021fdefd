// Heap sorts: byte records, string-list attributes and authority records.
#include <gtest/gtest.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "vrqapi.h"

TEST(PcfSort, ByteRecordsInMemcmpOrder) {
  char records[] = "BAABAABB";
  EXPECT_EQ(ArrayHeapSort(records, 4, 2), 1);
  EXPECT_STREQ(records, "AAABBABB");

  char untouched[] = "BAAB";
  EXPECT_EQ(ArrayHeapSort(untouched, 2, 258), 0);
  EXPECT_STREQ(untouched, "BAAB");
  EXPECT_EQ(ArrayHeapSort(untouched, 0, 2), 1);
  EXPECT_EQ(ArrayHeapSort(untouched, 1, 2), 1);

  // Bytes compare unsigned, and a long run with duplicates ends as std::sort orders it.
  std::mt19937 random(7);
  std::vector<std::string> values;
  for (int i = 0; i < 997; ++i) {
    std::string v(5, '\0');
    for (char& c : v) c = static_cast<char>(random() % 4 == 0 ? 0xF0 : random() % 256);
    values.push_back(v);
  }
  std::string flat;
  for (const auto& v : values) flat += v;
  EXPECT_EQ(ArrayHeapSort(flat.data(), values.size(), 5), 1);
  std::sort(values.begin(), values.end(), [](const std::string& a, const std::string& b) {
    return std::memcmp(a.data(), b.data(), 5) < 0;
  });
  std::string expected;
  for (const auto& v : values) expected += v;
  EXPECT_EQ(flat, expected);
}

TEST(PcfSort, StringListAttribute) {
  MESSAGE list{};
  ASSERT_EQ(CreatePcfStrListAttr(&list, MQCACF_Q_NAMES, 3, 4), 1);
  SetPcfStrListAttrValue(&list, 0, "C");
  SetPcfStrListAttrValue(&list, 1, "A");
  SetPcfStrListAttrValue(&list, 2, "B");
  EXPECT_EQ(SortPcfListAttr(&list), 1);
  char text[5];
  for (int i = 0; i < 3; ++i) {
    GetPcfStrListAttrValue(&list, i, text, 4);
    EXPECT_EQ(std::string(text), std::string(1, static_cast<char>('A' + i)) + "   ");
  }
  DeleteMessage(&list);

  MESSAGE ints{};
  CreatePcfIntListAttr(&ints, MQIACF_Q_ATTRS, 2);
  EXPECT_EQ(SortPcfListAttr(&ints), 0);
  EXPECT_EQ(SortPcfListAttr(nullptr), 0);
  DeleteMessage(&ints);
}

namespace {

// Four parallel lists of authority records, as gathered from inquire responses.
struct AuthRecords {
  MESSAGE key1{}, name1{}, name2{}, key2{};
  AuthRecLists lists{};

  struct Rec {
    int k1;
    const char* n1;
    int k2;
    const char* n2;
  };

  explicit AuthRecords(const std::vector<Rec>& recs, const char* self) {
    const int n = static_cast<int>(recs.size());
    CreatePcfIntListAttr(&key1, MQIACF_OBJECT_TYPE, n);
    CreatePcfStrListAttr(&name1, MQCACF_AUTH_PROFILE_NAME, n, 48);
    CreatePcfStrListAttr(&name2, MQCACF_ENTITY_NAME, n, 64);
    CreatePcfIntListAttr(&key2, MQIACF_ENTITY_TYPE, n);
    for (int i = 0; i < n; ++i) {
      SetPcfIntListAttrValue(&key1, i, recs[static_cast<size_t>(i)].k1);
      SetPcfStrListAttrValue(&name1, i, recs[static_cast<size_t>(i)].n1);
      SetPcfIntListAttrValue(&key2, i, recs[static_cast<size_t>(i)].k2);
      SetPcfStrListAttrValue(&name2, i, recs[static_cast<size_t>(i)].n2);
    }
    lists = {&key1, &name1, &name2, &key2, {}};
    std::strncpy(lists.szSelf, self, sizeof lists.szSelf - 1);
  }
  ~AuthRecords() {
    for (MESSAGE* m : {&key1, &name1, &name2, &key2}) DeleteMessage(m);
  }

  std::vector<int> Sorted() {
    int* order = nullptr;
    const int n = AuthRecSort(&lists, &order);
    std::vector<int> result(order, order + n);
    FreeMemory(order);
    return result;
  }
};

}  // namespace

TEST(PcfSort, AuthorityRecordsBySelfAndAllFourKeys) {
  AuthRecords self({{MQOT_Q, "SELF", 1, "u1"}, {MQOT_Q, "APP.Q", 1, "u1"}}, "ZZ.QM");
  EXPECT_EQ(self.Sorted(), (std::vector<int>{1, 0}));
  AuthRecords early({{MQOT_Q, "SELF", 1, "u1"}, {MQOT_Q, "APP.Q", 1, "u1"}}, "AA.QM");
  EXPECT_EQ(early.Sorted(), (std::vector<int>{0, 1}));

  AuthRecords all({{MQOT_Q, "B", 2, "x"},
                   {MQOT_Q_MGR, "A", 1, "a"},
                   {MQOT_Q, "B", 1, "z"},
                   {MQOT_Q, "A", 9, "a"},
                   {MQOT_Q, "B", 1, "y"},
                   {MQOT_Q, "B", 1, "y"}},
                  "");
  const std::vector<int> order = all.Sorted();
  ASSERT_EQ(order.size(), 6u);
  EXPECT_EQ(order[0], 3);
  EXPECT_TRUE((order[1] == 4 && order[2] == 5) || (order[1] == 5 && order[2] == 4));
  EXPECT_EQ(order[3], 2);
  EXPECT_EQ(order[4], 0);
  EXPECT_EQ(order[5], 1);
  EXPECT_EQ(CompareAuthRecLessThen(&all.lists, 4, 5), 0);
  EXPECT_EQ(CompareAuthRecLessThen(&all.lists, 3, 1), 1);
  EXPECT_EQ(CompareAuthRecLessThen(&all.lists, 1, 3), 0);
}

TEST(PcfSort, EmptyOrInvalidAuthorityListsGiveNoOrder) {
  AuthRecords none({}, "QM");
  int* order = reinterpret_cast<int*>(&none);
  EXPECT_EQ(AuthRecSort(&none.lists, &order), 0);
  EXPECT_EQ(order, nullptr);

  AuthRecLists broken{};
  order = reinterpret_cast<int*>(&none);
  EXPECT_EQ(AuthRecSort(&broken, &order), 0);
  EXPECT_EQ(order, nullptr);
  EXPECT_EQ(AuthRecSort(nullptr, &order), 0);
  EXPECT_EQ(AuthRecSort(&none.lists, nullptr), 0);
}

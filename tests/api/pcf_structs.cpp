// IsPcfAttrValid: the structure check every reader relies on, for each structure type,
// with owning attribute records and with views into a message's bytes.
#include <cmqc.h>
#include <cmqcfc.h>

#include <gtest/gtest.h>
#include <vrqapi.h>

#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

// A structure built from its words, with extra zero bytes behind them when asked.
std::vector<MQLONG> Words(std::initializer_list<MQLONG> words, int extraWords = 0) {
  std::vector<MQLONG> v(words);
  v.resize(v.size() + static_cast<std::size_t>(extraWords), 0);
  return v;
}

// Checks the words as a view whose data length is viewLength bytes (all of them by default).
int CheckView(std::vector<MQLONG> words, int viewLength = -1) {
  MESSAGE view{};
  view.pData = reinterpret_cast<char*>(words.data());
  view.lMsgLength = view.lMaxLength =
      viewLength >= 0 ? viewLength : static_cast<MQLONG>(words.size() * 4);
  return IsPcfAttrValid(&view);
}

// Checks the words held by an owning attribute record.
int CheckOwned(const std::vector<MQLONG>& words) {
  MESSAGE attr{};
  if (CreateMessage(&attr, static_cast<int>(words.size() * 4)) == 0) return -1;
  std::memcpy(attr.pData, words.data(), words.size() * 4);
  attr.lMsgLength += static_cast<MQLONG>(words.size() * 4);
  int valid = IsPcfAttrValid(&attr);
  DeleteMessage(&attr);
  return valid;
}

TEST(PcfStructs, FixedSizeStructuresNeedTheirExactLength) {
  EXPECT_EQ(CheckOwned(Words({MQCFT_INTEGER, 16, 1, 7})), 1);
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER, 20, 1, 7, 0})), 0);
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER, 16, 1, 7}), 20), 0);  // view longer than S
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER_FILTER, 20, 1, 2, 7})), 1);
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER64, 24, 1, 0, 7, 0})), 1);
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER64, 20, 1, 0, 7})), 0);
}

TEST(PcfStructs, ListsMatchTheirCount) {
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER_LIST, 28, 1, 3, 1, 2, 3})), 1);
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER_LIST, 28, 1, 2, 1, 2, 3})), 0);
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER_LIST, 12, 1, -1}), 12), 0);
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER64_LIST, 32, 1, 2, 1, 0, 2, 0})), 1);
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER64_LIST, 24, 1, 2, 1, 0})), 0);
  // A count so large that 8 x Count wraps a 32-bit product must not pass.
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER64_LIST, 16, 1, 0x20000000})), 0);
}

TEST(PcfStructs, StringsMustFitAnAlignedStructure) {
  // "abcde" as CreatePcfStrAttr writes it: StrucLength Round4(20 + 5) = 28.
  auto str = Words({MQCFT_STRING, 28, 2015, 0, 5}, 2);
  std::memcpy(&str[5], "abcde", 5);
  EXPECT_EQ(CheckOwned(str), 1);
  EXPECT_EQ(CheckView(str, 26), 0);
  EXPECT_EQ(CheckView(Words({MQCFT_STRING, 26, 1, 0, 5}, 2), 26), 0);  // not a multiple of 4
  EXPECT_EQ(CheckView(Words({MQCFT_STRING, 24, 1, 0, 5}, 1)), 0);      // string overruns S
  EXPECT_EQ(CheckView(Words({MQCFT_STRING, 20, 1, 0, -8})), 0);        // negative length
  EXPECT_EQ(CheckView(Words({EXCFT_PCF, 56, 1, 0, 36}, 9)), 1);
  EXPECT_EQ(CheckView(Words({EXCFT_BINARY, 24, 1, 0, 4}, 1)), 1);
  EXPECT_EQ(CheckView(Words({EXCFT_BINARY, 24, 1, 0, 5}, 1)), 0);
  EXPECT_EQ(CheckView(Words({MQCFT_BYTE_STRING, 20, 1, 4}, 1)), 1);
  EXPECT_EQ(CheckView(Words({MQCFT_BYTE_STRING, 20, 1, 5}, 1)), 0);
  EXPECT_EQ(CheckView(Words({MQCFT_STRING_FILTER, 28, 1, 2, 0, 4}, 1)), 1);
  EXPECT_EQ(CheckView(Words({MQCFT_STRING_FILTER, 28, 1, 2, 0, 5}, 1)), 0);
}

TEST(PcfStructs, StringListsHoldCountTimesLength) {
  EXPECT_EQ(CheckView(Words({MQCFT_STRING_LIST, 32, 1, 0, 2, 4}, 2)), 1);
  EXPECT_EQ(CheckView(Words({MQCFT_STRING_LIST, 32, 1, 0, 3, 4}, 2)), 0);
  EXPECT_EQ(CheckView(Words({EXCFT_BYTE_STRING_LIST, 36, 1, 0, 3, 4}, 3)), 1);
  EXPECT_EQ(CheckView(Words({EXCFT_BYTE_STRING_LIST, 24, 1, 0, 0x10000, 0x10000})), 0);
  EXPECT_EQ(CheckView(Words({EXCFT_BYTE_STRING_LIST, 24, 1, 0, -2, -2})), 0);
}

TEST(PcfStructs, GroupHeadersIgnoreTheRecordLength) {
  auto group = Words({MQCFT_GROUP, 16, 8000, 1, MQCFT_INTEGER, 16, 1, 7});
  EXPECT_EQ(CheckView(group), 1);
  EXPECT_EQ(CheckView(Words({MQCFT_GROUP, 20, 8000, 1, 0})), 0);
  EXPECT_EQ(CheckView(group, 12), 0);  // the header itself must be there
}

TEST(PcfStructs, HeadersAndUnknownTypes) {
  for (MQLONG type : {MQCFT_COMMAND, MQCFT_RESPONSE, MQCFT_EVENT, MQCFT_USER, MQCFT_TRACE_ROUTE,
                      MQCFT_REPORT, MQCFT_COMMAND_XR, MQCFT_XR_MSG, MQCFT_XR_ITEM,
                      MQCFT_XR_SUMMARY, MQCFT_STATISTICS, MQCFT_ACCOUNTING}) {
    EXPECT_EQ(CheckView(Words({type, 36, 3, 40, 1, 1, 0, 0, 0})), 1) << type;
    EXPECT_EQ(CheckView(Words({type, 32, 3, 40, 1, 1, 0, 0})), 0) << type;
  }
  EXPECT_EQ(CheckView(Words({MQCFT_BYTE_STRING_FILTER, 24, 1, 0, 4}, 1)), 0);
  EXPECT_EQ(CheckView(Words({11, 16, 1, 0})), 0);
  EXPECT_EQ(CheckView(Words({996, 24, 1, 0, 4, 0})), 0);
  EXPECT_EQ(CheckView(Words({MQCFT_INTEGER, 16}), 4), 0);  // too short to hold a header
  EXPECT_EQ(IsPcfAttrValid(nullptr), 0);
  MESSAGE empty{};
  EXPECT_EQ(IsPcfAttrValid(&empty), 0);
}

}  // namespace

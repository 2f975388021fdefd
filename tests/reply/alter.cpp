// The reply alteration: plain data with and without room for the suffix, MQRFH2 requests
// in both byte orders, the name/value edits, and malformed headers whose lengths point
// outside the data or near the end of the buffer.
#include <cmqc.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "reply.h"
#include "vrqapi.h"

namespace {

constexpr long kPid = 4242;
const std::string kMark = "REPLY GENERATED (4242)";

struct Request {
  std::vector<uint8_t> buffer = std::vector<uint8_t>(kBufferSize, 0);
  MQLONG length = 0;

  void Set(const std::string& data) {
    std::memcpy(buffer.data(), data.data(), data.size());
    length = static_cast<MQLONG>(data.size());
  }
  std::string Reply() {
    const MQLONG n = AlterReply(buffer.data(), length, kPid);
    return std::string(reinterpret_cast<char*>(buffer.data()), static_cast<size_t>(n));
  }
};

std::string Long(int32_t v, bool swap) {
  const uint32_t u = swap ? bwlong(static_cast<uint32_t>(v)) : static_cast<uint32_t>(v);
  std::string s(4, '\0');
  std::memcpy(s.data(), &u, 4);
  return s;
}

// An MQRFH2 with one name/value folder and a body.
constexpr int32_t kTrueLength = INT32_MIN;

std::string Rfh2(const std::string& folder, const std::string& body, bool swap,
                 int32_t struc_length = kTrueLength) {
  const int32_t length = 40 + static_cast<int32_t>(folder.size());
  std::string h = "RFH " + Long(2, swap) + Long(struc_length == kTrueLength ? length : struc_length, swap) +
                  Long(546, swap) + Long(1208, swap) + "MQHRF2  " + Long(0, swap) +
                  Long(1208, swap) + Long(static_cast<int32_t>(folder.size()), swap);
  return h + folder + body;
}

const std::string kFolder = "<mcd><Msd>jms_none</Msd></mcd>  ";  // 32 bytes
const std::string kBody = "body of the request, long enough";

TEST(ReplyAlter, PlainDataGetsTheSuffixOnlyWhenItFits) {
  Request r;
  r.Set(std::string(100, 'a'));
  EXPECT_EQ(r.Reply(), std::string(100, 'a') + " - REPLY GENERATED");

  r.Set(std::string(32750, 'b'));
  EXPECT_EQ(r.Reply().size(), 32768u);
  r.Set(std::string(32751, 'b'));
  EXPECT_EQ(r.Reply(), std::string(32751, 'b'));
  r.Set(std::string(32760, 'c'));
  EXPECT_EQ(r.Reply().size(), 32760u);

  // Data that only starts like a header, too short to hold one, is plain data.
  r.Set("RFH short");
  EXPECT_EQ(r.Reply(), "RFH short - REPLY GENERATED");
  r.Set(Rfh2("", "", false).substr(0, 36));
  EXPECT_EQ(r.Reply().size(), 36u + 18);
}

TEST(ReplyAlter, Rfh2InEitherByteOrderIsEditedAndMarked) {
  for (bool swap : {false, true}) {
    SCOPED_TRACE(swap ? "swapped" : "native");
    Request r;
    const std::string request = Rfh2(kFolder, kBody, swap);
    r.Set(request);
    EXPECT_EQ(isNative(r.buffer.data()), swap ? 0 : 1);
    const std::string reply = r.Reply();

    ASSERT_EQ(reply.size(), request.size() + kMark.size() + 1);
    EXPECT_EQ(reply.substr(20, 8), "MQSTR   ");
    EXPECT_EQ(reply.substr(40, 32), "<mcd><Msd>jms_text</Msd></mcd>  ");
    EXPECT_EQ(reply.substr(72, kMark.size() + 1), kMark + '\0');
    EXPECT_EQ(reply.substr(72 + kMark.size() + 1, kBody.size() - kMark.size() - 1),
              kBody.substr(kMark.size() + 1));
    EXPECT_EQ(reply.substr(0, 20), request.substr(0, 20));  // header words keep their order
  }
}

TEST(ReplyAlter, NameValueEditsStayInsideTheHeader) {
  Request r;
  // "Talpa" ends exactly at the end of the header; the body holds both texts too.
  const std::string folder = "<usr>jms_none Talpa</usr>  Talpa";
  r.Set(Rfh2(folder, "jms_none Talpa", false));
  const std::string reply = r.Reply();
  EXPECT_EQ(reply.substr(40, folder.size()), "<usr>jms_text XXXXX</usr>  XXXXX");
  EXPECT_EQ(reply.substr(40 + folder.size(), kMark.size()), kMark);

  uint8_t text[] = "jms_nonejms_none";
  ReplaceRFHText(text, 16, "jms_none", "jms_text");
  EXPECT_STREQ(reinterpret_cast<char*>(text), "jms_textjms_text");
  ReplaceRFHText(text, 3, "jms_text", "jms_none");  // shorter than the text: nothing
  EXPECT_STREQ(reinterpret_cast<char*>(text), "jms_textjms_text");
}

TEST(ReplyAlter, MalformedLengthsStayWithinTheDataAndTheBuffer) {
  Request r;
  // StrucLength far past the data: the header is taken to end with the data.
  std::string request = Rfh2(kFolder, "jms_none", false, 0x7ffffff0);
  r.Set(request);
  std::string reply = r.Reply();
  ASSERT_EQ(reply.size(), request.size() + kMark.size() + 1);
  EXPECT_EQ(reply.substr(72, 8), "jms_text");
  EXPECT_EQ(reply.substr(request.size(), kMark.size()), kMark);

  // StrucLength negative or inside the fixed part: an empty name/value area.
  for (int32_t bad : {-8, 0, 12}) {
    request = Rfh2(kFolder, kBody, false, bad);
    r.Set(request);
    reply = r.Reply();
    EXPECT_EQ(reply.substr(40, kMark.size()), kMark) << bad;
    EXPECT_EQ(reply.substr(20, 8), "MQSTR   ");
  }

  // A version word in neither order's 1..9 makes the header read as swapped: its
  // StrucLength then points past the data, and the mark goes behind the data.
  request = Rfh2(kFolder, kBody, false);
  std::memcpy(request.data() + 4, "\x7f\x7f\x7f\x7f", 4);
  r.Set(request);
  EXPECT_EQ(r.Reply().substr(request.size(), kMark.size()), kMark);

  // A header ending near the end of the buffer: the mark is cut at 32768 bytes.
  const std::string big_folder(32760 - 40, ' ');
  request = Rfh2(big_folder, std::string(8, 'z'), false);
  r.Set(request);
  reply = r.Reply();
  ASSERT_EQ(reply.size(), 32768u);
  EXPECT_EQ(reply.substr(32760), kMark.substr(0, 8));
  EXPECT_EQ(r.buffer[32768], 0);

  // A length beyond the buffer is taken as the buffer's worth of data.
  r.Set(std::string(100, 'q'));
  EXPECT_EQ(AlterReply(r.buffer.data(), 100000, kPid), kMaxData);
  EXPECT_EQ(AlterReply(r.buffer.data(), -5, kPid), 18);
}

TEST(ReplyAlter, BytesBeyondTheRequestAreNotLeftFromAnEarlierMessage) {
  Request r;
  std::memset(r.buffer.data(), 'Z', kMaxData);
  const std::string request = Rfh2(kFolder, "short", false);
  r.Set(request);
  const std::string reply = r.Reply();
  ASSERT_EQ(reply.size(), request.size() + kMark.size() + 1);
  EXPECT_EQ(reply.find('Z'), std::string::npos);
}

}  // namespace

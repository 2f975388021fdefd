// Signature and key blocks and the signed image: a message signed and authenticated comes
// back byte for byte, and lengths that the buffers cannot hold are refused.
#include <gtest/gtest.h>

#include <cmqc.h>
#include <cmqcfc.h>

#include <cstring>
#include <string>

#include "vrqsign.h"

namespace {

struct Signed {
  PcfMessage* msg = CreatePcfMessage(MQCMD_INQUIRE_Q, 1, 256);
  uint32_t* signature = nullptr;
  Buffer image{};
  Signed() {
    MESSAGE attr{};
    CreatePcfStrAttr(&attr, MQCA_Q_NAME, "SIGNED.QUEUE");
    AppendAttr(msg, &attr);
    DeleteMessage(&attr);
    RawToPcf(msg);
    msg->PcfMsg.pMdHdr->StrucLength = MDHDR_LENGTH;
    msg->PcfMsg.pMdHdr->lUserMsgLength = msg->PcfMsg.lMsgLength - MDHDR_LENGTH;
    msg->Ext = MSHDRE{MSHDRE_LENGTH, 1, 0, 1, msg->PcfMsg.lMsgLength, {'A', 'U', 'T', 'H'}};
    sgx_get_signature(&signature);
  }
  ~Signed() {
    DeletePcfMessage(msg);
    sgx_release_signature(&signature);
    DeleteBuffer(&image);
  }
  std::string Plain() const {
    return std::string(reinterpret_cast<char*>(msg->PcfMsg.pMdHdr), static_cast<size_t>(msg->PcfMsg.lMsgLength));
  }
};

TEST(Signing, SignedMessageAuthenticatesByteForByte) {
  Signed s;
  ASSERT_NE(s.signature, nullptr);
  ASSERT_EQ(sgx_sign(s.signature, s.msg, &s.image), 1);
  const std::string plain = s.Plain();
  ASSERT_EQ(s.image.lLength, static_cast<MQLONG>(MSHDRE_LENGTH + plain.size()));
  EXPECT_EQ(std::memcmp(s.image.pBuffer, &s.msg->Ext, MSHDRE_LENGTH), 0);
  EXPECT_NE(std::string(s.image.pBuffer + MSHDRE_LENGTH, plain.size()), plain) << "the image is scrambled";

  PcfMessage* back = CreatePcfMessage(MQCMD_PING_Q_MGR, 1, 256);
  MSHDRE header{};
  std::memcpy(&header, s.image.pBuffer, MSHDRE_LENGTH);
  Buffer payload{s.image.pBuffer + MSHDRE_LENGTH, s.image.lLength - MSHDRE_LENGTH, s.image.lLength - MSHDRE_LENGTH, 0, 0, 0};
  ASSERT_EQ(sgx_authenticate(&header, &payload, back), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back->PcfMsg.pMdHdr), static_cast<size_t>(back->PcfMsg.lMsgLength)), plain);
  DeletePcfMessage(back);
}

TEST(Signing, KeyMatchesSignatureForAnyUser) {
  uint32_t* signature = nullptr;
  uint32_t* key = nullptr;
  ASSERT_EQ(sgx_get_signature(&signature), 1);
  ASSERT_EQ(sgx_get_key("SOMEONE", &key), 1);
  EXPECT_EQ(*signature, *key);
  EXPECT_EQ(sgx_release_signature(&key), 1);
  EXPECT_EQ(key, nullptr);
  ASSERT_EQ(sgx_get_key(nullptr, &key), 1);
  EXPECT_EQ(*signature, *key);
  sgx_release_signature(&key);
  sgx_release_signature(&signature);
  EXPECT_EQ(sgx_get_signature(nullptr), 0);
}

TEST(Signing, LengthsBeyondTheBuffersAreRefused) {
  Signed s;
  s.msg->Ext.UserMsgLength = s.msg->PcfMsg.lMaxLength + 1;
  EXPECT_EQ(sgx_sign(s.signature, s.msg, &s.image), 0);
  s.msg->Ext.UserMsgLength = 100;
  EXPECT_EQ(sgx_sign(s.signature, s.msg, &s.image), 0);
  s.msg->Ext.UserMsgLength = s.msg->PcfMsg.lMsgLength;
  s.msg->Ext.StrucLength = 33;
  EXPECT_EQ(sgx_sign(s.signature, s.msg, &s.image), 0);
  EXPECT_EQ(sgx_sign(nullptr, s.msg, &s.image), 0);
  EXPECT_EQ(s.image.pBuffer, nullptr);

  char bytes[200] = {};
  Buffer payload{bytes, sizeof bytes, sizeof bytes, 0, 0, 0};
  MSHDRE header{MSHDRE_LENGTH, 1, 0, 1, 201, {}};
  EXPECT_EQ(sgx_authenticate(&header, &payload, s.msg), 0) << "longer than the payload";
  header.UserMsgLength = -1;
  EXPECT_EQ(sgx_authenticate(&header, &payload, s.msg), 0);
  PcfMessage* small = CreatePcfMessage(MQCMD_PING_Q_MGR, 1, 0);
  header.UserMsgLength = 200;
  EXPECT_EQ(sgx_authenticate(&header, &payload, small), 0) << "longer than the message block";
  DeletePcfMessage(small);
}

}  // namespace

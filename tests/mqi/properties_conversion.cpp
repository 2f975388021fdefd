// Message handles with MQINQMP, and MQGMO_CONVERT of string data between code pages.
#include "mqi_test.h"

#include <cmqc.h>

using namespace mqitest;

namespace {

// An MQRFH2 with one <usr> folder in front of the text.
std::string Rfh2Message(const std::string& usr_folder, const std::string& text) {
  std::string folder = usr_folder;
  folder.resize((folder.size() + 3) & ~size_t{3}, ' ');
  MQRFH2 h = {MQRFH2_DEFAULT};
  h.StrucLength = static_cast<MQLONG>(MQRFH_STRUC_LENGTH_FIXED_2 + 4 + folder.size());
  std::memcpy(h.Format, MQFMT_STRING, 8);
  h.CodedCharSetId = 819;
  std::string out(reinterpret_cast<const char*>(&h), MQRFH_STRUC_LENGTH_FIXED_2);
  const MQLONG len = static_cast<MQLONG>(folder.size());
  out.append(reinterpret_cast<const char*>(&len), 4);
  return out + folder + text;
}

MQLONG InqString(MQHCONN h, MQHMSG m, const char* name, std::string& value) {
  MQIMPO impo = {MQIMPO_DEFAULT};
  MQPD pd = {MQPD_DEFAULT};
  MQCHARV n = {MQCHARV_DEFAULT};
  n.VSPtr = const_cast<char*>(name);
  n.VSLength = MQVS_NULL_TERMINATED;
  MQLONG type = MQTYPE_AS_SET, length = 0, cc, rc;
  char buf[64];
  MQINQMP(h, m, &impo, &n, &pd, &type, sizeof buf, buf, &length, &cc, &rc);
  if (cc != MQCC_FAILED) value.assign(buf, static_cast<size_t>(length));
  return rc;
}

}  // namespace

TEST(MqiProperties, HandleAnswersFromTheMessage) {
  vrqtest::StandinQm qm("QM.PROPS", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.PROPS");
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);
  MQHMSG hmsg = MQHM_NONE;
  MQCMHO cmho = {MQCMHO_DEFAULT};
  MQLONG cc, rc;
  MQCRTMH(c.hconn, &cmho, &hmsg, &cc, &rc);
  ASSERT_EQ(cc, MQCC_OK);

  MQMD md = {MQMD_DEFAULT};
  std::memcpy(md.Format, MQFMT_RF_HEADER_2, 8);
  ASSERT_EQ(Put(c.hconn, q, md, Rfh2Message("<usr><Colour>red</Colour><Size dt='i4'>3</Size></usr>", "body")).cc, MQCC_OK);
  ASSERT_EQ(Put(c.hconn, q, "plain").cc, MQCC_OK);

  MQGMO gmo = {MQGMO_DEFAULT};
  gmo.Version = MQGMO_VERSION_4;
  gmo.MsgHandle = hmsg;
  // Truncation counts the body without its header; a refused get leaves the message.
  Got small = Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 2, nullptr, &gmo);
  EXPECT_EQ(small.r.rc, MQRC_TRUNCATED_MSG_FAILED);
  EXPECT_EQ(small.length, 4);
  Got g = Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 100, nullptr, &gmo);
  ASSERT_EQ(g.r.cc, MQCC_OK);
  EXPECT_EQ(g.data, "body");
  EXPECT_EQ(std::string(g.md.Format, 8), MQFMT_STRING);
  std::string value;
  EXPECT_EQ(InqString(c.hconn, hmsg, "Colour", value), MQRC_NONE);
  EXPECT_EQ(value, "red");
  // dt='i4' comes back as an MQTYPE_INT32 value, not as text.
  EXPECT_EQ(InqString(c.hconn, hmsg, "usr.Size", value), MQRC_NONE);
  int32_t size = 0;
  ASSERT_EQ(value.size(), sizeof size);
  std::memcpy(&size, value.data(), sizeof size);
  EXPECT_EQ(size, 3);
  EXPECT_EQ(InqString(c.hconn, hmsg, "Missing", value), MQRC_PROPERTY_NOT_AVAILABLE);

  // A message without properties leaves the handle empty.
  ASSERT_EQ(Get(c.hconn, q, MQGMO_NO_SYNCPOINT, 0, 100, nullptr, &gmo).data, "plain");
  EXPECT_EQ(InqString(c.hconn, hmsg, "Colour", value), MQRC_PROPERTY_NOT_AVAILABLE);

  MQDMHO dmho = {MQDMHO_DEFAULT};
  MQDLTMH(c.hconn, &hmsg, &dmho, &cc, &rc);
  EXPECT_EQ(cc, MQCC_OK);
  EXPECT_EQ(hmsg, MQHM_UNUSABLE_HMSG);
  MQDLTMH(c.hconn, &hmsg, &dmho, &cc, &rc);
  EXPECT_EQ(rc, MQRC_HMSG_ERROR);
}

TEST(MqiConversion, StringDataBetweenEbcdicAndAscii) {
  vrqtest::StandinQm qm("QM.CONV", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.CONV");
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);
  MQMD ebcdic = {MQMD_DEFAULT};
  std::memcpy(ebcdic.Format, MQFMT_STRING, 8);
  ebcdic.CodedCharSetId = 500;
  ASSERT_EQ(Put(c.hconn, q, ebcdic, "\xC8\x85\x93\x93\x96").cc, MQCC_OK);  // "Hello"
  Got g = Get(c.hconn, q, MQGMO_NO_SYNCPOINT | MQGMO_CONVERT);
  EXPECT_EQ(g.r.cc, MQCC_OK);
  EXPECT_EQ(g.data, "Hello");
  EXPECT_EQ(g.md.CodedCharSetId, 819);

  MQMD binary = {MQMD_DEFAULT};
  binary.CodedCharSetId = 500;
  ASSERT_EQ(Put(c.hconn, q, binary, "\xC8\x85").cc, MQCC_OK);
  Got raw = Get(c.hconn, q, MQGMO_NO_SYNCPOINT | MQGMO_CONVERT);
  EXPECT_EQ(raw.r.cc, MQCC_WARNING);
  EXPECT_EQ(raw.r.rc, MQRC_FORMAT_ERROR);   // MQFMT_NONE: data of no stated format
  EXPECT_EQ(raw.data, "\xC8\x85");
  EXPECT_EQ(raw.md.CodedCharSetId, 500);

  // Without CONVERT nothing changes; with the same CCSID nothing needs to.
  ASSERT_EQ(Put(c.hconn, q, ebcdic, "\xC8").cc, MQCC_OK);
  EXPECT_EQ(Get(c.hconn, q).data, "\xC8");
}

namespace {

// Puts text in one CCSID and gets it converted to another.
Got Converted(MQHCONN h, MQHOBJ q, MQLONG from, MQLONG to, const std::string& text) {
  MQMD md = {MQMD_DEFAULT};
  std::memcpy(md.Format, MQFMT_STRING, 8);
  md.CodedCharSetId = from;
  EXPECT_EQ(Put(h, q, md, text).cc, MQCC_OK);
  MQMD want = {MQMD_DEFAULT};
  want.CodedCharSetId = to;
  Got g;
  g.md = want;
  MQGMO gmo = {MQGMO_DEFAULT};
  gmo.Options = MQGMO_NO_SYNCPOINT | MQGMO_CONVERT;
  char buf[256];
  MQGET(h, q, &g.md, &gmo, sizeof buf, buf, &g.length, &g.r.cc, &g.r.rc);
  if (g.r.cc != MQCC_FAILED) g.data.assign(buf, static_cast<size_t>(std::min<MQLONG>(g.length, sizeof buf)));
  return g;
}

}  // namespace

TEST(MqiConversion, CodePagesThroughTheCLibrary) {
  vrqtest::StandinQm qm("QM.CONV", "DEFINE QLOCAL(Q1)\n");
  Connection c("QM.CONV");
  MQHOBJ q;
  ASSERT_EQ(Open(c.hconn, "Q1", MQOO_OUTPUT | MQOO_INPUT_SHARED, q).cc, MQCC_OK);
  // UTF-8 with accents to Latin-1 and back, to the Windows and DOS pages.
  Got latin = Converted(c.hconn, q, 1208, 819, "caf\xC3\xA9");
  EXPECT_EQ(latin.r.rc, MQRC_NONE);
  EXPECT_EQ(latin.data, "caf\xE9");
  EXPECT_EQ(latin.md.CodedCharSetId, 819);
  EXPECT_EQ(Converted(c.hconn, q, 819, 1208, "caf\xE9").data, "caf\xC3\xA9");
  EXPECT_EQ(Converted(c.hconn, q, 1208, 850, "caf\xC3\xA9").data, "caf\x82");
  EXPECT_EQ(Converted(c.hconn, q, 1208, 1252, "\xE2\x82\xAC").data, "\x80");
  // The euro sign in the EBCDIC pages that have it, and the German and French pages' own letters.
  EXPECT_EQ(Converted(c.hconn, q, 1208, 1140, "\xE2\x82\xAC").data, "\x9F");
  EXPECT_EQ(Converted(c.hconn, q, 1141, 1208, "\xC0").data, "\xC3\xA4");   // a-umlaut in 1141
  EXPECT_EQ(Converted(c.hconn, q, 1047, 819, "\xC1\xAD").data, "A[");

  // What cannot be converted comes back as it was, with IBM's reasons.
  Got euro = Converted(c.hconn, q, 1208, 819, "\xE2\x82\xAC");
  EXPECT_EQ(euro.r.cc, MQCC_WARNING);
  EXPECT_EQ(euro.r.rc, MQRC_NOT_CONVERTED);
  EXPECT_EQ(euro.data, "\xE2\x82\xAC");
  EXPECT_EQ(euro.md.CodedCharSetId, 1208);
  EXPECT_EQ(Converted(c.hconn, q, 1208, 819, "bad \xC3").r.rc, MQRC_NOT_CONVERTED);
  EXPECT_EQ(Converted(c.hconn, q, 4242, 819, "x").r.rc, MQRC_SOURCE_CCSID_ERROR);
  EXPECT_EQ(Converted(c.hconn, q, 819, 4242, "x").r.rc, MQRC_TARGET_CCSID_ERROR);
}

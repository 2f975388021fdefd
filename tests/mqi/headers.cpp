// The stand-in MQI headers against facts of IBM's published headers that the generator could
// get wrong without a compile error: the types behind the names, the pointer-size dependent
// lengths, the initialisers that carry strings, and the value-to-name functions.
#include <cmqc.h>
#include <cmqxc.h>
#include <cmqcfc.h>
#include <cmqzc.h>
#include <cmqbc.h>
// IBM defines the value-to-name functions in cmqstrc.h as C functions that return string
// literals as char *, which C++ accepts only with a warning: this is the test program's one
// unit that includes it, and the toolkit's own C++ asks MqValueName instead.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wwrite-strings"
#include <cmqstrc.h>
#pragma GCC diagnostic pop
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <type_traits>

// MQLONG is an int on 64-bit UNIX and a long elsewhere; MQINT64 a long there, else long long.
#if defined(MQ_64_BIT) && !defined(_WIN32)
static_assert(std::is_same_v<MQLONG, int>);
static_assert(std::is_same_v<MQINT64, long>);
#else
static_assert(std::is_same_v<MQLONG, long>);
static_assert(std::is_same_v<MQINT64, long long>);
#endif
#if defined(MQ_64_BIT)
static_assert(sizeof(void*) == 8);
#else
static_assert(sizeof(void*) == 4);
#endif

// IBM writes these masks as unsigned hexadecimal: the same bits, an unsigned type.
static_assert(std::is_unsigned_v<decltype(MQRO_ACCEPT_UNSUP_MASK)>);
static_assert(MQRO_ACCEPT_UNSUP_MASK == 0xEFE000FFu);
static_assert(std::is_unsigned_v<decltype(MQENC_RESERVED_MASK)>);
static_assert(MQENC_RESERVED_MASK == 0xFFFFF000u);
static_assert(std::is_signed_v<decltype(MQRO_NONE)>);

// cmqbc.h: the MQAI bag handle and options.
static_assert(std::is_same_v<MQHBAG, MQLONG>);
static_assert(MQCBO_ADMIN_BAG == 1 && MQCBO_COMMAND_BAG == 0x10);

// The function types IBM names for the entry points and exits.
static_assert(std::is_same_v<decltype(&MQCONN), PMQ_CONN_CALL>);
static_assert(std::is_same_v<decltype(&MQPUT), PMQ_PUT_CALL>);
static_assert(std::is_same_v<MQCHANNELEXIT, MQ_CHANNEL_EXIT>);

TEST(MqiHeaders, PointerSizeDependentLengths) {
#if defined(MQ_64_BIT)
  EXPECT_EQ(MQOD_CURRENT_LENGTH, 424);
  EXPECT_EQ(MQCD_LENGTH_13, 2000);
  EXPECT_EQ(MQCNO_LENGTH_4, 168);
  EXPECT_EQ(MQAXP_LENGTH_1, 256);
#else
  EXPECT_EQ(MQOD_CURRENT_LENGTH, 400);
  EXPECT_EQ(MQCD_LENGTH_13, 1952);
  EXPECT_EQ(MQCNO_LENGTH_4, 156);
  EXPECT_EQ(MQAXP_LENGTH_1, 244);
#endif
  // Lengths without pointers are the same for both.
  EXPECT_EQ(MQMD_CURRENT_LENGTH, 364);
  EXPECT_EQ(MQCFH_STRUC_LENGTH, 36);
  // The newest version of a structure fills it whole.
  EXPECT_EQ(MQOD_CURRENT_LENGTH, static_cast<MQLONG>(sizeof(MQOD)));
  EXPECT_EQ(MQCNO_CURRENT_LENGTH, static_cast<MQLONG>(sizeof(MQCNO)));
  EXPECT_EQ(MQZED_CURRENT_LENGTH, static_cast<MQLONG>(sizeof(MQZED)));
}

TEST(MqiHeaders, InitialisersWithStringsAndNestedStructures) {
  const MQCHARV all = {MQPROP_INQUIRE_ALL};
  ASSERT_NE(all.VSPtr, nullptr);
  EXPECT_STREQ(static_cast<const char*>(all.VSPtr), "%");
  EXPECT_EQ(all.VSLength, 1);
  EXPECT_EQ(all.VSCCSID, MQCCSI_APPL);
  const MQCHARV user = {MQPROP_INQUIRE_ALL_USR};
  EXPECT_STREQ(static_cast<const char*>(user.VSPtr), "usr.%");
  EXPECT_EQ(user.VSLength, 5);

  const MQOD od = {MQOD_DEFAULT};
  EXPECT_EQ(std::string(od.StrucId, 4), "OD  ");
  EXPECT_EQ(od.ObjectString.VSCCSID, MQCCSI_APPL);
  const MQZAD zad = {MQZAD_DEFAULT};
  EXPECT_EQ(std::string(zad.StrucId, 4), "ZAD ");
  EXPECT_EQ(zad.ObjectType, MQOT_ALL);
  EXPECT_EQ(zad.Options, MQAUTHOPT_NAME_ALL_MATCHING | MQAUTHOPT_ENTITY_EXPLICIT);
  const MQCD cd = {MQCD_DEFAULT};
  EXPECT_EQ(cd.StrucLength, MQCD_CURRENT_LENGTH);
}

TEST(MqiHeaders, ValueNamesAreIbmsPrimaryNames) {
  EXPECT_STREQ(MQRC_STR(MQRC_UNKNOWN_OBJECT_NAME), "MQRC_UNKNOWN_OBJECT_NAME");
  EXPECT_STREQ(MQRC_STR(0), "MQRC_NONE");
  EXPECT_STREQ(MQCMD_STR(MQCMD_INQUIRE_Q), "MQCMD_INQUIRE_Q");
  EXPECT_STREQ(MQCC_STR(MQCC_WARNING), "MQCC_WARNING");
  EXPECT_STREQ(MQXR_STR(MQXR_BEFORE), "MQXR_BEFORE");
  // A value without a name, and values outside every family, give an empty string.
  EXPECT_STREQ(MQRC_STR(1), "");
  EXPECT_STREQ(MQCC_STR(-1), "MQCC_UNKNOWN");
  EXPECT_STREQ(MQCC_STR(5), "");
  EXPECT_STREQ(MQRC_STR(2147483647), "");
}

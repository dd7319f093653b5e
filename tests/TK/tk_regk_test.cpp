#include <gtest/gtest.h>

#include "TK/tk_excep.h"
#include "TK/tk_regk.h"
#include "tests/TK/decode_assertion.h"
#include "tests/TK/store_home.h"

using namespace platform;

namespace {
const char kKey[] = "Software\\Kestrova\\Dunmarrow";
}

TEST(TkRegKey, ValuesRoundTripAcrossKeyObjects) {
  store_home home;
  {
    tk_reg_key key(kKey);
    ASSERT_EQ(key.open(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_TRUE(key.is_open());
    EXPECT_EQ(key.set_value("format", 1u), ERROR_SUCCESS);
    EXPECT_EQ(key.set_value("port", u"1521"), ERROR_SUCCESS);
    EXPECT_EQ(key.set_value("oraclep", u"p\u00e4ss=\"x\"\r\nline"), ERROR_SUCCESS);
    EXPECT_EQ(key.set_value("dest", u""), ERROR_SUCCESS);
  }
  tk_reg_key key(kKey);
  ASSERT_EQ(key.open(HKEY_CURRENT_USER, KEY_READ), ERROR_SUCCESS);
  uint32_t format = 7;
  std::u16string port, password, dest = u"unchanged";
  EXPECT_EQ(key.get_value("format", format), ERROR_SUCCESS);
  EXPECT_EQ(format, 1u);
  EXPECT_EQ(key.get_value("port", port), ERROR_SUCCESS);
  EXPECT_EQ(port, u"1521");
  EXPECT_EQ(key.get_value("oraclep", password), ERROR_SUCCESS);
  EXPECT_EQ(password, u"p\u00e4ss=\"x\"\r\nline");
  EXPECT_EQ(key.get_value("dest", dest), ERROR_SUCCESS);
  EXPECT_EQ(dest, u"");
}

TEST(TkRegKey, MissingValuesLeaveTheFieldAsItIs) {
  store_home home;
  tk_reg_key key(kKey);
  ASSERT_EQ(key.open(HKEY_CURRENT_USER), ERROR_SUCCESS);
  uint32_t number = 42;
  std::u16string text = u"kept";
  EXPECT_EQ(key.get_value("tab_def", number), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.get_value("oracleh", text), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(number, 42u);
  EXPECT_EQ(text, u"kept");
  key.close();
  EXPECT_FALSE(key.is_open());
  EXPECT_EQ(key.get_value("tab_def", number), ERROR_INVALID_HANDLE);
  EXPECT_EQ(number, 42u);
}

TEST(TkRegKey, NumberReadIgnoresTheStoredType) {
  store_home home;
  tk_reg_key key(kKey);
  ASSERT_EQ(key.open(HKEY_CURRENT_USER), ERROR_SUCCESS);
  ASSERT_EQ(key.set_value("short", u"A"), ERROR_SUCCESS);  // 4 bytes: 'A', 0, 0, 0
  ASSERT_EQ(key.set_value("long", u"ABC"), ERROR_SUCCESS);  // 8 bytes: too many
  uint32_t number = 9;
  EXPECT_EQ(key.get_value("short", number), ERROR_SUCCESS);
  EXPECT_EQ(number, 0x41u);
  number = 9;
  EXPECT_EQ(key.get_value("long", number), ERROR_MORE_DATA);
  EXPECT_EQ(number, 9u);
  // And a text read of a number gives its code units up to the first NUL.
  ASSERT_EQ(key.set_value("n", 0x00420041u), ERROR_SUCCESS);
  std::u16string text;
  EXPECT_EQ(key.get_value("n", text), ERROR_SUCCESS);
  EXPECT_EQ(text, u"AB");
}

TEST(TkRegKey, BrokenPreconditionsAreInternalErrors) {
  store_home home;
  tk_reg_key key(kKey);
  try {
    key.set_value("format", 1u);
    FAIL() << "write without an open key";
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(assertion_file(e), "tk_regk");
  }
  EXPECT_THROW(key.set_value("src", u"x"), tk_mail_assertion);
  try {
    key.open(nullptr);
    FAIL() << "open without a root";
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(assertion_file(e), "tk_regk");
  }
}

TEST(TkRegKey, ReopeningClosesThePreviousHandle) {
  store_home home;
  tk_reg_key key(kKey);
  ASSERT_EQ(key.open(HKEY_CURRENT_USER), ERROR_SUCCESS);
  ASSERT_EQ(key.set_value("src", u"ORCL"), ERROR_SUCCESS);
  ASSERT_EQ(key.open(HKEY_CURRENT_USER, KEY_READ), ERROR_SUCCESS);
  std::u16string src;
  EXPECT_EQ(key.get_value("src", src), ERROR_SUCCESS);
  EXPECT_EQ(src, u"ORCL");
  EXPECT_EQ(key.set_value("src", u"other"), ERROR_ACCESS_DENIED);  // now a read-only handle
}

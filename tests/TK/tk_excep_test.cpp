#include <gtest/gtest.h>

#include "TK/tk_excep.h"

TEST(TkException, EmptyTextIsUnknownException) {
  EXPECT_STREQ(tk_exception("", 0).what(), "Unknown exception");
  EXPECT_STREQ(tk_exception(1).what(), "Unknown exception");
  tk_exception filled("Table %s not found", std::string("EMP"), 1);
  EXPECT_EQ(filled.text(), "Table EMP not found");
  EXPECT_EQ(filled.level(), 1);
  EXPECT_EQ(filled.code(), 0u);
}

TEST(TkException, AssertionCarriesHexLocationCode) {
  tk_mail_assertion a("abc.cpp", 7);
  EXPECT_EQ(a.text(), "Internal error: \ncode=6162632e6370705c37");
  EXPECT_EQ(a.level(), 2);
  EXPECT_EQ(a.code(), 0u);
}

TEST(TkException, SystemErrorTakesErrnoAndItsText) {
  tk_exception_ex e(2);  // ENOENT
  EXPECT_EQ(e.code(), 2u);
  EXPECT_EQ(e.level(), 1);
  EXPECT_EQ(e.text(), "No such file or directory");
}

TEST(TkException, FinalExceptionIsNotATkException) {
  bool caught_as_tk = false, caught_as_final = false;
  try {
    try { throw tk_final_exception(); } catch (const tk_exception&) { caught_as_tk = true; }
  } catch (const tk_final_exception&) { caught_as_final = true; }
  EXPECT_FALSE(caught_as_tk);
  EXPECT_TRUE(caught_as_final);
}

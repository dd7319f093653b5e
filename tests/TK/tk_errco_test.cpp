#include <gtest/gtest.h>

#include "TK/tk_errco.h"
#include "TK/tk_excep.h"
#include "tests/TK/decode_assertion.h"

TEST(TkErrorConverter, FirstTextOfACodeWins) {
  const tk_error_entry first[] = {{1, "one"}, {65536 + 3024, "dao 3024"}, {1, "one again"}};
  tk_error_converter map(3, first);
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(map.convert(1), "one");
  const tk_error_entry more[] = {{65536 + 3024, "later"}, {1048576 + 1017, "bad password"}};
  map.load_map(2, more);
  EXPECT_EQ(map.convert(65536 + 3024), "dao 3024");
  EXPECT_EQ(map.convert(1048576 + 1017), "bad password");
  EXPECT_EQ(map.convert(0xFFFFFFFFu), "");  // unknown: empty text
  // Only the first count entries are taken.
  tk_error_converter part(1, more);
  EXPECT_EQ(part.convert(1048576 + 1017), "");
}

TEST(TkErrorConverter, MissingTableIsAnInternalError) {
  try {
    tk_error_converter map(2, nullptr);
    FAIL() << "no internal error";
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(assertion_file(e), "tk_errco");
  }
  const tk_error_entry one[] = {{5, "five"}};
  tk_error_converter map(1, one);
  EXPECT_THROW(map.load_map(0, nullptr), tk_mail_assertion);
  EXPECT_EQ(map.convert(5), "five");
}

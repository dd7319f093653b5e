#include <gtest/gtest.h>

#include <map>

#include "platform/collate.h"

using platform::compare_ignore_case;
using platform::equal_ignore_case;

TEST(Collate, IgnoresCaseBeyondAscii) {
  EXPECT_TRUE(equal_ignore_case(u"EMP", u"emp"));
  EXPECT_TRUE(equal_ignore_case(u"ÉTÉ", u"été"));
  EXPECT_TRUE(equal_ignore_case(u"ΣΟΦΙΑ", u"σοφια"));
  EXPECT_TRUE(equal_ignore_case(u"Σ", u"ς"));   // final sigma folds with sigma
  EXPECT_TRUE(equal_ignore_case(u"σ", u"ς"));
  EXPECT_TRUE(equal_ignore_case(u"ЖУРНАЛ", u"журнал"));
  EXPECT_TRUE(equal_ignore_case(u"ẞ", u"ß"));    // capital sharp s, a simple fold
  EXPECT_TRUE(equal_ignore_case(u"K", u"k"));    // Kelvin sign
  EXPECT_FALSE(equal_ignore_case(u"é", u"e"));   // accents are not ignored
  EXPECT_FALSE(equal_ignore_case(u"EMP", u"EMPS"));
  EXPECT_FALSE(equal_ignore_case(u"a", u""));
  EXPECT_TRUE(equal_ignore_case(u"", u""));
}

TEST(Collate, FoldsSurrogatePairsAndKeepsLoneSurrogates) {
  // DESERET CAPITAL LETTER LONG I and its small letter, outside the BMP.
  EXPECT_TRUE(equal_ignore_case(u"\U00010400x", u"\U00010428X"));
  EXPECT_FALSE(equal_ignore_case(u"\U00010400", u"\U00010401"));
  const std::u16string lone_high(1, char16_t(0xD801));
  EXPECT_TRUE(equal_ignore_case(lone_high + u"A", lone_high + u"a"));
  EXPECT_FALSE(equal_ignore_case(lone_high, u"\U00010400"));
}

TEST(Collate, OrdersByFoldedCodePoints) {
  EXPECT_LT(compare_ignore_case(u"abc", u"ABD"), 0);
  EXPECT_GT(compare_ignore_case(u"B", u"a"), 0);
  EXPECT_LT(compare_ignore_case(u"AB", u"abc"), 0);  // a prefix first
  EXPECT_GT(compare_ignore_case(u"abc", u"AB"), 0);
  EXPECT_EQ(platform::fold_case(U'Ä'), U'ä');
  EXPECT_EQ(platform::fold_case(U'7'), U'7');
}

TEST(Collate, CodeUnitOrderIsUnsignedAndPrefixFirst) {
  std::map<std::u16string, int, platform::code_unit_less> names;
  names[u"b"] = 1;
  names[u"A"] = 2;
  names[u"a"] = 3;
  names[u"\uFF21"] = 4;  // a code unit above the surrogate range
  names[u"\U00010400"] = 5;  // surrogates: 0xD801 sorts below 0xFF21
  names[u"ab"] = 6;
  std::u16string order;
  for (const auto& [name, value] : names) order += char16_t(u'0' + value);
  EXPECT_EQ(order, u"236154");  // A a ab b, then U+10400, then U+FF21
}

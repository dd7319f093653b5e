#include <gtest/gtest.h>

#include "UDB/udb_vali.h"
#include "udb_check.h"

namespace {

// A validator as the destination layers build one: limits and lists filled in.
class test_validator : public udb_validator {
 public:
  explicit test_validator(uint32_t max_length, std::u16string illegal = u"")
      : udb_validator(max_length) {
    illegal_chars_.assign(illegal.begin(), illegal.end());
  }
};

// Adds a rule of its own, as the Access validators do.
class no_leading_digit_validator : public test_validator {
 public:
  using test_validator::test_validator;
  bool is_acceptable(const std::u16string& name) override {
    if (!name.empty() && name[0] >= u'0' && name[0] <= u'9') return false;
    return test_validator::is_acceptable(name);
  }
};

// Accepts only the last numbered candidate.
class last_only_validator : public test_validator {
 public:
  using test_validator::test_validator;
  bool is_acceptable(const std::u16string& name) override {
    return name.size() > 5 && name.compare(name.size() - 5, 5, u"99999") == 0;
  }
};

}  // namespace

TEST(UdbValidator, WithoutRulesEveryNameIsAcceptable) {
  udb_validator v(0);
  const std::u16string long_name(5000, u'x');
  for (const std::u16string& name : {std::u16string(), long_name, std::u16string(u"a b.c!d[e]")}) {
    EXPECT_TRUE(v.is_acceptable(name));
    EXPECT_FALSE(v.is_duplicated(name));
    EXPECT_EQ(v.get_safe_name(name), name);
  }
}

TEST(UdbValidator, AcceptabilityChecksLengthRestrictedNamesAndIllegalCharacters) {
  test_validator v(8, u".!");
  v.add_restricted_name(u"Ωmega");
  EXPECT_TRUE(v.is_acceptable(u"12345678"));
  EXPECT_FALSE(v.is_acceptable(u"123456789"));
  EXPECT_FALSE(v.is_acceptable(u"ωMEGA"));   // restricted, in another case
  EXPECT_TRUE(v.is_acceptable(u"ωMEGA2"));
  EXPECT_FALSE(v.is_acceptable(u"a.b"));
  EXPECT_FALSE(v.is_acceptable(u"ab!"));
}

TEST(UdbValidator, TraceNamesTheFailedRule) {
  udb_check::trace_capture log;
  test_validator v(3, u"#");
  v.add_restricted_name(u"EMP");
  v.is_acceptable(u"a#");
  v.is_acceptable(u"emp");
  v.is_acceptable(u"toolong");
  EXPECT_TRUE(log.has_line("The name contains illegal: #"));
  EXPECT_TRUE(log.has_line("The name is restricted"));
  EXPECT_TRUE(log.has_line("The name is too long"));
}

TEST(UdbValidator, DuplicatesIgnoreCaseOutsideAscii) {
  udb_validator v(0);
  v.add_name_in_use(u"Straße");
  v.add_name_in_use(u"ÉLÈVES");
  EXPECT_TRUE(v.is_duplicated(u"élèves"));
  EXPECT_FALSE(v.is_duplicated(u"STRASSE"));  // ß has no one-letter upper case
  EXPECT_FALSE(v.is_duplicated(u"strasse"));
  EXPECT_TRUE(v.is_duplicated(u"STRAẞE"));
  EXPECT_FALSE(v.is_duplicated(u"eleves"));
}

TEST(UdbValidator, LongNameIsCutToOneLessThanTheLimitWithIllegalCharactersReplaced) {
  test_validator v(64, u" -");
  std::u16string name;
  for (int i = 0; i < 70; ++i) name.push_back(i % 10 == 3 ? u' ' : i % 10 == 7 ? u'-' : char16_t(u'a' + i % 26));
  std::u16string expected = name.substr(0, 63);
  for (char16_t& c : expected) if (c == u' ' || c == u'-') c = u'_';
  EXPECT_EQ(v.get_safe_name(name), expected);
}

TEST(UdbValidator, RestrictedNameGetsTheFirstFreeFiveDigitNumber) {
  test_validator v(0);
  v.add_restricted_name(u"SELECT");
  EXPECT_EQ(v.get_safe_name(u"select"), u"select00000");

  test_validator emp(0);
  emp.add_restricted_name(u"EMP");
  emp.add_name_in_use(u"emp00000");
  EXPECT_EQ(emp.get_safe_name(u"EMP"), u"EMP00001");
  emp.add_name_in_use(u"EMP00001");
  EXPECT_EQ(emp.get_safe_name(u"EMP"), u"EMP00002");
}

TEST(UdbValidator, NumberedCandidatesKeepRoomForTheDigits) {
  test_validator v(10);
  v.add_restricted_name(u"ABCDEFGHI");  // what the 12-character name is cut to
  const std::u16string safe = v.get_safe_name(u"ABCDEFGHIJKL");
  EXPECT_EQ(safe, u"ABCD00000");
  EXPECT_EQ(safe.size(), 9u);

  // A name already short enough is not cut before numbering.
  test_validator dup(10);
  dup.add_name_in_use(u"ABCD");
  EXPECT_EQ(dup.get_safe_name(u"abcd"), u"abcd00000");
  dup.add_name_in_use(u"ABCDE");
  EXPECT_EQ(dup.get_safe_name(u"abcde"), u"abcde00000");  // exactly fills the limit
  dup.add_name_in_use(u"ABCDEF");
  EXPECT_EQ(dup.get_safe_name(u"abcdef"), u"abcd00000");
}

TEST(UdbValidator, VeryShortLimitNumbersFromAnEmptyBase) {
  test_validator v(5);
  v.add_restricted_name(u"ABCD");
  EXPECT_EQ(v.get_safe_name(u"ABCDEFG"), u"00000");
  v.add_name_in_use(u"00000");
  EXPECT_EQ(v.get_safe_name(u"ABCDEFG"), u"00001");
}

TEST(UdbValidator, DerivedRulesApplyToEveryCandidate) {
  no_leading_digit_validator v(0, u"$");
  EXPECT_EQ(v.get_safe_name(u"a$b"), u"a_b");
  // Every numbered candidate of "9a" still starts with a digit.
  EXPECT_INTERNAL_ERROR(v.get_safe_name(u"9a"), "udb_vali");
}

TEST(UdbValidator, ExhaustedNumbersAreAnInternalError) {
  test_validator too_short(3);  // no five-digit candidate fits
  too_short.add_restricted_name(u"AB");
  EXPECT_INTERNAL_ERROR(too_short.get_safe_name(u"ABCD"), "udb_vali");

  // The last number is still tried.
  last_only_validator last(0);
  EXPECT_EQ(last.get_safe_name(u"T"), u"T99999");
}

TEST(UdbValidator, MappedPairsAreRecordedByTheirSourceName) {
  udb_check::trace_capture log;
  udb_validator v(0);
  v.add_mapped_pair(u"first name", u"first_name");
  v.add_mapped_pair(u"a#b", u"a_b");
  v.add_mapped_pair(u"a#b", u"a_b00000");
  ASSERT_EQ(v.mapped_pairs().size(), 2u);
  EXPECT_EQ(v.mapped_pairs().at(u"first name"), u"first_name");
  EXPECT_EQ(v.mapped_pairs().at(u"a#b"), u"a_b00000");
  EXPECT_TRUE(log.has_line("udb_validator::add_mapped_pair(first name,first_name)"));
}

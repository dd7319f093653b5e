#include <gtest/gtest.h>

#include <clocale>

#include "DAO/dao_bstr.h"
#include "DAO/dao_excp.h"
#include "DAO/dao_vali.h"
#include "dao_test.h"

namespace {

TEST(dao_validator_rules, SpacesAtTheEndsAndIllegalCharacters) {
  dao_validator v;
  EXPECT_FALSE(v.is_acceptable(u" Orders"));
  EXPECT_FALSE(v.is_acceptable(u"Orders "));
  EXPECT_TRUE(v.is_acceptable(u"Orders"));
  EXPECT_TRUE(v.is_acceptable(u"Order lines"));
  EXPECT_FALSE(v.is_acceptable(u""));
  // Access takes 64 characters at most and no control characters.
  EXPECT_TRUE(v.is_acceptable(std::u16string(64, u'x')));
  EXPECT_FALSE(v.is_acceptable(std::u16string(65, u'x')));
  for (char16_t illegal : {u'`', u'!', u'[', u']', u'.', u'\t', u'\n', u'\x01', u'\x1f'}) {
    EXPECT_FALSE(v.is_acceptable(u"a" + std::u16string(1, illegal) + u"b")) << static_cast<int>(illegal);
  }
  EXPECT_TRUE(v.is_acceptable(u"a'b$c#d"));
}

TEST(dao_validator_rules, SafeNames) {
  dao_validator v;
  EXPECT_EQ(v.get_safe_name(u"Q1.2011"), u"Q1_2011");
  EXPECT_EQ(v.get_safe_name(u"[Total]!"), u"_Total__");
  EXPECT_EQ(v.get_safe_name(u"  Padded  "), u"Padded");
  EXPECT_EQ(v.get_safe_name(u"   "), u"00000");
  v.add_name_in_use(u"Orders");
  EXPECT_EQ(v.get_safe_name(u"Orders"), u"Orders00000");
  v.add_name_in_use(u"Orders00000");
  EXPECT_EQ(v.get_safe_name(u"orders"), u"orders00001");
  EXPECT_EQ(v.get_safe_name(u"tab\there"), u"tab_here");
  // A long name is cut to Access's 64 characters, room made for the number when it needs one.
  const std::u16string long_name = u"Q" + std::u16string(69, u'x');
  const std::u16string safe = v.get_safe_name(long_name);
  EXPECT_LE(safe.size(), 64u);
  EXPECT_TRUE(v.is_acceptable(safe));
  v.add_name_in_use(safe);
  const std::u16string second = v.get_safe_name(long_name);
  EXPECT_LE(second.size(), 64u);
  EXPECT_NE(second, safe);
}

TEST(dao_validator_rules, VariantsStartWithTheNamesAlreadyTaken) {
  dao_tn_validator tables({u"EMP", u"DEPT"}, {u"Customers"});
  EXPECT_TRUE(tables.is_duplicated(u"customers"));
  EXPECT_TRUE(tables.is_duplicated(u"emp"));
  EXPECT_FALSE(tables.is_duplicated(u"Orders"));
  EXPECT_EQ(tables.get_safe_name(u"CUSTOMERS"), u"CUSTOMERS00000");

  udb_schema fields(true);
  fields.add(std::make_unique<t_ftd>(0, u"A.B", VT_I4, false, false, ole_variant(), 0));
  fields.add(std::make_unique<t_ftd>(0, u"A_B", VT_I4, false, false, ole_variant(), 0));
  dao_fn_validator columns(fields);
  EXPECT_EQ(columns.get_safe_name(u"A.B"), u"A_B00000");
  columns.map_name(u"A.B", u"A_B00000");
  EXPECT_EQ(columns.names_map().get_mapped_name(u"a.b"), u"A_B00000");
  EXPECT_EQ(columns.names_map().get_mapped_name(u"A_B"), u"A_B");
  EXPECT_EQ(columns.mapped_pairs().at(u"A.B"), u"A_B00000");

  udb_indexes indexes;
  indexes.add(udb_index{u"PK_EMP", true, true, {u"ID"}});
  dao_in_validator index_names(indexes);
  EXPECT_TRUE(index_names.is_duplicated(u"pk_emp"));
}

TEST(dao_bstr_holder, WideAndNarrowTexts) {
  const dao_bstr wide(std::u16string(u"Größe\u4E2D"));
  EXPECT_EQ(SysStringLen(wide), 6u);
  EXPECT_EQ(wide.to_wstring(), u"Größe\u4E2D");
  // A narrow text in a multi-byte code page widens to fewer characters: the
  // string DAO receives carries no trailing NULs.
  const char* saved = std::setlocale(LC_ALL, nullptr);
  const std::string previous = saved ? saved : "C";
  std::setlocale(LC_ALL, "C.UTF-8");
  const dao_bstr narrow(std::string("Gr\xC3\xB6\xC3\x9F" "e"));
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(narrow.to_wstring(), u"Größe");
  EXPECT_EQ(SysStringLen(narrow), 5u);

  dao_bstr slot;
  EXPECT_EQ(static_cast<BSTR>(slot), nullptr);
  EXPECT_EQ(slot.to_wstring(), u"");
  *slot.address() = SysAllocString(u"from DAO");
  EXPECT_EQ(slot.to_wstring(), u"from DAO");
  *slot.address() = SysAllocString(u"again");  // the first string is freed, not leaked
  EXPECT_EQ(slot.to_wstring(), u"again");
}

using dao_error_test = dao_test;

TEST_F(dao_error_test, ErrorTextAndNumberComeFromTheFirstError) {
  world().error_number = 3047;
  world().error_description = u"Record is too large.";
  try {
    throw_dao_exception();
  } catch (const dao_exception& e) {
    EXPECT_EQ(e.text(), "Record is too large.");
    EXPECT_EQ(e.code(), 0x10000u + 3047u);
    EXPECT_EQ(e.number(), 3047);
    EXPECT_EQ(e.level(), 0);
    return;
  }
  ADD_FAILURE() << "no dao_exception";
}

TEST_F(dao_error_test, UnreadableErrorsGiveTheUnknownException) {
  world().error_number = 3022;
  world().error_description = u"Duplicate key.";
  for (int step = 1; step <= 4; ++step) {
    world().broken_errors_step = step;
    const raised r = raised_by([] { throw_dao_exception(); });
    EXPECT_FALSE(r.is_dao) << "step " << step;
    EXPECT_EQ(r.text, "Unknown exception") << "step " << step;
    EXPECT_EQ(r.code, 1u) << "step " << step;
  }
  world().broken_errors_step = 0;
  EXPECT_TRUE(raised_by([] { throw_dao_exception(); }).is_dao);

  // Without a loaded engine there is no collection to read.
  engine_->set_version_if(dao_engine::access_97);
  EXPECT_EQ(raised_by([] { throw_dao_exception(); }).code, 1u);
}

TEST(dao_error_without_engine, IsAnInternalError) {
  EXPECT_DAO_ASSERTION(throw_dao_exception(), "tk_singl");
  EXPECT_NO_THROW(dao_check(S_OK));
  EXPECT_NO_THROW(dao_check(S_FALSE));
  EXPECT_DAO_ASSERTION(dao_check(E_FAIL), "tk_singl");
}

}  // namespace

#include <gtest/gtest.h>

#include "UDB/udb_idx.h"
#include "UDB/udb_rel.h"
#include "udb_check.h"

TEST(UdbIndexes, LookupIgnoresCaseAndKeepsCatalogOrder) {
  udb_indexes indexes;
  indexes.add({u"PK_EMP", true, true, {u"EMPNO"}});
  indexes.add({u"EMP_NAME_IX", false, false, {u"ENAME", u"FIRST"}});
  indexes.add({u"ÍNDICE", true, false, {u"X"}});
  ASSERT_EQ(indexes.size(), 3u);
  EXPECT_EQ(indexes[1].name, u"EMP_NAME_IX");

  EXPECT_FALSE(indexes.is_acceptable_name(u"pk_emp"));
  EXPECT_FALSE(indexes.is_acceptable_name(u"índice"));
  EXPECT_TRUE(indexes.is_acceptable_name(u"PK_EMP2"));

  udb_index& named = indexes.get_index(u"emp_name_ix");
  EXPECT_EQ(named.columns, (std::vector<std::u16string>{u"ENAME", u"FIRST"}));
  named.columns.push_back(u"LAST");  // readers grow an index column by column
  EXPECT_EQ(indexes[1].columns.size(), 3u);
  EXPECT_TRUE(indexes.get_index(u"Pk_Emp").primary);

  const udb_indexes& reading = indexes;
  EXPECT_INTERNAL_ERROR(reading.get_index(u"NONE"), "udb_idx");
  EXPECT_INTERNAL_ERROR(indexes.get_index(u"NONE"), "udb_idx");
  EXPECT_INTERNAL_ERROR(indexes[3], "udb_idx");
}

namespace {

udb_relationship fk(const std::u16string& name, const std::u16string& from, const std::u16string& to) {
  return {name, u"PK_" + to, from, to, {to + u"_ID"}, {u"ID"}, u"ON DELETE CASCADE"};
}

}  // namespace

TEST(UdbRelationships, LookupIgnoresCase) {
  udb_relationships relationships;
  udb_relationship& added = relationships.add(fk(u"EMP_DEPT_FK", u"EMP", u"DEPT"));
  added.foreign_columns.push_back(u"DEPT_NO2");
  EXPECT_FALSE(relationships.is_acceptable_name(u"emp_dept_fk"));
  EXPECT_TRUE(relationships.is_acceptable_name(u"EMP_DEPT"));
  const udb_relationship& found = relationships.get_index(u"Emp_Dept_Fk");
  EXPECT_EQ(found.foreign_table, u"EMP");
  EXPECT_EQ(found.primary_table, u"DEPT");
  EXPECT_EQ(found.foreign_columns, (std::vector<std::u16string>{u"DEPT_ID", u"DEPT_NO2"}));
  EXPECT_EQ(found.rule, u"ON DELETE CASCADE");
  EXPECT_INTERNAL_ERROR(relationships.get_index(u"OTHER"), "udb_rel");
  EXPECT_INTERNAL_ERROR(relationships[1], "udb_rel");
}

TEST(UdbRelationships, GeneratedNamesGrowByTheRepeatingPieces) {
  udb_check::trace_capture log;
  udb_relationships relationships;
  const udb_relationship emp_dept = fk(u"C1", u"EMP", u"DEPT");
  EXPECT_EQ(relationships.gen_relship_name(emp_dept), u"FK_EMP_DEPT");

  const std::u16string expected[] = {
      u"FK_EMP_DEPT_",     u"FK_EMP_DEPT_1",     u"FK_EMP_DEPT_1_",     u"FK_EMP_DEPT_1_2",
      u"FK_EMP_DEPT_1_2_", u"FK_EMP_DEPT_1_2_3", u"FK_EMP_DEPT_1_2_3_", u"FK_EMP_DEPT_1_2_3_1",
      u"FK_EMP_DEPT_1_2_3_1_"};
  std::u16string taken = u"fk_emp_dept";  // taken in another case
  for (const std::u16string& next : expected) {
    relationships.add(fk(taken, u"EMP", u"DEPT"));
    const std::u16string name = relationships.gen_relship_name(emp_dept);
    EXPECT_EQ(name, next);
    taken = name;
  }
  EXPECT_FALSE(log.has_line("fk_emp_dept is not acceptable as a FK name"));  // the candidate is traced
  EXPECT_TRUE(log.has_line("FK_EMP_DEPT is not acceptable as a FK name"));
  EXPECT_TRUE(log.has_line("FK_EMP_DEPT_1_2_3 is not acceptable as a FK name"));
}

TEST(UdbRelationships, GeneratedNameSkipsEveryTakenStep) {
  udb_relationships relationships;
  for (const char16_t* taken : {u"FK_A_B", u"FK_A_B_", u"FK_A_B_1"}) relationships.add(fk(taken, u"X", u"Y"));
  EXPECT_EQ(relationships.gen_relship_name(fk(u"C", u"A", u"B")), u"FK_A_B_1_");
  EXPECT_EQ(relationships.gen_relship_name(fk(u"C", u"B", u"A")), u"FK_B_A");
}

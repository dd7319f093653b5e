#include <gtest/gtest.h>

#include "UDB/udb_db.h"
#include "udb_check.h"

namespace {

class empty_stream : public udb_recordset {
 public:
  using udb_recordset::udb_recordset;
  void append_record(udb_record&) override {}
};

// A database whose catalog is the list it is given; creating a table adds
// the name, as the destination side does.
class listed_database : public udb_database {
 public:
  listed_database(std::vector<std::u16string> names, bool case_sensitive)
      : udb_database(u"test.mdb", 0x104, case_sensitive) {
    table_names_ = std::move(names);
  }
  std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema&,
                                              const udb_indexes&) override {
    table_names_.push_back(name);
    return std::make_unique<empty_stream>(name, true);
  }
  std::unique_ptr<udb_recordset> get_table(const std::u16string& name, uint32_t) override {
    return std::make_unique<empty_stream>(name, true);
  }
  std::unique_ptr<udb_recordset> get_query(const std::u16string& name, const std::u16string& text,
                                           uint32_t) override {
    return std::make_unique<empty_stream>(name, text, true);
  }
  bool test_query(const std::u16string&) override { return true; }
};

}  // namespace

TEST(UdbDatabase, KeepsItsNameFlagsAndCaseRule) {
  udb_check::trace_capture log;
  {
    listed_database db({}, false);
    EXPECT_EQ(db.name(), u"test.mdb");
    EXPECT_EQ(db.open_flags(), 0x104u);
    EXPECT_FALSE(db.case_sensitive_names());
    EXPECT_TRUE(db.relationships().empty());
  }
  EXPECT_TRUE(log.has_line("udb_database::ctor(test.mdb)"));
  EXPECT_TRUE(log.has_line("udb_database::dtor"));
}

TEST(UdbDatabase, TableExistsByTheDatabasesCaseRule) {
  udb_check::trace_capture log;
  listed_database insensitive({u"DEPT", u"EMP", u"ÉQUIPE"}, false);
  EXPECT_TRUE(insensitive.is_table_exist(u"emp"));
  EXPECT_TRUE(insensitive.is_table_exist(u"équipe"));
  EXPECT_FALSE(insensitive.is_table_exist(u"EMPS"));
  EXPECT_TRUE(log.has_line("Compare with DEPT"));
  EXPECT_TRUE(log.has_line("table exists"));
  EXPECT_TRUE(log.has_line("table not found"));

  listed_database sensitive({u"DEPT", u"EMP"}, true);
  EXPECT_FALSE(sensitive.is_table_exist(u"emp"));
  EXPECT_TRUE(sensitive.is_table_exist(u"EMP"));
}

TEST(UdbDatabase, DeleteTabRemovesOneNameAndKeepsTheOrder) {
  listed_database db({u"A", u"B", u"C"}, false);
  EXPECT_TRUE(db.delete_tab(u"b"));
  EXPECT_EQ(db.table_names(), (std::vector<std::u16string>{u"A", u"C"}));
  EXPECT_FALSE(db.is_table_exist(u"B"));

  listed_database twice({u"X", u"x", u"Y"}, false);
  EXPECT_TRUE(twice.delete_tab(u"X"));  // only the first equal name goes
  EXPECT_EQ(twice.table_names(), (std::vector<std::u16string>{u"x", u"Y"}));

  listed_database sensitive({u"Emp"}, true);
  EXPECT_INTERNAL_ERROR(sensitive.delete_tab(u"EMP"), "udb_db");
  EXPECT_EQ(sensitive.table_names().size(), 1u);
  EXPECT_INTERNAL_ERROR(db.delete_tab(u"B"), "udb_db");
}

TEST(UdbDatabase, BaseQueryIsUnsupportedAndRelationshipsAreNotCreated) {
  listed_database db({u"A"}, false);
  EXPECT_INTERNAL_ERROR(db.query(u"DELETE FROM A"), "udb_db");
  db.relationships().add({u"FK1", u"PK_A", u"B", u"A", {u"A_ID"}, {u"ID"}, u""});
  db.create_relationships();
  EXPECT_EQ(db.relationships().size(), 1u);
  EXPECT_EQ(db.table_names(), (std::vector<std::u16string>{u"A"}));
}

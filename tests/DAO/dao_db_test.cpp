#include <gtest/gtest.h>

#include "DAO/dao_db.h"
#include "DAO/dao_recs.h"
#include "dao_test.h"

namespace {

class dao_database_test : public dao_test {
 protected:
  // A file made by Access: system tables, a linked one and two user tables.
  dao_fake::database& sample_file() {
    dao_fake::database& db = world().add_file(u"old.mdb");
    db.add_table(u"MSysObjects", static_cast<LONG>(0x80000002)).add_field(u"Id", dbLong);
    db.add_table(u"MSysACEs", 2).add_field(u"ACM", dbLong);
    db.add_table(u"Linked", 0x40000000).add_field(u"X", dbLong);
    dao_fake::table& orders = db.add_table(u"Orders");
    orders.add_field(u"Id", dbLong);
    orders.add_field(u"Note", dbText, 50);
    db.add_table(u"My Table").add_field(u"Id", dbLong);
    return db;
  }
  static void add_rows(dao_fake::table& t, int count) {
    for (int i = 0; i < count; ++i) t.rows.push_back({ole_variant(i + 1), ole_variant(u"row")});
  }

  udb_schema one_text_column{true};
};

TEST_F(dao_database_test, ListsOnlyUserTables) {
  sample_file();
  auto db = engine_->open_db(u"old.mdb", 104, u"");
  EXPECT_EQ(db->table_names(), (std::vector<std::u16string>{u"Orders", u"My Table"}));
  EXPECT_TRUE(db->is_table_exist(u"ORDERS"));
  EXPECT_EQ(db->get_table(u"Linked", 1), nullptr);
  EXPECT_EQ(db->get_table(u"MSysObjects", 1), nullptr);
  EXPECT_DAO_ASSERTION(db->get_table(u"Nowhere", 1), "dao_db");
}

TEST_F(dao_database_test, TablesAreReadThroughABracketedSelect) {
  add_rows(*sample_file().find(u"My Table"), 0);
  auto db = engine_->open_db(u"old.mdb", 104, u"");
  auto read = db->get_table(u"My Table", 1);
  ASSERT_NE(read, nullptr);
  auto append = db->get_table(u"My Table", 0);
  EXPECT_TRUE(world().called("CreateQueryDef(, SELECT * FROM [My Table])"));
  EXPECT_TRUE(world().called("OpenRecordset(SELECT * FROM [My Table], vt2:2, vt2:4)"));  // read-only
  EXPECT_TRUE(world().called("OpenRecordset(SELECT * FROM [My Table], vt2:2, vt2:8)"));  // append-only
}

TEST_F(dao_database_test, ExistingTableIsAppendedToOnlyWhenOpenedForUpdate) {
  add_rows(*sample_file().find(u"Orders"), 2);
  udb_schema fields(true);
  fields.add(std::make_unique<t_ftd>(0, u"Id", VT_I4, false, false, ole_variant(), 0));
  auto opened = engine_->open_db(u"old.mdb", dao_engine::mode_opened, u"");
  auto existing = opened->create_table(u"orders", fields, udb_indexes());
  ASSERT_NE(existing, nullptr);
  EXPECT_EQ(existing->record_count(), 2);
  EXPECT_EQ(existing->schema().size(), 2u);  // the file's table, not the source's columns
  EXPECT_EQ(world().count_calls("CreateTableDef"), 0u);
  existing.reset();
  opened.reset();

  auto created = engine_->create_db(u"new.mdb");
  created->create_table(u"T", fields, udb_indexes());
  EXPECT_DAO_ASSERTION(created->create_table(u"t", fields, udb_indexes()), "dao_db");
}

TEST_F(dao_database_test, ReadOnlyDatabaseRefusesChanges) {
  sample_file();
  auto db = engine_->open_db(u"old.mdb", 17, u"");
  udb_schema fields(true);
  fields.add(std::make_unique<t_ftd>(0, u"Id", VT_I4, false, false, ole_variant(), 0));
  EXPECT_DAO_ASSERTION(db->create_table(u"New", fields, udb_indexes()), "dao_db");
  EXPECT_DAO_ASSERTION(db->delete_tab(u"Orders"), "dao_db");
  EXPECT_EQ(world().count_calls("TableDefs.Delete"), 0u);
}

TEST_F(dao_database_test, DeletingATableDropsItFromFileAndList) {
  dao_fake::database& file = sample_file();
  auto db = engine_->open_db(u"old.mdb", 104, u"");
  EXPECT_TRUE(db->delete_tab(u"ORDERS"));
  EXPECT_EQ(file.find(u"Orders"), nullptr);
  EXPECT_EQ(db->table_names(), (std::vector<std::u16string>{u"My Table"}));
  EXPECT_DAO_ASSERTION(db->delete_tab(u"Orders"), "dao_db");
}

TEST_F(dao_database_test, CreatedTableIsListedAndOpenForAppending) {
  auto db = engine_->create_db(u"new.mdb");
  udb_schema fields(true);
  fields.add(std::make_unique<t_ftd>(20, u"Name", VT_BSTR, true, false, ole_variant(), 0));
  fields.add(std::make_unique<t_ftd>(0, u"Id", VT_I4, true, true, ole_variant(), 0));
  udb_indexes indexes;
  indexes.add(udb_index{u"PK_T", true, true, {u"ID"}});
  auto stream = db->create_table(u"T", fields, indexes);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(db->table_names(), (std::vector<std::u16string>{u"T"}));
  EXPECT_TRUE(world().called("CreateTableDef(T, vt3:0, vt8:, vt8:)"));
  EXPECT_TRUE(world().called("OpenRecordset(SELECT * FROM [T], vt2:2, vt2:8)"));
  ASSERT_EQ(stream->schema().size(), 2u);
  EXPECT_EQ(stream->schema()[0].name, u"Name");
  EXPECT_EQ(stream->schema()[1].type, VT_I4);
  EXPECT_TRUE(stream->schema()[1].auto_increment);
  ASSERT_EQ(stream->indexes().size(), 1u);
  EXPECT_EQ(stream->indexes()[0].columns, (std::vector<std::u16string>{u"ID"}));  // as the source names it
  EXPECT_TRUE(stream->indexes()[0].primary);
}

TEST_F(dao_database_test, FailuresWhileCreatingATableLeaveItOut) {
  auto db = engine_->create_db(u"new.mdb");
  udb_schema fields(true);
  fields.add(std::make_unique<t_ftd>(0, u"Id", VT_I4, false, false, ole_variant(), 0));
  world().fail_next("TableDefs.Append", 3010, u"Table 'T' already exists.");
  const raised r = raised_by([&] { db->create_table(u"T", fields, udb_indexes()); });
  EXPECT_TRUE(r.is_dao);
  EXPECT_EQ(r.code, 0x10000u + 3010u);
  EXPECT_TRUE(db->table_names().empty());

  world().answer_null("CreateTableDef");
  EXPECT_EQ(raised_by([&] { db->create_table(u"T", fields, udb_indexes()); }).code, 1u);
  EXPECT_TRUE(db->table_names().empty());
}

TEST_F(dao_database_test, QueriesAreTestedAndCounted) {
  add_rows(*sample_file().find(u"Orders"), 3);
  auto db = engine_->open_db(u"old.mdb", 104, u"");
  EXPECT_TRUE(db->test_query(u"SELECT * FROM [Orders]"));
  EXPECT_FALSE(db->test_query(u"SELEKT nothing"));
  EXPECT_FALSE(db->test_query(u"SELECT * FROM [Missing]"));
  EXPECT_TRUE(world().called("OpenRecordset(SELECT * FROM [Orders], vt2:2, vt3:1)"));

  auto* dao_db = static_cast<dao_database*>(db.get());
  EXPECT_EQ(dao_db->get_query_record_count(u"SELECT * FROM [Orders]"), 3u);
  EXPECT_EQ(dao_db->get_query_record_count(u"SELECT * FROM [My Table]"), 0u);
  EXPECT_TRUE(world().called("CreateQueryDef(, select count(*) from (SELECT * FROM [Orders]))"));

  auto query = db->get_query(u"Q", u"SELECT * FROM [Orders]", 1);
  EXPECT_TRUE(query->is_query());
  EXPECT_EQ(query->record_count(), 3);
  EXPECT_EQ(query->schema().size(), 2u);
  EXPECT_TRUE(query->indexes().empty());
}

}  // namespace

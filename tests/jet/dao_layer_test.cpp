// The destination layer (dao_engine and the objects it makes) over our
// engine instead of a stand-in: a new file, a table with keys, records in,
// records and the schema back out, and DAO's errors arriving as the layer's
// exceptions. This is where the two sides of the DAO contract meet.
#include <gtest/gtest.h>

#include "DAO/dao_db.h"
#include "DAO/dao_engi.h"
#include "DAO/dao_excp.h"
#include "dao_test_support.h"
#include "faulty_io.h"
#include "jet/dao/register.h"
#include "platform/codepage.h"
#include "sample_files.h"

namespace {

class jd_layer_test : public ::testing::Test {
 protected:
  void SetUp() override {
    jet_register_dao_engine();
    engine_ = std::make_unique<dao_engine>(false);
    engine_->set_version(dao_engine::access_2000);
    file_ = std::make_unique<scratch_file>("layer.mdb");
    name_ = platform::utf8_to_utf16(file_->path());
  }
  void TearDown() override {
    engine_.reset();
    com_unregister_class(CLSID_DBEngine36);
  }

  static void fill_schema(udb_schema& fields) {
    fields.add(std::make_unique<t_ftd>(0, u"ID", VT_I4, true, true, ole_variant(), 0));
    fields.add(std::make_unique<t_ftd>(20, u"NAME", VT_BSTR, true, false, ole_variant(), 0));
    fields.add(std::make_unique<t_ftd>(0, u"HIRED", VT_DATE, false, false, ole_variant(), 0));
    fields.add(std::make_unique<t_ftd>(0, u"BIG", VT_I8, false, false, ole_variant(), 0));
    fields.add(std::make_unique<t_ftd>(0, u"NOTES", VT_BSTR, false, false, ole_variant(), 0));
  }
  static udb_indexes indexes() {
    udb_indexes list;
    list.add(udb_index{u"PK_EMP", true, true, {u"ID"}});
    list.add(udb_index{u"EMP_NAME", true, false, {u"NAME"}});
    return list;
  }
  static std::unique_ptr<udb_record> record(int id, const std::u16string& name, const char* hired, ole_variant big,
                                            const std::u16string& notes) {
    auto r = std::make_unique<udb_record>();
    ole_variant when;
    if (hired) when.from_string(hired, VT_DATE);
    r->add(std::make_unique<udb_field>(u"ID", 0, ole_variant(id)));
    r->add(std::make_unique<udb_field>(u"NAME", 20, ole_variant(name)));
    r->add(std::make_unique<udb_field>(u"HIRED", 0, when));
    r->add(std::make_unique<udb_field>(u"BIG", 0, big));
    r->add(std::make_unique<udb_field>(u"NOTES", 0, ole_variant(notes)));
    return r;
  }

  std::unique_ptr<dao_engine> engine_;
  std::unique_ptr<scratch_file> file_;
  std::u16string name_;
};

TEST_F(jd_layer_test, create_table_append_and_read_back_through_the_layer) {
  {
    std::unique_ptr<udb_database> db = engine_->create_db(name_);
    udb_schema fields(true);
    fill_schema(fields);
    std::unique_ptr<udb_recordset> stream = db->create_table(u"EMP", fields, indexes());
    ASSERT_NE(stream, nullptr);
    stream->append_record(*record(7, u"KING", "1981-11-17 09:30:00", ole_variant(9000000000LL), std::u16string(3000, u'k')));
    stream->append_record(*record(8, u"BLAKE", nullptr, ole_variant(), u"b"));
    EXPECT_EQ(stream->record_count(), 2);

    // A key already there: DAO's 3022 as the layer's exception, nothing added.
    try {
      stream->append_record(*record(9, u"KING", nullptr, ole_variant(), u""));
      ADD_FAILURE() << "a duplicate name was accepted";
    } catch (const dao_exception& error) {
      EXPECT_EQ(error.number(), 3022) << error.text();
    }
    stream->append_record(*record(10, u"CLARK", nullptr, ole_variant(), u"c"));
  }
  EXPECT_EQ(engine_->get_acc_version(name_), uint32_t(dao_engine::access_2000));

  std::unique_ptr<udb_database> db = engine_->open_db(name_, dao_engine::mode_opened, u"");
  EXPECT_TRUE(db->is_table_exist(u"EMP"));
  std::unique_ptr<udb_recordset> read = db->get_table(u"EMP", 1);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->record_count(), 3);
  ASSERT_FALSE(read->is_eof());
  udb_record* item = read->get_item();
  ASSERT_NE(item, nullptr);
  ASSERT_EQ(item->size(), 5u);
  EXPECT_EQ((*item)[0].to_string(), "7");
  EXPECT_EQ((*item)[1].to_wstring(), u"KING");
  EXPECT_EQ((*item)[2].to_string(), "1981-11-17 09:30:00");
  EXPECT_EQ((*item)[3].get_type(), VT_R8);  // Access has no 64-bit integer: a Double
  EXPECT_EQ((*item)[4].to_wstring(), std::u16string(3000, u'k'));
  read->next();
  item = read->get_item();
  EXPECT_EQ((*item)[1].to_wstring(), u"BLAKE");
  EXPECT_EQ((*item)[2].get_type(), VT_NULL);
  read->next();
  EXPECT_EQ((*read->get_item())[1].to_wstring(), u"CLARK");
  read->next();
  EXPECT_TRUE(read->is_eof());

  // The schema the layer reads back: types, required, AutoNumber and keys.
  const udb_schema& fields = read->schema();
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_TRUE(fields[0].auto_increment);
  EXPECT_TRUE(fields[1].not_null);
  EXPECT_EQ(fields[1].size, 20u);
  EXPECT_EQ(fields[3].type, VT_R8);
  const udb_indexes& keys = read->indexes();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_TRUE(keys[0].primary);
  EXPECT_EQ(keys[0].columns, std::vector<std::u16string>{u"ID"});
  EXPECT_TRUE(keys[1].unique);
  EXPECT_EQ(keys[1].columns, std::vector<std::u16string>{u"NAME"});

  // A query and its count, as the layer asks for them.
  std::unique_ptr<udb_recordset> query = db->get_query(u"Q", u"SELECT * FROM [EMP]", 1);
  EXPECT_EQ(query->record_count(), 3);
  query.reset();
  EXPECT_TRUE(db->test_query(u"SELECT * FROM [EMP]"));
  EXPECT_FALSE(db->test_query(u"SELECT NAME FROM EMP WHERE ID > 7"));
  read.reset();
  db.reset();
  expect_file_consistent(file_->path());
}

TEST_F(jd_layer_test, a_table_deleted_through_the_layer_is_gone_from_the_file) {
  {
    std::unique_ptr<udb_database> db = engine_->create_db(name_);
    udb_schema fields(true);
    fill_schema(fields);
    db->create_table(u"EMP", fields, indexes())->append_record(*record(1, u"A", nullptr, ole_variant(), u"x"));
    udb_schema other(true);
    fill_schema(other);
    db->create_table(u"DEPT", other, udb_indexes()).reset();
    EXPECT_TRUE(db->delete_tab(u"EMP"));
    EXPECT_FALSE(db->is_table_exist(u"EMP"));
  }
  std::unique_ptr<udb_database> db = engine_->open_db(name_, dao_engine::mode_opened, u"");
  EXPECT_FALSE(db->is_table_exist(u"EMP"));
  EXPECT_TRUE(db->is_table_exist(u"DEPT"));
  db.reset();
  expect_file_consistent(file_->path());
}

// The layer stores a record whose value would not fit the page without that value.
TEST_F(jd_layer_test, a_value_too_large_for_the_record_is_left_empty_by_the_layer) {
  std::unique_ptr<udb_database> db = engine_->create_db(name_);
  udb_schema fields(true);
  for (char16_t c = u'A'; c <= u'J'; ++c)
    fields.add(std::make_unique<t_ftd>(255, std::u16string(1, c), VT_BSTR, false, false, ole_variant(), 0));
  std::unique_ptr<udb_recordset> stream = db->create_table(u"WIDE", fields, udb_indexes());
  const std::u16string full(255, u'ж');
  udb_record r;
  for (char16_t c = u'A'; c <= u'J'; ++c) r.add(std::make_unique<udb_field>(std::u16string(1, c), 255, ole_variant(full)));
  stream->append_record(r);
  stream.reset();

  std::unique_ptr<udb_recordset> read = db->get_table(u"WIDE", 1);
  ASSERT_FALSE(read->is_eof());
  udb_record* item = read->get_item();
  EXPECT_EQ((*item)[6].to_wstring(), full);
  for (size_t i = 7; i < 10; ++i) EXPECT_EQ((*item)[i].get_type(), VT_NULL) << i;
  read.reset();
  db.reset();
  expect_file_consistent(file_->path());
}

TEST_F(jd_layer_test, failures_of_the_engine_reach_the_layer_with_dao_numbers) {
  engine_->create_db(name_).reset();
  try {
    engine_->create_db(name_);
    ADD_FAILURE() << "an existing file was created again";
  } catch (const dao_exception& error) {
    EXPECT_EQ(error.number(), 3204) << error.text();
  }
  try {
    engine_->open_db(name_ + u".absent", dao_engine::mode_opened, u"");
    ADD_FAILURE() << "a missing file was opened";
  } catch (const dao_exception& error) {
    EXPECT_EQ(error.number(), 3024) << error.text();
  }
}

TEST_F(jd_layer_test, a_full_disk_reaches_the_layer_as_3026_that_ends_the_run) {
  std::unique_ptr<udb_database> db = engine_->create_db(name_);
  udb_schema fields(true);
  fill_schema(fields);
  std::unique_ptr<udb_recordset> stream = db->create_table(u"EMP", fields, indexes());
  int refused = 0;
  {
    // Room for the empty table only: the held pages are refused once they are written.
    file_size_limit limit(rlim_t(std::filesystem::file_size(file_->path())) + 8 * 4096);
    for (int id = 1; id <= 400 && refused == 0; ++id) {
      try {
        stream->append_record(*record(id, u"N" + platform::utf8_to_utf16(std::to_string(id)), nullptr, ole_variant(),
                                      std::u16string(3000, char16_t(u'a' + id % 26))));
      } catch (const dao_exception& error) {
        ++refused;
        EXPECT_EQ(error.number(), 3026);
        EXPECT_EQ(error.text(), "Not enough space on disk.");
        EXPECT_EQ(error.level(), 1) << "every later record would meet it again";
      }
    }
  }
  EXPECT_EQ(refused, 1);
  stream.reset();
  db.reset();
  expect_file_consistent(file_->path());
}

}  // namespace

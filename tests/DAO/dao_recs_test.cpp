#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "../UDB/udb_check.h"
#include "DAO/dao_db.h"
#include "DAO/dao_recs.h"
#include "dao_test.h"

namespace {

class dao_record_io_test : public dao_test {
 protected:
  void SetUp() override {
    dao_test::SetUp();
    db_ = engine_->create_db(u"new.mdb");
    udb_schema fields(true);
    fields.add(std::make_unique<t_ftd>(20, u"Name", VT_BSTR, true, false, ole_variant(), 0));
    fields.add(std::make_unique<t_ftd>(0, u"Num", VT_I4, true, false, ole_variant(), 0));
    fields.add(std::make_unique<t_ftd>(0, u"When", VT_DATE, false, false, ole_variant(), 0));
    fields.add(std::make_unique<t_ftd>(0, u"Big", VT_I8, false, false, ole_variant(), 0));
    fields.add(std::make_unique<t_ftd>(0, u"Memo", VT_BSTR, false, false, ole_variant(), 0));
    stream_ = db_->create_table(u"T", fields, udb_indexes());
  }
  void TearDown() override {
    stream_.reset();
    db_.reset();
    dao_test::TearDown();
  }

  // A source record: name, number, date text, 64-bit number, memo text.
  static std::unique_ptr<udb_record> record(ole_variant name, ole_variant number, const char* date,
                                            ole_variant big = ole_variant(), ole_variant memo = u"memo") {
    auto r = std::make_unique<udb_record>();
    ole_variant when;
    if (date) when.from_string(date, VT_DATE);
    r->add(std::make_unique<udb_field>(u"NAME", 20, name));
    r->add(std::make_unique<udb_field>(u"NUM", 0, number));
    r->add(std::make_unique<udb_field>(u"WHEN", 0, when));
    r->add(std::make_unique<udb_field>(u"BIG", 0, big));
    r->add(std::make_unique<udb_field>(u"MEMO", 0, memo));
    return r;
  }
  dao_fake::table& table() { return *world().files[u"new.mdb"]->find(u"T"); }

  std::unique_ptr<udb_database> db_;
  std::unique_ptr<udb_recordset> stream_;
};

TEST_F(dao_record_io_test, RecordsAreStoredAndCounted) {
  stream_->append_record(*record(u"a", 1, "2011-03-04 05:06:07", ole_variant(9000000000LL)));
  stream_->append_record(*record(u"b", 2, nullptr));
  EXPECT_EQ(stream_->record_count(), 2);
  ASSERT_EQ(table().rows.size(), 2u);
  const auto& row = table().rows[0];
  EXPECT_EQ(row[0].to_wstring(), u"a");
  EXPECT_EQ(row[1].to_long(), 1);
  EXPECT_EQ(row[2].to_string(), "2011-03-04 05:06:07");
  EXPECT_EQ(row[3].get_type(), VT_R8);  // Access has no 64-bit integer: a double
  EXPECT_EQ(row[3].get_variant().dblVal, 9000000000.0);
  EXPECT_EQ(table().rows[1][2].get_type(), VT_EMPTY);
}

TEST_F(dao_record_io_test, NullsInRequiredFields) {
  // Text: an empty string is stored.
  stream_->append_record(*record(ole_variant(), 1, nullptr));
  ASSERT_EQ(table().rows.size(), 1u);
  EXPECT_EQ(table().rows[0][0].get_type(), VT_BSTR);
  EXPECT_EQ(table().rows[0][0].to_wstring(), u"");
  // Number: an empty value is written and Access's refusal is this record's error.
  const raised r = raised_by([&] { stream_->append_record(*record(u"x", ole_variant(), nullptr)); });
  EXPECT_TRUE(r.is_dao);
  EXPECT_EQ(r.code, 0x10000u + 3314u);
  EXPECT_TRUE(world().called("Collect(Num, vt0:)"));
  // The next record is stored as usual.
  stream_->append_record(*record(u"y", 3, nullptr));
  EXPECT_EQ(table().rows.size(), 2u);
  EXPECT_EQ(table().rows[1][0].to_wstring(), u"y");
}

TEST_F(dao_record_io_test, TimeWithoutDateIsStoredOnAccessZeroDayAndReadBackWithoutIt) {
  stream_->append_record(*record(u"t", 1, "10:20:30"));
  ASSERT_EQ(table().rows.size(), 1u);
  EXPECT_EQ(table().rows[0][2].to_string(), "1899-12-30 10:20:30");
  stream_.reset();
  auto read = db_->get_table(u"T", 1);
  ASSERT_FALSE(read->is_eof());
  udb_record* item = read->get_item();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ((*item)[2].to_string(), "0000-00-00 10:20:30");
  EXPECT_EQ((*item)[2].to_wstring(), u"0000-00-00 10:20:30");
  EXPECT_EQ((*item)[0].to_string(), "t");
}

TEST_F(dao_record_io_test, ZeroDayAloneReadsAsMidnight) {
  dao_fake::table& t = table();
  ole_variant zero_day;
  zero_day.from_string("1899-12-30", VT_DATE);
  t.rows.push_back({ole_variant(u"z"), ole_variant(1), zero_day, ole_variant(), ole_variant()});
  auto read = db_->get_table(u"T", 1);
  EXPECT_EQ((*read->get_item())[2].to_string(), "00:00:00");
}

TEST_F(dao_record_io_test, FieldThatMakesTheRecordTooLargeIsLeftEmpty) {
  udb_check::trace_capture log;
  world().too_large_field = u"Memo";
  stream_->append_record(*record(u"a", 1, nullptr, ole_variant(), ole_variant(std::u16string(5000, u'x'))));
  ASSERT_EQ(table().rows.size(), 1u);
  EXPECT_EQ(table().rows[0][4].get_type(), VT_EMPTY);
  EXPECT_EQ(table().rows[0][0].to_wstring(), u"a");
  EXPECT_TRUE(log.has_line("Record is too large."));
  EXPECT_TRUE(log.has_line("\tAdd field 'Name', type=00000008 (value=a)"));
  // The stored record names the field it lost, for the driver to report.
  const auto& access = dynamic_cast<const dao_recordset&>(*stream_);
  EXPECT_EQ(access.fields_left_empty(), std::vector<std::u16string>{u"Memo"});
  // The next record starts with nothing to report.
  stream_->append_record(*record(u"c", 3, nullptr, ole_variant(), ole_variant()));
  EXPECT_TRUE(access.fields_left_empty().empty());
  stream_->append_record(*record(u"d", 4, nullptr, ole_variant(), ole_variant(std::u16string(5000, u'y'))));
  EXPECT_EQ(access.fields_left_empty(), std::vector<std::u16string>{u"Memo"});

  // Any other refusal of a value fails the record.
  world().fail_next("Collect", 3163, u"The field is too small to accept the amount of data you attempted to add.");
  const raised r = raised_by([&] { stream_->append_record(*record(u"b", 2, nullptr)); });
  EXPECT_TRUE(r.is_dao);
  EXPECT_EQ(r.code, 0x10000u + 3163u);
  EXPECT_EQ(table().rows.size(), 3u);
  // A record that was not stored leaves no field to report.
  EXPECT_TRUE(access.fields_left_empty().empty());
}

TEST_F(dao_record_io_test, RecordOfAnotherShapeIsRefusedBeforeAnythingIsAdded) {
  auto short_record = std::make_unique<udb_record>();
  short_record->add(std::make_unique<udb_field>(u"NAME", 20, ole_variant(u"a")));
  const raised r = raised_by([&] { stream_->append_record(*short_record); });
  EXPECT_EQ(r.text, "The structures of data source does not conform to the destination table.");
  EXPECT_TRUE(table().rows.empty());
  // No new record was left pending in the engine.
  EXPECT_EQ(world().count_calls("AddNew"), 0u);
  stream_->append_record(*record(u"b", 2, nullptr));
  EXPECT_EQ(world().count_calls("AddNew"), 1u);
  EXPECT_EQ(table().rows.size(), 1u);
}

// The date a value is written as, the long way: its text, with a time
// alone put on Access's zero day, read back as a date.
VARIANT date_through_text(const udb_field& value) {
  std::string text = value.to_string();
  const size_t at = text.find("0000-00-00");
  if (at != std::string::npos) text.replace(at, 10, "1899-12-30");
  ole_variant date;
  date.from_string(text, VT_DATE);
  return date.get_variant();
}

std::unique_ptr<udb_record> record_with_date(int number, const ole_variant& when) {
  auto r = std::make_unique<udb_record>();
  r->add(std::make_unique<udb_field>(u"NAME", 20, ole_variant(u"d")));
  r->add(std::make_unique<udb_field>(u"NUM", 0, ole_variant(number)));
  r->add(std::make_unique<udb_field>(u"WHEN", 0, when));
  r->add(std::make_unique<udb_field>(u"BIG", 0, ole_variant()));
  r->add(std::make_unique<udb_field>(u"MEMO", 0, ole_variant()));
  return r;
}

SYSTEMTIME clock_time(int year, int month, int day, int hour, int minute, int second, int millis = 0) {
  SYSTEMTIME t{};
  t.wYear = WORD(year);
  t.wMonth = WORD(month);
  t.wDay = WORD(day);
  t.wHour = WORD(hour);
  t.wMinute = WORD(minute);
  t.wSecond = WORD(second);
  t.wMilliseconds = WORD(millis);
  return t;
}

// Every date is written as its text would give it: ordinary dates, the edges
// of Access's range, two-digit years, days past a month's end, times alone
// (with milliseconds, or past a day's end), and dates with parts missing.
TEST_F(dao_record_io_test, DatesAreWrittenAsTheirTextReadsBack) {
  std::vector<SYSTEMTIME> times;
  for (int year : {1, 50, 99, 100, 101, 1582, 1899, 1900, 2000, 2024, 9999, 10000})
    for (int month : {1, 2, 12})
      for (int day : {1, 28, 29, 30, 31})
        for (int seconds : {0, 45296, 86399})
          times.push_back(clock_time(year, month, day, seconds / 3600, seconds / 60 % 60, seconds % 60, seconds ? 500 : 0));
  for (const SYSTEMTIME& t : {clock_time(1899, 12, 30, 0, 0, 0), clock_time(1899, 12, 29, 18, 0, 0),
                              clock_time(2024, 5, 6, 24, 0, 0), clock_time(2024, 5, 6, 12, 60, 0),
                              clock_time(2024, 5, 6, 12, 0, 61), clock_time(0, 0, 0, 0, 0, 0),
                              clock_time(0, 0, 0, 10, 20, 30, 999), clock_time(0, 0, 0, 23, 59, 59),
                              clock_time(0, 0, 0, 24, 0, 0), clock_time(0, 0, 0, 25, 61, 0),
                              clock_time(0, 5, 3, 1, 2, 3), clock_time(2024, 0, 1, 0, 0, 0),
                              clock_time(2024, 13, 1, 0, 0, 0), clock_time(2024, 6, 0, 0, 0, 0)})
    times.push_back(t);

  size_t written = 0;
  for (const SYSTEMTIME& t : times) {
    const auto r = record_with_date(int(written), ole_variant(t));
    const VARIANT expected = date_through_text((*r)[2]);
    stream_->append_record(*r);
    ASSERT_EQ(table().rows.size(), ++written);
    const VARIANT& stored = table().rows.back()[2].get_variant();
    SCOPED_TRACE((*r)[2].to_string());
    ASSERT_EQ(stored.vt, expected.vt);
    if (expected.vt == VT_DATE) {
      EXPECT_EQ(stored.date, expected.date);
    }
  }
}

// A date read from Access has a text of its own (the zero day alone reads as
// midnight): copied into another table, it is written as that text reads.
TEST_F(dao_record_io_test, DateReadFromAccessIsWrittenAsItsOwnTextReads) {
  dao_fake::table& t = table();
  ole_variant zero_day, on_zero_day;
  zero_day.from_string("1899-12-30", VT_DATE);
  on_zero_day.from_string("1899-12-30 06:00:00", VT_DATE);
  t.rows.push_back({ole_variant(u"z"), ole_variant(1), zero_day, ole_variant(), ole_variant()});
  t.rows.push_back({ole_variant(u"y"), ole_variant(2), on_zero_day, ole_variant(), ole_variant()});
  auto copy = db_->create_table(u"U", stream_->schema(), udb_indexes());
  auto read = db_->get_table(u"T", 1);
  std::vector<VARIANT> expected;
  for (read->rewind(); !read->is_eof(); read->next()) {
    udb_record* item = read->get_item();
    expected.push_back(date_through_text((*item)[2]));
    copy->append_record(*item);
  }
  const dao_fake::table& u = *world().files[u"new.mdb"]->find(u"U");
  ASSERT_EQ(u.rows.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    ASSERT_EQ(u.rows[i][2].get_type(), expected[i].vt);
    if (expected[i].vt == VT_DATE) {
      EXPECT_EQ(u.rows[i][2].get_variant().date, expected[i].date);
    }
  }
  EXPECT_EQ(u.rows[1][2].to_string(), "1899-12-30 06:00:00");
}

// Each value names its field as the schema names it now, record after record.
TEST_F(dao_record_io_test, ValuesNameTheFieldsTheSchemaNames) {
  stream_->append_record(*record(u"a", 1, nullptr, ole_variant(), ole_variant(u"first")));
  stream_->append_record(*record(u"b", 2, nullptr, ole_variant(), ole_variant(u"second")));
  EXPECT_EQ(world().count_calls("Collect(Memo, "), 2u);
  EXPECT_EQ(world().count_calls("Collect(Name, "), 2u);
  stream_->schema()[4].name = u"Gone";
  const raised r = raised_by([&] { stream_->append_record(*record(u"c", 3, nullptr)); });
  EXPECT_TRUE(r.is_dao);
  EXPECT_EQ(r.code, 0x10000u + 3265u);
  stream_->schema()[4].name = u"Memo";
  stream_->append_record(*record(u"d", 4, nullptr, ole_variant(), ole_variant(u"fourth")));
  ASSERT_EQ(table().rows.size(), 3u);
  EXPECT_EQ(table().rows[1][4].to_wstring(), u"second");
  EXPECT_EQ(table().rows[2][4].to_wstring(), u"fourth");
}

TEST_F(dao_record_io_test, ValuesGoByPositionWhereDaoTakesPositionsAndStillLandInTheirFields) {
  world().collect_takes_positions = true;
  world().too_large_field = u"Memo";
  stream_->append_record(*record(u"a", 1, nullptr, ole_variant(), ole_variant(std::u16string(5000, u'x'))));
  stream_->append_record(*record(u"b", 2, nullptr, ole_variant(), ole_variant()));
  // No name is looked up: every value names its field's position.
  EXPECT_EQ(world().count_calls("Collect(Name, "), 0u);
  EXPECT_EQ(world().count_calls("Collect(#0, "), 2u);
  EXPECT_EQ(world().count_calls("Collect(#4, "), 3u);  // the value too large, its empty stand-in, the next
  ASSERT_EQ(table().rows.size(), 2u);
  EXPECT_EQ(table().rows[0][0].to_wstring(), u"a");
  EXPECT_EQ(table().rows[0][1].to_wstring(), u"1");
  EXPECT_EQ(table().rows[0][4].get_type(), VT_EMPTY);
  EXPECT_EQ(table().rows[1][0].to_wstring(), u"b");
  EXPECT_EQ(table().rows[1][1].to_wstring(), u"2");
  // A refusal other than the record's size still fails the record.
  world().fail_next("Collect", 3163, u"The field is too small to accept the amount of data you attempted to add.");
  const raised r = raised_by([&] { stream_->append_record(*record(u"c", 3, nullptr)); });
  EXPECT_TRUE(r.is_dao);
  EXPECT_EQ(r.code, 0x10000u + 3163u);
  EXPECT_EQ(table().rows.size(), 2u);
}

TEST_F(dao_record_io_test, FailedCloseDoesNotEscapeTheDestructor) {
  world().fail_next("Recordset.Close", 3420, u"Object invalid or no longer set.");
  EXPECT_NO_THROW(stream_.reset());
  EXPECT_EQ(world().count_calls("Recordset.Close"), 0u);  // the close was attempted and failed
  EXPECT_TRUE(world().failures.empty());
}

TEST_F(dao_record_io_test, ReadingWalksTheRecordsAndRewinds) {
  for (int i = 1; i <= 3; ++i) stream_->append_record(*record(u"n", i, nullptr));
  stream_.reset();
  auto read = db_->get_table(u"T", 1);
  auto* dao_read = static_cast<dao_recordset*>(read.get());
  EXPECT_EQ(read->record_count(), 3);
  dao_read->previous();  // from the first record to before it
  EXPECT_EQ(world().count_calls("MovePrevious"), 1u);
  dao_read->previous();  // already at the beginning: stays
  EXPECT_EQ(world().count_calls("MovePrevious"), 1u);
  read->rewind();
  std::vector<LONG> seen;
  for (; !read->is_eof(); read->next()) seen.push_back((*read->get_item())[1].to_long());
  EXPECT_EQ(seen, (std::vector<LONG>{1, 2, 3}));
  read->rewind();
  ASSERT_FALSE(read->is_eof());
  EXPECT_EQ((*read->get_item())[1].to_long(), 1);
  read->next();
  dao_read->previous();
  EXPECT_EQ((*read->get_item())[1].to_long(), 1);
}

TEST_F(dao_record_io_test, RewindOfAnEmptyStreamDoesNotMove) {
  auto read = db_->get_table(u"T", 1);
  EXPECT_TRUE(read->is_eof());
  read->rewind();  // MoveFirst on no records would fail
  EXPECT_TRUE(read->is_eof());
}

TEST_F(dao_record_io_test, SchemaReadBackLosesAccessQuotesAroundDefaults) {
  dao_fake::database& file = world().add_file(u"old.mdb");
  dao_fake::table& t = file.add_table(u"D");
  t.add_field(u"Txt", dbText, 10).default_value = ole_variant(u"\"abc\"");
  t.add_field(u"Day", dbDate).default_value = ole_variant(u"#2011-03-04#");
  t.add_field(u"Lone", dbText, 10).default_value = ole_variant(u"\"");
  t.add_field(u"Id", dbGUID);
  dao_fake::field_def& counter = t.add_field(u"N", dbLong);
  counter.attributes = dbAutoIncrField;
  counter.required = true;
  auto db = engine_->open_db(u"old.mdb", 104, u"");
  auto read = db->get_table(u"D", 1);
  const udb_schema& schema = read->schema();
  ASSERT_EQ(schema.size(), 5u);
  EXPECT_EQ(schema[0].default_value.to_wstring(), u"abc");
  EXPECT_EQ(schema[0].size, 10u);
  EXPECT_EQ(schema[1].default_value.get_type(), VT_DATE);
  EXPECT_EQ(schema[1].default_value.to_string(), "2011-03-04");
  EXPECT_EQ(schema[1].default_kind, 1);
  EXPECT_EQ(schema[2].default_value.to_wstring(), u"\"");  // one quote is no quoted text
  EXPECT_EQ(schema[3].type, VT_BLOB);
  EXPECT_EQ(schema[3].default_kind, 1);
  EXPECT_EQ(schema[4].type, VT_I4);
  EXPECT_TRUE(schema[4].auto_increment);
  EXPECT_TRUE(schema[4].not_null);
  EXPECT_EQ(schema[0].default_kind, 0);
}

TEST(dao_valid_variant, TypesAccessCannotStoreBecomeOnesItCan) {
  const ole_variant u4(4000000000u);
  const ole_variant converted = dao_get_valid_variant(u4);
  EXPECT_EQ(converted.get_type(), VT_R8);
  EXPECT_EQ(converted.get_variant().dblVal, 4000000000.0);
  const ole_variant i8 = dao_get_valid_variant(ole_variant(-9000000000LL));
  EXPECT_EQ(i8.get_type(), VT_R8);
  EXPECT_EQ(i8.get_variant().dblVal, -9000000000.0);
  const ole_variant ui8 = dao_get_valid_variant(ole_variant(18000000000000000000ull));
  EXPECT_EQ(ui8.get_type(), VT_R8);
  EXPECT_EQ(ui8.get_variant().dblVal, 18000000000000000000.0);
  const ole_variant i1 = dao_get_valid_variant(ole_variant(static_cast<signed char>(-5)));
  EXPECT_EQ(i1.get_type(), VT_I2);
  EXPECT_EQ(i1.to_long(), -5);
  const ole_variant ui2 = dao_get_valid_variant(ole_variant(static_cast<unsigned short>(65535)));
  EXPECT_EQ(ui2.get_type(), VT_I4);
  EXPECT_EQ(ui2.to_long(), 65535);
  // Whatever the number, the value is the one its decimal text reads as.
  for (const ole_variant& given :
       {ole_variant(INT64_MAX), ole_variant(INT64_MIN), ole_variant(9007199254740993LL), ole_variant(-9007199254740993LL),
        ole_variant(UINT64_MAX), ole_variant(18446744073709550591ull), ole_variant(0ull), ole_variant(UINT32_MAX),
        ole_variant(static_cast<signed char>(-128)), ole_variant(static_cast<unsigned short>(0))}) {
    ole_variant through_text;
    through_text.from_string(given.to_string(), dao_get_valid_variant(given).get_type());
    const ole_variant direct = dao_get_valid_variant(given);
    SCOPED_TRACE(given.to_string());
    EXPECT_EQ(direct.to_string(), through_text.to_string());
    if (direct.get_type() == VT_R8) {
      EXPECT_EQ(direct.get_variant().dblVal, through_text.get_variant().dblVal);
    }
  }
  EXPECT_EQ(dao_get_valid_variant(ole_variant(u"12")).get_type(), VT_EMPTY);
  EXPECT_EQ(dao_get_valid_variant(ole_variant(7)).get_type(), VT_EMPTY);
}

}  // namespace

namespace {

// An Access 95/97 destination: the double as DAO 3.5, whose files store text
// one byte a character in the code page of their sort order.
class dao_access97_text_test : public ::testing::Test {
 protected:
  void SetUp() override {
    dao_fake::reset();
    dao_fake::register_engine(CLSID_DBEngine35);
    engine_ = std::make_unique<dao_engine>(false);
    engine_->set_version(dao_engine::access_97);
  }
  void TearDown() override {
    stream_.reset();
    db_.reset();
    engine_.reset();
    dao_fake::unregister_engine(CLSID_DBEngine35);
    EXPECT_EQ(dao_fake::live_objects(), 0);
    dao_fake::reset();
  }
  void make_table() {
    udb_schema fields(true);
    fields.add(std::make_unique<t_ftd>(40, u"Name", VT_BSTR, false, false, ole_variant(), 0));
    fields.add(std::make_unique<t_ftd>(0, u"Notes", VT_BSTR, false, false, ole_variant(), 0));
    fields.add(std::make_unique<t_ftd>(0, u"Num", VT_I4, false, false, ole_variant(), 0));
    stream_ = db_->create_table(u"T", fields, udb_indexes());
  }
  void add(const std::u16string& name, const std::u16string& notes) {
    udb_record r;
    r.add(std::make_unique<udb_field>(u"NAME", 40, ole_variant(name)));
    r.add(std::make_unique<udb_field>(u"NOTES", 0, ole_variant(notes)));
    r.add(std::make_unique<udb_field>(u"NUM", 0, ole_variant(7)));
    stream_->append_record(r);
  }
  uint64_t unstorable() const { return dynamic_cast<const dao_recordset&>(*stream_).unstorable_text_values(); }
  dao_fake::world& world() { return dao_fake::the_world(); }

  std::unique_ptr<dao_engine> engine_;
  std::unique_ptr<udb_database> db_;
  std::unique_ptr<udb_recordset> stream_;
};

}  // namespace

TEST_F(dao_access97_text_test, ValuesWithCharactersTheCodePageLacksAreCountedOncePerValue) {
  udb_check::trace_capture log;
  db_ = engine_->create_db(u"new.mdb");
  EXPECT_TRUE(log.has_line("Text is stored in code page 1252"));
  make_table();
  add(u"Grüße", u"plain");                 // all in 1252
  add(u"\u010caj", u"caf\u00e9");           // Č is not
  add(u"\u0416\u0443\u043a", u"\u03a9");   // Cyrillic and Greek: two values
  EXPECT_EQ(unstorable(), 3u);
  // A record the engine refuses is not stored, so its values do not count.
  world().fail_next("Update", 3022, u"The changes you requested to the table were not successful.");
  EXPECT_TRUE(raised_by([&] { add(u"\u010c", u"x"); }).is_dao);
  EXPECT_EQ(unstorable(), 3u);
}

TEST_F(dao_access97_text_test, ACharacterTheCodePageLacksCountsWhereverItFollowsPlainText) {
  db_ = engine_->create_db(u"new.mdb");
  make_table();
  add(u"plain text well past a few characters", u"");
  EXPECT_EQ(unstorable(), 0u);
  add(u"abcdČ", u"abcČ");       // after whole groups of four, and inside one
  add(u"abcdefghČ!", u"Čabcd");  // between plain text, and first
  add(u"café au lait", u"ok");        // in the code page, though not plain
  EXPECT_EQ(unstorable(), 4u);
}

TEST_F(dao_access97_text_test, AnExistingFileIsJudgedByTheCodePageOfItsSortOrder) {
  world().add_file(u"old.mdb").collating_order = 1049;  // Cyrillic: code page 1251
  db_ = engine_->open_db(u"old.mdb", dao_engine::mode_opened, u"");
  make_table();
  add(u"\u0416\u0443\u043a", u"\u041c\u0451\u0434");
  EXPECT_EQ(unstorable(), 0u);
  add(u"Grüße", u"ok");  // ü and ß are not in 1251
  EXPECT_EQ(unstorable(), 1u);
}

TEST(dao_access2000_text, FilesThatStoreAnyCharacterCountNothing) {
  dao_fake::reset();
  dao_fake::register_engine(CLSID_DBEngine36);
  {
    dao_engine engine(false);
    engine.set_version(dao_engine::access_2000);
    auto db = engine.create_db(u"new.mdb");
    EXPECT_EQ(dynamic_cast<dao_database&>(*db).text_code_page(), nullptr);
  }
  dao_fake::unregister_engine(CLSID_DBEngine36);
  dao_fake::reset();
}

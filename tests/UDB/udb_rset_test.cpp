#include <gtest/gtest.h>

#include "OLE/ole_excp.h"
#include "UDB/udb_rset.h"
#include "udb_check.h"

namespace {

// A destination stream that converts every row and keeps it as text.
class text_sink : public udb_recordset {
 public:
  using udb_recordset::udb_recordset;
  void append_record(udb_record& record) override {
    convert_record(record);
    std::vector<std::u16string> row;
    for (size_t i = 0; i < record.size(); ++i) row.push_back(record[i].to_wstring());
    rows.push_back(row);
  }
  void add_column(VARTYPE type, const std::u16string& name, uint32_t size = 0) {
    schema_.add(std::make_unique<t_ftd>(size, name, type, false, false, ole_variant(), 0));
  }
  std::vector<std::vector<std::u16string>> rows;
};

std::unique_ptr<udb_field> cell(const std::u16string& name, const ole_variant& value) {
  return std::make_unique<udb_field>(name, 0, value);
}

}  // namespace

TEST(UdbRecordset, ConstructorsSetNameQueryTextAndEmptyState) {
  text_sink table(u"EMP", true);
  EXPECT_EQ(table.name(), u"EMP");
  EXPECT_FALSE(table.is_query());
  EXPECT_EQ(table.record_count(), 0);
  EXPECT_TRUE(table.schema().owns_fields());
  EXPECT_TRUE(table.indexes().empty());
  // The base has no rows to hand out.
  EXPECT_TRUE(table.is_eof());
  EXPECT_EQ(table.get_item(), nullptr);

  text_sink query(u"Q1", u"SELECT * FROM EMP", false);
  EXPECT_TRUE(query.is_query());
  EXPECT_EQ(query.select_text(), u"SELECT * FROM EMP");
  EXPECT_FALSE(query.schema().owns_fields());
}

TEST(UdbRecordset, ConvertRecordMatchesValuesByPositionNotName) {
  udb_check::trace_capture log;
  text_sink sink(u"T", true);
  sink.add_column(VT_BSTR, u"LABEL", 20);
  sink.add_column(VT_I4, u"AMOUNT");
  sink.add_column(VT_R8, u"RATE");

  udb_record record;
  record.add(cell(u"AMOUNT", ole_variant(42)));       // named like the second column
  record.add(cell(u"LABEL", ole_variant(u"17")));
  record.add(cell(u"RATE", ole_variant(short(3))));
  sink.append_record(record);

  EXPECT_EQ(record[0].get_type(), VT_BSTR);
  EXPECT_EQ(record[1].get_type(), VT_I4);
  EXPECT_EQ(record[1].to_long(), 17);
  EXPECT_EQ(record[2].get_type(), VT_R8);
  EXPECT_EQ(record[2].to_double(), 3.0);
  ASSERT_EQ(sink.rows.size(), 1u);
  EXPECT_EQ(sink.rows[0][0], u"42");
  EXPECT_TRUE(log.has_line("from=AMOUNT, to=LABEL"));
  EXPECT_TRUE(log.has_line("from=LABEL, to=AMOUNT"));
}

TEST(UdbRecordset, ConvertRecordLeavesNullsAndTakesShortRecords) {
  text_sink sink(u"T", true);
  sink.add_column(VT_I4, u"A");
  sink.add_column(VT_DATE, u"B");
  sink.add_column(VT_BSTR, u"C", 5);

  udb_record record;
  record.add(cell(u"A", ole_variant()));  // a NULL stays empty whatever the column
  record.add(cell(u"B", ole_variant(u"2024-02-29 13:14:15")));
  sink.convert_record(record);
  EXPECT_EQ(record[0].get_type(), VT_EMPTY);
  EXPECT_EQ(record[1].get_type(), VT_DATE);
  EXPECT_EQ(record[1].get_system_time().wYear, 2024);
  EXPECT_EQ(record[1].get_system_time().wSecond, 15);
}

TEST(UdbRecordset, ConvertRecordPassesOnTheValueLayersRefusal) {
  text_sink sink(u"T", true);
  sink.add_column(VT_DATE, u"WHEN");
  udb_record record;
  record.add(cell(u"WHEN", ole_variant(u"2024-02-29 13:14")));  // not 19 characters
  EXPECT_THROW(sink.append_record(record), ole_cast_exception);
  EXPECT_TRUE(sink.rows.empty());
}

TEST(UdbRecordset, RecordWiderThanTheDestinationFailsAsOneRecordError) {
  udb_check::trace_capture log;
  text_sink sink(u"T", true);
  sink.add_column(VT_BSTR, u"A");
  udb_record record;
  record.add(cell(u"A", ole_variant(1)));
  record.add(cell(u"B", ole_variant(2)));
  try {
    sink.append_record(record);
    ADD_FAILURE() << "a record with more values than columns was accepted";
  } catch (const tk_mail_assertion&) {
    ADD_FAILURE() << "reported as an internal error";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level(), 0);
    EXPECT_EQ(e.text(), "The structure of data source does not conform to the destination table.");
  }
  EXPECT_EQ(record[0].get_type(), VT_I4);  // nothing was changed
  EXPECT_TRUE(sink.rows.empty());
  EXPECT_TRUE(log.has_line("The record has 2 values, the destination 1 columns"));
}

// Records added record after record through one recordset: fields found by
// name in any order and case, values of the field's own type and of others,
// the record-size limit met exactly, and nothing of one record left in the next.
#include <cstring>
#include <tuple>

#include "dao_test_support.h"
#include "jet/dao/variant_values.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "sample_files.h"

namespace {

class jd_adds_test : public jd_test {
 protected:
  void SetUp() override {
    jd_test::SetUp();
    file_ = std::make_unique<scratch_file>("adds.mdb");
    ASSERT_EQ(create(file_->path(), db_), S_OK);
  }
  void TearDown() override {
    if (db_) db_->Close();
    db_.reset();
    file_.reset();
    jd_test::TearDown();
  }

  // A table of `fields` (name, DAO type, size) appended to the database.
  void make_table(const std::u16string& name, const std::vector<std::tuple<std::u16string, SHORT, LONG>>& fields) {
    variant table_name = variant::text(name), none = variant::text(u""), zero = variant::i4(0);
    com<_TableDef> table;
    ASSERT_EQ(db_->CreateTableDef(table_name.get(), zero.get(), none.get(), none.get(), table.out()), S_OK);
    for (const auto& [field, type, size] : fields) add_field(table.get(), field, type, size);
    com<TableDefs> tables;
    ASSERT_EQ(db_->get_TableDefs(tables.out()), S_OK);
    ASSERT_EQ(tables->Append(table.get()), S_OK);
  }
  HRESULT put(Recordset* rs, const std::u16string& field, const variant& value) {
    variant item = variant::text(field);
    return rs->put_Collect(item.get(), value.get());
  }
  HRESULT put_at(Recordset* rs, LONG position, const variant& value) {
    variant item = variant::i4(position);
    return rs->put_Collect(item.get(), value.get());
  }
  // The rows of a table as texts, Null as "<null>", in stored order.
  std::vector<std::vector<std::u16string>> rows_of(const std::u16string& table, const std::vector<std::u16string>& fields) {
    std::vector<std::vector<std::u16string>> rows;
    com<Recordset> rs;
    EXPECT_EQ(open_table(db_.get(), table, dbReadOnly, rs), S_OK);
    if (!rs) return rows;
    VARIANT_BOOL eof = VARIANT_FALSE;
    for (HRESULT moved = rs->MoveFirst(); SUCCEEDED(moved) && SUCCEEDED(rs->get_EOF(&eof)) && !eof;
         moved = rs->MoveNext()) {
      std::vector<std::u16string> row;
      for (const std::u16string& field : fields) {
        variant item = variant::text(field), value;
        EXPECT_EQ(rs->get_Collect(item.get(), value.out()), S_OK);
        row.push_back(value.get().vt == VT_NULL ? u"<null>" : variant_text(value.get()));
      }
      rows.push_back(row);
    }
    rs->Close();
    return rows;
  }

  std::unique_ptr<scratch_file> file_;
  com<Database> db_;
};

// Names are found whatever their case and whatever order the fields are set
// in from one record to the next; positions and unknown names still answer
// as before.
TEST_F(jd_adds_test, fields_are_found_by_name_in_any_order_and_case) {
  make_table(u"Trio", {{u"Alpha", dbLong, 0}, {u"Beta", dbText, 20}, {u"Gamma", dbText, 20}});
  com<Recordset> rs;
  ASSERT_EQ(open_table(db_.get(), u"Trio", dbAppendOnly, rs), S_OK);

  ASSERT_EQ(rs->AddNew(), S_OK);
  ASSERT_EQ(put(rs.get(), u"Alpha", variant::i4(1)), S_OK);
  ASSERT_EQ(put(rs.get(), u"Beta", variant::text(u"b1")), S_OK);
  ASSERT_EQ(put(rs.get(), u"Gamma", variant::text(u"g1")), S_OK);
  ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();

  ASSERT_EQ(rs->AddNew(), S_OK);
  ASSERT_EQ(put(rs.get(), u"gamma", variant::text(u"g2")), S_OK);
  ASSERT_EQ(put(rs.get(), u"ALPHA", variant::i4(2)), S_OK);
  EXPECT_TRUE(FAILED(put(rs.get(), u"Delta", variant::i4(9))));
  EXPECT_EQ(last_error(), 3265);
  EXPECT_TRUE(FAILED(put(rs.get(), u"Bet", variant::text(u"x"))));
  EXPECT_EQ(last_error(), 3265);
  ASSERT_EQ(put(rs.get(), u"bEtA", variant::text(u"b2")), S_OK);
  ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();

  ASSERT_EQ(rs->AddNew(), S_OK);
  ASSERT_EQ(put_at(rs.get(), 2, variant::text(u"g3")), S_OK);
  ASSERT_EQ(put(rs.get(), u"Beta", variant::text(u"b3")), S_OK);
  ASSERT_EQ(put_at(rs.get(), 0, variant::i4(3)), S_OK);
  EXPECT_TRUE(FAILED(put_at(rs.get(), 3, variant::i4(9))));
  EXPECT_EQ(last_error(), 3265);
  ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();

  // The same field twice in one record: the last value stands.
  ASSERT_EQ(rs->AddNew(), S_OK);
  ASSERT_EQ(put(rs.get(), u"Gamma", variant::text(u"first")), S_OK);
  ASSERT_EQ(put(rs.get(), u"Gamma", variant::text(u"g4")), S_OK);
  ASSERT_EQ(put(rs.get(), u"Alpha", variant::i4(4)), S_OK);
  ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();
  ASSERT_EQ(rs->Close(), S_OK);

  const std::vector<std::vector<std::u16string>> expected = {
      {u"1", u"b1", u"g1"}, {u"2", u"b2", u"g2"}, {u"3", u"b3", u"g3"}, {u"4", u"<null>", u"g4"}};
  EXPECT_EQ(rows_of(u"Trio", {u"Alpha", u"Beta", u"Gamma"}), expected);
}

// A record starts empty, whatever the one before held: long texts and bytes
// set in one record are not seen in the next, which leaves them Null or sets
// shorter ones.
TEST_F(jd_adds_test, nothing_of_one_record_is_left_in_the_next) {
  make_table(u"Notes", {{u"Id", dbLong, 0}, {u"Title", dbText, 50}, {u"Tag", dbBinary, 8}, {u"Body", dbMemo, 0},
                        {u"Blob", dbLongBinary, 0}});
  com<Recordset> rs;
  ASSERT_EQ(open_table(db_.get(), u"Notes", dbAppendOnly, rs), S_OK);
  const std::u16string huge(100000, u'q');  // more than a buffer is kept for
  const std::vector<std::pair<std::u16string, std::u16string>> bodies = {
      {u"long title", huge}, {u"", u""}, {u"t", u"short"}, {u"<null>", u"<null>"}, {u"again", std::u16string(300, u'й')}};
  for (size_t i = 0; i < bodies.size(); ++i) {
    ASSERT_EQ(rs->AddNew(), S_OK);
    ASSERT_EQ(put(rs.get(), u"Id", variant::i4(LONG(i))), S_OK);
    const auto& [title, body] = bodies[i];
    if (title != u"<null>") {
      ASSERT_EQ(put(rs.get(), u"Title", variant::text(title)), S_OK);
      ASSERT_EQ(put(rs.get(), u"Body", variant::text(body)), S_OK);
    }
    if (i == 0) {
      ASSERT_EQ(put(rs.get(), u"Tag", variant::bytes({1, 2, 3, 4, 5, 6, 7, 8})), S_OK);
      ASSERT_EQ(put(rs.get(), u"Blob", variant::bytes(std::vector<uint8_t>(70000, 0xab))), S_OK);
    }
    if (i == 2) {
      ASSERT_EQ(put(rs.get(), u"Tag", variant::bytes({9})), S_OK);
    }
    ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();
  }
  ASSERT_EQ(rs->Close(), S_OK);

  const auto rows = rows_of(u"Notes", {u"Id", u"Title", u"Body"});
  ASSERT_EQ(rows.size(), bodies.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][1], bodies[i].first) << i;
    EXPECT_EQ(rows[i][2], bodies[i].second) << i;
  }
  com<Recordset> read;
  ASSERT_EQ(open_table(db_.get(), u"Notes", dbReadOnly, read), S_OK);
  std::vector<size_t> tag_sizes, blob_sizes;
  VARIANT_BOOL eof = VARIANT_FALSE;
  for (HRESULT moved = read->MoveFirst(); SUCCEEDED(moved) && SUCCEEDED(read->get_EOF(&eof)) && !eof;
       moved = read->MoveNext()) {
    for (auto [field, sizes] : {std::pair{u"Tag", &tag_sizes}, std::pair{u"Blob", &blob_sizes}}) {
      variant item = variant::text(field), value;
      ASSERT_EQ(read->get_Collect(item.get(), value.out()), S_OK);
      sizes->push_back(value.get().vt == VT_NULL ? 0 : value.get().parray->rgsabound[0].cElements);
    }
  }
  read->Close();
  EXPECT_EQ(tag_sizes, (std::vector<size_t>{8, 0, 1, 0, 0}));
  EXPECT_EQ(blob_sizes, (std::vector<size_t>{70000, 0, 0, 0, 0}));
  db_->Close();
  expect_file_consistent(file_->path());
}

// The record-size limit is met to the byte: text Access cannot compress
// (two bytes a character) fills a record of sixteen Text fields to exactly a
// page's room for one row; one character more is refused, and the field
// keeps what it held. Compressible text is measured as stored, so far more
// of it fits than two bytes a character would allow.
TEST_F(jd_adds_test, the_record_size_limit_is_met_exactly) {
  std::vector<std::tuple<std::u16string, SHORT, LONG>> fields;
  for (int i = 0; i < 16; ++i) fields.emplace_back(u"F" + std::u16string(1, char16_t(u'A' + i)), dbText, 255);
  make_table(u"Full", fields);
  make_table(u"Packed", fields);
  auto field = [](int i) { return u"F" + std::u16string(1, char16_t(u'A' + i)); };

  com<Recordset> rs;
  ASSERT_EQ(open_table(db_.get(), u"Full", dbAppendOnly, rs), S_OK);
  ASSERT_EQ(rs->AddNew(), S_OK);
  // 16 columns: 2 bytes of column count, 17 offsets, the variable count and
  // a 2-byte null mask leave 4040 bytes, 2020 characters, of a 4080-byte row.
  const std::u16string full(255, u'ж');
  for (int i = 0; i < 7; ++i) ASSERT_EQ(put(rs.get(), field(i), variant::text(full)), S_OK) << i;
  ASSERT_EQ(put(rs.get(), field(7), variant::text(std::u16string(234, u'ж'))), S_OK);
  ASSERT_EQ(put(rs.get(), field(7), variant::text(std::u16string(235, u'ж'))), S_OK);
  EXPECT_TRUE(FAILED(put(rs.get(), field(7), variant::text(std::u16string(236, u'ж')))));
  EXPECT_EQ(last_error(), 3047);
  EXPECT_TRUE(FAILED(put(rs.get(), field(8), variant::text(u"ж"))));
  EXPECT_EQ(last_error(), 3047);
  ASSERT_EQ(put(rs.get(), field(8), variant::text(u"")), S_OK);  // an empty text takes no room
  ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();
  // The next record starts empty: the limit counts from nothing again.
  ASSERT_EQ(rs->AddNew(), S_OK);
  for (int i = 8; i < 15; ++i) ASSERT_EQ(put(rs.get(), field(i), variant::text(full)), S_OK) << i;
  ASSERT_EQ(put(rs.get(), field(0), variant::text(std::u16string(235, u'ж'))), S_OK);
  EXPECT_TRUE(FAILED(put(rs.get(), field(15), variant::text(u"ж"))));
  ASSERT_EQ(put(rs.get(), field(0), variant::text(u"short")), S_OK);  // room again
  ASSERT_EQ(put(rs.get(), field(15), variant::text(u"ж")), S_OK);
  ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();
  ASSERT_EQ(rs->Close(), S_OK);

  const auto rows = rows_of(u"Full", {field(7), field(8), field(0), field(15)});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], std::u16string(235, u'ж'));
  EXPECT_EQ(rows[0][1], u"");
  EXPECT_EQ(rows[1][2], u"short");
  EXPECT_EQ(rows[1][3], u"ж");

  // Compressed, a full field of Latin text takes 257 bytes: fifteen fit.
  ASSERT_EQ(open_table(db_.get(), u"Packed", dbAppendOnly, rs), S_OK);
  ASSERT_EQ(rs->AddNew(), S_OK);
  const std::u16string latin(255, u'x');
  for (int i = 0; i < 15; ++i) ASSERT_EQ(put(rs.get(), field(i), variant::text(latin)), S_OK) << i;
  EXPECT_TRUE(FAILED(put(rs.get(), field(15), variant::text(latin))));
  EXPECT_EQ(last_error(), 3047);
  ASSERT_EQ(put(rs.get(), field(15), variant::text(std::u16string(92, u'ж'))), S_OK);
  EXPECT_TRUE(FAILED(put(rs.get(), field(15), variant::text(std::u16string(93, u'ж')))));
  ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();
  ASSERT_EQ(rs->Close(), S_OK);
  const auto packed = rows_of(u"Packed", {field(14), field(15)});
  ASSERT_EQ(packed.size(), 1u);
  EXPECT_EQ(packed[0][0], latin);
  EXPECT_EQ(packed[0][1], std::u16string(92, u'ж'));
  db_->Close();
  expect_file_consistent(file_->path());
}

// A value refused (too long for its field, of no type the field takes, too
// much for the record) leaves the field with what it held, whether that came
// as the field's own type or was converted.
TEST_F(jd_adds_test, a_value_refused_leaves_the_field_as_it_was) {
  make_table(u"Kept", {{u"Id", dbLong, 0}, {u"Name", dbText, 5}, {u"Amount", dbDouble, 0}, {u"Body", dbMemo, 0}});
  com<Recordset> rs;
  ASSERT_EQ(open_table(db_.get(), u"Kept", dbAppendOnly, rs), S_OK);
  auto held = [&](const std::u16string& field) {
    variant item = variant::text(field), value;
    EXPECT_EQ(rs->get_Collect(item.get(), value.out()), S_OK);
    return value.get().vt == VT_NULL ? std::u16string(u"<null>") : variant_text(value.get());
  };
  for (int record = 0; record < 2; ++record) {
    ASSERT_EQ(rs->AddNew(), S_OK);
    ASSERT_EQ(put(rs.get(), u"Name", variant::text(u"abc")), S_OK);
    EXPECT_TRUE(FAILED(put(rs.get(), u"Name", variant::text(u"abcdef"))));
    EXPECT_EQ(last_error(), 3163);
    EXPECT_EQ(held(u"Name"), u"abc");
    ASSERT_EQ(put(rs.get(), u"Name", variant::i4(12345)), S_OK);  // converted: five characters fit
    EXPECT_TRUE(FAILED(put(rs.get(), u"Name", variant::i4(123456))));
    EXPECT_EQ(held(u"Name"), u"12345");
    ASSERT_EQ(put(rs.get(), u"Id", variant::i4(7 + record)), S_OK);
    EXPECT_TRUE(FAILED(put(rs.get(), u"Id", variant::text(u"seven"))));
    EXPECT_EQ(held(u"Id"), record ? u"8" : u"7");
    ASSERT_EQ(put(rs.get(), u"Amount", variant::r8(2.5)), S_OK);
    EXPECT_TRUE(FAILED(put(rs.get(), u"Amount", variant::text(u"lots"))));
    EXPECT_EQ(held(u"Amount"), u"2.5");
    ASSERT_EQ(put(rs.get(), u"Body", variant::text(u"kept")), S_OK);
    ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();
  }
  ASSERT_EQ(rs->Close(), S_OK);
  const std::vector<std::vector<std::u16string>> expected = {{u"7", u"12345", u"2.5", u"kept"},
                                                             {u"8", u"12345", u"2.5", u"kept"}};
  EXPECT_EQ(rows_of(u"Kept", {u"Id", u"Name", u"Amount", u"Body"}), expected);
}

// A value of the field's own type becomes what DAO's conversion to that type
// gives; one of another type is converted. The form that fills a value in
// place gives the same as the one that makes a new value, also when the value
// it fills held something else.
TEST(jd_value_conversion, values_become_what_the_conversion_to_the_field_type_gives) {
  struct column_case {
    uint8_t type;
    VARTYPE natural;
  };
  const column_case columns[] = {{jet_type::boolean, VT_BOOL}, {jet_type::byte, VT_UI1},
                                 {jet_type::integer, VT_I2},   {jet_type::long_integer, VT_I4},
                                 {jet_type::currency, VT_CY},  {jet_type::single, VT_R4},
                                 {jet_type::double_, VT_R8},   {jet_type::date_time, VT_DATE},
                                 {jet_type::text, VT_BSTR},    {jet_type::memo, VT_BSTR}};
  std::vector<variant> values;
  values.push_back(variant::boolean(true));
  values.push_back(variant::i2(-32768));
  values.push_back(variant::i4(255));
  values.push_back(variant::i4(-2147483647 - 1));
  values.push_back(variant::r8(-1.25));
  values.push_back(variant::r8(4e9));
  values.push_back(variant::date(-657434.5));
  values.push_back(variant::text(u"12"));
  values.push_back(variant::text(u"ab"));
  values.push_back(variant::text(std::u16string(21, u'z')));
  values.push_back(variant::null());
  {
    variant odd_true;
    odd_true.get().vt = VT_BOOL;
    odd_true.get().boolVal = 1;  // true, though not VARIANT_TRUE
    values.push_back(std::move(odd_true));
    variant small;
    small.get().vt = VT_UI1;
    small.get().bVal = 200;
    values.push_back(std::move(small));
    variant money;
    money.get().vt = VT_CY;
    money.get().cyVal.int64 = -123456789;
    values.push_back(std::move(money));
    variant single;
    single.get().vt = VT_R4;
    single.get().fltVal = 0.1f;
    values.push_back(std::move(single));
    variant no_text;  // a null BSTR is the empty text
    no_text.get().vt = VT_BSTR;
    no_text.get().bstrVal = nullptr;
    values.push_back(std::move(no_text));
  }

  jet_value reused;
  reused.text = u"left over";
  reused.bytes = {1, 2, 3};
  for (const column_case& c : columns) {
    jet_column column;
    column.type = c.type;
    column.length = 40;  // 20 characters of text
    for (const variant& v : values) {
      const VARIANT& value = v.get();
      SCOPED_TRACE(testing::Message() << "type " << int(c.type) << ", vt " << value.vt);
      // What DAO's conversion gives: a refusal, Null, or a value.
      VARIANT changed;
      VariantInit(&changed);
      const bool is_null = value.vt == VT_NULL || value.vt == VT_EMPTY;
      const HRESULT result = is_null ? S_OK : VariantChangeType(&changed, &value, 0, c.natural);
      bool refused = FAILED(result);
      if (!refused && c.type == jet_type::text && !is_null && SysStringLen(changed.bstrVal) > 20) refused = true;

      jet_value made;
      bool made_refused = false;
      try {
        made = jd_value_from_variant(jet_format_jet4(), column, value);
      } catch (const jet_error&) {
        made_refused = true;
      }
      bool reused_refused = false;
      try {
        jd_value_from_variant(jet_format_jet4(), column, value, reused);
      } catch (const jet_error&) {
        reused_refused = true;
      }
      EXPECT_EQ(made_refused, refused);
      EXPECT_EQ(reused_refused, refused);
      if (!refused) {
        EXPECT_EQ(made.type, c.type);
        EXPECT_EQ(made.is_null, is_null);
        EXPECT_EQ(reused.type, made.type);
        EXPECT_EQ(reused.is_null, made.is_null);
        EXPECT_EQ(reused.integer, made.integer);
        EXPECT_EQ(std::memcmp(&reused.real, &made.real, sizeof made.real), 0);
        EXPECT_EQ(reused.text, made.text);
        EXPECT_EQ(reused.bytes, made.bytes);
      }
      if (!refused && !is_null) {
        switch (c.natural) {
          case VT_BOOL: EXPECT_EQ(made.integer, changed.boolVal != VARIANT_FALSE ? 1 : 0); break;
          case VT_UI1: EXPECT_EQ(made.integer, changed.bVal); break;
          case VT_I2: EXPECT_EQ(made.integer, changed.iVal); break;
          case VT_I4: EXPECT_EQ(made.integer, changed.lVal); break;
          case VT_CY: EXPECT_EQ(made.integer, changed.cyVal.int64); break;
          case VT_R4: EXPECT_EQ(made.real, double(changed.fltVal)); break;
          case VT_R8: EXPECT_EQ(made.real, changed.dblVal); break;
          case VT_DATE: EXPECT_EQ(made.real, changed.date); break;
          default:
            EXPECT_EQ(made.text, std::u16string(changed.bstrVal ? changed.bstrVal : u"", SysStringLen(changed.bstrVal)));
        }
      }
      VariantClear(&changed);
    }
  }
}

}  // namespace

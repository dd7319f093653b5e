// jetutil tables and jetutil export over a file our engine wrote: the CSV
// read back by an RFC 4180 reader of the test's own, the table list and a
// plain table against mdbtools.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/format/column_type.h"
#include "jet/format/format.h"
#include "jet/format/value.h"
#include "jet_values.h"
#include "sample_files.h"

namespace {

// Records of RFC 4180 text: every record ends in CRLF; a bare CR or LF is
// allowed only inside quotes. Fails the test on anything else.
std::vector<std::vector<std::string>> read_csv(const std::string& csv) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  size_t at = 0;
  while (at < csv.size()) {
    if (csv[at] == '"') {
      ++at;
      for (;;) {
        if (at >= csv.size()) {
          ADD_FAILURE() << "unclosed quote";
          return records;
        }
        if (csv[at] == '"') {
          if (at + 1 < csv.size() && csv[at + 1] == '"') {
            field += '"';
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        field += csv[at++];
      }
    } else {
      while (at < csv.size() && csv[at] != ',' && csv[at] != '\r' && csv[at] != '\n') {
        EXPECT_NE(csv[at], '"') << "quote in an unquoted field at " << at;
        field += csv[at++];
      }
    }
    if (at < csv.size() && csv[at] == ',') {
      record.push_back(field);
      field.clear();
      ++at;
      continue;
    }
    if (csv.compare(at, 2, "\r\n") != 0) {
      ADD_FAILURE() << "record not ended by CRLF at " << at;
      return records;
    }
    record.push_back(field);
    field.clear();
    records.push_back(record);
    record.clear();
    at += 2;
  }
  return records;
}

class jetutil_export : public ::testing::Test {
 protected:
  void SetUp() override {
    jet_create_database(file.path(), jet_format_jet4());
    jet_database db(file.path(), false);
    jet_create_table(db, u"Odd Values",
                     {{u"Id", jet_type::long_integer},
                      {u"Full, \"Name\"", jet_type::text, 50},
                      {u"When", jet_type::date_time},
                      {u"Data", jet_type::binary, 16},
                      {u"Flag", jet_type::boolean},
                      {u"Amount", jet_type::double_},
                      {u"Note", jet_type::memo}},
                     {});
    jet_create_table(db, u"Plain", {{u"K", jet_type::long_integer}, {u"Word", jet_type::text, 20}}, {});
    jet_create_table(db, u"\u00c9t\u00e9", {{u"K", jet_type::long_integer}}, {});
    {
      jet_table_writer writer(db, *db.find_table(u"Odd Values"));
      const double when = 45351 + (13 * 3600 + 5 * 60 + 7) / 86400.0;  // 2024-02-29 13:05:07
      writer.append({number(jet_type::long_integer, 1), text(jet_type::text, u"a,b"),
                     number(jet_type::date_time, 0, when), bytes(jet_type::binary, {0x00, 0xff, 0x1a}),
                     number(jet_type::boolean, 1), number(jet_type::double_, 0, -2.5),
                     text(jet_type::memo, u"say \"hi\"\r\nnext\nline")});
      writer.append({number(jet_type::long_integer, 2), jet_value::null(jet_type::text),
                     jet_value::null(jet_type::date_time), jet_value::null(jet_type::binary),
                     number(jet_type::boolean, 0), jet_value::null(jet_type::double_),
                     jet_value::null(jet_type::memo)});
      writer.append({number(jet_type::long_integer, 3), text(jet_type::text, u"Gr\u00fc\u00dfe \u0416"),
                     number(jet_type::date_time, 0, 0.0), bytes(jet_type::binary, {}), number(jet_type::boolean, 0),
                     number(jet_type::double_, 0, 0.1), text(jet_type::memo, u"")});
      writer.close();
    }
    {
      jet_table_writer writer(db, *db.find_table(u"Plain"));
      for (int i = 1; i <= 3; ++i)
        writer.append({number(jet_type::long_integer, i), text(jet_type::text, u"w" + std::u16string(size_t(i), u'x'))});
      writer.close();
    }
  }

  std::string jetutil(const std::string& args, int* status, bool with_errors = false) {
    return run(std::string(JETUTIL_PATH) + " " + args + (with_errors ? "" : " 2>/dev/null"), status);
  }

  scratch_file file{"export.mdb"};
};

}  // namespace

TEST_F(jetutil_export, awkward_values_read_back_through_an_rfc4180_reader) {
  int status = -1;
  const std::string csv = jetutil("export '" + file.path() + "' 'odd values'", &status);
  ASSERT_EQ(status, 0) << csv;
  const auto records = read_csv(csv);
  ASSERT_EQ(records.size(), 4u) << csv;
  const std::vector<std::vector<std::string>> expected = {
      {"Id", "Full, \"Name\"", "When", "Data", "Flag", "Amount", "Note"},
      {"1", "a,b", "2024-02-29 13:05:07", "0x00ff1a", "1", "-2.5", "say \"hi\"\r\nnext\nline"},
      {"2", "", "", "", "0", "", ""},
      {"3", "Gr\xc3\xbc\xc3\x9f" "e \xd0\x96", "1899-12-30 00:00:00", "0x", "0", "0.1", ""},
  };
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(records[i], expected[i]) << "record " << i;
}

TEST_F(jetutil_export, tables_in_catalog_order_as_mdbtools_lists_them_and_unknown_tables_refused) {
  int status = -1;
  const std::string tables = jetutil("tables '" + file.path() + "'", &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(tables, "Odd Values\nPlain\n\xc3\x89t\xc3\xa9\n");
  const std::string listed = run("mdb-tables -1 '" + file.path() + "' 2>/dev/null", &status);
  if (status == 0) {
    EXPECT_EQ(listed, tables);
  }

  const std::string refused = jetutil("export '" + file.path() + "' Missing", &status, true);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(refused.find("no table Missing"), std::string::npos) << refused;
  EXPECT_EQ(WEXITSTATUS((jetutil("export '" + file.path() + "'", &status), status)), 2);  // usage
}

TEST_F(jetutil_export, a_plain_table_as_mdb_export_writes_it) {
  int status = -1;
  std::string csv = jetutil("export '" + file.path() + "' Plain", &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(csv, "K,Word\r\n1,wx\r\n2,wxx\r\n3,wxxx\r\n");
  const std::string theirs = run("mdb-export -Q '" + file.path() + "' Plain 2>/dev/null", &status);
  if (status != 0) GTEST_SKIP() << "mdb-export not available";
  csv.erase(std::remove(csv.begin(), csv.end(), '\r'), csv.end());
  EXPECT_EQ(theirs, csv);
}

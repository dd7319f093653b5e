// Text index keys in Access's "General" sort orders. Expected bytes below are
// worked out by hand from the code lists (one line per code unit) and the
// key layout; the samples test compares with the index pages Access wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/index/index_key.h"
#include "jet/table/cursor.h"
#include "jet/tool/check.h"
#include "sample_files.h"

namespace {

using bytes = std::vector<uint8_t>;

jet_column text_column(uint8_t sort_version = 0, uint16_t sort_order = 0x409) {
  jet_column column;
  column.type = jet_type::text;
  column.sort_order = sort_order;
  column.sort_version = sort_version;
  return column;
}

jet_value text(const std::u16string& value) {
  jet_value v = jet_value::null(jet_type::text);
  v.is_null = false;
  v.text = value;
  return v;
}

bytes key_of(const std::u16string& value, bool ascending = true, uint8_t sort_version = 0) {
  bytes key;
  EXPECT_TRUE(jet_append_key(key, text_column(sort_version), text(value), ascending));
  return key;
}

}  // namespace

TEST(jet_ikey, plain_accented_and_unprintable_characters_take_their_sections) {
  // Letters ignore case: O 64, B 4c, R 69, I 59, E 51, N 62, a/A 4a, b 4c.
  EXPECT_EQ(key_of(u"Ab"), key_of(u"aB"));
  EXPECT_EQ(key_of(u"ab"), (bytes{0x7f, 0x4a, 0x4c, 0x01, 0x00}));
  // The apostrophe has no inline code: it goes to the unprintable section
  // with its position 1 as 0x8000 | (7 + 4 * 1).
  EXPECT_EQ(key_of(u"O'Brien"),
            (bytes{0x7f, 0x64, 0x4c, 0x69, 0x59, 0x51, 0x62, 0x01, 0x01, 0x01, 0x01, 0x80, 0x0b, 0x06, 0x80, 0x00}));
  // The hyphen (code 82) likewise, at position 4 of "Jean-Luc".
  EXPECT_EQ(key_of(u"Jean-Luc"), (bytes{0x7f, 0x5b, 0x51, 0x4a, 0x62, 0x5e, 0x6f, 0x4d, 0x01, 0x01, 0x01, 0x01, 0x80,
                                        0x17, 0x06, 0x82, 0x00}));
  // ü is u (6f) inline plus extra 13; Z is 78, r 69, i 59, c 4d, h 57. The
  // plain Z before it takes the filler 02, those after it nothing.
  EXPECT_EQ(key_of(u"Z\u00fcrich"), (bytes{0x7f, 0x78, 0x6f, 0x69, 0x59, 0x4d, 0x57, 0x01, 0x02, 0x13, 0x00}));
  // An accent as a combining character adds to the previous extra byte:
  // a + U+0301 (modifier 0c) gives the extra byte 02 + 0c, which is á's 0e.
  EXPECT_EQ(key_of(u"a\u0301"), key_of(u"\u00e1"));
  EXPECT_EQ(key_of(u"\u00e1"), (bytes{0x7f, 0x4a, 0x01, 0x0e, 0x00}));
  // Cyrillic: а and А share 79 2f, б is 79 30.
  EXPECT_EQ(key_of(u"\u0430\u0431"), (bytes{0x7f, 0x79, 0x2f, 0x79, 0x30, 0x01, 0x00}));
  EXPECT_EQ(key_of(u"\u0410\u0431"), key_of(u"\u0430\u0431"));
  // U+0000 is left out altogether; U+0001 is unprintable (03) at position 0,
  // after an accented character it counts the extra bytes instead.
  EXPECT_EQ(key_of(std::u16string(u"a\0b", 3)), key_of(u"ab"));
  EXPECT_EQ(key_of(u"\u0001"), (bytes{0x7f, 0x01, 0x01, 0x01, 0x01, 0x80, 0x07, 0x06, 0x03, 0x00}));
  EXPECT_EQ(key_of(u"\u00e1b\u0001"),
            (bytes{0x7f, 0x4a, 0x4c, 0x01, 0x0e, 0x01, 0x01, 0x01, 0x80, 0x0f, 0x06, 0x03, 0x00}));
}

TEST(jet_ikey, flagged_characters_pack_three_flags_a_byte) {
  // U+3041 is 7f 02 with flag 2, U+3042 7f 02 with flag 3: trailing 3s go,
  // the others fill a byte from its high pair down, then a fixed tail.
  EXPECT_EQ(key_of(u"\u3041"),
            (bytes{0x7f, 0x7f, 0x02, 0x01, 0x01, 0x01, 0xa0, 0xff, 0x02, 0x80, 0xff, 0x80, 0x00}));
  EXPECT_EQ(key_of(u"\u3042"), (bytes{0x7f, 0x7f, 0x02, 0x01, 0x01, 0x01, 0xff, 0x02, 0x80, 0xff, 0x80, 0x00}));
  bytes four = key_of(u"\u3042\u3041\u3041\u3041");
  bytes expected_flags = {0x01, 0x01, 0x01, 0xba, 0xa0, 0xff, 0x02, 0x80, 0xff, 0x80, 0x00};
  ASSERT_GT(four.size(), expected_flags.size());
  EXPECT_TRUE(std::equal(expected_flags.begin(), expected_flags.end(), four.end() - expected_flags.size()));
  // Flags followed by an unprintable character: one more ff, then 01.
  bytes both = key_of(u"\u3041'");
  bytes tail = {0xa0, 0xff, 0x02, 0x80, 0xff, 0x80, 0xff, 0x01, 0x80, 0x0b, 0x06, 0x80, 0x00};
  ASSERT_GT(both.size(), tail.size());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), both.end() - tail.size()));
}

TEST(jet_ikey, keys_sort_as_access_orders_text) {
  std::vector<std::u16string> ordered = {u"", u"a", u"\u00e1", u"ab", u"b", u"Jean-Luc", u"Jeanne", u"z", u"\u0430"};
  for (size_t i = 0; i + 1 < ordered.size(); ++i) {
    EXPECT_LT(key_of(ordered[i]), key_of(ordered[i + 1])) << i;
    // Descending keys invert the bytes and keep one 00 at the end.
    bytes high = key_of(ordered[i], false), low = key_of(ordered[i + 1], false);
    EXPECT_GT(high, low) << i;
    EXPECT_EQ(high.back(), 0x00);
  }
  EXPECT_EQ(key_of(u"a", false), (bytes{0x80, 0xb5, 0xfe, 0xff, 0x00}));
  bytes nul;
  ASSERT_TRUE(jet_append_key(nul, text_column(), jet_value::null(jet_type::text), false));
  EXPECT_EQ(nul, bytes{0xff});
}

TEST(jet_ikey, versions_limits_and_refusals) {
  // The newer General order has other codes: A is 0e 02 there (the list drops the leading zero).
  EXPECT_EQ(key_of(u"A", true, 1), (bytes{0x7f, 0x0e, 0x02, 0x01, 0x00}));
  EXPECT_NE(key_of(u"\u0430", true, 1), key_of(u"\u0430", true, 0));
  // Only the first 255 code units of a value are part of its key.
  std::u16string long_text(300, u'x');
  jet_column memo = text_column();
  memo.type = jet_type::memo;
  bytes whole, cut;
  ASSERT_TRUE(jet_append_key(whole, memo, text(long_text), true));
  ASSERT_TRUE(jet_append_key(cut, memo, text(long_text.substr(0, 255)), true));
  EXPECT_EQ(whole, cut);
  EXPECT_NE(whole, key_of(long_text.substr(0, 254)));
  // Spaces ending the value are left out; other spaces and trailing tabs count.
  EXPECT_EQ(key_of(u"ab  "), key_of(u"ab"));
  EXPECT_EQ(key_of(u" "), key_of(u""));
  EXPECT_EQ(key_of(u" ab"), (bytes{0x7f, 0x07, 0x4a, 0x4c, 0x01, 0x00}));
  EXPECT_NE(key_of(u"ab\t"), key_of(u"ab"));
  // Spaces are dropped after the cut at 255: 254 letters and a space key as 254 letters.
  EXPECT_EQ(key_of(std::u16string(254, u'x') + u" y"), key_of(std::u16string(254, u'x')));
  // A surrogate pair: the high half is d83d - 10238 = b03f, the low one
  // de00 - 9988 = b6fc (512 units into its block), each with extra byte 3f.
  EXPECT_EQ(key_of(u"a\U0001F600b"),
            (bytes{0x7f, 0x4a, 0xb0, 0x3f, 0xb6, 0xfc, 0x4c, 0x01, 0x02, 0x3f, 0x3f, 0x00}));
  // No codes are known for other sort orders or versions.
  bytes refused;
  EXPECT_FALSE(jet_append_key(refused, text_column(0, 0x419), text(u"a"), true));
  EXPECT_FALSE(jet_append_key(refused, text_column(7), text(u"a"), true));
}

namespace {

// The kinds of the code units in one value, as a set of bits.
unsigned kinds_in(const std::u16string& value) {
  unsigned kinds = 0;
  for (char16_t unit : value) kinds |= 1u << (jet_general_legacy_codes.units[unit] & 0xf);
  return kinds;
}

}  // namespace

TEST(jet_ikey, access_samples_rebuild_every_text_index) {
  auto files = jet4_sample_files();
  if (files.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  std::map<jet_text_kind, int> seen;  // indexed values holding each kind
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    jet_database db(file, true);
    jet_check_report report = jet_check_database(db);
    EXPECT_EQ(report.indexes_unverified, 0);
    EXPECT_TRUE(report.problems.empty()) << report.problems[0];  // stale row counts are notes
    for (const jet_catalog_entry* table : db.tables()) {
      jet_table_def def = db.table_def(*table);
      std::vector<bool> indexed(def.columns.size(), false);
      for (const jet_real_index& index : def.real_indexes)
        for (const jet_index_column& key_column : index.columns)
          for (size_t at = 0; at < def.columns.size(); ++at)
            if (def.columns[at].number == key_column.column_number &&
                (def.columns[at].type == jet_type::text || def.columns[at].type == jet_type::memo)) {
              indexed[at] = true;
            }
      jet_table_cursor cursor(db.pager(), def);
      std::vector<jet_value> row;
      while (cursor.next(row))
        for (size_t at = 0; at < row.size(); ++at)
          if (indexed[at] && !row[at].is_null)
            for (int kind = 0; kind < 8; ++kind)
              if (kinds_in(row[at].text) & (1u << kind)) ++seen[jet_text_kind(kind)];
    }
  }
  // The samples hold plain text (catalog names among it) and "-1", whose
  // hyphen goes to the unprintable section.
  EXPECT_GT(seen[jet_text_kind::simple], 300);
  EXPECT_GE(seen[jet_text_kind::unprintable], 2);
}

namespace {

std::string run_quietly(const std::string& command, int& status) {
  std::string output;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) {
    status = -1;
    return output;
  }
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  status = ::pclose(pipe);
  return output;
}

const std::vector<std::u16string> awkward_names = {
    u"Z\u00fcrich", u"Zurich", u"O'Brien", u"OBrien", u"Jean-Luc", u"Jean Luc", u"\u041c\u043e\u0441\u043a\u0432\u0430",
    u"\u6771\u4eac", u"\u3042\u3041", u"tab\there", u"\U0001F600 smile", u"\u00c5ngstr\u00f6m", u"na\u00efve-caf\u00e9's", u"\u00e1"};

}  // namespace

TEST(jet_ikey, written_files_keep_awkward_text_keys_consistent) {
  scratch_file file("keys.mdb");
  jet_create_database(file.path());
  {
    jet_database db(file.path(), false);
    jet_new_index primary{u"PrimaryKey", {{u"Name", true}}, true, true};
    jet_new_index backwards{u"ByCity", {{u"City", false}, {u"Name", true}}};
    jet_create_table(db, u"Caf\u00e9-Kunden",
                     {{u"Name", jet_type::text, 50}, {u"City", jet_type::text, 50}, {u"Note", jet_type::memo}},
                     {primary, backwards});
    jet_table_writer writer(db, *db.find_table(u"Caf\u00e9-Kunden"));
    for (size_t i = 0; i < awkward_names.size(); ++i) {
      std::vector<jet_value> row = {text(awkward_names[i]), text(awkward_names[awkward_names.size() - 1 - i]),
                                    text(u"row")};
      writer.append(row);
    }
    // a + combining acute makes the same key as the precomposed á.
    try {
      writer.append({text(u"a\u0301"), text(u"x"), text(u"dup")});
      ADD_FAILURE() << "a duplicate key was accepted";
    } catch (const jet_error& error) {
      EXPECT_EQ(error.number(), 3022);
    }
  }
  jet_database db(file.path(), true);
  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_EQ(report.indexes_unverified, 0);
  std::vector<std::u16string> back;
  jet_table_def def = db.table_def(*db.find_table(u"Caf\u00e9-Kunden"));
  jet_table_cursor cursor(db.pager(), def);
  std::vector<jet_value> row;
  while (cursor.next(row)) back.push_back(row[0].text);
  EXPECT_EQ(back, awkward_names);

  // Independent readers take the file as well.
  int status = 0;
  std::string output = run_quietly("command -v mdb-export", status);
  if (status == 0) {
    output = run_quietly("mdb-export '" + file.path() + "' 'Caf\xc3\xa9-Kunden'", status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("O'Brien"), std::string::npos) << output;
    EXPECT_NE(output.find("Z\xc3\xbcrich"), std::string::npos) << output;
  }
  std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
  run_quietly("command -v node", status);
  if (status == 0 && std::filesystem::exists(readers + "/node_modules/mdb-reader")) {
    scratch_file dump("keys.json");
    output = run_quietly(std::string(JETUTIL_PATH) + " dump '" + file.path() + "' > '" + dump.path() + "'", status);
    ASSERT_EQ(status, 0) << output;
    output = run_quietly("node '" + readers + "/compare.mjs' '" + dump.path() + "' '" + file.path() + "'", status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("agree:"), std::string::npos) << output;
  }
}

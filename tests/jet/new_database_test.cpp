// A database created from nothing against emptyV2000.mdb, made by Access
// 2000: the same system tables, columns, indexes, catalog rows, properties
// and permission rows (page numbers and dates aside); and every reader
// accepts it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/format/error.h"
#include "jet/format/header.h"
#include "jet/format/format.h"
#include "jet/format/value.h"
#include "jet/table/cursor.h"
#include "jet/tool/check.h"
#include "platform/codepage.h"
#include "sample_files.h"

namespace {

std::string run(const std::string& command, int* status) {
  std::string output;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1").c_str(), "r"), ::pclose);
  std::array<char, 4096> buffer;
  size_t got;
  while (pipe && (got = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) output.append(buffer.data(), got);
  *status = pipe ? ::pclose(pipe.release()) : -1;
  return output;
}

std::string utf8(const std::u16string& text) { return platform::utf16_to_utf8(text); }

// A table's shape: columns and indexes, without page numbers.
std::vector<std::string> shape(const jet_database& db, const jet_catalog_entry& table) {
  std::vector<std::string> lines;
  jet_table_def def = db.table_def(table);
  lines.push_back("type " + std::to_string(def.table_type) + " max " + std::to_string(def.max_columns) + " var " +
                  std::to_string(def.var_column_count));
  for (const jet_column& c : def.columns)
    lines.push_back("column " + utf8(c.name) + " #" + std::to_string(c.number) + " type " + std::to_string(c.type) +
                    " len " + std::to_string(c.length) + " flags " + std::to_string(c.flags) + " ext " +
                    std::to_string(c.ext_flags) + " var " + std::to_string(c.var_index) + " fixed " +
                    // Access leaves stray bytes in the fixed offset of variable columns.
                    std::to_string(c.is_fixed() ? c.fixed_offset : 0) + " stored " + std::to_string(c.stored_position));
  for (const jet_logical_index& index : def.indexes) {
    const jet_real_index& real = def.real_indexes[index.real_index];
    std::string line = "index " + utf8(index.name) + " #" + std::to_string(index.number) + " kind " +
                       std::to_string(index.type) + " flags " + std::to_string(real.flags) + " keys " +
                       // MSysAccessObjects holds Access's own data, which we do not write.
                       (utf8(table.name) == "MSysAccessObjects" ? "-" : std::to_string(real.row_count)) + " on";
    for (const jet_index_column& key : real.columns)
      line += " " + std::to_string(key.column_number) + (key.ascending ? "+" : "-");
    lines.push_back(line);
  }
  lines.push_back("column maps " + std::to_string(def.column_maps.size()));
  return lines;
}

// Catalog rows with table ids replaced by table names.
std::vector<std::string> catalog_lines(const jet_database& db) {
  std::map<int32_t, std::string> table_ids;
  for (const jet_catalog_entry& entry : db.catalog())
    if (entry.is_local_table()) table_ids[entry.id] = "<" + utf8(entry.name) + ">";
  auto id_text = [&](int32_t id) { return table_ids.count(id) ? table_ids[id] : std::to_string(id); };
  std::vector<std::string> lines;
  for (const jet_catalog_entry& entry : db.catalog()) {
    std::string line = id_text(entry.id) + " parent " + std::to_string(entry.parent_id) + " " + utf8(entry.name) +
                       " type " + std::to_string(entry.type) + " flags " + std::to_string(entry.flags);
    for (const jet_property_block& block : db.properties(entry))
      for (const jet_property& p : block.properties)
        line += " " + utf8(p.name) + "=" + std::to_string(p.type) + ":" + jet_hex(p.value);
    lines.push_back(line);
  }
  jet_table_def aces = db.table_def(*db.find_table(u"MSysACEs"));
  jet_table_cursor cursor(db.pager(), aces);
  std::vector<jet_value> row;
  while (cursor.next(row))
    lines.push_back("ace " + id_text(int32_t(row[0].integer)) + " " + jet_hex(row[1].bytes) + " " +
                    std::to_string(row[2].integer) + " " + std::to_string(row[3].integer));
  return lines;
}

}  // namespace

TEST(jet_new_database, matches_the_database_access_2000_creates) {
  std::string sample = jet4_sample("emptyV2000.mdb");
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "emptyV2000.mdb not available";
  scratch_file file("new.mdb");
  jet_create_database(file.path());
  jet_database ours(file.path(), true);
  jet_database access(sample, true);

  EXPECT_EQ(ours.header().version, access.header().version);
  EXPECT_EQ(ours.header().code_page, access.header().code_page);
  EXPECT_EQ(ours.header().sort_order, access.header().sort_order);
  EXPECT_GT(ours.header().create_date, 40000.0);  // today, not 2004

  std::vector<std::string> our_tables, their_tables;
  for (const jet_catalog_entry* table : ours.tables()) our_tables.push_back(utf8(table->name));
  for (const jet_catalog_entry* table : access.tables()) their_tables.push_back(utf8(table->name));
  ASSERT_EQ(our_tables, their_tables);
  for (const jet_catalog_entry* table : access.tables()) {
    SCOPED_TRACE(utf8(table->name));
    EXPECT_EQ(shape(ours, *ours.find_table(table->name)), shape(access, *table));
    EXPECT_EQ(ours.find_table(table->name)->dao_attributes(), table->dao_attributes());
  }
  std::vector<std::string> our_catalog = catalog_lines(ours), their_catalog = catalog_lines(access);
  ASSERT_EQ(our_catalog.size(), their_catalog.size());
  for (size_t i = 0; i < our_catalog.size(); ++i) EXPECT_EQ(our_catalog[i], their_catalog[i]);

  jet_check_report report = jet_check_database(ours);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_EQ(report.indexes_verified, 8);
}

TEST(jet_new_database, every_reader_accepts_it_and_it_is_never_made_twice) {
  scratch_file file("made.mdb");
  int status;
  std::string made = run(std::string(JETUTIL_PATH) + " create '" + file.path() + "' --format 2000", &status);
  ASSERT_EQ(status, 0) << made;
  EXPECT_EQ(run("mdb-ver '" + file.path() + "'", &status), "JET4\n");
  EXPECT_EQ(run("mdb-tables -1 '" + file.path() + "'", &status), "");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(run("mdb-count '" + file.path() + "' MSysACEs", &status), "52\n");
  std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
  if (std::filesystem::exists(readers + "/node_modules/mdb-reader")) {
    scratch_file dump("dump.json");
    run(std::string(JETUTIL_PATH) + " dump '" + file.path() + "' > '" + dump.path() + "'", &status);
    ASSERT_EQ(status, 0);
    std::string compared = run("node '" + readers + "/compare.mjs' '" + dump.path() + "' '" + file.path() + "'", &status);
    EXPECT_EQ(status, 0) << compared;
  }
  run(std::string(JETUTIL_PATH) + " check '" + file.path() + "'", &status);
  EXPECT_EQ(status, 0);
  // A second create must not touch the existing file.
  std::vector<uint8_t> before = read_whole_file(file.path());
  try {
    jet_create_database(file.path());
    ADD_FAILURE() << "an existing database was created again";
  } catch (const jet_error& error) {
    EXPECT_EQ(error.number(), 3204);
  }
  EXPECT_EQ(read_whole_file(file.path()), before);
  scratch_file missing_dir("none");
  EXPECT_THROW(jet_create_database(missing_dir.path() + "/x/y.mdb"), jet_error);
}

TEST(jet_properties, every_sample_property_block_is_written_again_byte_for_byte) {
  auto files = access_sample_files();
  if (files.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  int compared = 0;
  for (const std::string& file : files) {
    jet_database db(file, true);
    for (const jet_catalog_entry& entry : db.catalog()) {
      if (entry.lv_prop.empty()) continue;
      EXPECT_EQ(jet_hex(jet_encode_properties(db.format(), db.properties(entry),
                                          jet_decode_property_names(entry.lv_prop, db.format(), file))),
                jet_hex(entry.lv_prop)) << file << " " << utf8(entry.name);
      ++compared;
    }
  }
  EXPECT_GT(compared, 80);
}

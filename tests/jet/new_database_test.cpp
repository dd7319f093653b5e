// A database created from nothing against emptyV2000.mdb, made by Access
// 2000: the same system tables, columns, indexes, catalog rows, properties
// and permission rows (page numbers and dates aside); and every reader
// accepts it.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

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

std::string utf8(const std::u16string& text) { return platform::utf16_to_utf8(text); }

// A table's shape: columns and indexes, without page numbers; with each
// index's count of distinct keys when both files hold the same rows.
std::vector<std::string> shape(const jet_database& db, const jet_catalog_entry& table, bool key_counts = true) {
  std::vector<std::string> lines;
  jet_table_def def = db.table_def(table);
  lines.push_back("type " + std::to_string(def.table_type) + " max " + std::to_string(def.max_columns) + " var " +
                  std::to_string(def.var_column_count));
  for (const jet_column& c : def.columns)
    lines.push_back("column " + utf8(c.name) + " #" + std::to_string(c.number) + " type " + std::to_string(c.type) +
                    " len " + std::to_string(c.length) + " flags " + std::to_string(c.flags) + " ext " +
                    std::to_string(c.ext_flags) + " var " + std::to_string(c.var_index) + " fixed " +
                    // Access leaves stray bytes in the fixed offset of variable columns.
                    std::to_string(c.is_fixed() ? c.fixed_offset : 0) + " stored " + std::to_string(c.stored_position) +
                    " index " + std::to_string(c.index) + " sort " + std::to_string(c.sort_order) + " code page " +
                    std::to_string(c.code_page));
  for (const jet_logical_index& index : def.indexes) {
    const jet_real_index& real = def.real_indexes[index.real_index];
    std::string line = "index " + utf8(index.name) + " #" + std::to_string(index.number) + " kind " +
                       std::to_string(index.type) + " flags " + std::to_string(real.flags) + " keys " +
                       // MSysAccessObjects holds Access's own data, which we do not write.
                       (utf8(table.name) == "MSysAccessObjects" || !key_counts ? "-" : std::to_string(real.row_count)) +
                       " on";
    for (const jet_index_column& key : real.columns)
      line += " " + std::to_string(key.column_number) + (key.ascending ? "+" : "-");
    lines.push_back(line);
  }
  lines.push_back("column maps " + std::to_string(def.column_maps.size()));
  return lines;
}

// Catalog rows (table ids replaced by table names, with owner and
// properties) and permission rows, of the objects `wanted` accepts. With
// `any_admins`, the long security id of an Admins group (one per
// workgroup) is shown as "Admins".
std::vector<std::string> catalog_lines(const jet_database& db,
                                       const std::function<bool(const std::u16string&)>& wanted = nullptr,
                                       bool any_admins = false) {
  auto sid_text = [&](const std::vector<uint8_t>& sid) { return any_admins && sid.size() > 16 ? "Admins" : jet_hex(sid); };
  std::map<int32_t, std::string> table_ids;
  std::map<int32_t, std::u16string> names;
  for (const jet_catalog_entry& entry : db.catalog()) {
    if (entry.is_local_table()) table_ids[entry.id] = "<" + utf8(entry.name) + ">";
    names[entry.id] = entry.name;
  }
  auto id_text = [&](int32_t id) { return table_ids.count(id) ? table_ids[id] : std::to_string(id); };
  std::vector<std::string> lines;
  jet_table_def catalog = db.table_def(*db.find_table(u"MSysObjects"));
  jet_table_cursor rows(db.pager(), catalog);
  std::vector<jet_value> row;
  for (const jet_catalog_entry& entry : db.catalog()) {
    if (!rows.next(row)) ADD_FAILURE() << "the catalog has fewer rows than entries";
    if (wanted && !wanted(entry.name)) continue;
    std::string line = id_text(entry.id) + " parent " + std::to_string(entry.parent_id) + " " + utf8(entry.name) +
                       " type " + std::to_string(entry.type) + " flags " + std::to_string(entry.flags) + " owner " +
                       jet_hex(row[6].bytes);
    for (const jet_property_block& block : db.properties(entry))
      for (const jet_property& p : block.properties)
        line += " " + utf8(p.name) + "=" + std::to_string(p.type) + ":" + jet_hex(p.value) + (p.ddl ? ":ddl" : "");
    lines.push_back(line);
  }
  jet_table_def aces = db.table_def(*db.find_table(u"MSysACEs"));
  jet_table_cursor cursor(db.pager(), aces);
  while (cursor.next(row)) {
    if (wanted && !wanted(names[int32_t(row[0].integer)])) continue;
    lines.push_back("ace " + id_text(int32_t(row[0].integer)) + " " + sid_text(row[1].bytes) + " " +
                    std::to_string(row[2].integer) + " " + std::to_string(row[3].integer));
  }
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
  EXPECT_TRUE(report.notes.empty()) << report.notes[0];  // our writers keep row counts exact
  EXPECT_EQ(report.indexes_verified, 8);
}

namespace {

// The six Access 97 samples that begin alike: the engine's part of a new file.
const char* const access97_like_new[] = {"compIndexTestV1997.mdb", "delTestV1997.mdb", "overflowTestV1997.mdb",
                                         "readerTestV1997.mdb", "test2V1997.mdb", "testV1997.mdb"};
// What Access adds to a file, or only its later versions write; not ours.
bool written_by_the_engine(const std::u16string& name) {
  return name != u"DataAccessPages" && name != u"MSysModules" && name != u"MSysModules2";
}

std::vector<uint8_t> unmasked_header(const std::string& path) {
  std::vector<uint8_t> page = read_whole_file(path);
  page.resize(2048);
  jet_rc4_mask(jet_const::hdr_mask_key, &page[jet_const::hdr_mask_offset], jet_format_jet3().header.mask_length);
  return page;
}

}  // namespace

TEST(jet_new_database, access_97_holds_the_engine_part_of_the_files_access_97_makes) {
  const std::string first = jet3_sample(access97_like_new[0]);
  if (!std::filesystem::exists(first)) GTEST_SKIP() << "the Access 97 samples are not available";
  scratch_file file("new97.mdb");
  jet_create_database(file.path(), jet_format_jet3());
  jet_database ours(file.path(), true);
  EXPECT_EQ(ours.header().version, 0);
  EXPECT_EQ(ours.format().page_size, 2048u);
  EXPECT_EQ(ours.header().code_page, 1252);
  EXPECT_EQ(ours.header().sort_order, 0x409);
  EXPECT_EQ(ours.header().create_date, 0.0);  // Jet 3 keeps no creation date
  EXPECT_EQ(ours.pager().page_count() * 2048u, std::filesystem::file_size(file.path()));

  // Page 0 is compIndexTestV1997's but for the pair of values at 0x600,
  // which differs between the samples (0x0101, 0x0100 in testIndexCodesV1997
  // and in every Jet 4 file).
  std::vector<uint8_t> our_header = unmasked_header(file.path()), their_header = unmasked_header(first);
  EXPECT_EQ(jet_hex(std::vector<uint8_t>(our_header.begin() + 0x600, our_header.begin() + 0x604)), "01010001");
  for (size_t at = 0; at < 2048; ++at) {
    if (at >= 0x600 && at < 0x604) continue;
    EXPECT_EQ(our_header[at], their_header[at]) << "page 0 offset " << at;
  }

  std::vector<std::string> our_tables;
  for (const jet_catalog_entry* table : ours.tables()) our_tables.push_back(utf8(table->name));
  EXPECT_EQ(our_tables, (std::vector<std::string>{"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}));
  std::vector<std::string> our_catalog = catalog_lines(ours, nullptr, true);
  ASSERT_EQ(our_catalog.size(), 15u + 45u);
  int compared = 0;
  for (const char* name : access97_like_new) {
    SCOPED_TRACE(name);
    const std::string sample = jet3_sample(name);
    if (!std::filesystem::exists(sample)) continue;
    ++compared;
    jet_database access(sample, true);
    for (const jet_catalog_entry* table : ours.tables()) {
      SCOPED_TRACE(utf8(table->name));
      // Rows differ: the samples hold more objects, so other key counts.
      EXPECT_EQ(shape(ours, *table, false), shape(access, *access.find_table(table->name), false));
    }
    // The objects we write, their owners, properties and permissions, in
    // Access's order; the samples' own tables aside.
    std::vector<std::string> their_catalog = catalog_lines(
        access,
        [&](const std::u16string& object) {
          const jet_catalog_entry* table = access.find_table(object);
          return written_by_the_engine(object) && (!table || table->tdef_page() <= 5);
        },
        true);
    // SummaryInfo: Access puts the file's title and the user's name there;
    // we list the names without values.
    for (std::string& line : their_catalog)
      if (line.find(" SummaryInfo ") != std::string::npos) line = line.substr(0, line.find(" Title="));
    ASSERT_EQ(our_catalog.size(), their_catalog.size());
    for (size_t i = 0; i < our_catalog.size(); ++i) {
      // The version of Access that saved a sample last added properties to
      // MSysDb and may mark ReplicateProject as data definition: ours must
      // be among its own, with the same values.
      const std::string& line = our_catalog[i];
      size_t properties = line.find(' ', line.find(" owner ") + 7);
      if (properties == std::string::npos || line.compare(0, properties, their_catalog[i], 0, properties) != 0) {
        EXPECT_EQ(line, their_catalog[i]);
        continue;
      }
      for (size_t at = properties; at < line.size();) {
        size_t end = line.find(' ', at + 1);
        std::string property = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
        EXPECT_NE(their_catalog[i].find(property), std::string::npos) << property << " not in " << their_catalog[i];
        at = end == std::string::npos ? line.size() : end;
      }
    }
    auto summary_names = [](const jet_database& db) {
      for (const jet_catalog_entry& entry : db.catalog())
        if (entry.name == u"SummaryInfo") return jet_decode_property_names(entry.lv_prop, db.format(), db.path());
      return std::vector<std::u16string>{};
    };
    EXPECT_EQ(summary_names(ours), summary_names(access));
  }
  EXPECT_EQ(compared, 6);
  // Our Admins group is that of five of the six.
  auto admins = [](const jet_database& db) {
    std::set<std::string> ids;
    jet_table_def aces = db.table_def(*db.find_table(u"MSysACEs"));
    jet_table_cursor cursor(db.pager(), aces);
    std::vector<jet_value> row;
    while (cursor.next(row))
      if (row[1].bytes.size() > 16) ids.insert(jet_hex(row[1].bytes));
    return ids;
  };
  EXPECT_EQ(admins(ours), admins(jet_database(first, true)));

  jet_check_report report = jet_check_database(ours);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_TRUE(report.notes.empty()) << report.notes[0];  // our writers keep row counts exact
  EXPECT_EQ(report.indexes_verified, 7);
}

const jet_format& access97_format() { return jet_format_jet3(); }

struct new_file_case {
  const char* option;        // jetutil create --format
  const jet_format& (*format)();
  const char* version;       // as mdb-ver names it
  const char* permissions;   // MSysACEs rows
};

std::ostream& operator<<(std::ostream& out, const new_file_case& c) { return out << "Access" << c.option; }

class jet_new_file : public ::testing::TestWithParam<new_file_case> {};

INSTANTIATE_TEST_SUITE_P(versions, jet_new_file,
                         ::testing::Values(new_file_case{"2000", jet_format_jet4, "JET4", "52"},
                                           new_file_case{"97", access97_format, "JET3", "45"}),
                         [](const auto& info) { return std::string("Access") + info.param.option; });

TEST_P(jet_new_file, every_reader_accepts_it_and_it_is_never_made_twice) {
  scratch_file file("made.mdb");
  int status;
  std::string made = run(std::string(JETUTIL_PATH) + " create '" + file.path() + "' --format " + GetParam().option, &status);
  ASSERT_EQ(status, 0) << made;
  EXPECT_EQ(run("mdb-ver '" + file.path() + "'", &status), std::string(GetParam().version) + "\n");
  EXPECT_EQ(run("mdb-tables -1 '" + file.path() + "'", &status), "");
  EXPECT_EQ(status, 0);
  std::string system_tables = run("mdb-tables -S -1 '" + file.path() + "'", &status);
  EXPECT_EQ(system_tables.rfind("MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n", 0), 0u) << system_tables;
  EXPECT_EQ(run("mdb-count '" + file.path() + "' MSysACEs", &status), std::string(GetParam().permissions) + "\n");
  std::string exported = run("mdb-export '" + file.path() + "' MSysObjects", &status);
  EXPECT_EQ(status, 0) << exported;
  EXPECT_NE(exported.find("\"MSysRelationships\""), std::string::npos) << exported;
  std::string schema = run("mdb-schema '" + file.path() + "'", &status);
  EXPECT_EQ(status, 0) << schema;
  std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
  if (std::filesystem::exists(readers + "/node_modules/mdb-reader")) {
    scratch_file dump("dump.json");
    run(std::string(JETUTIL_PATH) + " dump '" + file.path() + "' > '" + dump.path() + "'", &status);
    ASSERT_EQ(status, 0);
    std::string compared = run("node '" + readers + "/compare.mjs' '" + dump.path() + "' '" + file.path() + "'", &status);
    EXPECT_EQ(status, 0) << compared;
  }
  std::string checked = run(std::string(JETUTIL_PATH) + " check '" + file.path() + "'", &status);
  EXPECT_EQ(status, 0) << checked;
  // A second create must not touch the existing file.
  std::vector<uint8_t> before = read_whole_file(file.path());
  try {
    jet_create_database(file.path(), GetParam().format());
    ADD_FAILURE() << "an existing database was created again";
  } catch (const jet_error& error) {
    EXPECT_EQ(error.number(), 3204);
  }
  EXPECT_EQ(read_whole_file(file.path()), before);
  scratch_file missing_dir("none");
  EXPECT_THROW(jet_create_database(missing_dir.path() + "/x/y.mdb", GetParam().format()), jet_error);
}

TEST(jet_new_database, a_format_without_a_template_is_refused_before_anything_is_written) {
  scratch_file file("cyrillic.mdb");
  const jet_format* cyrillic = jet_format_for(jet_const::version_jet3, 1251);
  if (!cyrillic) GTEST_SKIP() << "no code page 1251 table";
  try {
    jet_create_database(file.path(), *cyrillic);
    ADD_FAILURE() << "a database of code page 1251 was made";
  } catch (const jet_error& error) {
    EXPECT_EQ(error.number(), 3001);
  }
  EXPECT_FALSE(std::filesystem::exists(file.path()));
  int status;
  run(std::string(JETUTIL_PATH) + " create '" + file.path() + "' --format 95", &status);
  EXPECT_NE(status, 0);
  EXPECT_FALSE(std::filesystem::exists(file.path()));
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
